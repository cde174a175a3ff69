#include "app/discovery_engine.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "discovery_fixture.h"
#include "protocol/frame.h"
#include "protocol/item.h"
#include "protocol/keys.h"
#include "support/event_pump.h"
#include "support/local_http_server.h"
#include "support/run_program.h"

namespace frosk {
namespace {

using test::FakeController;
using test::LocalHttpServer;
using Answer = FakeController::Answer;

const std::string kStamp = "2026-12-10 09:05:07  ";
const test::ScriptedPrompter::Shown kUpToDateBox{"Your software is up to date !", mb::kIconInformation};
const test::ScriptedPrompter::Shown kFailedBox{"Checking for updates failed !", mb::kIconStop};
const test::ScriptedPrompter::Shown kOfferBox{"Software update is available.\rDo you want to download it now?",
                                              mb::kYesNo | mb::kIconQuestion};

std::string ReplyWithBuild(int build, const std::string& page = "https://example.invalid/new") {
  return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n[FroskManager]\r\nVersion=1.2.0\r\nBuild=" +
         std::to_string(build) + "\r\nInfoPage=" + page + "\r\n";
}

// An engine over real links to controllers the test plays, timed by a manual
// clock: every tick first lets the controllers answer what reached them.
class DiscoveryEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureCoreApplication(); }
  void TearDown() override { engine_.reset(); }

  FakeController& AddController(const std::string& name, uint32_t serial, Answer answer = Answer::kAtOnce) {
    controllers_.push_back(std::make_unique<FakeController>(name, serial, answer));
    return *controllers_.back();
  }

  DiscoveryEngine& MakeEngine(std::optional<std::vector<std::string>> ports, std::string updateServer = {}) {
    if (updateServer.empty()) updateServer = "127.0.0.1:" + std::to_string(LocalHttpServer::ClosedPort());
    DiscoveryEngine::Options options{std::move(ports), *ParseUpdateServer(updateServer)};
    engine_ = std::make_unique<DiscoveryEngine>(
        DiscoveryEngine::Surroundings{clock_, wall_, prompter_, opener_, settings_, links_, beeper_, folders_},
        std::move(options));
    engine_->SetDeviceWindowFactory([this](DeviceConnection&) {
      auto window = std::make_unique<test::CountedWindow>(&windowsDestroyed_);
      windows_.push_back(window.get());
      return window;
    });
    QObject::connect(engine_.get(), &DiscoveryEngine::StatusTextChanged,
                     [this](const QString& text) { statusTexts_.push_back(text.toStdString()); });
    QObject::connect(engine_.get(), &DiscoveryEngine::ExitFinished, [this] { ++exitsFinished_; });
    return *engine_;
  }

  void Tick() {
    for (auto& controller : controllers_) {
      // An answer is on the line: let it arrive before time moves on.
      if (controller->Service()) test::WaitFor([&] { return engine_->State() != ScanState::AwaitProbeReply; });
    }
    engine_->Timer1Timer();
  }

  bool RunUntil(const std::function<bool()>& done, int maxTicks = 300) {
    return test::DriveTicks(
        clock_, [this] { Tick(); }, done, maxTicks);
  }
  bool RunUntilState(ScanState state) {
    return RunUntil([&] { return engine_->State() == state; });
  }
  void Scan() {
    engine_->ReloadDevices();
    ASSERT_TRUE(RunUntilState(ScanState::Ready));
  }

  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& entry : engine_->Devices())
      rows.push_back(std::string(entry->Iden.name) + "\t" + SerialToText(entry->Iden.serial) + "\t" +
                     DateToText(entry->Iden.prodDate) + "\t" + entry->Port.portName);
    return rows;
  }
  std::string Row(const FakeController& controller, const std::string& serial) const {
    return controller.Name() + "\t" + serial + "\t2021-03-24\t" + controller.Port();
  }

  DeviceEntry* Entry(size_t row) { return engine_->Devices().at(row).get(); }
  DeviceEngine& EngineOf(size_t row) { return Entry(row)->Connection->Engine(); }
  std::vector<std::string> LastLogLines(size_t count) const {
    const std::vector<std::string>& lines = engine_->Log().Lines();
    return {lines.end() - static_cast<long>(std::min(count, lines.size())), lines.end()};
  }

  ManualTickClock clock_{4294960000u};  // wraps during the tests
  FixedWallClock wall_{{2026, 12, 10, 9, 5, 7}};
  test::ScriptedPrompter prompter_;
  test::RecordingUrlOpener opener_;
  Settings settings_;
  test::WatchedLinks links_;
  struct : Beeper {
    void Beep() override {}
  } beeper_;
  const Folders folders_ = Folders::Beside(FROSK_BIN_DIR);
  std::vector<std::unique_ptr<FakeController>> controllers_;
  std::vector<test::CountedWindow*> windows_;
  int windowsDestroyed_ = 0;
  std::vector<std::string> statusTexts_;
  int exitsFinished_ = 0;
  std::unique_ptr<DiscoveryEngine> engine_;
};

TEST_F(DiscoveryEngineTest, StartUpWithoutAnUpdateServerLogsFourLines) {
  FakeController& device = AddController("FroskTec One", 123456);
  MakeEngine(std::vector<std::string>{device.Port()});
  ASSERT_TRUE(RunUntilState(ScanState::Ready));

  EXPECT_EQ(engine_->Log().Lines(), (std::vector<std::string>{
                                        kStamp + "Initialization ... finished.",
                                        kStamp + "Checking for updates ... CONNECTION FAILED !",
                                        kStamp + "Searching for devices ... 1 device(s) found.",
                                        kStamp + "READY",
                                    }));
  EXPECT_EQ(statusTexts_, (std::vector<std::string>{"Initialization ... ", "Checking for updates ... ",
                                                    "Searching for devices ... ", "READY"}));
  EXPECT_TRUE(prompter_.shown.empty()) << "a failed check behind the splash asks nothing";
  EXPECT_TRUE(engine_->MainWindowShown());
  EXPECT_EQ(engine_->UpdateResult(), kUpdateFailed);
  EXPECT_EQ(Rows(), std::vector<std::string>{Row(device, "123456-07")});
}

TEST_F(DiscoveryEngineTest, OnlyDevicesThatIdentifyThemselvesAreListedInPortOrder) {
  FakeController& silent = AddController("", 0, Answer::kNever);
  FakeController& confused = AddController("", 0, Answer::kGarbage);
  FakeController& first = AddController("FroskTec A", 111111);
  FakeController& second = AddController("FroskTec B", 222222);
  MakeEngine(
      std::vector<std::string>{silent.Port(), confused.Port(), first.Port(), "/dev/frosk-no-such-port", second.Port()});
  Scan();

  EXPECT_EQ(Rows(), (std::vector<std::string>{Row(first, "111111-07"), Row(second, "222222-07")}));
  EXPECT_EQ(engine_->Log().Lines().back(), kStamp + "READY");
  EXPECT_EQ(engine_->Log().Lines().end()[-2], kStamp + "Searching for devices ... 2 device(s) found.");
  EXPECT_EQ(silent.ProbesSeen(), 1);
  EXPECT_EQ(confused.ProbesSeen(), 1);
  EXPECT_EQ(links_.openNow, 0) << "every probe link is closed";
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(DiscoveryEngineTest, ADeviceAnsweringAfterTheWaitIsNotListed) {
  FakeController& late = AddController("Late", 333333, Answer::kWhenTold);
  FakeController& next = AddController("Next", 444444, Answer::kNever);
  MakeEngine(std::vector<std::string>{late.Port(), next.Port()});
  engine_->ReloadDevices();
  ASSERT_TRUE(RunUntilState(ScanState::AwaitProbeReply));
  const uint32_t probed = clock_.Now();
  ASSERT_TRUE(RunUntil([&] { return clock_.Now() - probed >= 700; }));
  EXPECT_NE(engine_->ProbeEntry().Port.portName, late.Port()) << "the port was given up at 500 ms";
  late.Send(late.IdenFrame());
  ASSERT_TRUE(RunUntilState(ScanState::Ready));
  test::PumpEvents(50);
  EXPECT_TRUE(engine_->Devices().empty());
  EXPECT_EQ(engine_->Log().Lines().end()[-2], kStamp + "Searching for devices ... NOT FOUND !");
}

TEST_F(DiscoveryEngineTest, TheScanProbesTheGivenPortsTheStoredListOrTheSystemList) {
  FakeController& system = AddController("System", 1);
  FakeController& stored = AddController("Stored", 2);
  FakeController& given = AddController("Given", 3);
  struct Case {
    const char* name;
    bool useSpecificPorts;
    std::string portsList;
    std::optional<std::vector<std::string>> ports;
    std::vector<std::string> probed;
  } cases[] = {
      {"system list", false, ",," + stored.Port(), std::nullopt, {system.Port()}},
      {"stored list", true, "," + stored.Port() + ",,", std::nullopt, {stored.Port()}},
      {"stored list empty", true, "", std::nullopt, {}},
      {"--ports", true, stored.Port(), std::vector<std::string>{given.Port()}, {given.Port()}},
      {"--ports empty", false, "", std::vector<std::string>{}, {}},
  };
  for (const Case& c : cases) {
    settings_.UseSpecificPorts = c.useSpecificPorts;
    settings_.PortsList = c.portsList;
    links_.systemPorts = {system.Port()};
    links_.opened.clear();
    MakeEngine(c.ports);
    Scan();
    EXPECT_EQ(links_.opened, c.probed) << c.name;
    EXPECT_EQ(engine_->Devices().size(), c.probed.size()) << c.name;
    const std::string found = c.probed.empty() ? "NOT FOUND !" : "1 device(s) found.";
    EXPECT_EQ(engine_->Log().Lines().front(), kStamp + "Searching for devices ... " + found) << c.name;
  }
}

TEST_F(DiscoveryEngineTest, FramesReachOnlyTheEngineOfTheirOwnLinkAndOnlyWhenValid) {
  FakeController& first = AddController("FroskTec A", 111111);
  FakeController& second = AddController("FroskTec B", 222222);
  MakeEngine(std::vector<std::string>{first.Port(), second.Port()});
  Scan();
  engine_->Connect(Entry(0));
  engine_->Connect(Entry(1));
  ASSERT_EQ(windows_.size(), 2u);
  int stored[2] = {0, 0};
  for (int row : {0, 1})
    EngineOf(row).AddRefreshListener([&stored, row](GroupMask groups) {
      if (groups & GroupBit(Group::kDeviceIden)) ++stored[row];
    });

  std::string badCheck = first.IdenFrame();
  badCheck[badCheck.size() - 2] = badCheck[badCheck.size() - 2] == '0' ? '1' : '0';
  first.Send(badCheck);
  first.Send(test::FrameOfBytes({0x01, 0x00, 0x00, 0x40, 0x00, 0x11}));  // longer than it is
  first.Send(first.IdenFrame());
  second.Send(second.IdenFrame());
  ASSERT_TRUE(test::WaitFor([&] { return stored[0] + stored[1] >= 2; }));
  test::PumpEvents(50);

  EXPECT_EQ(stored[0], 1);
  EXPECT_EQ(stored[1], 1);
  EXPECT_EQ(EngineOf(0).DeviceIden().At(key::DEVICE_IDEN_NAME).ValueToText(), "FroskTec A");
  EXPECT_EQ(EngineOf(1).DeviceIden().At(key::DEVICE_IDEN_NAME).ValueToText(), "FroskTec B");
}

TEST_F(DiscoveryEngineTest, ReloadDuringAScanStartsAfreshAndLeavesNoPortOpen) {
  FakeController& one = AddController("", 0, Answer::kNever);
  FakeController& two = AddController("", 0, Answer::kNever);
  MakeEngine(std::vector<std::string>{one.Port(), two.Port()});
  engine_->ReloadDevices();
  ASSERT_TRUE(RunUntilState(ScanState::AwaitProbeReply));
  ASSERT_EQ(links_.openNow, 1);

  engine_->ReloadDevices();
  Tick();
  EXPECT_EQ(engine_->State(), ScanState::NextPort);
  EXPECT_EQ(links_.openNow, 0);
  EXPECT_EQ(engine_->PortQueue(), (std::deque<std::string>{one.Port(), two.Port()}));
  ASSERT_TRUE(RunUntilState(ScanState::Ready));
  EXPECT_EQ(links_.opened, (std::vector<std::string>{one.Port(), one.Port(), two.Port()}));
  EXPECT_EQ(links_.openNow, 0);
}

TEST_F(DiscoveryEngineTest, ALinkedDeviceIsOutOfReachOnceTheExitHasBegun) {
  FakeController& device = AddController("FroskTec A", 111111);
  MakeEngine(std::vector<std::string>{device.Port()});
  Scan();
  engine_->Connect(Entry(0));
  ASSERT_EQ(windows_.size(), 1u);
  DeviceEngine& engine = EngineOf(0);
  EXPECT_TRUE(engine.IsDeviceLinked());
  EXPECT_TRUE(engine.SendRequest(key::GET_SERVICE_MODE));
  engine.Break();

  prompter_.answers = {kIdNo, kIdYes};
  EXPECT_FALSE(engine_->CloseQuery());
  EXPECT_EQ(engine_->State(), ScanState::Ready);
  EXPECT_TRUE(engine.IsDeviceLinked());

  EXPECT_FALSE(engine_->CloseQuery());
  EXPECT_EQ(engine_->State(), ScanState::Exiting);
  EXPECT_TRUE(Entry(0)->Linked());
  EXPECT_FALSE(engine.IsDeviceLinked());
  EXPECT_FALSE(engine.SendRequest(key::GET_SERVICE_MODE));

  Tick();
  EXPECT_EQ(engine_->State(), ScanState::ExitDelay);
  EXPECT_TRUE(engine_->Devices().empty());
  EXPECT_EQ(windowsDestroyed_, 1);
  EXPECT_EQ(links_.openNow, 0);
  EXPECT_FALSE(engine_->MainWindowShown());
  ASSERT_TRUE(RunUntil([&] { return exitsFinished_ > 0; }, 20));
  RunUntil([] { return false; }, 15);
  EXPECT_EQ(exitsFinished_, 1);
  EXPECT_TRUE(opener_.opened.empty());
  EXPECT_TRUE(engine_->CloseQuery()) << "the final close needs no question";
  const test::ScriptedPrompter::Shown question{"Are you sure ?", 0x24};
  EXPECT_EQ(prompter_.shown, (std::vector<test::ScriptedPrompter::Shown>{question, question}));
  EXPECT_EQ(engine_->Log().Lines().back(), kStamp + "Exiting ... ");
}

// The item a device's engine handles, the device's window and its connection
// all stay whole while the handler waits in a nested event loop, in which the
// next frame arrives and the user disconnects the device.
TEST_F(DiscoveryEngineTest, ANestedEventLoopInAHandlerLeavesItsItemAndWindowIntact) {
  settings_.ServiceMode = true;  // the traffic reaches the observer
  FakeController& device = AddController("FroskTec A", 111111);
  FakeController& other = AddController("FroskTec B", 222222);
  MakeEngine(std::vector<std::string>{device.Port()});
  Scan();
  engine_->Connect(Entry(0));
  ASSERT_EQ(windows_.size(), 1u);

  struct NestedLoop : TrafficObserver {
    std::function<void(const uint8_t*)> onItem;
    int received = 0;
    void ItemSent(const uint8_t*) override {}
    void ItemReceived(const uint8_t* item) override {
      ++received;
      if (onItem) onItem(item);
    }
  } observer;
  bool checked = false;
  observer.onItem = [&](const uint8_t* item) {
    if (observer.received != 1) return;
    const std::vector<uint8_t> before(item, item + ItemLength(item));
    device.Send(other.IdenFrame());
    EXPECT_TRUE(test::WaitFor([&] { return observer.received == 2; }));
    engine_->Disconnect(Entry(0));
    test::PumpEvents(20);
    EXPECT_EQ(std::vector<uint8_t>(item, item + ItemLength(item)), before);
    EXPECT_FALSE(Entry(0)->Linked());
    EXPECT_EQ(windowsDestroyed_, 0) << "destroyed while its handler still runs";
    checked = true;
  };
  EngineOf(0).SetTrafficObserver(&observer);
  device.Send(device.IdenFrame());
  ASSERT_TRUE(test::WaitFor([&] { return checked; }));
  ASSERT_TRUE(test::WaitFor([&] { return windowsDestroyed_ == 1; }));
  EXPECT_EQ(engine_->Devices().size(), 1u) << "the row stays";
}

TEST_F(DiscoveryEngineTest, ADeviceWindowRequestUnlinksTheDeviceAndMayStartTheUpdateCheck) {
  FakeController& device = AddController("FroskTec A", 111111);
  MakeEngine(std::vector<std::string>{device.Port()});
  Scan();
  engine_->Connect(Entry(0));
  engine_->CloseRequested(*Entry(0)->Connection, CloseAction::kClose);
  test::PumpEvents(20);
  EXPECT_FALSE(Entry(0)->Linked());
  EXPECT_EQ(windowsDestroyed_, 1);
  EXPECT_EQ(engine_->State(), ScanState::Ready);

  engine_->Connect(Entry(0));
  ASSERT_EQ(windows_.size(), 2u);
  engine_->CloseRequested(*Entry(0)->Connection, CloseAction::kCloseAndCheckForUpdates);
  test::PumpEvents(20);
  EXPECT_FALSE(Entry(0)->Linked());
  ASSERT_TRUE(RunUntilState(ScanState::Ready));
  EXPECT_EQ(engine_->Log().Lines().end()[-2], kStamp + "Checking for updates ... CONNECTION FAILED !");
  EXPECT_EQ(prompter_.shown,
            (std::vector<test::ScriptedPrompter::Shown>{{"Checking for updates failed !", mb::kIconStop}}));
}

// One log line per change of a linked device's health, with the time of its
// last reply; a port that hangs up unlinks the device.
TEST_F(DiscoveryEngineTest, ALinkedDeviceThatFallsSilentAnswersAgainAndIsLostIsLoggedOncePerChange) {
  AddController("FroskTec A", 111111, Answer::kAtOnce);
  MakeEngine(std::vector<std::string>{controllers_[0]->Port()});
  Scan();
  engine_->Connect(Entry(0));
  ASSERT_TRUE(Entry(0)->Linked());
  const std::string device =
      "FroskTec A (" + SerialToText(Entry(0)->Iden.serial) + ") on " + controllers_[0]->Port() + ": ";
  const size_t before = engine_->Log().Lines().size();
  const auto logged = [&] {
    const std::vector<std::string>& lines = engine_->Log().Lines();
    return std::vector<std::string>(lines.begin() + static_cast<long>(before), lines.end());
  };
  const std::string later = "2026-12-10 09:06:30  ";
  wall_.Set({2026, 12, 10, 9, 6, 30});

  // The fake answers nothing but its probe: the reading sequence times out.
  ASSERT_TRUE(RunUntil([&] { return Entry(0)->Connection->Health().state == LinkState::kNotAnswering; }));
  RunUntil([] { return false; }, 120);  // more time-outs change nothing
  EXPECT_EQ(logged(), std::vector<std::string>{later + device + "not answering since 09:05:07"});

  controllers_[0]->Send(controllers_[0]->IdenFrame());
  ASSERT_TRUE(test::WaitFor([&] { return Entry(0)->Connection->Health().state == LinkState::kLive; }));
  EXPECT_EQ(logged().back(), later + device + "answering again");

  // The device's own lines name it too, as several may be connected.
  const std::string refused = "SET_MODULE_USER_MIN not sent: ModuleUserMin was never read from the device";
  EXPECT_FALSE(Entry(0)->Connection->Engine().WriteGroup(Group::kModuleUserMin));
  EXPECT_EQ(logged().back(), later + device + refused);

  controllers_.clear();  // the adapter is pulled
  ASSERT_TRUE(test::WaitFor([&] { return !Entry(0)->Linked(); }));
  EXPECT_EQ(logged(), (std::vector<std::string>{later + device + "not answering since 09:05:07",
                                                later + device + "answering again", later + device + refused,
                                                later + device + "connection lost"}));
  test::PumpEvents(20);
  EXPECT_EQ(windowsDestroyed_, 1);
  EXPECT_EQ(engine_->Devices().size(), 1u) << "the row stays";
}

TEST_F(DiscoveryEngineTest, UpdateResultsAtStartUpAndFromTheMenu) {
  const std::string question = "Software update is available.\rDo you want to download it now?";
  struct Case {
    const char* name;
    std::string reply;
    bool fromMenu;
    int answer;
    std::string logLine;  // the update check's line, closed by the result
    std::vector<test::ScriptedPrompter::Shown> shown;
    std::vector<std::string> opened;
  } cases[] = {
      {"up to date", ReplyWithBuild(63), false, kIdNo, "Checking for updates ... your software is up to date.", {}, {}},
      {"update declined",
       ReplyWithBuild(64),
       false,
       kIdNo,
       "Checking for updates ... update found, ignored.",
       {{question, 0x24}},
       {}},
      {"update accepted",
       ReplyWithBuild(64),
       false,
       kIdYes,
       "Checking for updates ... ",
       {{question, 0x24}},
       {"https://example.invalid/new"}},
      {"page not on the web",
       ReplyWithBuild(70, "file:///etc/passwd"),
       false,
       kIdYes,
       "Checking for updates ... ",
       {{question, 0x24}},
       {}},
      {"up to date from the menu",
       ReplyWithBuild(63),
       true,
       kIdNo,
       "Checking for updates ... your software is up to date.",
       {{"Your software is up to date !", 0x40}},
       {}},
  };
  for (const Case& c : cases) {
    LocalHttpServer server({.reply = c.reply});
    prompter_ = {};
    prompter_.answers = {c.answer};
    opener_.opened.clear();
    exitsFinished_ = 0;
    MakeEngine(std::vector<std::string>{}, server.Address());
    if (c.fromMenu) {
      Scan();
      engine_->CheckForUpdates();
    }
    ASSERT_TRUE(RunUntil([&] { return engine_->State() == ScanState::Ready || exitsFinished_ > 0; })) << c.name;
    EXPECT_EQ(prompter_.shown, c.shown) << c.name;
    EXPECT_EQ(opener_.opened, c.opened) << c.name;
    const auto& lines = engine_->Log().Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), kStamp + c.logLine), lines.end()) << c.name;
    EXPECT_EQ(engine_->DownloadRequested(), c.answer == kIdYes) << c.name;
  }
}

TEST_F(DiscoveryEngineTest, AnUpdateResultArrivingDuringTheExitDoesNotStopIt) {
  LocalHttpServer server({.reply = ReplyWithBuild(70)});
  MakeEngine(std::vector<std::string>{}, server.Address());
  Scan();
  engine_->CheckForUpdates();
  prompter_.answers = {kIdYes};
  engine_->CloseQuery();
  ASSERT_TRUE(RunUntil([&] { return exitsFinished_ > 0; }, 40));
  EXPECT_EQ(engine_->State(), ScanState::ExitDelay);
  EXPECT_EQ(prompter_.shown.size(), 1u) << "only the exit question";
}

TEST_F(DiscoveryEngineTest, ConnectSaysWhyAPortWillNotOpenAndHonoursTheFirmwareCheck) {
  FakeController& device = AddController("FroskTec A", 111111);
  MakeEngine(std::vector<std::string>{device.Port()});
  Scan();

  engine_->SetCheckDeviceFirmware([](DeviceEntry&) { return false; });
  const size_t opens = links_.opened.size();
  engine_->Connect(Entry(0));
  EXPECT_EQ(links_.opened.size(), opens);
  EXPECT_FALSE(Entry(0)->Linked());

  engine_->SetCheckDeviceFirmware(nullptr);
  const std::string port = device.Port();
  PortSettings otherProgram;
  otherProgram.portName = port;
  int held = kNoPort;
  ASSERT_EQ(PortOpen(&held, otherProgram), 0);
  engine_->Connect(Entry(0));
  PortClose(&held);
  EXPECT_FALSE(Entry(0)->Linked());
  EXPECT_EQ(
      prompter_.shown,
      (std::vector<test::ScriptedPrompter::Shown>{
          {"Error opening device !\r" + port + ": in use by another program\rheld by " + test::ThisProcessAsHolder(),
           mb::kIconStop}}));

  controllers_.clear();  // the device's port vanishes
  engine_->Connect(Entry(0));
  EXPECT_FALSE(Entry(0)->Linked());
  EXPECT_TRUE(windows_.empty());
  ASSERT_EQ(prompter_.shown.size(), 2u);
  EXPECT_EQ(prompter_.shown[1].text.rfind("Error opening device !\r" + port + ": ", 0), 0u) << prompter_.shown[1].text;
  EXPECT_EQ(engine_->Devices().size(), 1u);
}

TEST_F(DiscoveryEngineTest, CommandsFollowTheSelectedEntry) {
  FakeController& device = AddController("FroskTec A", 111111);
  MakeEngine(std::vector<std::string>{device.Port()});
  Scan();
  DeviceEntry* entry = Entry(0);
  const auto commands = [](const DeviceEntry* e) {
    const DeviceCommands c = CommandsFor(e);
    return std::vector<bool>{c.connect, c.disconnect, c.show, c.hide, c.reload};
  };
  EXPECT_EQ(commands(nullptr), (std::vector<bool>{false, false, false, false, true}));
  EXPECT_EQ(commands(entry), (std::vector<bool>{true, false, false, false, true}));
  EXPECT_EQ(IconFor(entry->Iden.type, entry->Linked()), 2);
  engine_->Connect(entry);
  EXPECT_EQ(commands(entry), (std::vector<bool>{false, true, false, true, true}));
  EXPECT_EQ(IconFor(entry->Iden.type, entry->Linked()), 3);
  engine_->HideDeviceWindow(entry);
  EXPECT_EQ(commands(entry), (std::vector<bool>{false, true, true, false, true}));
  engine_->ShowDeviceWindow(entry);
  EXPECT_EQ(windows_.size(), 1u) << "shown again, not created again";
  engine_->Disconnect(entry);
  EXPECT_EQ(commands(entry), (std::vector<bool>{true, false, false, false, true}));
  EXPECT_EQ(IconFor(7, true), 0);
}

}  // namespace
}  // namespace frosk

namespace frosk {
namespace {

// The result box opens once the tick has returned, so the clock goes on under
// it and a connected device is polled ten times a second. The ticks come from
// a timer, as the program's do, each one 100 ms on the test's clock: a box
// opened inside a tick would stop them all.
TEST_F(DiscoveryEngineTest, TheClockRunsOnUnderAnOpenResultBox) {
  struct Case {
    const char* name;
    LocalHttpServer::Script server;
    test::ScriptedPrompter::Shown box;
  } cases[] = {
      {"up to date", {.reply = ReplyWithBuild(63)}, kUpToDateBox},
      {"update declined", {.reply = ReplyWithBuild(64)}, kOfferBox},
      {"failed", {.mode = LocalHttpServer::Mode::kCloseAtOnce}, kFailedBox},
  };
  settings_.UpdatesAutoCheck = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine_.reset();
    controllers_.clear();
    windows_.clear();
    prompter_ = {};
    LocalHttpServer server(c.server);
    FakeController& device = AddController("FroskTec A", 111111);
    MakeEngine(std::vector<std::string>{device.Port()}, server.Address());
    ASSERT_TRUE(RunUntilState(ScanState::Ready));
    engine_->Connect(Entry(0));
    DeviceConnection& connection = *Entry(0)->Connection;
    DeviceEngine& polling = connection.Engine();
    polling.Break();  // idle: every tick polls the controller's monitor

    std::optional<uint32_t> boxOpenedAt;
    int polled = 0;
    int polledInTheBoxsFirstSecond = 0;
    QObject::connect(&connection, &DeviceConnection::Ticked, [&] {
      if (!polling.Waiting() || polling.PendingKey() != key::GET_FROSKTEC_MONITOR) return;
      ++polled;
      if (boxOpenedAt && clock_.Now() - *boxOpenedAt <= 1000) ++polledInTheBoxsFirstSecond;
      polling.Break();  // the controller never answers; the next tick polls again
    });
    bool inTick = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      clock_.Advance(100);
      inTick = true;
      Tick();
      inTick = false;
    });
    prompter_.whileOpen = [&] {
      EXPECT_FALSE(inTick) << "the box is up inside a tick";
      boxOpenedAt = clock_.Now();
      EXPECT_TRUE(test::WaitFor([&] { return clock_.Now() - *boxOpenedAt > 1000; }));
    };

    engine_->CheckForUpdates();
    ticker.start(2);
    ASSERT_TRUE(test::WaitFor([&] { return engine_->State() == ScanState::Ready; }, 20000));
    ticker.stop();
    EXPECT_EQ(prompter_.shown, std::vector<test::ScriptedPrompter::Shown>{c.box});
    EXPECT_EQ(polledInTheBoxsFirstSecond, 10);
    EXPECT_TRUE(test::WaitFor([&] {
      device.Service();
      return device.RequestsSeen(key::GET_FROSKTEC_MONITOR) == polled;
    })) << "every request reached the device";
  }
}

// A second check that finishes while the first one's box is open shows its
// own box after the first has closed, never on top of it.
TEST_F(DiscoveryEngineTest, ASecondResultWaitsForTheFirstBoxToClose) {
  const std::string reply = ReplyWithBuild(63);
  LocalHttpServer server({.reply = reply});
  settings_.UpdatesAutoCheck = false;
  MakeEngine(std::vector<std::string>{}, server.Address());
  ASSERT_TRUE(RunUntilState(ScanState::Ready));

  int open = 0;
  int mostOpen = 0;
  prompter_.whileOpen = [&] {
    mostOpen = std::max(mostOpen, ++open);
    // As a device window asking for a check would, while the box is up; the
    // second reply is in and its read pause over before this box closes.
    if (prompter_.shown.size() == 1) {
      engine_->CheckForUpdates();
      EXPECT_TRUE(RunUntil([&] { return server.BytesSent() == 2 * reply.size(); }, 20));
      RunUntil([] { return false; }, (UpdateCheck::kReadPauseMs + 200) / 100);
    }
    --open;
  };
  engine_->CheckForUpdates();
  ASSERT_TRUE(RunUntil([&] { return prompter_.shown.size() == 2 && engine_->State() == ScanState::Ready; }, 50));
  EXPECT_EQ(mostOpen, 1);
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(prompter_.shown, (std::vector<test::ScriptedPrompter::Shown>{kUpToDateBox, kUpToDateBox}));
  EXPECT_EQ(LastLogLines(3), (std::vector<std::string>{kStamp + "Checking for updates ... ",
                                                       kStamp + "Checking for updates ... your software is up to date.",
                                                       kStamp + "READY"}));
}

// A check asked for during a scan of eight ports, two of them answering, lets
// the scan run to its end: both devices are listed, every port is probed once
// and let go, and only then does the result show. A check asked for before a
// reload, whose silent server gives up in the middle of the scan, waits the
// same way.
TEST_F(DiscoveryEngineTest, ACheckDuringAScanWaitsForItsEnd) {
  using Mode = LocalHttpServer::Mode;
  struct Case {
    const char* name;
    LocalHttpServer::Script server;
    bool askedBeforeTheReload;
    std::string result;  // closes the check's log line
    test::ScriptedPrompter::Shown box;
  } cases[] = {
      {"up to date", {.reply = ReplyWithBuild(63)}, false, "your software is up to date.", kUpToDateBox},
      {"garbage", {.reply = "\x16\x03\x01 garbage\r\n"}, false, "CONNECTION FAILED !", kFailedBox},
      {"reset", {.mode = Mode::kCloseAtOnce}, false, "CONNECTION FAILED !", kFailedBox},
      {"silent, asked before the reload", {.mode = Mode::kSilent}, true, "CONNECTION FAILED !", kFailedBox},
  };
  settings_.UpdatesAutoCheck = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine_.reset();
    controllers_.clear();
    prompter_ = {};
    LocalHttpServer server(c.server);
    std::vector<std::string> ports;
    const auto add = [&](const std::string& name, uint32_t serial, Answer answer) -> FakeController& {
      FakeController& controller = AddController(name, serial, answer);
      ports.push_back(controller.Port());
      return controller;
    };
    add("", 0, Answer::kNever);
    FakeController& first = add("FroskTec A", 111111, Answer::kAtOnce);
    add("", 0, Answer::kGarbage);
    ports.push_back("/dev/frosk-no-such-port");
    const std::string third = add("", 0, Answer::kNever).Port();
    FakeController& second = add("FroskTec B", 222222, Answer::kAtOnce);
    add("", 0, Answer::kNever);
    add("", 0, Answer::kNever);
    MakeEngine(ports, server.Address());
    ASSERT_TRUE(RunUntilState(ScanState::Ready));
    links_.opened.clear();

    uint32_t askedAt = clock_.Now();
    if (c.askedBeforeTheReload) {
      engine_->CheckForUpdates();
      ASSERT_TRUE(RunUntil([&] { return clock_.Now() - askedAt >= 7000; }));
      engine_->ReloadDevices();
    } else {
      engine_->ReloadDevices();
      ASSERT_TRUE(RunUntil([&] {
        return engine_->State() == ScanState::AwaitProbeReply && engine_->ProbeEntry().Port.portName == third;
      }));
      askedAt = clock_.Now();
      engine_->CheckForUpdates();
      EXPECT_EQ(engine_->State(), ScanState::AwaitProbeReply) << "the probe goes on";
    }
    prompter_.whileOpen = [&] {
      EXPECT_EQ(engine_->Devices().size(), 2u);
      EXPECT_EQ(links_.openNow, 0);
      if (c.askedBeforeTheReload) {
        EXPECT_GT(clock_.Now() - askedAt, UpdateCheck::kGiveUpMs) << "the server was given up during the scan";
      }
    };
    ASSERT_TRUE(RunUntil([&] { return engine_->State() == ScanState::Ready && !prompter_.shown.empty(); }));

    EXPECT_EQ(Rows(), (std::vector<std::string>{Row(first, "111111-07"), Row(second, "222222-07")}));
    EXPECT_EQ(links_.opened, ports) << "every port probed once";
    EXPECT_EQ(links_.openNow, 0);
    EXPECT_EQ(prompter_.shown, std::vector<test::ScriptedPrompter::Shown>{c.box});
    EXPECT_EQ(LastLogLines(3),
              (std::vector<std::string>{kStamp + "Searching for devices ... 2 device(s) found.",
                                        kStamp + "Checking for updates ... " + c.result, kStamp + "READY"}));
  }
}

// Unticked "Automatic Check for Updates": the start goes straight to the
// scan without a word to the server; the menu's command still checks.
TEST_F(DiscoveryEngineTest, WithTheAutomaticCheckOffOnlyTheMenuChecks) {
  LocalHttpServer server({.reply = ReplyWithBuild(63)});
  settings_.UpdatesAutoCheck = false;
  FakeController& device = AddController("FroskTec One", 123456);
  MakeEngine(std::vector<std::string>{device.Port()}, server.Address());
  ASSERT_TRUE(RunUntilState(ScanState::Ready));
  RunUntil([] { return false; }, 10);
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_EQ(engine_->Log().Lines(), (std::vector<std::string>{
                                        kStamp + "Initialization ... finished.",
                                        kStamp + "Searching for devices ... 1 device(s) found.",
                                        kStamp + "READY",
                                    }));
  EXPECT_EQ(engine_->UpdateResult(), kUpdateNone);

  engine_->CheckForUpdates();
  ASSERT_TRUE(RunUntilState(ScanState::Ready));
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(prompter_.shown, std::vector<test::ScriptedPrompter::Shown>{kUpToDateBox});
}

}  // namespace
}  // namespace frosk
