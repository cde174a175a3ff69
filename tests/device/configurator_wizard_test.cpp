// The configurator's wizard run through in the program's device window
// against frosk-sim, checked in the simulator's log of what it was sent.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QStackedWidget>
#include <fstream>
#include <sstream>

#include "device/configurator_page.h"
#include "simulated_program.h"

namespace frosk::test {
namespace {

// The keys of the SET requests the simulator received, in order.
std::vector<std::string> SetsReceived(const std::string& log) {
  std::vector<std::string> keys;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string time, device, direction, frame, key;
    words >> time >> device >> direction >> frame >> key;
    if (direction == "in" && key.starts_with("SET_")) keys.push_back(key);
  }
  return keys;
}

struct WizardRun {
  std::vector<ConfigPage> pages;  // where Next was pressed
  std::vector<std::string> sets;  // what the simulator was sent
  std::vector<ScriptedPrompter::Shown> messages;
  bool serviceModeAtEnd = true;  // as the controller last reported it
  ConfigPage endPage = ConfigPage::kWait;
};

// Opens the simulated controller's window as the program does, enters the
// configurator, starts the wizard and presses Next on every page it shows
// until the wizard is back on its start page.
WizardRun RunWizard(std::vector<std::string> simArgs) {
  WizardRun run;
  TempDir dir;
  const std::string log = dir.Path() + "sim.log";
  simArgs.insert(simArgs.end(), {"--log", log});
  SimulatedProgram program(simArgs, true);
  TFroskTecViewForm* window = program.Connect();
  EXPECT_NE(window, nullptr);
  if (window == nullptr) return run;
  DeviceEngine& engine = window->Engine();
  // Without polls the simulator counts exactly the requests of the test.
  engine.SetDeviceMonitorAuto(false);
  engine.SetModuleMonitorAuto(false);
  EXPECT_TRUE(program.RunUntil([&] { return engine.ViewReady(); }));
  const auto page = [&] {
    return static_cast<ConfigPage>(window->findChild<QStackedWidget*>("ConfigNotebook")->currentIndex());
  };
  const auto button = [&](const char* name) { return window->findChild<QPushButton*>(name); };

  button("ConfiguratorBitBtn")->click();
  EXPECT_TRUE(program.RunUntil([&] { return page() == ConfigPage::kStart; }));
  button("ConfigWizzardButton")->click();
  for (int i = 0; i < 10 && page() != ConfigPage::kStart; ++i) {
    if (!program.RunUntil([&] { return button("ConfigNextBitBtn")->isEnabled() || page() == ConfigPage::kStart; }))
      break;
    if (page() == ConfigPage::kStart) break;
    run.pages.push_back(page());
    button("ConfigNextBitBtn")->click();
  }
  // A time-out's box opens once the tick that saw it has returned, and what
  // it leaves queued goes out after it.
  program.RunUntil([&] { return !engine.Waiting() && !engine.QuestionHeld() && !engine.HasQueuedItem(); });
  run.endPage = page();
  run.serviceModeAtEnd = engine.ControllerInServiceMode();
  run.messages = program.prompter.shown;
  program.Disconnect();
  run.sets = SetsReceived(log);
  return run;
}

using Strings = std::vector<std::string>;
const Strings kController = {"SET_DEVICE_IDEN", "SET_FROSKTEC_CONFIG"};
const Strings kNoMem = {"SET_FROSKTEC_MOD_NO_MEM_IDEN", "SET_FROSKTEC_MOD_NO_MEM_DEFAULT",
                        "SET_FROSKTEC_MOD_NO_MEM_USER_SET", "SET_FROSKTEC_MOD_NO_MEM_USER_MIN",
                        "SET_FROSKTEC_MOD_NO_MEM_USER_MAX"};
const Strings kModule = {"SET_MODULE_IDEN", "SET_MODULE_DEFAULT", "SET_MODULE_USER_SET", "SET_MODULE_USER_MIN",
                         "SET_MODULE_USER_MAX"};
const Strings kVeltra = {"SET_MODULE_VELTRA_DEFAULT", "SET_MODULE_VELTRA_USER_SET", "SET_MODULE_VELTRA_USER_MIN",
                         "SET_MODULE_VELTRA_USER_MAX"};

// Service mode on as the configurator opens, the pages' records, service mode off.
Strings Chain(std::initializer_list<Strings> parts) {
  Strings keys = {"SET_SERVICE_MODE"};
  for (const Strings& part : parts) keys.insert(keys.end(), part.begin(), part.end());
  keys.push_back("SET_SERVICE_MODE");
  return keys;
}

const ScriptedPrompter::Shown kChanged{"Configuration successfully changed.", 0x40};

TEST(ConfiguratorWizardTest, AControllerWithoutModuleOrNomemCompatibilityGetsItsOwnRecordsOnly) {
  const WizardRun run = RunWizard({"--module", "none"});
  EXPECT_EQ(run.pages, std::vector<ConfigPage>{ConfigPage::kDeviceIden});
  EXPECT_EQ(run.sets, Chain({kController}));
  EXPECT_EQ(run.messages, std::vector<ScriptedPrompter::Shown>{kChanged});
  EXPECT_FALSE(run.serviceModeAtEnd);
  EXPECT_EQ(run.endPage, ConfigPage::kStart);
}

TEST(ConfiguratorWizardTest, AOneWireModuleGetsTheModulePagesButNoVeltraPage) {
  const WizardRun run = RunWizard({"--module", "1wire"});
  EXPECT_EQ(run.pages,
            (std::vector<ConfigPage>{ConfigPage::kDeviceIden, ConfigPage::kModuleIden, ConfigPage::kModuleParams}));
  EXPECT_EQ(run.sets, Chain({kController, kModule}));
  EXPECT_EQ(run.messages, std::vector<ScriptedPrompter::Shown>{kChanged});
  EXPECT_FALSE(run.serviceModeAtEnd);
}

TEST(ConfiguratorWizardTest, ANomemCompatibleControllerWithAVeltraModuleGoesThroughEveryPage) {
  const WizardRun run = RunWizard({"--module", "veltra", "--nomem-compatible"});
  EXPECT_EQ(run.pages,
            (std::vector<ConfigPage>{ConfigPage::kDeviceIden, ConfigPage::kModuleIden, ConfigPage::kModuleParams,
                                     ConfigPage::kModuleIden, ConfigPage::kModuleParams, ConfigPage::kVeltraParams}));
  EXPECT_EQ(run.sets, Chain({kController, kNoMem, kModule, kVeltra}));
  EXPECT_EQ(run.messages, std::vector<ScriptedPrompter::Shown>{kChanged});
  EXPECT_FALSE(run.serviceModeAtEnd);
}

TEST(ConfiguratorWizardTest, AControllerThatStopsAnsweringInTheChainIsToldWhatWentInAndLeavesServiceMode) {
  // After the scan's probe, the 14 requests of the reading sequence and
  // service mode, the 1WIRE controller answers the controller's records and
  // the module's identification and leaves the module's default unanswered.
  // (A controller whose port goes away is lost instead, and its window with it.)
  const WizardRun run = RunWizard({"--module", "1wire", "--drop-every", "20"});
  EXPECT_EQ(run.pages,
            (std::vector<ConfigPage>{ConfigPage::kDeviceIden, ConfigPage::kModuleIden, ConfigPage::kModuleParams}));
  EXPECT_EQ(run.sets, (Strings{"SET_SERVICE_MODE", "SET_DEVICE_IDEN", "SET_FROSKTEC_CONFIG", "SET_MODULE_IDEN",
                               "SET_MODULE_DEFAULT", "SET_SERVICE_MODE"}));
  EXPECT_EQ(run.messages,
            (std::vector<ScriptedPrompter::Shown>{
                {"Communication timeout !\rWritten: SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG, SET_MODULE_IDEN. "
                 "No reply to SET_MODULE_DEFAULT.\rNot sent: SET_MODULE_USER_SET, SET_MODULE_USER_MIN, "
                 "SET_MODULE_USER_MAX.",
                 0x10},
                {"Service mode switched off.", 0x40}}));
  EXPECT_FALSE(run.serviceModeAtEnd);
  EXPECT_EQ(run.endPage, ConfigPage::kStart);
}

}  // namespace
}  // namespace frosk::test
