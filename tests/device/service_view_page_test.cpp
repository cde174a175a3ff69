// The device window's service view: raw fields by the tabs, GET and SET per
// record, the control panel, and the traffic trees.
#include "device/service_view_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "view_form_fixture.h"

namespace frosk::test {
namespace {

class ServiceViewTest : public FroskTecViewFormTest {
 protected:
  // A controller with this module, read, its window on the service view.
  void OpenServiceView(int moduleType, const std::function<void(FakeDevice&)>& prepare = {}) {
    settings_.ServiceMode = true;
    Open(moduleType, prepare);
    Find<QPushButton>("ServiceViewBitBtn")->click();
    ASSERT_EQ(Find<QStackedWidget>("ViewNotebook")->currentIndex(), 1);
  }
  void SelectTabs(const char* bar, int index) { Find<QTabBar>(bar)->setCurrentIndex(index); }
  void Choose(const char* list, int index) {
    Find<QComboBox>(list)->setCurrentIndex(index);
    emit Find<QComboBox>(list)->activated(index);
  }
  const ServiceViewPage& Page() { return *Find<ServiceViewPage>("ServiceViewPage"); }
};

// Every node of a tree view, all levels.
int NodeCount(const QTreeWidget* view) {
  int count = 0;
  std::function<void(const QTreeWidgetItem*)> walk = [&](const QTreeWidgetItem* item) {
    ++count;
    for (int i = 0; i < item->childCount(); ++i) walk(item->child(i));
  };
  for (int i = 0; i < view->topLevelItemCount(); ++i) walk(view->topLevelItem(i));
  return count;
}

const char* const kIdleButtons[] = {
    "GetDeviceIdenBtn",
    "SetDeviceIdenBtn",
    "GetFroskTecConfigButton",
    "SetFroskTecConfigButton",
    "GetFroskTecMonitorButton",
    "GetModuleIdenButton",
    "SetModuleIdenButton",
    "GetModuleBasicParamsButton",
    "SetModuleBasicParamsButton",
    "GetModuleVletraMonitorButton",
    "GetModuleVeltraParamsButton",
    "SetModuleVeltraParamsButton",
    "SetServiceMode0Button",
    "SetServiceMode1Button",
    "SetTransparentModeButton",
    "GetConfigurationButton",
};

TEST_F(ServiceViewTest, WhileAReadingSequenceRunsOnlyBreakCanBePressed) {
  OpenServiceView(3);
  const auto expectIdle = [this](bool idle, const char* when) {
    for (const char* name : kIdleButtons) EXPECT_EQ(Enabled(name), idle) << name << " " << when;
    EXPECT_EQ(Enabled("BreakButton"), !idle) << when;
    EXPECT_TRUE(Enabled("ClearButton")) << when;
  };
  expectIdle(true, "idle");

  Find<QPushButton>("GetConfigurationButton")->click();
  EXPECT_EQ(Engine().SequenceState(), SequenceState::kReadDeviceIden);
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_DEVICE_IDEN});
  expectIdle(false, "awaiting the first reply");
  AnswerLast();
  AnswerLast();
  expectIdle(false, "in the sequence between replies");

  // BREAK gives up the request in flight; the sequence stops where it was.
  Find<QPushButton>("BreakButton")->click();
  EXPECT_EQ(Engine().SequenceState(), SequenceState::kIdle);
  expectIdle(true, "after BREAK");

  // A single request is a wait of its own.
  Find<QPushButton>("GetFroskTecMonitorButton")->click();
  expectIdle(false, "awaiting a GET");
  AnswerLast();
  expectIdle(true, "answered");
}

TEST_F(ServiceViewTest, TheTabsChooseTheGroupThatGetAndSetAskForAndSend) {
  OpenServiceView(3);
  struct Case {
    const char* bar;
    int tab;
    const char* innerBar;
    int innerTab;
    const char* button;
    Key sent;
  } cases[] = {
      {"ModuleIdenTabControl", 0, nullptr, 0, "GetModuleIdenButton", GET_FROSKTEC_MOD_NO_MEM_IDEN},
      {"ModuleIdenTabControl", 0, nullptr, 0, "SetModuleIdenButton", SET_FROSKTEC_MOD_NO_MEM_IDEN},
      {"ModuleIdenTabControl", 1, nullptr, 0, "SetModuleIdenButton", SET_MODULE_IDEN},
      {"ModuleBasicParamsATabControl", 0, "ModuleBasicParamsBTabControl", 0, "GetModuleBasicParamsButton",
       GET_FROSKTEC_MOD_NO_MEM_DEFAULT},
      {"ModuleBasicParamsATabControl", 0, "ModuleBasicParamsBTabControl", 2, "SetModuleBasicParamsButton",
       SET_FROSKTEC_MOD_NO_MEM_USER_MIN},
      {"ModuleBasicParamsATabControl", 1, "ModuleBasicParamsBTabControl", 1, "GetModuleBasicParamsButton",
       GET_MODULE_USER_SET},
      {"ModuleBasicParamsATabControl", 1, "ModuleBasicParamsBTabControl", 3, "SetModuleBasicParamsButton",
       SET_MODULE_USER_MAX},
      {"ModuleVeltraParamsTabControl", 2, nullptr, 0, "SetModuleVeltraParamsButton", SET_MODULE_VELTRA_USER_MIN},
      {"ModuleVeltraParamsTabControl", 3, nullptr, 0, "GetModuleVeltraParamsButton", GET_MODULE_VELTRA_USER_MAX},
      {nullptr, 0, nullptr, 0, "GetDeviceIdenBtn", GET_DEVICE_IDEN},
      {nullptr, 0, nullptr, 0, "SetDeviceIdenBtn", SET_DEVICE_IDEN},
      {nullptr, 0, nullptr, 0, "GetFroskTecConfigButton", GET_FROSKTEC_CONFIG},
      {nullptr, 0, nullptr, 0, "SetFroskTecConfigButton", SET_FROSKTEC_CONFIG},
      {nullptr, 0, nullptr, 0, "GetFroskTecMonitorButton", GET_FROSKTEC_MONITOR},
      {nullptr, 0, nullptr, 0, "GetModuleVletraMonitorButton", GET_MODULE_VELTRA_MONITOR},
  };
  for (const Case& c : cases) {
    if (c.bar != nullptr) SelectTabs(c.bar, c.tab);
    if (c.innerBar != nullptr) SelectTabs(c.innerBar, c.innerTab);
    Find<QPushButton>(c.button)->click();
    const std::vector<std::vector<uint8_t>> sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u) << c.button;
    EXPECT_EQ(ItemKey(sent[0].data()), c.sent) << c.button << " " << c.tab << " " << c.innerTab;
    if (c.sent == SET_MODULE_USER_MAX) {
      EXPECT_EQ(SentRecord<ModuleBasicParamsRecord>(sent[0]), Engine().ModuleUserMax().ToRecord());
    }
    AnswerLast();
  }
}

TEST_F(ServiceViewTest, FieldsShowTheGroupTheTabsChooseByTheDisplayRules) {
  OpenServiceView(3, [](FakeDevice& device) {
    device.monitor.thAdc = 524288;
    device.monitor.fanOn = 0;
    device.SetModuleIden("123456789", 5);
  });
  EXPECT_EQ(EditText("FroskTecMonitorThAdcEdit"), "1.024000 (524288)");
  EXPECT_EQ(Text("FroskTecMonitorSupOnPanel"), "ON");
  EXPECT_EQ(Text("FroskTecMonitorFanOnPanel"), "OFF");
  EXPECT_EQ(EditText("DeviceIdenSerialMaskEdit"), "000123456-07");
  EXPECT_EQ(EditText("DeviceIdenNameEdit"), "FroskTEC");
  EXPECT_TRUE(Find<QCheckBox>("FroskTecConfigNoMemCompatibleCheckBox")->isChecked());
  for (const char* name : {"DeviceIdenTypeEdit", "DeviceIdenFirmVerEdit", "FroskTecMonitorTDetEdit",
                           "FroskTecMonitorThAdcEdit", "ModuleVeltraMonitorUOutEdit"})
    EXPECT_TRUE(Find<QLineEdit>(name)->isReadOnly()) << name;
  for (const char* name : {"DeviceIdenHardVerEdit", "ModuleIdenTypeEdit", "ModuleIdenFirmVerEdit"})
    EXPECT_FALSE(Find<QLineEdit>(name)->isReadOnly()) << name;

  // The memoryless module's identification, then the module's own with its new-format serial.
  EXPECT_EQ(EditText("ModuleIdenSerialMaskEdit"), "000000000-00");
  SelectTabs("ModuleIdenTabControl", 1);
  EXPECT_EQ(Find<QLineEdit>("ModuleIdenSerialMaskEdit")->displayText(), "123456789-__");
  EXPECT_EQ(EditText("ModuleIdenSerialMaskEdit"), "123456789-");
  EXPECT_EQ(EditText("ModuleIdenNameEdit"), "KAZ-7");

  QComboBox* supply = Find<QComboBox>("ModuleBasicParamsSupCtrlComboBox");
  EXPECT_EQ(supply->count(), 3);
  EXPECT_EQ(supply->itemText(2), "ON");
  EXPECT_EQ(supply->currentIndex(), kBasicDefault.supCtrl);
  EXPECT_EQ(EditText("ModuleBasicParamsUSupPlusEdit"), "10.000");
  SelectTabs("ModuleBasicParamsBTabControl", 3);
  EXPECT_EQ(supply->currentIndex(), kBasicMax.supCtrl);
  EXPECT_EQ(EditText("ModuleBasicParamsUSupPlusEdit"), "14.000");
  SelectTabs("ModuleVeltraParamsTabControl", 1);
  EXPECT_EQ(EditText("ModuleVeltraParamsGainEdit"), "64");
}

TEST_F(ServiceViewTest, AnEditGoesIntoTheGroupShownAndOnlySetSendsIt) {
  OpenServiceView(3);
  SelectTabs("ModuleBasicParamsATabControl", 1);
  SelectTabs("ModuleBasicParamsBTabControl", 2);
  const ModuleBasicParamsRecord noMemUserMin = Engine().NoMemUserMin().ToRecord();
  TypeInto("ModuleBasicParamsTDetEdit", "500");
  EXPECT_EQ(Engine().ModuleUserMin().At(MODULE_BASIC_PARAMS_T_DET).GetAsInt(), 400000) << "clamped to its limit";
  EXPECT_EQ(EditText("ModuleBasicParamsTDetEdit"), "400.000");
  EXPECT_EQ(Engine().NoMemUserMin().ToRecord(), noMemUserMin);
  TypeInto("ModuleBasicParamsPwmEdit", "abc");
  EXPECT_EQ(Engine().ModuleUserMin().At(MODULE_BASIC_PARAMS_PWM).GetAsInt(), 0);
  Choose("ModuleBasicParamsFanCtrlComboBox", 2);
  EXPECT_EQ(Engine().ModuleUserMin().At(MODULE_BASIC_PARAMS_FAN_CTRL).GetAsInt(), 2);
  Find<QCheckBox>("FroskTecConfigNoMemCompatibleCheckBox")->click();
  EXPECT_EQ(Engine().FroskTecConfig().At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).GetAsInt(), 0);

  // Serials and dates are taken whole and possible, or not at all.
  const struct {
    const char* field;
    const char* typed;
    const char* kept;
  } entries[] = {
      {"DeviceIdenSerialMaskEdit", "12345", "123456-07"},
      {"DeviceIdenSerialMaskEdit", "000654321-02", "654321-02"},
      {"DeviceIdenProdDateMaskEdit", "2024-02-29", "2024-02-29"},
      {"DeviceIdenProdDateMaskEdit", "2023-02-29", "2024-02-29"},
      {"DeviceIdenProdDateMaskEdit", "2024-13-01", "2024-02-29"},
  };
  for (const auto& entry : entries) {
    const Key field = std::string_view(entry.field).find("Serial") != std::string_view::npos ? DEVICE_IDEN_SERIAL
                                                                                             : DEVICE_IDEN_PROD_DATE;
    TypeInto(entry.field, entry.typed);
    EXPECT_EQ(Engine().DeviceIden().At(field).ValueToText(), entry.kept) << entry.typed;
  }
  EXPECT_EQ(EditText("DeviceIdenProdDateMaskEdit"), "2024-02-29") << "the field shows what was kept";
  EXPECT_TRUE(TakeSent().empty()) << "editing sends nothing";

  Find<QPushButton>("SetDeviceIdenBtn")->click();
  const std::vector<std::vector<uint8_t>> sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(SerialToText(SentRecord<DeviceIdenRecord>(sent[0]).serial), "654321-02");
}

TEST_F(ServiceViewTest, TextTypedForOneGroupGoesIntoItAlsoWhenATabIsClickedNext) {
  OpenServiceView(1);
  Find<QTabWidget>("CommunicationPageControl")->setCurrentIndex(4);
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  QLineEdit* edit = Find<QLineEdit>("ModuleBasicParamsTDetEdit");
  edit->setFocus();
  edit->setText("250");
  QTabBar* bar = Find<QTabBar>("ModuleBasicParamsBTabControl");
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(3).center());
  ASSERT_EQ(bar->currentIndex(), 3);
  EXPECT_EQ(Engine().NoMemDefault().At(MODULE_BASIC_PARAMS_T_DET).GetAsInt(), 250000);
  EXPECT_EQ(Engine().NoMemUserMax().ToRecord(), kBasicMax);
  EXPECT_EQ(edit->text(), "260.000") << "the field shows the group now chosen";
}

TEST_F(ServiceViewTest, TheControlPanelSwitchesTheControllersModes) {
  OpenServiceView(1);
  struct Case {
    const char* button;
    Key sent;
    int enable;
  } cases[] = {
      {"SetServiceMode1Button", SET_SERVICE_MODE, 1},
      {"SetServiceMode0Button", SET_SERVICE_MODE, 0},
      {"SetTransparentModeButton", SET_TRANSPARENT_MODE, 1},
  };
  for (const Case& c : cases) {
    Find<QPushButton>(c.button)->click();
    const std::vector<std::vector<uint8_t>> sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u) << c.button;
    EXPECT_EQ(ItemKey(sent[0].data()), c.sent) << c.button;
    const int enable = c.sent == SET_TRANSPARENT_MODE ? SentRecord<TransparentModeRecord>(sent[0]).enable
                                                      : SentRecord<ServiceModeRecord>(sent[0]).enable;
    EXPECT_EQ(enable, c.enable) << c.button;
    AnswerLast();
  }
  EXPECT_EQ(Engine().TransparentMode().At(TRANSPARENT_MODE_ENABLE).GetAsInt(), 1) << "the controller's answer";
}

TEST_F(ServiceViewTest, TheTrafficTreesShowEveryItemAndEmptyBothPastTheirCap) {
  OpenServiceView(3);
  auto* sentView = Find<QTreeWidget>("SentTreeView");
  auto* receivedView = Find<QTreeWidget>("ReceivedTreeView");
  // The reading sequence, shown when the view opened.
  ASSERT_EQ(sentView->topLevelItemCount(), 19);
  EXPECT_EQ(sentView->topLevelItem(0)->text(0), "GET_SERVICE_MODE (container)");
  ASSERT_EQ(receivedView->topLevelItemCount(), 19);
  EXPECT_EQ(receivedView->topLevelItem(0)->text(0), "SERVICE_MODE (container)");
  EXPECT_EQ(receivedView->topLevelItem(0)->child(0)->text(0), "SERVICE_MODE_ENABLE (bool: FALSE)");

  // A reply that finds its tree past 1000 nodes empties both trees first.
  const std::vector<uint8_t> monitor = ReplyItem(device_->monitor);
  while (Page().Traffic().Received().NodeCount() <= TrafficTrees::kNodeCap) host_.Deliver(*connection_, monitor.data());
  EXPECT_EQ(NodeCount(receivedView), static_cast<int>(Page().Traffic().Received().NodeCount()));
  host_.Deliver(*connection_, monitor.data());
  EXPECT_EQ(receivedView->topLevelItemCount(), 1);
  EXPECT_EQ(NodeCount(receivedView), 16);
  EXPECT_EQ(sentView->topLevelItemCount(), 0);

  // The same for a request.
  SelectTabs("ModuleIdenTabControl", 1);
  while (Page().Traffic().Sent().NodeCount() <= TrafficTrees::kNodeCap) {
    Find<QPushButton>("SetModuleIdenButton")->click();
    AnswerLast();
  }
  ASSERT_GT(receivedView->topLevelItemCount(), 1);
  Find<QPushButton>("SetModuleIdenButton")->click();
  EXPECT_EQ(sentView->topLevelItemCount(), 1);
  EXPECT_EQ(sentView->topLevelItem(0)->text(0), "SET_MODULE_IDEN (container)");
  EXPECT_EQ(receivedView->topLevelItemCount(), 0);
  AnswerLast();
  EXPECT_EQ(receivedView->topLevelItemCount(), 1);

  Find<QPushButton>("ClearButton")->click();
  EXPECT_EQ(sentView->topLevelItemCount(), 0);
  EXPECT_EQ(receivedView->topLevelItemCount(), 0);
}

TEST_F(ServiceViewTest, ARequestWithoutReplyLeavesANoReplyNodeWhereItsReplyWouldBe) {
  OpenServiceView(3);
  auto* receivedView = Find<QTreeWidget>("ReceivedTreeView");
  const int before = receivedView->topLevelItemCount();
  const auto lastReceived = [&] { return receivedView->topLevelItem(receivedView->topLevelItemCount() - 1)->text(0); };

  // A GET the device never answers: nothing until the time-out, then the node.
  Find<QPushButton>("GetDeviceIdenBtn")->click();
  clock_.Advance(DeviceEngine::kReplyTimeoutMs);
  connection_->Tick();
  EXPECT_EQ(receivedView->topLevelItemCount(), before) << "not yet timed out";
  clock_.Advance(1);
  connection_->Tick();
  ASSERT_EQ(receivedView->topLevelItemCount(), before + 1);
  EXPECT_EQ(lastReceived(), "GET_DEVICE_IDEN (no reply)");
  EXPECT_EQ(receivedView->topLevelItem(before)->childCount(), 0);

  // A request broken off stays without a reply too; an answered one adds its reply, not the node.
  Find<QPushButton>("GetConfigurationButton")->click();
  Find<QPushButton>("BreakButton")->click();
  EXPECT_EQ(lastReceived(), "GET_DEVICE_IDEN (no reply)");
  EXPECT_EQ(receivedView->topLevelItemCount(), before + 2);
  Find<QPushButton>("GetDeviceIdenBtn")->click();
  AnswerLast();
  EXPECT_EQ(lastReceived(), "DEVICE_IDEN (container)");
}

TEST_F(ServiceViewTest, WithTheServiceModeSettingOffNothingIsAddedToTheTrees) {
  Open(3);
  Engine().ShowServiceView();
  Find<QPushButton>("GetDeviceIdenBtn")->click();
  AnswerLast();
  EXPECT_EQ(Find<QTreeWidget>("SentTreeView")->topLevelItemCount(), 0);
  EXPECT_EQ(Find<QTreeWidget>("ReceivedTreeView")->topLevelItemCount(), 0);
  EXPECT_EQ(Page().Traffic().Sent().NodeCount() + Page().Traffic().Received().NodeCount(), 0u);
}

TEST_F(ServiceViewTest, TheWaitingPanelBlinksWhileAReplyIsAwaited) {
  OpenServiceView(1);
  QWidget* panel = Find<QWidget>("CommunicationWaitingPanel");
  EXPECT_EQ(Find<QLabel>("CommunicationWaitingPanel")->text(), "Waiting for respone...");
  EXPECT_FALSE(panel->isVisible());
  Find<QPushButton>("GetDeviceIdenBtn")->click();
  std::vector<bool> shown;
  for (int i = 0; i < 4; ++i) {
    connection_->Tick();
    shown.push_back(panel->isVisible());
  }
  EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false}));
  connection_->Tick();
  AnswerLast();
  EXPECT_FALSE(panel->isVisible());
  connection_->Tick();
  EXPECT_FALSE(panel->isVisible());
}

}  // namespace
}  // namespace frosk::test
