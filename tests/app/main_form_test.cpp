// The main window over a real discovery engine: start-up, menus, commands and
// the exit sequence, against controllers the test plays on pseudo-terminals.
#include "app/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

#include "app/app_pictures.h"
#include "app/menu_style.h"
#include "app/startup_form.h"
#include "app/startup_windows.h"
#include "common/widget_seams.h"
#include "device/frosktec_view_form.h"
#include "discovery_fixture.h"
#include "protocol/frame.h"
#include "protocol/keys.h"
#include "settings/settings_form.h"
#include "support/event_pump.h"
#include "support/local_http_server.h"
#include "support/next_modal.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::FakeController;
using test::LocalHttpServer;
using test::OnNextModal;
using Answer = FakeController::Answer;

QStringList Captions(const QList<QAction*>& actions) {
  QStringList captions;
  for (const QAction* action : actions) captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return captions;
}

QStringList Names(const QList<QAction*>& actions) {
  QStringList names;
  for (const QAction* action : actions) names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
  return names;
}

std::string UpdateReply(int build) {
  return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n[FroskManager]\r\nVersion=1.2.0\r\nBuild=" +
         std::to_string(build) + "\r\nInfoPage=https://example.invalid/new\r\n";
}

// The program as main() builds it, with the settings store in a temporary
// folder, a manual clock and scripted answers to the engine's questions.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home_.Path()));
    // The firmware the test controllers run.
    home_.Write("firmware/FroskTec.info", "FirmVer=12\n");
  }
  void TearDown() override {
    windows_.reset();
    engine_.reset();
  }

  FakeController& AddController(const std::string& name, uint32_t serial, Answer answer = Answer::kAtOnce) {
    controllers_.push_back(std::make_unique<FakeController>(name, serial, answer));
    return *controllers_.back();
  }

  void Start(std::vector<std::string> ports, std::string updateServer = {}) {
    if (updateServer.empty()) updateServer = "127.0.0.1:" + std::to_string(LocalHttpServer::ClosedPort());
    engine_ = std::make_unique<DiscoveryEngine>(
        DiscoveryEngine::Surroundings{clock_, wall_, *prompter_, opener_, settings_, links_, beeper_, folders_},
        DiscoveryEngine::Options{std::move(ports), *ParseUpdateServer(updateServer)});
    windows_ =
        std::make_unique<StartupWindows>(*engine_, settings_, DeviceSeams{clock_, *prompter_, beeper_, folders_});
    // The test is the clock: ticks come from Tick() only.
    Form().findChild<QTimer*>("Timer1")->stop();
    QObject::connect(&Form(), &TMainForm::Closed, [this] { ++closed_; });
  }

  void StartAndScan(std::vector<std::string> ports) {
    Start(std::move(ports));
    ASSERT_TRUE(RunUntil([&] { return engine_->State() == ScanState::Ready; }));
  }

  void Tick() {
    for (auto& controller : controllers_)
      if (controller->Service()) test::WaitFor([&] { return engine_->State() != ScanState::AwaitProbeReply; });
    Form().Timer1Timer();
  }

  bool RunUntil(const std::function<bool()>& done, int maxTicks = 300) {
    return test::DriveTicks(
        clock_, [this] { Tick(); }, done, maxTicks);
  }
  void RunTicks(int ticks) {
    RunUntil([] { return false; }, ticks);
  }

  TMainForm& Form() { return windows_->MainForm(); }
  TStartupForm& Splash() { return windows_->StartupForm(); }
  QTreeWidget* List() { return Form().findChild<QTreeWidget*>("DevicesListView"); }
  QAction* Item(const char* name) { return Form().findChild<QAction*>(name); }
  DeviceEntry& Entry(size_t row) { return *engine_->Devices().at(row); }
  void Select(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }
  int RowImage(int row) { return List()->topLevelItem(row)->data(0, TMainForm::kImageIndexRole).toInt(); }

  void WriteStoredSettings(const std::function<void(QSettings&)>& write) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "DROV System", "FroskManager");
    write(store);
  }

  test::TempDir home_;
  ManualTickClock clock_{1000};
  FixedWallClock wall_{{2026, 12, 10, 9, 5, 7}};
  test::ScriptedPrompter scripted_;
  Prompter* prompter_ = &scripted_;
  test::RecordingUrlOpener opener_;
  ApplicationBeeper beeper_;
  Folders folders_ = Folders::Beside(home_.Path());
  Settings settings_;
  test::WatchedLinks links_;
  std::vector<std::unique_ptr<FakeController>> controllers_;
  std::unique_ptr<DiscoveryEngine> engine_;
  std::unique_ptr<StartupWindows> windows_;
  int closed_ = 0;
};

TEST_F(MainFormTest, StartUpCreatesTheNineWindowsInOrderAndTheLastLoadsTheSettings) {
  WriteStoredSettings([](QSettings& store) { store.setValue("Settings/ServiceMode", 1); });
  Start({});
  QStringList classes;
  for (const QWidget* window : windows_->InCreationOrder()) classes << window->metaObject()->className();
  EXPECT_EQ(classes, QStringList({"frosk::TMainForm", "frosk::TStartupForm", "frosk::TEnterValueForm",
                                  "frosk::TSelectFirmwareForm", "frosk::TUploadFirmwareForm", "frosk::TViewLogForm",
                                  "frosk::TEnterSerialForm", "frosk::TComPortsSelectForm", "frosk::TSettingsForm"}));
  EXPECT_EQ(windows_->InCreationOrder().first(), &Form());
  EXPECT_TRUE(settings_.ServiceMode) << "creating the settings dialog reads the store";
  EXPECT_FALSE(Form().isVisible());
  EXPECT_TRUE(Splash().isVisible());

  QStringList captions;
  for (const QWidget* window : windows_->InCreationOrder()) captions << window->windowTitle();
  EXPECT_EQ(captions, QStringList({"Frosk Manager", "", "Enter new value", "Frosk Flasher", "Firmware Upgrade",
                                   "View Log", "Serial Number", "Select Com Ports", "Settings"}));
}

TEST_F(MainFormTest, TheMainWindowIsShownOnlyWhenTheStartUpScanEnds) {
  LocalHttpServer server({LocalHttpServer::Mode::kReply, UpdateReply(63)});
  FakeController& first = AddController("FroskTec A", 111111);
  FakeController& silent = AddController("", 0, Answer::kNever);
  FakeController& second = AddController("FroskTec B", 222222);
  Start({first.Port(), silent.Port(), second.Port()}, server.Address());

  QStringList splashTexts;
  QObject::connect(engine_.get(), &DiscoveryEngine::StatusTextChanged,
                   [&] { splashTexts << Splash().findChild<QLabel*>("StatusLabel")->text(); });
  int ticksWhileHidden = 0;
  ASSERT_TRUE(RunUntil([&] {
    if (engine_->State() == ScanState::Ready) return true;
    EXPECT_FALSE(Form().isVisible()) << "state " << int(engine_->State());
    EXPECT_TRUE(Splash().isVisible());
    ++ticksWhileHidden;
    return false;
  }));
  EXPECT_GT(ticksWhileHidden, 10);
  EXPECT_TRUE(Form().isVisible());
  EXPECT_FALSE(Splash().isVisible());
  EXPECT_TRUE(scripted_.shown.empty()) << "an up-to-date check behind the splash asks nothing";
  EXPECT_EQ(splashTexts,
            QStringList({"Initialization ... ", "Checking for updates ... ", "Searching for devices ... ", "READY"}));

  const QString stamp = "2026-12-10 09:05:07  ";
  EXPECT_EQ(Form().findChild<QPlainTextEdit*>("StatusMemo")->toPlainText(),
            QStringList({stamp + "Initialization ... finished.",
                         stamp + "Checking for updates ... your software is up to date.",
                         stamp + "Searching for devices ... 2 device(s) found.", stamp + "READY"})
                .join('\n'));
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  const QStringList row = {"FroskTec A", "111111-07", "2021-03-24", QString::fromStdString(first.Port())};
  for (int column = 0; column < 4; ++column) EXPECT_EQ(List()->topLevelItem(0)->text(column), row[column]);
  EXPECT_EQ(List()->topLevelItem(1)->text(0), "FroskTec B");
  EXPECT_EQ(RowImage(0), 2);
  EXPECT_EQ(List()->topLevelItem(0)->data(0, TMainForm::kStateIndexRole).toInt(), 2);
  EXPECT_EQ(Splash().findChild<QLabel*>("InfoLabel")->text(), "Click to close");
}

TEST_F(MainFormTest, ServiceBarAndMenuAreShownExactlyWithServiceMode) {
  for (const bool serviceMode : {false, true}) {
    SCOPED_TRACE(serviceMode);
    WriteStoredSettings([&](QSettings& store) { store.setValue("Settings/ServiceMode", serviceMode ? 1 : 0); });
    StartAndScan({});
    EXPECT_EQ(Form().findChild<QLabel*>("ServicePanel")->isVisible(), serviceMode);
    EXPECT_EQ(Form().findChild<QMenu*>("ServiceMenuItem")->menuAction()->isVisible(), serviceMode);
    windows_.reset();
  }
}

TEST_F(MainFormTest, CommandsFollowTheSelectedDevice) {
  FakeController& device = AddController("FroskTec A", 111111);
  StartAndScan({device.Port()});

  struct Expected {
    bool connect, disconnect, show, hide;
    int image;
  };
  const auto check = [&](const char* what, Expected e) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Item("DevicesConnectMenuItem")->isEnabled(), e.connect);
    EXPECT_EQ(Item("PDeviceConnectMenuItem")->isEnabled(), e.connect);
    EXPECT_EQ(Item("DevicesDisconnectMenuItem")->isEnabled(), e.disconnect);
    EXPECT_EQ(Item("PDeviceDisconnectMenuItem")->isEnabled(), e.disconnect);
    EXPECT_EQ(Item("PDeviceShowMenuItem")->isEnabled(), e.show);
    EXPECT_EQ(Item("PDeviceHideMenuItem")->isEnabled(), e.hide);
    EXPECT_TRUE(Item("DevicesReloadMenuItem")->isEnabled());
    EXPECT_TRUE(Item("PDeviceReloadMenuItem")->isEnabled());
    if (e.image >= 0) {
      EXPECT_EQ(RowImage(0), e.image);
    }
  };

  check("no selection", {false, false, false, false, 2});
  Select(0);
  check("unlinked", {true, false, false, false, 2});
  Item("DevicesConnectMenuItem")->trigger();
  ASSERT_TRUE(Entry(0).Linked());
  check("linked and shown", {false, true, false, true, 3});
  Item("PDeviceHideMenuItem")->trigger();
  check("linked, window hidden", {false, true, true, false, 3});
  Item("PDeviceShowMenuItem")->trigger();
  check("shown again", {false, true, false, true, 3});
  Item("PDeviceDisconnectMenuItem")->trigger();
  EXPECT_FALSE(Entry(0).Linked());
  check("disconnected", {true, false, false, false, 2});

  // A double-click connects an unlinked device and shows a linked one's window.
  emit List()->itemDoubleClicked(List()->topLevelItem(0), 0);
  ASSERT_TRUE(Entry(0).Linked());
  Entry(0).Window->Hide();
  emit List()->itemDoubleClicked(List()->topLevelItem(0), 0);
  EXPECT_TRUE(Entry(0).Window->IsVisible());
  EXPECT_EQ(dynamic_cast<TFroskTecViewForm*>(Entry(0).Window.get())->windowTitle().toStdString(),
            "FroskTEC (" + device.Port() + ")")
      << "named by its port until its identification is read";

  // Reload closes every device window and starts a new scan.
  Item("PDeviceReloadMenuItem")->trigger();
  EXPECT_EQ(engine_->State(), ScanState::ListPorts);
  EXPECT_EQ(links_.openNow, 0);
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  check("list emptied", {false, false, false, false, -1});
  ASSERT_TRUE(RunUntil([&] { return engine_->State() == ScanState::Ready; }));
  EXPECT_EQ(List()->topLevelItemCount(), 1);
}

TEST_F(MainFormTest, ARowMarksItsDeviceWhileItDoesNotAnswerAndCutCellsShowTheirWholeText) {
  // These controllers answer the scan's probe and nothing after it.
  FakeController& quiet = AddController("Cryo Bench Controller West Wing", 111111);
  FakeController& other = AddController("FroskTec B", 222222);
  StartAndScan({quiet.Port(), other.Port()});
  QTreeWidgetItem* row = List()->topLevelItem(0);
  EXPECT_EQ(row->toolTip(0), "Cryo Bench Controller West Wing");
  EXPECT_EQ(row->toolTip(3).toStdString(), quiet.Port()) << "the port's path is wider than its column";
  EXPECT_EQ(row->toolTip(1), "") << "a serial number fits";
  EXPECT_EQ(List()->topLevelItem(1)->toolTip(0), "") << "a short name fits";

  const auto image = [&] { return row->icon(0).pixmap(kDeviceImageSize).toImage(); };
  Select(0);
  Item("DevicesConnectMenuItem")->trigger();
  ASSERT_TRUE(Entry(0).Linked());
  EXPECT_EQ(image(), Form().DevicesImageList()[3].toImage());
  ASSERT_TRUE(RunUntil([&] { return Entry(0).Connection->Health().state == LinkState::kNotAnswering; }));
  EXPECT_TRUE(row->data(0, TMainForm::kNotAnsweringRole).toBool());
  EXPECT_EQ(RowImage(0), 3) << "still a connected controller";
  EXPECT_NE(image(), Form().DevicesImageList()[3].toImage()) << "with its mark";
  EXPECT_FALSE(List()->topLevelItem(1)->data(0, TMainForm::kNotAnsweringRole).toBool());

  Item("DevicesDisconnectMenuItem")->trigger();
  EXPECT_FALSE(row->data(0, TMainForm::kNotAnsweringRole).toBool()) << "a device not connected is asked nothing";
  EXPECT_EQ(image(), Form().DevicesImageList()[2].toImage());
}

TEST_F(MainFormTest, TheKeyboardReachesTheMenusAndTheListsCommands) {
  FakeController& device = AddController("FroskTec A", 111111);
  StartAndScan({device.Port()});
  Form().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));

  // Enter on a row connects it, and on a linked one shows its window again:
  // the row the focus frame is on, also when nobody selected it (as after a scan).
  List()->setFocus();
  List()->clearSelection();
  List()->setCurrentItem(List()->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
  QTest::keyClick(List(), Qt::Key_Return);
  ASSERT_TRUE(Entry(0).Linked());
  Entry(0).Window->Hide();
  QTest::keyClick(List(), Qt::Key_Enter);
  EXPECT_TRUE(Entry(0).Window->IsVisible());
  // Delete disconnects it; a second Delete has nothing left to do.
  Form().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
  QTest::keyClick(List(), Qt::Key_Delete);
  EXPECT_FALSE(Entry(0).Linked());
  QTest::keyClick(List(), Qt::Key_Delete);
  EXPECT_FALSE(Entry(0).Linked());

  // F10 opens the first menu of the bar; each menu has its Alt letter.
  QTest::keyClick(&Form(), Qt::Key_F10);
  EXPECT_EQ(Form().menuBar()->activeAction(), Form().menuBar()->actions().front());
  QTest::keyClick(Form().menuBar(), Qt::Key_Escape);
  for (const QAction* menu : Form().menuBar()->actions())
    EXPECT_TRUE(menu->text().startsWith('&')) << menu->text().toStdString();

  // F5 reloads the list as "Realod Devices List" does.
  QTest::keyClick(&Form(), Qt::Key_F5);
  EXPECT_EQ(engine_->State(), ScanState::ListPorts);
  ASSERT_TRUE(RunUntil([&] { return engine_->State() == ScanState::Ready; }));
}

TEST_F(MainFormTest, ShowFroskTecWindowOpensAnotherUnlinkedWindowEachTime) {
  StartAndScan({});
  Item("ServiceShowFroskTecWindowMenuItem")->trigger();
  Item("ServiceShowFroskTecWindowMenuItem")->trigger();
  QList<QWidget*> shown;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->windowTitle() == "FroskTEC" && window->isVisible()) shown << window;
  ASSERT_EQ(shown.size(), 2);
  EXPECT_EQ(shown[0]->size(), QSize(987, 642));
  EXPECT_FALSE(dynamic_cast<TFroskTecViewForm*>(shown[0])->Engine().IsDeviceLinked());
}

TEST_F(MainFormTest, NoAtTheExitQuestionLeavesEverythingAsItWas) {
  FakeController& device = AddController("FroskTec A", 111111);
  StartAndScan({device.Port()});
  Select(0);
  Item("DevicesConnectMenuItem")->trigger();
  const std::vector<std::string> log = engine_->Log().Lines();

  EXPECT_FALSE(Form().close());
  Item("DevicesExitMenuItem")->trigger();
  RunTicks(15);

  EXPECT_EQ(scripted_.shown,
            (std::vector<test::ScriptedPrompter::Shown>{{"Are you sure ?", 0x24}, {"Are you sure ?", 0x24}}));
  EXPECT_EQ(engine_->State(), ScanState::Ready);
  EXPECT_TRUE(Entry(0).Linked());
  EXPECT_TRUE(Entry(0).Window->IsVisible());
  EXPECT_TRUE(Form().isVisible());
  EXPECT_FALSE(Splash().isVisible());
  EXPECT_EQ(engine_->Log().Lines(), log);
  EXPECT_EQ(closed_, 0);
}

// Yes at the question runs the whole exit: the splash stands in, every
// device is closed, and the window closes a second later. Leaving works the
// same while a device window waits for a reply, during a scan and during a probe.
TEST_F(MainFormTest, YesAtTheExitQuestionEndsTheProgramThroughItsSequence) {
  enum class When { kWindowWaitsForReply, kDuringScan, kDuringProbe };
  for (const When when : {When::kWindowWaitsForReply, When::kDuringScan, When::kDuringProbe}) {
    SCOPED_TRACE(int(when));
    controllers_.clear();
    FakeController& device = AddController("FroskTec A", 111111);
    FakeController& silent = AddController("", 0, Answer::kNever);
    StartAndScan({device.Port(), silent.Port()});
    if (when == When::kWindowWaitsForReply) {
      Select(0);
      Item("DevicesConnectMenuItem")->trigger();
      ASSERT_TRUE(RunUntil([&] { return Entry(0).Connection->Engine().Waiting(); }));
    } else {
      Item("DevicesReloadMenuItem")->trigger();
      const ScanState inside = when == When::kDuringScan ? ScanState::NextPort : ScanState::AwaitProbeReply;
      ASSERT_TRUE(RunUntil([&] { return engine_->State() == inside; }));
    }

    scripted_.answers = {kIdYes};
    closed_ = 0;
    EXPECT_FALSE(Form().close()) << "the first close only starts the exit";
    EXPECT_EQ(engine_->State(), ScanState::Exiting);
    EXPECT_TRUE(Splash().isVisible());
    EXPECT_EQ(Splash().findChild<QLabel*>("StatusLabel")->text(), "Exiting ... ");
    Tick();
    EXPECT_FALSE(Form().isVisible());
    EXPECT_TRUE(engine_->Devices().empty());
    EXPECT_EQ(links_.openNow, 0) << "the exit lets go of every port at once";
    ASSERT_TRUE(RunUntil([&] { return closed_ == 1; }, 20));
    EXPECT_TRUE(opener_.opened.empty());
    windows_.reset();
    engine_.reset();
    EXPECT_EQ(links_.openNow, 0) << "no port is left open";
    scripted_.shown.clear();
  }
}

TEST_F(MainFormTest, ADeviceThatVanishesWhileListedLeavesTheProgramWorking) {
  // The ports are named through links that go with their devices: a freed
  // pseudo-terminal's number may at once name another test's device.
  const test::TempDir names;
  const std::string linkedPort = names.Path() + "/a";
  const std::string unlinkedPort = names.Path() + "/b";
  std::filesystem::create_symlink(AddController("FroskTec A", 111111).Port(), linkedPort);
  std::filesystem::create_symlink(AddController("FroskTec B", 222222).Port(), unlinkedPort);
  StartAndScan({linkedPort, unlinkedPort});
  Select(0);
  Item("DevicesConnectMenuItem")->trigger();
  ASSERT_TRUE(Entry(0).Linked());
  controllers_.clear();  // both pseudo-terminals go away
  std::filesystem::remove(linkedPort);
  std::filesystem::remove(unlinkedPort);
  RunTicks(5);

  Item("DevicesDisconnectMenuItem")->trigger();
  EXPECT_FALSE(Entry(0).Linked());
  Select(1);
  Item("DevicesConnectMenuItem")->trigger();
  EXPECT_FALSE(Entry(1).Linked());
  EXPECT_EQ(scripted_.shown.back().text.rfind("Error opening device !\r", 0), 0u) << scripted_.shown.back().text;
  EXPECT_EQ(List()->topLevelItemCount(), 2) << "the row stays";

  Item("DevicesReloadMenuItem")->trigger();
  ASSERT_TRUE(RunUntil([&] { return engine_->State() == ScanState::Ready; }));
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_EQ(links_.openNow, 0);
}

// The download question comes over the splash before the main window was
// ever shown; Yes ends the program without "Are you sure ?" and opens the
// server's page on the way out.
TEST_F(MainFormTest, AnAcceptedDownloadEndsTheProgramWithoutAskingAgain) {
  MessageBoxPrompter boxes;
  prompter_ = &boxes;
  LocalHttpServer server({LocalHttpServer::Mode::kReply, UpdateReply(64)});
  Start({}, server.Address());

  QStringList asked;
  bool overSplash = false;
  QTimer answering;
  QObject::connect(&answering, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    asked << box->text();
    overSplash = Splash().isVisible() && !Form().isVisible();
    box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
  });
  answering.start(5);
  ASSERT_TRUE(RunUntil([&] { return closed_ == 1; }, 200));
  EXPECT_EQ(asked, QStringList({"Software update is available.\nDo you want to download it now?"}));
  EXPECT_TRUE(overSplash);
  EXPECT_EQ(opener_.opened, std::vector<std::string>{"https://example.invalid/new"});
  EXPECT_FALSE(Form().isVisible());
}

TEST_F(MainFormTest, SettingsAreSavedWhenTheWindowsGoAndNotBefore) {
  WriteStoredSettings([](QSettings& store) { store.setValue("Settings/ServiceMode", 1); });
  StartAndScan({});
  settings_.UseSpecificPorts = true;
  settings_.PortsList = "COM3,COM7";
  scripted_.answers = {kIdYes};
  Form().close();
  ASSERT_TRUE(RunUntil([&] { return closed_ == 1; }, 20));

  const auto stored = [](const char* name) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "DROV System", "FroskManager");
    return store.value(QStringLiteral("Settings/") + name);
  };
  EXPECT_FALSE(stored("PortsList").isValid()) << "nothing is written before the end";
  windows_.reset();
  EXPECT_EQ(stored("PortsList").toString(), "COM3,COM7");
  EXPECT_EQ(stored("UseSpecificPorts").toInt(), 1);
  EXPECT_EQ(stored("UpdatesAutoCheck").toInt(), 1);
  EXPECT_EQ(stored("ServiceMode").toInt(), 1);
}

// Cancel throws every change away, a port list chosen with "..." included;
// OK copies the dialog's record back. "Default" and OK switch service mode
// off for this run only: the store keeps it for the next.
TEST_F(MainFormTest, SettingsChangeTheProgramsRecordOnlyOnOk) {
  WriteStoredSettings([](QSettings& store) { store.setValue("Settings/ServiceMode", 1); });
  StartAndScan({});
  const Settings before = settings_;
  ASSERT_TRUE(before.ServiceMode);

  QString chosenList;
  OnNextModal([&](QWidget* settings) {
    settings->findChild<QCheckBox*>("UseSpecificPortsCheckBox")->click();
    OnNextModal([](QWidget* ports) {
      ports->findChild<QCheckBox*>("Com02CheckBox")->click();
      ports->findChild<QPushButton*>("OkBtn")->click();
    });
    settings->findChild<QPushButton*>("PortsListButton")->click();
    chosenList = settings->findChild<QLineEdit*>("PortsListEdit")->text();
    settings->findChild<QPushButton*>("CancelBtn")->click();
  });
  Item("OptionsSettingsMenuItem")->trigger();
  EXPECT_EQ(chosenList, "COM2");
  EXPECT_EQ(settings_, before);

  OnNextModal([](QWidget* settings) {
    EXPECT_TRUE(settings->findChild<QLineEdit*>("PortsListEdit")->text().isEmpty()) << "the copy starts afresh";
    settings->findChild<QPushButton*>("DefaultBtn")->click();
    settings->findChild<QPushButton*>("OkBtn")->click();
  });
  Item("OptionsSettingsMenuItem")->trigger();
  EXPECT_EQ(settings_, Settings{});
  EXPECT_FALSE(Form().findChild<QLabel*>("ServicePanel")->isVisible());
  EXPECT_FALSE(Form().findChild<QMenu*>("ServiceMenuItem")->menuAction()->isVisible());

  windows_.reset();  // the end of the run writes the store
  Start({});
  EXPECT_TRUE(settings_.ServiceMode) << "the next run has service mode again";
}

// "Flash Firmware..." asks nothing first and offers the six targets;
// cancelled, it still closes the devices and scans again.
TEST_F(MainFormTest, FlashFirmwareOffersTheServiceListWithoutWarning) {
  FakeController& device = AddController("FroskTec A", 111111);
  StartAndScan({device.Port()});
  Select(0);
  Item("DevicesConnectMenuItem")->trigger();
  ASSERT_TRUE(Entry(0).Linked());
  int targets = 0;
  OnNextModal([&](QWidget* select) {
    targets = select->findChild<QComboBox*>("DeviceTypeComboBox")->count();
    select->findChild<QPushButton*>("CancelBtn")->click();
  });
  Item("ServiceFirmwareMenuItem")->trigger();
  EXPECT_EQ(targets, 6);
  EXPECT_TRUE(scripted_.shown.empty());
  EXPECT_EQ(links_.openNow, 0);
  EXPECT_EQ(engine_->State(), ScanState::ListPorts);
}

// Force Device Programming through the real dialogs: the target dialog
// offers the --ports list, and the programming dialog runs Debian's avrdude
// against the simulated bootloader on the main window's 100 ms tick.
TEST_F(MainFormTest, ForceDeviceProgrammingRunsTheDialogsOnTheMainWindowsTick) {
  const auto bootloader = test::SimProcess::Start({"--bootloader", "x32a4"});
  ASSERT_TRUE(bootloader);
  std::filesystem::copy_file(std::string(FROSK_BIN_DIR) + "/firmware/FroskTec.hex",
                             home_.Path() + "firmware/FroskTec.hex");
  StartAndScan({bootloader->Path()});
  ASSERT_EQ(List()->topLevelItemCount(), 0);

  // The program's clock: it ticks the engine and, while it is up, the programming dialog.
  QTimer timer1;
  QObject::connect(&timer1, &QTimer::timeout, [this] {
    clock_.Advance(100);
    Form().Timer1Timer();
  });
  timer1.start(100);
  // A run that never ends fails the test instead of hanging it.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->done(QDialog::Rejected);
  });
  guard.start(60000);

  QStringList offeredPorts;
  int lastPage = -1;
  OnNextModal([&](QWidget* select) {
    auto* ports = select->findChild<QComboBox*>("ComPortComboBox");
    for (int i = 0; i < ports->count(); ++i) offeredPorts << ports->itemText(i);
    select->findChild<QComboBox*>("DeviceTypeComboBox")->setCurrentIndex(1);
    ports->setCurrentIndex(0);
    OnNextModal([&](QWidget* upload) {
      upload->findChild<QPushButton*>("StartBtn")->click();
      auto* watch = new QTimer(upload);
      QObject::connect(watch, &QTimer::timeout, [&lastPage, upload, watch] {
        lastPage = upload->findChild<QStackedWidget*>("Pages")->currentIndex();
        if (lastPage < 2) return;
        watch->stop();
        upload->findChild<QPushButton*>("CancelBtn")->click();
      });
      watch->start(20);
    });
    select->findChild<QPushButton*>("OkBtn")->click();
  });
  scripted_.answers = {kIdOk};
  Item("OptionsFlasherMenuItem")->trigger();
  timer1.stop();

  EXPECT_EQ(offeredPorts, QStringList{QString::fromStdString(bootloader->Path())});
  EXPECT_EQ(lastPage, 2) << "Done";
  EXPECT_EQ(scripted_.shown.size(), 1u);
  EXPECT_EQ(engine_->State(), ScanState::ListPorts);
  EXPECT_EQ(engine_->Log().Lines().back(), "2026-12-10 09:05:07  Searching for devices ... ");
}

// The device window's module check finds older module firmware; Yes closes
// the device and opens the programming dialog for the module behind it.
TEST_F(MainFormTest, AModuleUpdateFromTheDeviceWindowOpensTheProgrammingDialogForTheModule) {
  const auto controller = test::SimProcess::Start({"--module", "veltra", "--module-firmware", "4"});
  ASSERT_TRUE(controller);
  home_.Write("firmware/FroskTecV2.info", "FirmVer=12\n");
  home_.Write("firmware/Kaz.info", "FirmVer=5\n");
  StartAndScan({controller->Path()});
  ASSERT_EQ(List()->topLevelItemCount(), 1);
  Select(0);
  scripted_.answers = {kIdYes};
  Item("DevicesConnectMenuItem")->trigger();
  ASSERT_TRUE(Entry(0).Linked());

  QString instructions;
  OnNextModal([&](QWidget* upload) {
    instructions = upload->findChild<QTextEdit*>("InfoRichEdit")->toPlainText();
    upload->findChild<QPushButton*>("CancelBtn")->click();
  });
  ASSERT_TRUE(RunUntil([&] { return !instructions.isEmpty(); }));
  EXPECT_EQ(scripted_.shown.back().text,
            "Older firmware version detected in the module.\rDo you want to upgrade it now?");
  EXPECT_TRUE(instructions.contains("Press FIRMWARE UPDATE button on your KAZ device.")) << instructions.toStdString();
  EXPECT_FALSE(Entry(0).Linked());
  EXPECT_EQ(List()->topLevelItemCount(), 1) << "the row stays";
  EXPECT_EQ(engine_->State(), ScanState::Ready);
}

TEST_F(MainFormTest, AboutShowsTheSplashModallyUntilAClick) {
  StartAndScan({});
  bool modal = false;
  QTimer::singleShot(0, [&] {
    modal = QApplication::activeModalWidget() == &Splash();
    QTest::mouseClick(Splash().findChild<QLabel*>("VersionLabel"), Qt::LeftButton);
  });
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [&] { Splash().done(0); });
  guard.start(3000);
  Item("HelpAboutMenuItem")->trigger();
  EXPECT_TRUE(modal);
  EXPECT_FALSE(Splash().isVisible());
  EXPECT_TRUE(Splash().AboutMode());
}

TEST_F(MainFormTest, MenuBarHasItsMenusAndItemsInOrder) {
  Start({});
  QMenuBar* bar = Form().findChild<QMenuBar*>("MainMenu");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(Captions(bar->actions()), QStringList({"&Devices", "&Options", "&Service", "&Help"}));
  EXPECT_EQ(Names(bar->actions()),
            QStringList({"DevicesMenuItem", "OptionsMenuItem", "ServiceMenuItem", "HelpMenuItem"}));

  struct Menu {
    const char* name;
    QStringList captions;
    QStringList names;
  };
  const Menu menus[] = {
      {"DevicesMenuItem",
       {"Reload Devices List", "-", "Connect", "Disconnect", "Show Trends", "-", "Exit"},
       {"DevicesReloadMenuItem", "-", "DevicesConnectMenuItem", "DevicesDisconnectMenuItem",
        "DevicesShowTrendsMenuItem", "-", "DevicesExitMenuItem"}},
      {"OptionsMenuItem",
       {"Settings...", "-", "Force Device Programming...", "-", "Check for Updates..."},
       {"OptionsSettingsMenuItem", "-", "OptionsFlasherMenuItem", "-", "OptionsUpdatesMenuItem"}},
      {"ServiceMenuItem",
       {"Flash Firmware...", "Show FroskTEC Window"},
       {"ServiceFirmwareMenuItem", "ServiceShowFroskTecWindowMenuItem"}},
      {"HelpMenuItem", {"About"}, {"HelpAboutMenuItem"}},
      {"DevicesMenu",
       {"Realod Devices List", "-", "Connect", "Disconnect", "-", "Show", "Hide", "Show Trends"},
       {"PDeviceReloadMenuItem", "-", "PDeviceConnectMenuItem", "PDeviceDisconnectMenuItem", "-", "PDeviceShowMenuItem",
        "PDeviceHideMenuItem", "PDeviceShowTrendsMenuItem"}},
  };
  for (const Menu& m : menus) {
    SCOPED_TRACE(m.name);
    QMenu* menu = Form().findChild<QMenu*>(m.name);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Captions(menu->actions()), m.captions);
    EXPECT_EQ(Names(menu->actions()), m.names);
  }

  QMenu* context = Form().findChild<QMenu*>("DevicesMenu");
  ASSERT_EQ(Form().MenuImageList().size(), 1);
  EXPECT_EQ(Form().MenuImageList()[0].size(), QSize(24, 24));
  EXPECT_EQ(context->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, context), 24);
}

// The measured items are 20 pixels wider than the same items measured by the
// plain style; the two that do not name the measure handler are not.
TEST_F(MainFormTest, ItemsNamingTheMeasureHandlerAre20PixelsWider) {
  WriteStoredSettings([](QSettings& store) { store.setValue("Settings/ServiceMode", 1); });
  Start({});
  QMenuBar* bar = Form().findChild<QMenuBar*>("MainMenu");
  QMenuBar plainBar;
  for (QAction* action : bar->actions()) plainBar.addAction(action->text());
  Form().show();
  plainBar.show();
  for (int i = 0; i < bar->actions().size(); ++i) {
    SCOPED_TRACE(bar->actions()[i]->text().toStdString());
    EXPECT_EQ(bar->actionGeometry(bar->actions()[i]).width(),
              plainBar.actionGeometry(plainBar.actions()[i]).width() + MenuStyle::kExtraWidth);
  }

  struct Measured {
    const char* menu;
    const char* name;
    bool wider;
  };
  const Measured items[] = {{"OptionsMenuItem", "OptionsSettingsMenuItem", true},
                            {"OptionsMenuItem", "OptionsFlasherMenuItem", false},
                            {"OptionsMenuItem", "OptionsUpdatesMenuItem", true},
                            {"ServiceMenuItem", "ServiceFirmwareMenuItem", true},
                            {"ServiceMenuItem", "ServiceShowFroskTecWindowMenuItem", false},
                            {"DevicesMenuItem", "DevicesExitMenuItem", true},
                            {"HelpMenuItem", "HelpAboutMenuItem", true}};
  for (const Measured& item : items) {
    SCOPED_TRACE(item.name);
    QMenu* menu = Form().findChild<QMenu*>(item.menu);
    QAction* action = Item(item.name);
    ASSERT_NE(action, nullptr);
    QStyleOptionMenuItem option;
    option.initFrom(menu);
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.text = action->text();
    const QSize contents(menu->fontMetrics().horizontalAdvance(action->text()), menu->fontMetrics().height());
    const int plain = QApplication::style()->sizeFromContents(QStyle::CT_MenuItem, &option, contents, menu).width();
    const int measured = menu->style()->sizeFromContents(QStyle::CT_MenuItem, &option, contents, menu).width();
    EXPECT_EQ(measured - plain, item.wider ? MenuStyle::kExtraWidth : 0);
  }
}

TEST_F(MainFormTest, LayoutIsTheDeviceListTheLogAndTheServiceBar) {
  Start({});
  EXPECT_EQ(Form().windowTitle(), "Frosk Manager");
  EXPECT_EQ(Form().centralWidget()->size(), QSize(477, 361));
  Form().show();
  EXPECT_EQ(Form().minimumSize(), Form().maximumSize()) << "not resizable";
  EXPECT_EQ(Form().height(), 361 + Form().menuBar()->height());

  const QStringList columns = {"Name", "Serial", "Manufactured", "Port"};
  const int widths[] = {192, 88, 104, 56};
  ASSERT_EQ(List()->columnCount(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(List()->headerItem()->text(i), columns[i]);
    EXPECT_EQ(List()->columnWidth(i), widths[i]);
    // No caption is clipped.
    const int margins = 2 * List()->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, List()->header());
    EXPECT_LE(QFontMetrics(List()->header()->font()).horizontalAdvance(columns[i]) + margins, widths[i]);
  }
  EXPECT_TRUE(List()->font().bold());
  EXPECT_EQ(List()->font().pixelSize(), 13);
  EXPECT_EQ(List()->palette().color(QPalette::Text), QColor(0, 65, 131));
  EXPECT_EQ(List()->palette().color(QPalette::Base), QColor(255, 255, 224));
  EXPECT_EQ(List()->iconSize(), QSize(48, 48));

  auto* memo = Form().findChild<QPlainTextEdit*>("StatusMemo");
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->height(), 128);
  EXPECT_EQ(memo->palette().color(QPalette::Text), QColor(220, 55, 12));

  auto* bar = Form().findChild<QLabel*>("ServicePanel");
  EXPECT_EQ(bar->text(), "Service Mode Enabled");
  EXPECT_EQ(bar->height(), 16);
  EXPECT_EQ(bar->palette().color(QPalette::Window), QColor(Qt::red));
  EXPECT_EQ(bar->palette().color(QPalette::WindowText), QColor(Qt::white));

  EXPECT_EQ(Form().findChild<QTimer*>("Timer1")->interval(), 100);

  const QList<QPixmap>& images = Form().DevicesImageList();
  ASSERT_EQ(images.size(), 4);
  for (const QPixmap& image : images) EXPECT_EQ(image.size(), QSize(48, 48));
  EXPECT_NE(images[2].toImage(), images[3].toImage()) << "a connected controller looks different";
}

}  // namespace
}  // namespace frosk
