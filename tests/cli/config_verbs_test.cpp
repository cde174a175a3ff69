// froskctl show, save and load, against frosk-sim.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "device/config_file.h"
#include "protocol/item.h"
#include "protocol/keys.h"
#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"

namespace frosk::test {
namespace {

// A VELTRA controller's file from froskctl save: identification and
// configuration, the module's records, the VELTRA records, both signatures.
const std::vector<std::string> kVeltraRecordsInSendingOrder = {"SET_DEVICE_IDEN",
                                                               "SET_FROSKTEC_CONFIG",
                                                               "SET_MODULE_IDEN",
                                                               "SET_MODULE_USER_MIN",
                                                               "SET_MODULE_USER_MAX",
                                                               "SET_MODULE_USER_SET",
                                                               "SET_MODULE_DEFAULT",
                                                               "SET_MODULE_VELTRA_USER_MIN",
                                                               "SET_MODULE_VELTRA_USER_MAX",
                                                               "SET_MODULE_VELTRA_USER_SET",
                                                               "SET_MODULE_VELTRA_DEFAULT"};

constexpr const char* kQuestion =
    "Do you really want to send new configuration to your device(s) ?\nCurrent settings will be overwritten.";

// The configuration records the simulator received, by key name, in order.
std::vector<std::string> RecordsReceived(const std::string& log) {
  std::vector<std::string> keys;
  for (const std::string& line : Lines(FileText(log))) {
    if (line.find(" in ") == std::string::npos) continue;
    const std::string key = line.substr(line.rfind(' ') + 1);
    if (key.rfind("SET_", 0) == 0 && key != "SET_SERVICE_MODE") keys.push_back(key);
  }
  return keys;
}

// A field of one record of a file set to a raw value; the file stays signed as it was.
struct FieldEdit {
  Key command;
  Key field;
  int64_t raw;
};

std::string EditedFile(const std::string& text, const std::vector<FieldEdit>& edits) {
  DecodedConfig decoded = DecodeConfigText(text);
  EXPECT_TRUE(decoded.ok());
  uint8_t* root = decoded.root.data();
  for (const FieldEdit& edit : edits) {
    const uint8_t* item = ItemFindChild(ItemFindChild(root, edit.command, false), edit.field, true);
    EXPECT_NE(item, nullptr) << edit.field;
    if (item == nullptr) continue;
    auto* place = const_cast<uint8_t*>(item);
    if (ItemType(item) == kInt16) ItemPutInt16(place, edit.field, static_cast<int16_t>(edit.raw));
    if (ItemType(item) == kUInt32) ItemPutUInt32(place, edit.field, static_cast<uint32_t>(edit.raw));
  }
  return FrameEncode(root);
}

// Files this process and its children write may grow to `bytes` and no
// further, while the object lives: a write past it fails with EFBIG instead
// of ending the writer.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
    savedHandler_ = signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, savedHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t savedHandler_;
};

class ConfigVerbsTest : public ::testing::Test {
 protected:
  // froskctl reads the ServiceMode setting from the user's settings: give it a
  // settings folder of its own.
  void SetUp() override { setenv("XDG_CONFIG_HOME", settings_.Path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

  // A fresh simulator logging to its own file; its port.
  std::string Sim(std::vector<std::string> args) {
    log_ = dir_.Path() + "sim" + std::to_string(++sims_) + ".log";
    args.insert(args.end(), {"--log", log_});
    sim_ = SimProcess::Start(args);
    return sim_ != nullptr ? sim_->Path() : "/dev/frosk-no-sim";
  }

  // A file saved from a VELTRA controller as frosk-sim starts.
  std::string SavedVeltraFile() {
    const std::string path = dir_.Path() + "veltra.froskconfig";
    const auto result = Froskctl({"save", Sim({"--module", "veltra"}), path});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return path;
  }

  static ProgramResult Froskctl(const std::vector<std::string>& args, const std::string& input = {}) {
    return RunProgram(BinPath("froskctl"), args, input);
  }

  TempDir settings_;
  TempDir dir_;
  std::unique_ptr<SimProcess> sim_;
  std::string log_;
  int sims_ = 0;
};

TEST_F(ConfigVerbsTest, ShowPrintsTheTreeAndTheContentMask) {
  ProgramResult result;
  for (const char* lineEnd : {"", "\r\n"}) {
    const std::string file =
        dir_.Write("signature.froskconfig", std::string("$0000000E0200000A02150006123475DE#") + lineEnd);
    result = Froskctl({"show", file});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              " (container)\n  DEVICE_CHECK (container)\n    DEVICE_CHECK_VALUE (uint16: 4660)\nmask=0x40000000\n");
  }

  const std::pair<const char*, std::string> bad[] = {
      {"$0000#", "0 bytes decoded"},
      {"$0000000E0200000A02150006123475DF#", "check value"},
      {"$0000000E0200000A02150006123475DE#.", "missing \"#\""},
  };
  for (const auto& [content, why] : bad) {
    result = Froskctl({"show", dir_.Write("bad.froskconfig", content)});
    EXPECT_EQ(result.exitCode, 2) << content;
    EXPECT_NE(result.err.find(why), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Froskctl({"show", dir_.Path()}).exitCode, 2);
  EXPECT_EQ(Froskctl({"show", dir_.Path() + "missing.froskconfig"}).exitCode, 2);
}

TEST_F(ConfigVerbsTest, ASavedFileLoadsBackTheSavedValuesInSendingOrder) {
  const std::string file = SavedVeltraFile();
  const std::string port = sim_ != nullptr ? sim_->Path() : "";
  const std::vector<std::string> mask = Lines(Froskctl({"show", file}).out);
  ASSERT_FALSE(mask.empty());
  EXPECT_EQ(mask.back(), "mask=0xC000FF83");
  const std::string saved = Froskctl({"read", port}).out;
  ASSERT_NE(saved.find("ModuleUserSet.MODULE_BASIC_PARAMS_T_DET=230.000\n"), std::string::npos) << saved;

  ASSERT_EQ(Froskctl({"set", port, "MODULE_BASIC_PARAMS_T_DET=250", "MODULE_VELTRA_PARAMS_GAIN=99"}).exitCode, 0);
  const size_t before = RecordsReceived(log_).size();
  const auto result = Froskctl({"load", port, file, "--yes"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> expected;
  for (size_t i = 0; i < kVeltraRecordsInSendingOrder.size(); ++i)
    expected.push_back("record " + std::to_string(i + 1) + " of 11: " + kVeltraRecordsInSendingOrder[i]);
  expected.push_back("Configuration successfully changed.");
  EXPECT_EQ(Lines(result.out), expected);
  EXPECT_EQ(result.err, std::string(kQuestion) + "\n");
  const std::vector<std::string> received = RecordsReceived(log_);
  EXPECT_EQ(std::vector<std::string>(received.begin() + static_cast<std::ptrdiff_t>(before), received.end()),
            kVeltraRecordsInSendingOrder);

  const std::string after = Froskctl({"read", port}).out;
  const auto withoutMonitors = [](const std::string& read) {
    std::string kept;
    for (const std::string& line : Lines(read))
      if (line.find("Monitor.") == std::string::npos) kept += line + "\n";
    return kept;
  };
  EXPECT_EQ(withoutMonitors(after), withoutMonitors(saved));
}

// The file goes in; the module's firmware update is declined, not consented to by --yes.
TEST_F(ConfigVerbsTest, ALoadGoesAheadOnAModuleWithOlderFirmware) {
  const std::string file = dir_.Path() + "older.froskconfig";
  const std::string port = Sim({"--module", "veltra", "--module-firmware", "1"});
  ASSERT_EQ(Froskctl({"save", port, file}).exitCode, 0);
  const auto result = Froskctl({"load", port, file, "--yes"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(RecordsReceived(log_), kVeltraRecordsInSendingOrder);
  EXPECT_NE(result.err.find(port + ": answered No: detection module 000412-25 runs firmware version 1"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(kQuestion), std::string::npos) << result.err;
}

// The simulator drops its 22nd reply: after the 19 requests that read a
// VELTRA controller, the third record's.
TEST_F(ConfigVerbsTest, ALoadStoppedByATimeOutNamesWhatWentInAndLeavesServiceMode) {
  const std::string file = SavedVeltraFile();
  const std::string port = Sim({"--module", "veltra", "--drop-every", "22"});
  const auto result = Froskctl({"load", port, file, "--yes"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(Lines(result.out),
            (std::vector<std::string>{"record 1 of 11: SET_DEVICE_IDEN", "record 2 of 11: SET_FROSKTEC_CONFIG",
                                      "record 3 of 11: SET_MODULE_IDEN", "Service mode switched off."}));
  EXPECT_NE(result.err.find("Communication timeout !\n"
                            "Written: SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG. No reply to SET_MODULE_IDEN.\n"
                            "Not sent: SET_MODULE_USER_MIN, SET_MODULE_USER_MAX, SET_MODULE_USER_SET, "
                            "SET_MODULE_DEFAULT, SET_MODULE_VELTRA_USER_MIN, SET_MODULE_VELTRA_USER_MAX, "
                            "SET_MODULE_VELTRA_USER_SET, SET_MODULE_VELTRA_DEFAULT.\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(RecordsReceived(log_),
            (std::vector<std::string>{"SET_DEVICE_IDEN", "SET_FROSKTEC_CONFIG", "SET_MODULE_IDEN"}));
  const std::vector<std::string> log = Lines(FileText(log_));
  ASSERT_GE(log.size(), 2u);
  EXPECT_TRUE(log[log.size() - 2].ends_with(" SET_SERVICE_MODE")) << log[log.size() - 2];
  EXPECT_TRUE(log.back().ends_with(" SERVICE_MODE")) << "answered: " << log.back();
}

TEST_F(ConfigVerbsTest, ALoadThatDoesNotFitTheDevicesSendsNothing) {
  const std::string file = SavedVeltraFile();
  const struct {
    std::vector<std::string> sim;
    const char* message;
  } cases[] = {
      {{"--module", "veltra", "--serial", "654321-00"},
       "File contains configuration data for QUVA controller,\nbut signature does not match your device !"},
      {{"--module", "veltra", "--module-serial", "000999-09"},
       "File contains configuration data for detection module,\nbut signature does not match connected module !"},
      {{"--module", "none"},
       "File contains configuration data for detection module,\nbut compatible module is not connected !"},
      {{"--module", "1wire"}, "File contains configuration data for KAZ module,\nbut no KAZ module is connected !"},
  };
  for (const auto& c : cases) {
    const auto result = Froskctl({"load", Sim(c.sim), file, "--yes"});
    EXPECT_EQ(result.exitCode, 1) << c.message;
    EXPECT_EQ(result.err, std::string(c.message) + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(RecordsReceived(log_).empty()) << c.message;
  }
}

TEST_F(ConfigVerbsTest, ALoadWithValuesOutsideTheirLimitsNamesThemAndSendsNothing) {
  using namespace key;
  const std::string saved = FileText(SavedVeltraFile());
  const std::string port = sim_ != nullptr ? sim_->Path() : "";
  const struct {
    const char* name;
    std::vector<FieldEdit> edits;
    std::vector<std::string> lines;
  } cases[] = {
      {"a user set above the file's own user maximum",
       {{SET_MODULE_USER_SET, MODULE_BASIC_PARAMS_I_TEC_MAX, 30000},
        {SET_MODULE_USER_MAX, MODULE_BASIC_PARAMS_I_TEC_MAX, 15000}},
       {"ModuleUserSet MODULE_BASIC_PARAMS_I_TEC_MAX 3.0000 A is above the field's maximum 2.0475 A",
        "ModuleUserSet MODULE_BASIC_PARAMS_I_TEC_MAX 3.0000 A is above ModuleUserMax 1.5000 A"}},
      {"a user maximum below the user minimum",
       {{SET_MODULE_USER_MAX, MODULE_BASIC_PARAMS_T_DET, 150000}},
       {"ModuleDefault MODULE_BASIC_PARAMS_T_DET 230.000 K is above ModuleUserMax 150.000 K",
        "ModuleUserSet MODULE_BASIC_PARAMS_T_DET 230.000 K is above ModuleUserMax 150.000 K",
        "ModuleUserMin MODULE_BASIC_PARAMS_T_DET 200.000 K is above ModuleUserMax 150.000 K"}},
  };
  for (const auto& c : cases) {
    const std::string file = dir_.Write("edited.froskconfig", EditedFile(saved, c.edits));
    const auto result = Froskctl({"load", port, file, "--yes"});
    EXPECT_EQ(result.exitCode, 1) << c.name;
    std::vector<std::string> expected = {"Values outside their limits, nothing was sent:"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(Lines(result.err), expected) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
  }
  EXPECT_TRUE(RecordsReceived(log_).empty());
}

TEST_F(ConfigVerbsTest, ALoadAsksAndWithoutATerminalTheAnswerIsCancel) {
  const std::string file = SavedVeltraFile();
  const auto result = Froskctl({"load", sim_ != nullptr ? sim_->Path() : "", file});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, std::string(kQuestion) + "\n");
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(RecordsReceived(log_).empty());
}

TEST_F(ConfigVerbsTest, AFileThatIsNoConfigurationIsAnIntegrityError) {
  const std::string port = Sim({"--module", "veltra"});
  for (const std::string& file : {dir_.Write("empty.froskconfig", "$0000#"), dir_.Path(),
                                  dir_.Write("big.froskconfig", std::string(1 << 20, '0'))}) {
    const auto result = Froskctl({"load", port, file, "--yes"});
    EXPECT_EQ(result.exitCode, 2) << file;
    EXPECT_EQ(result.err, "File integrity error !\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_TRUE(RecordsReceived(log_).empty());
}

TEST_F(ConfigVerbsTest, ASaveThatCannotBeWrittenFailsWithTheReasonAndKeepsWhatWasThere) {
  const std::string port = Sim({"--module", "nomem"});
  const std::string readOnly = dir_.Write("read-only.froskconfig", "kept");
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  const std::string pipe = dir_.Path() + "pipe.froskconfig";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  const std::string filling = dir_.Write("filling.froskconfig", "the earlier file");
  const std::pair<std::string, std::string> cases[] = {
      {readOnly, "is read-only"},      {dir_.Path(), "is a folder"},
      {pipe, "is not a regular file"}, {dir_.Path() + "no-folder/file.froskconfig", "No such file or directory"},
      {filling, "File too large"},
  };
  for (const auto& [target, why] : cases) {
    // Past 100 bytes a write fails as it does on a full disk; froskctl inherits the limit.
    std::optional<FileSizeLimit> limit;
    if (target == filling) limit.emplace(100);
    const auto result = Froskctl({"save", port, target});
    EXPECT_EQ(result.exitCode, 1) << target;
    EXPECT_EQ(result.err, "Cannot write " + target + ": " + why + "\nConfiuration write failed !\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(FileText(readOnly), "kept");
  EXPECT_EQ(FileText(filling), "the earlier file");
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    EXPECT_EQ(entry.path().extension() == ".tmp", false) << entry.path() << " left beside the target";

  const std::string target = dir_.Write("replaced.froskconfig", "old");
  const auto result = Froskctl({"save", port, target});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out + result.err, "") << "silent on success";
  EXPECT_EQ(Lines(Froskctl({"show", target}).out).back(), "mask=0x40000003");
}

}  // namespace
}  // namespace frosk::test
