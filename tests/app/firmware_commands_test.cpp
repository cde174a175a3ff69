// The version check before a connect and the firmware programming commands,
// over a real discovery engine and controllers the test plays, with scripted
// answers and dialogs.
#include "app/firmware_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "discovery_fixture.h"
#include "support/event_pump.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using Shown = test::ScriptedPrompter::Shown;
using Job = test::ScriptedFirmwareDialogs::Job;

const Shown kUpdateQuestion{"Device has to be updated!\rDo you want to do it now?", 0x34};
const Shown kObsoleteQuestion{"Your software is probably obsolete!\rDo you want to check for updates?", 0x14};
const Shown kDespiteQuestion{"Do you want to connect despite the version mismatch?", 0x34};
const Shown kUnknownQuestion{"Unknown device!\rMaybe your software is obsolete...\rDo you want to check for updates?",
                             0x14};
const Shown kForceWarning{
    "Operation potentially unsafe. Should be used only in case of failure  during automatic firmware "
    "update.\r\rAre you sure?",
    0x31};

class FirmwareCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureCoreApplication();
    folder_.Write("firmware/FroskTec.info", "FirmVer=12\n");
    folder_.Write("firmware/FroskTecV2.info", "Name=QUVA V2\r\nfirmver = 20\r\n");
  }

  // One controller of the given type and firmware, found by a scan and
  // selected, and the commands over the engine that found it.
  DeviceEntry& Found(uint16_t type, uint16_t firmware) {
    commands_.reset();
    engine_.reset();
    controller_ = std::make_unique<test::FakeController>("FroskTec A", 111111);
    controller_->SetIden(type, firmware);
    engine_ = std::make_unique<DiscoveryEngine>(
        DiscoveryEngine::Surroundings{clock_, wall_, prompter_, opener_, settings_, links_, beeper_, folders_},
        DiscoveryEngine::Options{
            std::vector<std::string>{controller_->Port()},
            *ParseUpdateServer("127.0.0.1:" + std::to_string(test::LocalHttpServer::ClosedPort()))});
    engine_->SetDeviceWindowFactory([this](DeviceConnection&) {
      auto window = std::make_unique<test::CountedWindow>(&windowsDestroyed_);
      window_ = window.get();
      return window;
    });
    commands_ = std::make_unique<FirmwareCommands>(
        FirmwareCommands::Surroundings{*engine_, prompter_, settings_, Folders::Beside(folder_.Path()), dialogs_});
    engine_->ReloadDevices();
    EXPECT_TRUE(test::DriveTicks(
        clock_,
        [this] {
          if (controller_->Service()) test::WaitFor([&] { return engine_->State() != ScanState::AwaitProbeReply; });
          engine_->Timer1Timer();
        },
        [this] { return engine_->State() == ScanState::Ready; }, 100));
    EXPECT_EQ(engine_->Devices().size(), 1u);
    prompter_.shown.clear();
    return *engine_->Devices().front();
  }

  std::string Firmware(const std::string& name) const { return folder_.Path() + "firmware/" + name; }
  std::string LastLogLine() const { return engine_->Log().Lines().back(); }

  test::TempDir folder_;
  ManualTickClock clock_{1000};
  FixedWallClock wall_{{2026, 12, 10, 9, 5, 7}};
  test::ScriptedPrompter prompter_;
  test::RecordingUrlOpener opener_;
  Settings settings_;
  test::WatchedLinks links_;
  struct : Beeper {
    void Beep() override {}
  } beeper_;
  const Folders folders_ = Folders::Beside(FROSK_BIN_DIR);
  test::ScriptedFirmwareDialogs dialogs_;
  int windowsDestroyed_ = 0;
  test::CountedWindow* window_ = nullptr;
  std::unique_ptr<test::FakeController> controller_;
  std::unique_ptr<DiscoveryEngine> engine_;
  std::unique_ptr<FirmwareCommands> commands_;
};

// The firmware folder ships version 12 for QUVA and 20 for QUVA V2.
TEST_F(FirmwareCommandsTest, ConnectComparesTheDevicesFirmwareWithTheFolders) {
  enum Outcome { kConnected, kNothing, kProgrammedAndRescanned, kUpdateCheck };
  struct Case {
    const char* what;
    uint16_t type, firmware;
    bool serviceMode;
    std::deque<int> answers;
    std::vector<Shown> asked;
    Outcome outcome;
    int target = 0;
    const char* file = "";
  } cases[] = {
      // clang-format off
      {"QUVA at the folder's version",          1, 12, false, {},              {},                                   kConnected},
      {"QUVA behind, update accepted",          1, 11, false, {kIdYes},        {kUpdateQuestion},                    kProgrammedAndRescanned, 2, "FroskTec.hex"},
      {"QUVA V2 behind, update accepted",       4, 19, false, {kIdYes},        {kUpdateQuestion},                    kProgrammedAndRescanned, 1, "FroskTecV2.hex"},
      {"QUVA behind, update declined",          1, 0,  true,  {kIdNo},         {kUpdateQuestion},                    kNothing},
      {"QUVA ahead, no update check",           1, 13, false, {kIdNo},         {kObsoleteQuestion},                  kNothing},
      {"QUVA ahead, update check",              1, 13, true,  {kIdYes},        {kObsoleteQuestion},                  kUpdateCheck},
      {"service mode, connected despite",       4, 21, true,  {kIdNo, kIdYes}, {kObsoleteQuestion, kDespiteQuestion}, kConnected},
      {"service mode, not connected",           4, 21, true,  {kIdNo, kIdNo},  {kObsoleteQuestion, kDespiteQuestion}, kNothing},
      {"known type without files at version 0", 2, 0,  false, {},              {},                                   kConnected},
      {"known type without files ahead",        2, 1,  false, {kIdNo},         {kObsoleteQuestion},                  kNothing},
      {"unknown type, update check",            7, 12, false, {kIdYes},        {kUnknownQuestion},                   kUpdateCheck},
      // clang-format on
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings_.ServiceMode = c.serviceMode;
    dialogs_.jobs.clear();
    DeviceEntry& entry = Found(c.type, c.firmware);
    const std::string port = entry.Port.portName;
    prompter_.answers = c.answers;

    engine_->Connect(&entry);

    EXPECT_EQ(prompter_.shown, c.asked);
    EXPECT_EQ(links_.openNow, c.outcome == kConnected ? 1 : 0);
    const std::vector<Job> jobs = c.outcome == kProgrammedAndRescanned
                                      ? std::vector<Job>{{c.target, port, Firmware(c.file)}}
                                      : std::vector<Job>{};
    EXPECT_EQ(dialogs_.jobs, jobs);
    switch (c.outcome) {
      case kConnected: EXPECT_TRUE(engine_->Devices().front()->Linked()); break;
      case kNothing: EXPECT_EQ(engine_->State(), ScanState::Ready); break;
      case kProgrammedAndRescanned:
        EXPECT_TRUE(engine_->Devices().empty());
        EXPECT_EQ(engine_->State(), ScanState::ListPorts);
        EXPECT_EQ(LastLogLine(), "2026-12-10 09:05:07  Searching for devices ... ");
        break;
      case kUpdateCheck: EXPECT_EQ(engine_->State(), ScanState::UpdateCheckWait); break;
    }
  }
}

// An unknown device is refused before any info file is read, so a folder
// without them asks only about the device. A known type whose info file is
// missing names the file and connects nothing.
TEST_F(FirmwareCommandsTest, AMissingInfoFileIsNamedAndAnUnknownTypeReadsNone) {
  std::filesystem::remove(Firmware("FroskTec.info"));
  std::filesystem::remove(Firmware("FroskTecV2.info"));

  DeviceEntry& unknown = Found(7, 12);
  engine_->Connect(&unknown);
  EXPECT_EQ(prompter_.shown, std::vector<Shown>{kUnknownQuestion});
  EXPECT_EQ(engine_->State(), ScanState::Ready) << "No: no update check";

  DeviceEntry& quva = Found(1, 12);
  engine_->Connect(&quva);
  EXPECT_EQ(prompter_.shown,
            (std::vector<Shown>{
                {"Firmware information file is missing or unreadable:\r" + Firmware("FroskTec.info"), mb::kIconStop}}));
  EXPECT_FALSE(quva.Linked());
  EXPECT_EQ(links_.openNow, 0);
  EXPECT_TRUE(dialogs_.jobs.empty());
}

TEST_F(FirmwareCommandsTest, ForceDeviceProgrammingWarnsFirstThenClosesEverythingAndScansAgain) {
  DeviceEntry& entry = Found(1, 12);
  engine_->Connect(&entry);
  ASSERT_TRUE(entry.Linked());

  prompter_.answers = {kIdCancel};
  commands_->ForceDeviceProgramming();
  EXPECT_EQ(prompter_.shown, std::vector<Shown>{kForceWarning});
  EXPECT_TRUE(entry.Linked()) << "Cancel leaves the device connected";
  EXPECT_TRUE(dialogs_.targetDialogs.empty());
  EXPECT_EQ(engine_->State(), ScanState::Ready);

  prompter_.answers = {kIdOk};
  dialogs_.choice.reset();
  commands_->ForceDeviceProgramming();
  EXPECT_EQ(dialogs_.targetDialogs, std::vector<bool>{false});
  EXPECT_TRUE(engine_->Devices().empty());
  EXPECT_EQ(windowsDestroyed_, 1);
  EXPECT_EQ(links_.openNow, 0);
  EXPECT_TRUE(dialogs_.jobs.empty()) << "cancelled at the target dialog";
  EXPECT_EQ(engine_->State(), ScanState::ListPorts);
  EXPECT_EQ(LastLogLine(), "2026-12-10 09:05:07  Searching for devices ... ");
}

// Programming chosen while a reload is probing: the probe lets go of its port
// before the dialogs come up, and no probe starts while they are up.
TEST_F(FirmwareCommandsTest, ProgrammingHaltsAScanInProgress) {
  Found(1, 12);
  engine_->ReloadDevices();
  for (int i = 0; i < 3; ++i) engine_->Timer1Timer();
  ASSERT_EQ(engine_->State(), ScanState::AwaitProbeReply);
  ASSERT_EQ(links_.openNow, 1);

  int openDuringDialogs = 0;
  dialogs_.choice = TargetChoice{1, controller_->Port(), true, ""};
  dialogs_.whileOpen = [&] {
    for (int i = 0; i < 20; ++i) {
      clock_.Advance(100);
      engine_->Timer1Timer();
      openDuringDialogs = std::max(openDuringDialogs, links_.openNow);
    }
  };
  commands_->FlashFirmware();
  EXPECT_EQ(dialogs_.jobs.size(), 1u);
  EXPECT_EQ(openDuringDialogs, 0);
  EXPECT_EQ(engine_->State(), ScanState::ListPorts);
  EXPECT_EQ(LastLogLine(), "2026-12-10 09:05:07  Searching for devices ... ");
}

// The chosen file goes to the programming dialog when "other" was chosen;
// otherwise the target's default, which target 4 does not have.
TEST_F(FirmwareCommandsTest, TheTargetDialogsChoiceIsProgrammedWithItsFile) {
  struct Case {
    bool service;
    TargetChoice choice;
    Job job;
  } cases[] = {
      {false, {1, "COM3", true, "/ignored.hex"}, {1, "COM3", Firmware("FroskTecV2.hex")}},
      {false, {3, "ttyUSB0", true, ""}, {3, "ttyUSB0", Firmware("Kaz.hex")}},
      {true, {2, "COM3", false, "/my fw/new.hex"}, {2, "COM3", "/my fw/new.hex"}},
      {true, {4, "COM3", true, ""}, {4, "COM3", ""}},
      {true, {5, "", true, ""}, {5, "", Firmware("FroskTecV2_xboot.hex")}},
      {true, {6, "COM9", true, ""}, {6, "COM9", Firmware("FroskTec_xboot.hex")}},
  };
  Found(1, 12);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice.target);
    prompter_.shown.clear();
    prompter_.answers = {kIdOk};
    dialogs_.targetDialogs.clear();
    dialogs_.jobs.clear();
    dialogs_.choice = c.choice;
    if (c.service) {
      commands_->FlashFirmware();
    } else {
      commands_->ForceDeviceProgramming();
    }
    EXPECT_EQ(prompter_.shown.size(), c.service ? 0u : 1u) << "only the forced programming warns";
    EXPECT_EQ(dialogs_.targetDialogs, std::vector<bool>{c.service});
    EXPECT_EQ(dialogs_.jobs, std::vector<Job>{c.job});
    EXPECT_EQ(engine_->State(), ScanState::ListPorts);
  }
}

// Action 2 of a device window programs the module behind that controller;
// the device is closed and keeps its row, and no scan follows.
TEST_F(FirmwareCommandsTest, AModuleRequestFromADeviceWindowProgramsTheModuleOnItsPort) {
  DeviceEntry& entry = Found(1, 12);
  engine_->Connect(&entry);
  ASSERT_NE(window_, nullptr);
  engine_->CloseRequested(*entry.Connection, CloseAction::kCloseAndProgramModule);
  EXPECT_TRUE(dialogs_.jobs.empty()) << "only once the device's call has returned";
  ASSERT_TRUE(test::WaitFor([&] { return !dialogs_.jobs.empty(); }));
  EXPECT_EQ(dialogs_.jobs, (std::vector<Job>{{3, controller_->Port(), Firmware("Kaz.hex")}}));
  EXPECT_FALSE(entry.Linked());
  EXPECT_EQ(windowsDestroyed_, 1);
  EXPECT_EQ(engine_->Devices().size(), 1u);
  EXPECT_EQ(engine_->State(), ScanState::Ready);
}

}  // namespace
}  // namespace frosk
