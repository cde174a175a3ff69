#include "device/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "device/config_file_engine.h"
#include "engine_fixture.h"

namespace frosk::test {
namespace {

using namespace key;

constexpr ContentMask kAllRecordsAndSignatures = content::kRecords | content::kSignatures;
constexpr const char* kSignatureOnlyFile = "$0000000E0200000A02150006123475DE#";
constexpr const char* kQuestion =
    "Do you really want to send new configuration to your device(s) ?\rCurrent settings will be overwritten.";

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Any bytes as a frame with a matching check value, whether they hold an item or not.
std::string FrameOf(const std::vector<uint8_t>& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string frame = "$";
  for (const uint8_t byte : bytes) frame += {kHex[byte >> 4], kHex[byte & 15]};
  const uint16_t crc = Crc16(bytes.data(), bytes.size());
  for (int shift = 12; shift >= 0; shift -= 4) frame += kHex[(crc >> shift) & 15];
  return frame + "#";
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Field by field: a serial's or date's store has padding that carries nothing.
bool SameValues(std::span<const VFroskClass> a, std::span<const VFroskClass> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].ValueToText() != b[i].ValueToText() || a[i].GetAsFloat() != b[i].GetAsFloat()) return false;
  return true;
}

std::vector<std::string> TopLevelTexts(const ItemTree& tree) {
  std::vector<std::string> texts;
  if (tree.TopLevel().empty()) return texts;
  for (const ItemTreeNode& child : tree.TopLevel().front().children) texts.push_back(child.text);
  return texts;
}

// The engine of the fixture with its configuration files, and a second
// device (a VELTRA controller, NOMEM compatible) whose window writes files
// for the first to read.
class ConfigFileTest : public EngineTest {
 protected:
  // A device window of its own on a device with this module, read.
  struct Window {
    Window(ConfigFileTest& test, int moduleType)
        : engine(host, DeviceSeams{test.clock_, prompter, test.beeper_, test.folders_}), device(moduleType) {
      engine.SetDeviceMonitorAuto(false);
      engine.SetModuleMonitorAuto(false);
      for (int i = 0; i < 40; ++i) {
        engine.Tick();
        if (!engine.Waiting()) return;
        engine.ReceiveItem(device.Answer(host.sent.back()).data());
      }
    }
    FakeHost host;
    ScriptedPrompter prompter;
    DeviceEngine engine;
    ConfigFileEngine files{engine};
    FakeDevice device;
  };

  // A file of the writer's records in `mask`, signed for the serials given
  // (the fixture's devices are 123456-07 with module 000100-01).
  std::string WriterFile(ContentMask mask, const std::string& deviceSerial = "123456-07",
                         const std::string& moduleSerial = "000100-01") {
    writer_.engine.DeviceIden().At(DEVICE_IDEN_SERIAL).SetFromText(deviceSerial);
    writer_.engine.ModuleIden().At(MODULE_IDEN_SERIAL).SetFromText(moduleSerial);
    MakeDeviceSignature(writer_.engine.DeviceCheck(), writer_.engine.DeviceIden());
    MakeModuleSignature(writer_.engine.ModuleCheck(), writer_.engine.ModuleIden());
    const std::string path = dir_.Path() + "file" + std::to_string(++files_) + ".froskconfig";
    EXPECT_TRUE(writer_.files.WriteConfigFile(path, mask, writer_.engine));
    return path;
  }

  std::string Write(const std::string& name, const std::string& content) { return dir_.Write(name, content); }

  Window writer_{*this, 3};
  ConfigFileEngine configFiles_{engine_};
  int files_ = 0;
};

// --- The file format ------------------------------------------------------------

TEST_F(ConfigFileTest, AWrittenFileReadsBackWithTheWrittenMaskAndValues) {
  const ContentMask masks[] = {content::kEverything, kAllRecordsAndSignatures, 0x40000003, 0x00001000, 0x80000000, 0};
  for (const ContentMask mask : masks) {
    const std::string path = WriterFile(mask);
    FakeHost host;
    DeviceEngine reader(host, DeviceSeams{clock_, prompter_, beeper_, folders_});
    ConfigFileEngine readerFiles(reader);
    DeviceEngine blank(host, DeviceSeams{clock_, prompter_, beeper_, folders_});
    ContentMask found = 0x1234;
    ASSERT_TRUE(readerFiles.ReadConfigFile(path, content::kEverything, found, reader)) << std::hex << mask;
    EXPECT_EQ(found, mask & kAllRecordsAndSignatures) << std::hex << mask;
    for (const ConfigRecord& record : ConfigRecords()) {
      const auto expected =
          (found & record.bit) != 0 ? writer_.engine.Holders(record.group) : blank.Holders(record.group);
      EXPECT_TRUE(SameValues(reader.Holders(record.group), expected)) << GroupName(record.group) << std::hex << mask;
    }
    EXPECT_EQ(readerFiles.ConfigFileTree().TopLevel(), writer_.files.ConfigFileTree().TopLevel());
    EXPECT_EQ(readerFiles.ConfigFileTree().TopLevel().size(), 1u);
  }
}

TEST_F(ConfigFileTest, ASignatureOnlyFileIsExactlyOneFrame) {
  engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(0x1234);
  const std::string path = dir_.Path() + "signature.froskconfig";
  ASSERT_TRUE(configFiles_.WriteConfigFile(path, content::kDeviceSignature, engine_));
  EXPECT_EQ(FileText(path), kSignatureOnlyFile);
  const ItemTree& tree = configFiles_.ConfigFileTree();
  EXPECT_EQ(tree.NodeCount(), 3u);
  EXPECT_EQ(tree.TopLevel().front().text, " (container)");
  EXPECT_EQ(TopLevelTexts(tree), std::vector<std::string>{"DEVICE_CHECK (container)"});
  EXPECT_EQ(tree.TopLevel().front().children.front().children.front().text, "DEVICE_CHECK_VALUE (uint16: 4660)");
}

TEST_F(ConfigFileTest, EachRecordOfAFileIsTheSetRequestTheEngineSendsForIt) {
  FakeDevice device(3);
  RunSequence(device);
  std::map<ContentMask, std::function<void()>> senders = {
      {0x1, [&] { engine_.SendDeviceIden(&engine_.DeviceIden()); }},
      {0x2, [&] { engine_.SendFroskTecConfig(&engine_.FroskTecConfig()); }},
      {0x4, [&] { engine_.SendModuleIden(&engine_.NoMemModuleIden(), SET_FROSKTEC_MOD_NO_MEM_IDEN); }},
      {0x80, [&] { engine_.SendModuleIden(&engine_.ModuleIden(), SET_MODULE_IDEN); }},
  };
  for (int i = 0; i < 8; ++i) {
    const ContentMask bit = i < 4 ? 0x8u << i : 0x100u << (i - 4);
    senders[bit] = [&, i] {
      engine_.SendModuleBasicParams(engine_.BasicParamsGroup(i), SlotOf(kBasicParamsGroups[i]).get + 0x10);
    };
  }
  for (int i = 0; i < 4; ++i)
    senders[0x1000u << i] = [&, i] {
      engine_.SendVeltraParams(engine_.VeltraParamsGroup(i), SlotOf(kVeltraParamsGroups[i]).get + 0x10);
    };
  ASSERT_EQ(senders.size(), 16u);
  for (const auto& [bit, send] : senders) {
    engine_.Break();
    send();
    EXPECT_EQ(host_.sent.back(), ConfigRecordItem(engine_, *FindConfigRecord(bit))) << std::hex << bit;
  }
}

TEST_F(ConfigFileTest, LowerCaseDigitsReadTheSameAndAnyChangedDigitFailsTheCheck) {
  std::string lower = kSignatureOnlyFile;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ContentMask found = 0;
  ASSERT_TRUE(configFiles_.ReadConfigFile(Write("lower.froskconfig", lower), content::kEverything, found, engine_));
  EXPECT_EQ(found, content::kDeviceSignature);
  EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), 0x1234);

  engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(0x4321);
  const std::string original = kSignatureOnlyFile;
  for (size_t at = 1; at + 1 < original.size(); ++at) {
    std::string changed = original;
    changed[at] = changed[at] == '0' ? '8' : '0';
    ContentMask changedFound = 0x1234;
    EXPECT_FALSE(configFiles_.ReadConfigText(changed, content::kEverything, changedFound, engine_)) << changed;
    EXPECT_EQ(changedFound, 0u);
    EXPECT_EQ(configFiles_.ConfigFileTree().NodeCount(), 0u);
  }
  EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), 0x4321);
}

TEST_F(ConfigFileTest, ASignatureIsTheCheckValueOfTheSerialNumber) {
  const struct {
    const char* serial;
    uint16_t signature;
  } cases[] = {
      {"123456-07", 0xB6A9}, {"000000-00", 0x0000}, {"123456-78", 0x4068},  // number 123456, suffix 78
      {"012345678", 0xA6B6},  // the same digits in the new format: suffix 255
      {"999999999", 0xD1F9},  // 99999999900 + 255 wraps in 32 bits
  };
  for (const auto& c : cases) {
    engine_.DeviceIden().At(DEVICE_IDEN_SERIAL).SetFromText(c.serial);
    engine_.ModuleIden().At(MODULE_IDEN_SERIAL).SetFromText(c.serial);
    MakeDeviceSignature(engine_.DeviceCheck(), engine_.DeviceIden());
    MakeModuleSignature(engine_.ModuleCheck(), engine_.ModuleIden());
    EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), c.signature) << c.serial;
    EXPECT_EQ(engine_.ModuleCheck().At(MODULE_CHECK_VALUE).GetAsInt(), c.signature) << c.serial;
  }
}

TEST_F(ConfigFileTest, AFileThatIsNotAWholeValidFrameReadsAsFailedAndChangesNothing) {
  const std::vector<uint8_t> deviceCheck = {0x02, 0x00, 0x00, 0x0A, 0x02, 0x15, 0x00, 0x06, 0x12, 0x34};
  const auto root = [](std::vector<uint8_t> children, int extraLength = 0) {
    const auto length = static_cast<uint16_t>(children.size() + 4 + extraLength);
    children.insert(children.begin(), {0x00, 0x00, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    return children;
  };
  std::vector<uint8_t> shortValue = deviceCheck;
  shortValue[3] = 0x09;  // the check's value item keeps 1 of its 2 bytes
  shortValue[7] = 0x05;
  shortValue.pop_back();
  std::vector<uint8_t> childTooLong = deviceCheck;
  childTooLong[3] = 0x0C;
  std::vector<uint8_t> childTooShort = {0x02, 0x00, 0x00, 0x02, 0x00, 0x00};
  const std::string megabytes = "$" + std::string(3 << 20, '0') + "#";
  const struct {
    const char* name;
    std::string content;
  } cases[] = {
      {"empty", ""},
      {"truncated", std::string(kSignatureOnlyFile).substr(0, 20)},
      {"no end", std::string(kSignatureOnlyFile).substr(0, 33)},
      {"white space alone", " \r\n"},
      {"white space inside the frame", "$0000000E0200000A 02150006123475DE#"},
      {"no item at all", "$0000#"},
      {"a root longer than the file", FrameOf(root(deviceCheck, 2))},
      {"a root length below 4", FrameOf({0x00, 0x00, 0x00, 0x02})},
      {"a child running past the root", FrameOf(root(childTooLong))},
      {"a child length below 4", FrameOf(root(childTooShort))},
      {"a value shorter than its type", FrameOf(root(shortValue))},
      {"megabytes", megabytes},
  };
  engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(0x4321);
  ContentMask found = 0;
  ASSERT_TRUE(configFiles_.ReadConfigText(FrameOf(root(deviceCheck)), content::kEverything, found, engine_));
  ASSERT_EQ(found, content::kDeviceSignature) << "the fixture's well-formed file reads";
  engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(0x4321);

  for (const auto& c : cases) {
    const std::string path = Write(std::string(c.name) + ".froskconfig", c.content);
    found = 0x1234;
    EXPECT_FALSE(configFiles_.ReadConfigFile(path, content::kEverything, found, engine_)) << c.name;
    EXPECT_EQ(found, 0u) << c.name;
    EXPECT_EQ(configFiles_.ConfigFileTree().NodeCount(), 0u) << c.name;
  }
  for (const std::string& path : {dir_.Path(), dir_.Path() + "missing.froskconfig"}) {
    EXPECT_FALSE(configFiles_.ReadConfigFile(path, content::kEverything, found, engine_)) << path;
  }
  EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), 0x4321);
}

TEST_F(ConfigFileTest, WhiteSpaceAroundTheFrameIsPassedOver) {
  // The longest frame a file holds: a root of 10240 bytes, filled with
  // signatures and one child of an unknown key.
  std::vector<uint8_t> largest = {0x00, 0x00, 0x28, 0x00};
  for (int i = 0; i < 1023; ++i)
    largest.insert(largest.end(), {0x02, 0x00, 0x00, 0x0A, 0x02, 0x15, 0x00, 0x06, 0x12, 0x34});
  largest.insert(largest.end(), {0x77, 0x75, 0x00, 0x06, 0x00, 0x07});
  ASSERT_EQ(largest.size(), kConfigTreeCapacity);
  const std::string frame = kSignatureOnlyFile;
  const std::pair<const char*, std::string> cases[] = {
      {"a final line end", frame + "\n"},
      {"a final CRLF", frame + "\r\n"},
      {"blank lines and an indent", "\r\n\t " + frame + "\r\n\r\n"},
      {"the longest frame with a final CRLF", FrameOf(largest) + "\r\n"},
  };
  for (const auto& [name, content] : cases) {
    engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(0x4321);
    ContentMask found = 0;
    EXPECT_TRUE(configFiles_.ReadConfigFile(Write("spaced.froskconfig", content), content::kEverything, found, engine_))
        << name;
    EXPECT_EQ(found, content::kDeviceSignature) << name;
    EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), 0x1234) << name;
  }
}

TEST_F(ConfigFileTest, ChildrenThatHoldNoRequestedRecordArePassedOver) {
  const std::vector<uint8_t> deviceCheck = {0x02, 0x00, 0x00, 0x0A, 0x02, 0x15, 0x00, 0x06, 0x12, 0x34};
  const std::vector<uint8_t> secondCheck = {0x02, 0x00, 0x00, 0x0A, 0x02, 0x15, 0x00, 0x06, 0x56, 0x78};
  const auto root = [](std::initializer_list<std::vector<uint8_t>> children) {
    std::vector<uint8_t> bytes = {0x00, 0x00, 0x00, 0x00};
    for (const auto& child : children) bytes.insert(bytes.end(), child.begin(), child.end());
    bytes[2] = static_cast<uint8_t>(bytes.size() >> 8);
    bytes[3] = static_cast<uint8_t>(bytes.size());
    return bytes;
  };
  const std::vector<uint8_t> commandWithoutRecord = {0x00, 0x30, 0x00, 0x04};
  // SET_FROSKTEC_CONFIG carrying a SERVICE_MODE record instead of its own.
  const std::vector<uint8_t> commandWithOtherRecord = {0x05, 0x10, 0x00, 0x0D, 0x10, 0x00, 0x00,
                                                       0x09, 0x10, 0x1B, 0x00, 0x05, 0x01};
  const std::vector<uint8_t> checkWithoutValue = {0x22, 0x00, 0x00, 0x04};
  const std::vector<uint8_t> unknownKeys = {0x77, 0x70, 0x00, 0x0A, 0x12, 0x35, 0x00, 0x06, 0x00, 0x07};
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    ContentMask requested;
    ContentMask found;
    int deviceCheck;
  } cases[] = {
      {"a command without its record", root({commandWithoutRecord}), content::kEverything, 0, 0x4321},
      {"a command with another record", root({commandWithOtherRecord}), content::kEverything, 0, 0x4321},
      {"a check without its value", root({checkWithoutValue}), content::kEverything, 0, 0x4321},
      {"unknown keys", root({unknownKeys}), content::kEverything, 0, 0x4321},
      {"a record not asked for", root({deviceCheck}), content::kModuleSignature, 0, 0x4321},
      {"the later of two children", root({deviceCheck, secondCheck}), content::kEverything, content::kDeviceSignature,
       0x5678},
      {"bytes after the root",
       [&] {
         std::vector<uint8_t> bytes = root({deviceCheck});
         bytes.insert(bytes.end(), {0xFF, 0xFF, 0x00, 0x00});
         return bytes;
       }(),
       content::kEverything, content::kDeviceSignature, 0x1234},
  };
  for (const auto& c : cases) {
    engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(0x4321);
    const DeviceIdenRecord iden = engine_.DeviceIden().ToRecord();
    const FroskTecConfigRecord config = engine_.FroskTecConfig().ToRecord();
    ContentMask found = 0x1234;
    EXPECT_TRUE(configFiles_.ReadConfigText(FrameOf(c.bytes), c.requested, found, engine_)) << c.name;
    EXPECT_EQ(found, c.found) << c.name;
    EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), c.deviceCheck) << c.name;
    EXPECT_EQ(engine_.DeviceIden().ToRecord(), iden) << c.name;
    EXPECT_EQ(engine_.FroskTecConfig().ToRecord(), config) << c.name;
    EXPECT_EQ(configFiles_.ConfigFileTree().TopLevel().size(), 1u) << c.name;
  }
}

TEST_F(ConfigFileTest, AFileThatCannotBeWrittenLeavesWhatWasThere) {
  const std::string previous = Write("previous.froskconfig", "previous");
  const std::string readOnly = Write("read-only.froskconfig", "kept");
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  std::filesystem::create_directory(dir_.Path() + "folder.froskconfig");
  const std::string pipe = dir_.Path() + "pipe.froskconfig";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  const std::vector<std::string> before = FolderEntries(dir_.Path());

  configFiles_.WriteConfigFile(previous, content::kDeviceSignature, engine_);
  ASSERT_EQ(configFiles_.ConfigFileTree().NodeCount(), 3u);
  const std::pair<std::string, std::string> cases[] = {
      {readOnly, "is read-only"},
      {dir_.Path() + "folder.froskconfig", "is a folder"},
      {pipe, "is not a regular file"},
      {dir_.Path() + "no-folder/file.froskconfig", "No such file or directory"},
  };
  for (const auto& [target, why] : cases) {
    host_.logged.clear();
    EXPECT_FALSE(configFiles_.WriteConfigFile(target, content::kDeviceSignature, engine_)) << target;
    EXPECT_EQ(configFiles_.ConfigFileTree().NodeCount(), 0u) << target;
    EXPECT_EQ(host_.logged, std::vector<std::string>{"Cannot write " + target + ": " + why});
  }
  EXPECT_EQ(FileText(readOnly), "kept");
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_EQ(FolderEntries(dir_.Path()), before) << "no file left half-written beside the targets";
  EXPECT_NE(FileText(previous), "previous") << "an ordinary file is replaced";
}

// --- Saving and loading ---------------------------------------------------------

TEST_F(ConfigFileTest, SavingWritesWhatTheConnectedDevicesSupportSigned) {
  const struct {
    bool noMemCompatible;
    int moduleType;
    ContentMask mask;
  } cases[] = {
      {false, 0, 0x40000003}, {false, 1, 0x40000003}, {true, 1, 0x4000007F},
      {false, 2, 0xC0000F83}, {true, 3, 0xC000FFFF},
  };
  for (const auto& c : cases) {
    Window window(*this, c.moduleType);
    DeviceEngine& engine = window.engine;
    ScriptedPrompter& prompter = window.prompter;
    engine.FroskTecConfig().At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).SetFromInt(c.noMemCompatible);
    const std::string path = dir_.Path() + "saved.froskconfig";
    prompter.fileNames = {path};
    ASSERT_TRUE(window.files.SaveConfiguration());
    EXPECT_EQ(prompter.fileDialogs,
              (std::vector<FileDialogRequest>{{"Frosk Configuration Files|*.froskconfig", ".froskconfig"}}));
    EXPECT_EQ(prompter.shown, (std::vector<Message>{{"Configuration written to file.", 64}}));
    const DecodedConfig decoded = DecodeConfigText(FileText(path));
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(WalkConfigRoot(decoded.root.data(), content::kEverything, [](const ConfigRecord&, const uint8_t*) {}),
              c.mask)
        << c.moduleType;
    EXPECT_EQ(engine.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), 0xB6A9);  // 123456-07
    EXPECT_EQ(engine.ModuleCheck().At(MODULE_CHECK_VALUE).GetAsInt(),
              c.moduleType >= 2 ? SerialSignature(engine.ModuleIden().At(MODULE_IDEN_SERIAL)) : 0);
    if (c.mask == 0x40000003) {
      EXPECT_EQ(TopLevelTexts(window.files.ConfigFileTree()),
                (std::vector<std::string>{"SET_DEVICE_IDEN (container)", "SET_FROSKTEC_CONFIG (container)",
                                          "DEVICE_CHECK (container)"}));
    }
  }
}

TEST_F(ConfigFileTest, ASaveThatFailsSaysSoAndACancelledOneDoesNothing) {
  prompter_.fileNames = {dir_.Path()};
  EXPECT_FALSE(configFiles_.SaveConfiguration());
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Confiuration write failed !", 16}}));
  EXPECT_EQ(host_.logged, std::vector<std::string>{"Cannot write " + dir_.Path() + ": is a folder"});
  prompter_.shown.clear();
  EXPECT_FALSE(configFiles_.SaveConfiguration());
  EXPECT_TRUE(prompter_.shown.empty());
  EXPECT_TRUE(host_.sent.empty());
}

struct LoadCase {
  const char* name;
  ContentMask mask;
  int moduleType;
  const char* message;  // the refusal, or null when the question is asked
  const char* deviceSerial = "123456-07";
  const char* moduleSerial = "000100-01";
};

TEST_F(ConfigFileTest, LoadingChecksTheSignaturesAndTheModuleBeforeAsking) {
  const char* kControllerMissing = "File contains configuration data for QUVA controller,\rbut signature is missing !";
  const char* kControllerMismatch =
      "File contains configuration data for QUVA controller,\rbut signature does not match your device !";
  const char* kNoModule =
      "File contains configuration data for detection module,\rbut compatible module is not connected !";
  const char* kNoKaz = "File contains configuration data for KAZ module,\rbut no KAZ module is connected !";
  const char* kModuleMissing = "File contains configuration data for detection module,\rbut signature is missing !";
  const char* kModuleMismatch =
      "File contains configuration data for detection module,\rbut signature does not match connected module !";
  const LoadCase cases[] = {
      {"everything for these devices", 0xC000FFFF, 3, nullptr},
      {"the controller alone never needs the module's signature", 0x40000003, 3, nullptr},
      {"the NOMEM records are the controller's", 0x4000007C, 0, nullptr},
      {"the VELTRA default is a module record", 0x80001000, 2, nullptr},
      {"controller records unsigned", 0x80000003, 3, kControllerMissing},
      {"another controller", 0xC000FFFF, 3, kControllerMismatch, "654321-00"},
      {"the controller is checked first", 0x00000F83, 0, kControllerMissing},
      {"module records without a module", 0xC0000F80, 0, kNoModule},
      {"module records on a NOMEM module", 0xC0000F80, 1, kNoModule},
      {"VELTRA records on a 1WIRE module", 0xC0002000, 2, kNoKaz},
      {"module records unsigned", 0x40000F80, 2, kModuleMissing},
      {"another module", 0xC0000F80, 3, kModuleMismatch, "123456-07", "000999-09"},
  };
  for (const LoadCase& c : cases) {
    const std::string path = WriterFile(c.mask, c.deviceSerial, c.moduleSerial);
    Window window(*this, c.moduleType);
    const DeviceEngine& engine = window.engine;
    ScriptedPrompter& prompter = window.prompter;
    const size_t read = window.host.sent.size();
    prompter.fileNames = {path};
    prompter.answers = {kIdOk};

    const LoadOutcome outcome = window.files.LoadConfiguration();
    const std::vector<Key> keys = window.host.SentKeys();
    const std::vector<Key> sent(keys.begin() + static_cast<std::ptrdiff_t>(read), keys.end());
    if (c.message == nullptr) {
      EXPECT_EQ(prompter.shown, (std::vector<Message>{{kQuestion, 49}})) << c.name;
      EXPECT_EQ(outcome, LoadOutcome::kSending) << c.name;
      EXPECT_EQ(sent.size(), 1u) << c.name;
      EXPECT_EQ(engine.SequenceState(), SequenceState::kSendingConfiguration) << c.name;
    } else {
      EXPECT_EQ(prompter.shown, (std::vector<Message>{{c.message, 16}})) << c.name;
      EXPECT_EQ(outcome, LoadOutcome::kRefused) << c.name;
      EXPECT_EQ(sent, std::vector<Key>{GET_SERVICE_MODE}) << c.name;
      EXPECT_EQ(engine.SequenceState(), SequenceState::kReadServiceMode) << c.name;
    }
  }
}

TEST_F(ConfigFileTest, AFileThatHoldsNoRecordIsAnIntegrityErrorAndTheDeviceIsReadAgain) {
  const std::vector<uint8_t> rootAlone = {0x00, 0x00, 0x00, 0x04};
  const std::string paths[] = {
      Write("empty-frame.froskconfig", "$0000#"),
      Write("changed.froskconfig", "$0000000E0200000A02150006123475DF#"),
      Write("root-alone.froskconfig", FrameOf(rootAlone)),
      Write("unknown.froskconfig", FrameOf({0x00, 0x00, 0x00, 0x08, 0x77, 0x70, 0x00, 0x04})),
      dir_.Path(),
      dir_.Path() + "missing.froskconfig",
  };
  FakeDevice device(3);
  RunSequence(device);
  for (const std::string& path : paths) {
    prompter_.shown.clear();
    prompter_.fileNames = {path};
    TakeSentKeys();
    EXPECT_EQ(configFiles_.LoadConfiguration(), LoadOutcome::kIntegrityError) << path;
    EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"File integrity error !", 16}})) << path;
    EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_SERVICE_MODE}) << path;
    EXPECT_EQ(engine_.SequenceState(), SequenceState::kReadServiceMode);
    engine_.Break();
  }
  prompter_.shown.clear();
  EXPECT_EQ(configFiles_.LoadConfiguration(), LoadOutcome::kNoFile) << "the open dialog cancelled";
  EXPECT_TRUE(prompter_.shown.empty());
  EXPECT_TRUE(TakeSentKeys().empty());
}

TEST_F(ConfigFileTest, ALoadedFileIsSentInPriorityOrderAndMonitorRepliesDoNotAdvanceIt) {
  const std::string path = WriterFile(content::kEverything);
  FakeDevice device(3);
  RunSequence(device);
  engine_.FroskTecConfig().At(FROSKTEC_CONFIG_VARIANT).SetFromInt(2);
  TakeSentKeys();
  prompter_.fileNames = {path};
  prompter_.answers = {kIdOk};
  ASSERT_EQ(configFiles_.LoadConfiguration(), LoadOutcome::kSending);
  EXPECT_EQ(configFiles_.PendingMask(), 0xC000FFFE);
  EXPECT_EQ(engine_.FroskTecConfig().At(FROSKTEC_CONFIG_VARIANT).GetAsInt(), 2) << "the device's until it answers";
  std::vector<ChainProgress> progress;
  for (int i = 0; i < 20 && engine_.SequenceState() == SequenceState::kSendingConfiguration; ++i) {
    progress.push_back(configFiles_.Progress().value_or(ChainProgress{}));
    const size_t sent = host_.sent.size();
    Receive(ReplyItem(device.monitor));
    Receive(ReplyItem(ModuleVeltraMonitorRecord{}));
    EXPECT_EQ(host_.sent.size(), sent) << "a monitor reply is no answer to a record";
    AnswerLast(device);
  }
  const std::vector<Key> sentKeys = TakeSentKeys();
  EXPECT_EQ(sentKeys, (std::vector<Key>{SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG, SET_FROSKTEC_MOD_NO_MEM_IDEN,
                                        SET_FROSKTEC_MOD_NO_MEM_USER_MIN, SET_FROSKTEC_MOD_NO_MEM_USER_MAX,
                                        SET_FROSKTEC_MOD_NO_MEM_USER_SET, SET_FROSKTEC_MOD_NO_MEM_DEFAULT,
                                        SET_MODULE_IDEN, SET_MODULE_USER_MIN, SET_MODULE_USER_MAX, SET_MODULE_USER_SET,
                                        SET_MODULE_DEFAULT, SET_MODULE_VELTRA_USER_MIN, SET_MODULE_VELTRA_USER_MAX,
                                        SET_MODULE_VELTRA_USER_SET, SET_MODULE_VELTRA_DEFAULT, GET_SERVICE_MODE}));
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{kQuestion, 49}, {"Configuration successfully changed.", 64}}));
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kReadServiceMode);
  EXPECT_EQ(configFiles_.PendingMask(), 0u);
  EXPECT_EQ(engine_.FroskTecConfig().At(FROSKTEC_CONFIG_VARIANT).GetAsInt(), 0) << "the file's value";
  ASSERT_EQ(progress.size(), 16u);
  for (size_t i = 0; i < progress.size(); ++i)
    EXPECT_EQ(progress[i], (ChainProgress{static_cast<int>(i) + 1, 16, sentKeys[i]})) << i;
  EXPECT_EQ(ProgressText(progress[2]), "record 3 of 16: SET_FROSKTEC_MOD_NO_MEM_IDEN");
  EXPECT_FALSE(configFiles_.Progress()) << "nothing left to send";
}

// The file's values are judged where they would stand in the device, and
// whatever becomes of a load the holders keep what the device reported.
TEST_F(ConfigFileTest, ALoadNeverPutsTheFilesValuesWhereTheDevicesAreAndRefusesValuesOutsideTheirLimits) {
  const std::string signedForAnother = WriterFile(content::kEverything, "654321-03");
  const std::string consistent = WriterFile(content::kEverything);
  writer_.engine.ModuleUserSet().At(MODULE_BASIC_PARAMS_I_TEC_MAX).SetFromInt(30000);
  const std::string userSetTooHigh = WriterFile(content::kEverything);
  writer_.engine.ModuleUserSet().At(MODULE_BASIC_PARAMS_I_TEC_MAX).SetFromInt(1000);
  writer_.engine.ModuleUserMax().At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(150000);
  const std::string maximumBelowMinimum = WriterFile(content::kModuleRecords | content::kSignatures);
  FakeDevice device(3);
  RunSequence(device);
  // The device holds values of its own, which the files do not carry.
  for (ModuleBasicParamsHolders* group : {&engine_.ModuleDefault(), &engine_.ModuleUserSet()})
    group->At(MODULE_BASIC_PARAMS_PWM).SetFromInt(7);
  const std::vector<uint8_t> before = BuildConfigRoot(engine_, content::kRecords | content::kSignatures);
  const std::string kValuesRefused = "Values outside their limits, nothing was sent:\r";
  const struct {
    const char* name;
    std::string file;
    int answer;
    LoadOutcome outcome;
    std::string message;
  } cases[] = {
      {"signed for another controller", signedForAnother, kIdOk, LoadOutcome::kRefused,
       "File contains configuration data for QUVA controller,\rbut signature does not match your device !"},
      {"a user set above the field's range and its user maximum", userSetTooHigh, kIdOk, LoadOutcome::kRefused,
       kValuesRefused + "ModuleUserSet MODULE_BASIC_PARAMS_I_TEC_MAX 3.0000 A is above the field's maximum 2.0475 A\r" +
           "ModuleUserSet MODULE_BASIC_PARAMS_I_TEC_MAX 3.0000 A is above ModuleUserMax 0.1000 A"},
      {"a user maximum below the user minimum", maximumBelowMinimum, kIdOk, LoadOutcome::kRefused,
       kValuesRefused + "ModuleDefault MODULE_BASIC_PARAMS_T_DET 200.005 K is above ModuleUserMax 150.000 K\r" +
           "ModuleUserSet MODULE_BASIC_PARAMS_T_DET 200.006 K is above ModuleUserMax 150.000 K\r" +
           "ModuleUserMin MODULE_BASIC_PARAMS_T_DET 200.004 K is above ModuleUserMax 150.000 K"},
      {"cancelled", consistent, kIdCancel, LoadOutcome::kCancelled, kQuestion},
  };
  for (const auto& c : cases) {
    prompter_.shown.clear();
    prompter_.fileNames = {c.file};
    prompter_.answers = {c.answer};
    TakeSentKeys();
    EXPECT_EQ(configFiles_.LoadConfiguration(), c.outcome) << c.name;
    ASSERT_EQ(prompter_.shown.size(), 1u) << c.name;
    EXPECT_EQ(prompter_.shown[0].text, c.message) << c.name;
    EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_SERVICE_MODE}) << c.name << ": nothing sent, the device read again";
    EXPECT_EQ(BuildConfigRoot(engine_, content::kRecords | content::kSignatures), before) << c.name;
    engine_.Break();
  }
}

TEST_F(ConfigFileTest, ConfirmingOrCancellingAFileOfSignaturesSendsNothing) {
  const std::string path = WriterFile(content::kSignatures);
  FakeDevice device(3);
  RunSequence(device);
  TakeSentKeys();
  prompter_.fileNames = {path};
  prompter_.answers = {kIdOk};
  EXPECT_EQ(configFiles_.LoadConfiguration(), LoadOutcome::kNothingToSend);
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{kQuestion, 49}}));
  EXPECT_TRUE(TakeSentKeys().empty());
  EXPECT_EQ(configFiles_.PendingMask(), 0u);
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle) << "the state is left as it was";

  prompter_.fileNames = {WriterFile(content::kEverything)};
  prompter_.answers = {kIdCancel};
  EXPECT_EQ(configFiles_.LoadConfiguration(), LoadOutcome::kCancelled);
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_SERVICE_MODE});
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kReadServiceMode);
}

TEST_F(ConfigFileTest, ARecordTheLinkCannotTakeEndsInATimeOutNotInSuccess) {
  const std::string path = WriterFile(content::kDeviceIden | content::kFroskTecConfig | content::kSignatures);
  FakeDevice device(3);
  RunSequence(device);
  host_.linked = false;
  prompter_.fileNames = {path};
  prompter_.answers = {kIdOk};
  EXPECT_EQ(configFiles_.LoadConfiguration(), LoadOutcome::kSending);
  for (int timeouts = 0; timeouts < 2; ++timeouts) {
    clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
    engine_.Tick();
    engine_.AskHeldQuestion();
    engine_.Tick();
  }
  EXPECT_EQ(
      prompter_.shown,
      (std::vector<Message>{
          {kQuestion, 49},
          {"Communication timeout !\rWritten: nothing. No reply to SET_DEVICE_IDEN.\rNot sent: SET_FROSKTEC_CONFIG.",
           16},
          {"The device did not answer; it may still be in service mode.", 16}}));
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
}

// A load that stops on a time-out names what went in and what did not, then
// switches service mode off and says whether the device took it.
TEST_F(ConfigFileTest, ALoadStoppedByATimeOutNamesItsRecordsAndLeavesServiceMode) {
  const std::string path = WriterFile(content::kDeviceIden | content::kFroskTecConfig | SlotOf(Group::kModuleIden).bit |
                                      SlotOf(Group::kModuleDefault).bit | content::kSignatures);
  constexpr const char* kStopped =
      "Communication timeout !\rWritten: SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG. No reply to SET_MODULE_IDEN.\r"
      "Not sent: SET_MODULE_DEFAULT.";
  for (const bool answers : {true, false}) {
    SCOPED_TRACE(answers ? "the device answers the switch" : "the device stays silent");
    FakeDevice device(3);
    engine_.ReadAgain();
    RunSequence(device);
    engine_.ServiceMode().At(SERVICE_MODE_ENABLE).SetFromInt(1);
    TakeSentKeys();
    prompter_.shown.clear();
    prompter_.fileNames = {path};
    prompter_.answers = {kIdOk};
    ASSERT_EQ(configFiles_.LoadConfiguration(), LoadOutcome::kSending);
    AnswerLast(device);
    AnswerLast(device);
    EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG, SET_MODULE_IDEN}));

    clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
    engine_.Tick();
    engine_.Tick();
    EXPECT_TRUE(TakeSentKeys().empty()) << "nothing goes out while the box is up";
    engine_.AskHeldQuestion();
    EXPECT_EQ(prompter_.shown, (std::vector<Message>{{kQuestion, 49}, {kStopped, 16}}));
    engine_.Tick();
    ASSERT_EQ(TakeSentKeys(), std::vector<Key>{SET_SERVICE_MODE}) << "first of what waits";
    EXPECT_EQ(SentRecord<ServiceModeRecord>(host_.sent.back()).enable, 0);

    if (answers) {
      AnswerLast(device);
      EXPECT_EQ(prompter_.shown.back(), (Message{"Service mode switched off.", 64}));
      EXPECT_FALSE(engine_.ControllerInServiceMode());
    } else {
      clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
      engine_.Tick();
      engine_.AskHeldQuestion();
      EXPECT_EQ(prompter_.shown.back(), (Message{"The device did not answer; it may still be in service mode.", 16}));
    }
    EXPECT_EQ(prompter_.shown.size(), 3u);
    EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
    engine_.Tick();
    EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_MODULE_IDEN}) << "the unanswered record is read back";
    clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
    engine_.Tick();
    EXPECT_FALSE(engine_.QuestionHeld()) << "the chain is over: a later time-out is an idle one";
  }
}

// --- The configurator's file buttons ----------------------------------------------

TEST_F(ConfigFileTest, TheConfiguratorsFileButtonsReportWhatTheyFound) {
  const std::string everything = WriterFile(content::kEverything);
  const std::string records = WriterFile(content::kRecords);
  const std::string emptyFrame = Write("empty-frame.froskconfig", "$0000#");
  const std::string changed = Write("changed.froskconfig", "$0000000E0200000A02150006123475DF#");
  const std::string rootAlone = Write("root-alone.froskconfig", FrameOf({0x00, 0x00, 0x00, 0x04}));
  const std::string target = dir_.Path() + "written.froskconfig";
  const int device = SerialSignature(writer_.engine.DeviceIden().At(DEVICE_IDEN_SERIAL));
  const int module = SerialSignature(writer_.engine.ModuleIden().At(MODULE_IDEN_SERIAL));
  constexpr int kKept = 0x4321;
  const auto deviceSignature = [this](ConfigFileEngine& files) {
    return files.SignatureFromFile(content::kDeviceSignature, engine_);
  };
  const auto moduleSignature = [this](ConfigFileEngine& files) {
    return files.SignatureFromFile(content::kModuleSignature, engine_);
  };
  FileHolders shown;
  const auto read = [&shown](ConfigFileEngine& files) { return files.ReadConfigurationFromFile(shown); };
  const auto write = [this](ConfigFileEngine& files) { return files.WriteConfigurationToFile(0x40000003, engine_); };
  const Message none{};
  const struct {
    const char* name;
    std::function<bool(ConfigFileEngine&)> click;
    std::string file;
    bool result;
    Message shown;
    uint8_t state;
    int deviceCheck;
    int moduleCheck;
  } cases[] = {
      {"device signature", deviceSignature, everything, true, none, 45, device, kKept},
      {"module signature", moduleSignature, everything, true, none, 45, kKept, module},
      {"no signature", moduleSignature, records, false, {"File signature not found !", 16}, 45, kKept, kKept},
      {"signature of a changed file", deviceSignature, changed, false, {"Load error !", 16}, 45, kKept, kKept},
      {"signature of no item", deviceSignature, emptyFrame, false, {"Load error !", 16}, 45, kKept, kKept},
      {"read every record", read, everything, true, {"File loaded.", 64}, 46, kKept, kKept},
      {"read a root alone", read, rootAlone, true, {"File loaded.", 64}, 46, kKept, kKept},
      {"read a changed file", read, changed, false, {"File integrity error !", 16}, 46, kKept, kKept},
      {"write", write, target, true, {"Configuration written to file.", 64}, 46, kKept, kKept},
      {"write into a folder", write, dir_.Path(), false, {"Configuration write failed !", 16}, 45, kKept, kKept},
  };
  for (const auto& c : cases) {
    engine_.ShowConfiguratorPage(SequenceState::kConfiguratorMakeFile);
    engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(kKept);
    engine_.ModuleCheck().At(MODULE_CHECK_VALUE).SetFromInt(kKept);
    prompter_.shown.clear();
    prompter_.fileNames = {c.file};
    EXPECT_EQ(c.click(configFiles_), c.result) << c.name;
    EXPECT_EQ(prompter_.shown, c.shown.text.empty() ? std::vector<Message>{} : std::vector<Message>{c.shown}) << c.name;
    EXPECT_EQ(static_cast<uint8_t>(engine_.SequenceState()), c.state) << c.name;
    EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), c.deviceCheck) << c.name;
    EXPECT_EQ(engine_.ModuleCheck().At(MODULE_CHECK_VALUE).GetAsInt(), c.moduleCheck) << c.name;
  }
  prompter_.shown.clear();
  prompter_.fileNames = {target};
  EXPECT_FALSE(configFiles_.WriteConfigurationToFile(0, engine_)) << "nothing ticked";
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"No content selected for the file !", 16}}));
  EXPECT_EQ(prompter_.fileNames.size(), 1u) << "refused before a file is asked for";
  ContentMask found = 0;
  ASSERT_TRUE(configFiles_.ReadConfigFile(target, content::kEverything, found, engine_));
  EXPECT_EQ(found, 0x40000003u);

  prompter_.shown.clear();
  prompter_.fileNames.clear();
  EXPECT_FALSE(configFiles_.ReadConfigurationFromFile(shown)) << "the open dialog cancelled";
  EXPECT_FALSE(configFiles_.WriteConfigurationToFile(0x3, engine_)) << "the save dialog cancelled";
  EXPECT_TRUE(prompter_.shown.empty());
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorMakeFile);
  EXPECT_TRUE(host_.sent.empty());
}

}  // namespace
}  // namespace frosk::test
