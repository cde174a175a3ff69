#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "firmware/firmware_files.h"

namespace frosk::test {
namespace {

using namespace key;

const std::string kMustUpdate = "Your detection module has to be updated!\rDo you want to do it now?";
const std::string kObsolete = "Your software is probably obsolete!\rDo you want to check for updates?";
const std::string kOlder = "Older firmware version detected in the module.\rDo you want to upgrade it now?";
const std::string kNotRecognized =
    "Detection module not recognized!\rMaybe your software is obsolete...\rDo you want to check for updates?";

struct CheckCase {
  const char* name;
  int moduleType;
  const char* serial;
  uint16_t firmVer;
  int status;
  const char* kazInfo;  // nullptr: no Kaz.info in the firmware folder
  bool serviceSetting;
  int answer;
  std::vector<Message> messages;
  std::optional<CloseAction> close;
};

class ModuleCheckTest : public EngineTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ModuleCheckTest, AsksAndClosesAsTheModuleRequires) {
  const CheckCase& c = GetParam();
  if (c.kazInfo != nullptr)
    dir_.Write("firmware/Kaz.info", c.kazInfo);
  else
    std::remove((dir_.Path() + "firmware/Kaz.info").c_str());
  FakeDevice device(c.moduleType);
  device.SetMonitor(c.moduleType, c.status);
  device.SetModuleIden(c.serial, c.firmVer);
  host_.serviceMode = c.serviceSetting;
  prompter_.answers = {c.answer};

  RunSequence(device);

  std::vector<Message> expected = c.messages;
  for (Message& message : expected)
    if (message.text == "FILE") message.text = UnreadableInfoFileMessage(dir_.Path() + "firmware/Kaz.info");
  EXPECT_EQ(prompter_.shown, expected);
  if (c.close) {
    EXPECT_EQ(host_.closeRequests, std::vector<CloseAction>{*c.close});
    EXPECT_EQ(engine_.SequenceState(), SequenceState::kCheckDeclined);
    EXPECT_EQ(host_.SentKeys().back(), GET_MODULE_IDEN) << "nothing is sent after the close request";
  } else {
    EXPECT_TRUE(host_.closeRequests.empty());
    EXPECT_EQ(engine_.SequenceState(), SequenceState::kIdle);
    EXPECT_EQ(host_.SentKeys(), ReadingSequence(c.moduleType));
  }
}

constexpr unsigned kWarn = 52;   // Yes/No, warning icon
constexpr unsigned kError = 20;  // Yes/No, error icon
const char* const kKaz5 = "FirmVer=5\n";
constexpr auto kProgram = CloseAction::kCloseAndProgramModule;
constexpr auto kUpdates = CloseAction::kCloseAndCheckForUpdates;
constexpr auto kClose = CloseAction::kClose;
constexpr std::optional<CloseAction> kStays = std::nullopt;  // the sequence goes on

// clang-format off
const CheckCase kCheckCases[] = {
    // name, module type, serial, firmware, status, Kaz.info, ServiceMode setting, answer, messages, close
    {"FactorySerial301Yes", 3, "000301-14", 0, 0, kKaz5, false, kIdYes, {{kMustUpdate, kWarn}}, kProgram},
    {"FactorySerial547No", 3, "000547-13", 65535, 0, kKaz5, false, kIdNo, {{kMustUpdate, kWarn}}, kClose},
    {"FactorySerialNoInService", 3, "000547-13", 65535, 0, kKaz5, true, kIdNo, {{kMustUpdate, kWarn}}, kStays},
    {"FactorySerialOtherVersion", 3, "000301-14", 5, 0, kKaz5, false, kIdYes, {}, kStays},
    {"IncompatibleOlderModuleYes", 3, "000100-01", 4, 140, kKaz5, false, kIdYes, {{kMustUpdate, kWarn}}, kProgram},
    {"IncompatibleNewerModuleYes", 3, "000100-01", 6, 140, kKaz5, false, kIdYes, {{kObsolete, kError}}, kUpdates},
    {"IncompatibleNewerModuleNo", 3, "000100-01", 6, 140, kKaz5, false, kIdNo, {{kObsolete, kError}}, kClose},
    {"IncompatibleSameVersionAsksNothing", 3, "000100-01", 5, 140, kKaz5, false, kIdYes, {}, kStays},
    {"OlderVeltraFirmwareNoGoesOn", 3, "000100-01", 4, 0, kKaz5, false, kIdNo, {{kOlder, kWarn}}, kStays},
    {"OlderVeltraFirmwareYes", 3, "000100-01", 4, 0, kKaz5, false, kIdYes, {{kOlder, kWarn}}, kProgram},
    {"UnrecognisedModuleYes", 2, "000100-01", 1, 141, nullptr, false, kIdYes, {{kNotRecognized, kError}}, kUpdates},
    {"UnrecognisedModuleNoInService", 2, "000100-01", 1, 141, nullptr, true, kIdNo, {{kNotRecognized, kError}}, kStays},
    {"MissingInfoFileNamedCountsZero", 3, "000100-01", 4, 0, nullptr, false, kIdYes, {{"FILE", 16}}, kStays},
    {"MissingInfoFileThenObsolete", 3, "000100-01", 4, 140, nullptr, false, kIdNo, {{"FILE", 16}, {kObsolete, kError}},
     kClose},
    {"GarbledInfoFileCountsAsZeroSilently", 3, "000100-01", 4, 0, "FirmVer=five\n", false, kIdYes, {}, kStays},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, ModuleCheckTest, ::testing::ValuesIn(kCheckCases),
                         [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace frosk::test
