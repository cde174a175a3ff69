// The device window's user view over its engine: what it shows of the
// holders and the engine's state, and what its controls send, against a
// controller the test plays.
#include "device/frosktec_view_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <map>

#include "common/form_basics.h"
#include "device/slider_image.h"
#include "simulated_program.h"
#include "view_form_fixture.h"

namespace frosk::test {
namespace {

const QColor kBlack{0, 0, 0};
const QColor kGreyText{128, 128, 128};
const QColor kRedText{255, 0, 0};
const QColor kLightRed{255, 208, 208};
const QColor kLightGreen{208, 255, 208};
const QColor kLightGrey{240, 240, 240};

TEST_F(FroskTecViewFormTest, IsAFixedWindowWhoseCloseBoxOnlyHidesIt) {
  for (bool serviceSetting : {false, true}) {
    settings_.ServiceMode = serviceSetting;
    Open(3);
    EXPECT_EQ(form_->windowTitle(), "FroskTEC - FroskTEC 123456-07 (ttyFAKE0)");
    EXPECT_EQ(form_->size(), QSize(987, 642));
    EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
    EXPECT_EQ(Find<QStackedWidget>("ViewNotebook")->count(), 3);
    for (const char* name : {"ServiceViewBitBtn", "ConfiguratorBitBtn", "ServiceModeCheckBox"})
      EXPECT_EQ(Find<QWidget>(name)->isVisible(), serviceSetting) << name;
    form_->close();
    EXPECT_FALSE(form_->IsVisible());
    form_->Show();
    EXPECT_TRUE(form_->IsVisible());
    EXPECT_TRUE(Engine().ViewReady()) << "hiding leaves the device alone";
  }
}

TEST_F(FroskTecViewFormTest, TheTitleNamesTheDeviceOnceReadAndItsPortFromTheStart) {
  Open(1);
  // A second window over the same connection has read nothing yet.
  TFroskTecViewForm fresh(*connection_, shared_);
  EXPECT_EQ(fresh.windowTitle(), "FroskTEC (ttyFAKE0)");
  DeviceIdenRecord renamed{};
  std::strcpy(renamed.name, "Cryo Bench East");
  renamed.serial = SerialRecord{255, 987654321};
  device_->Hold(GET_DEVICE_IDEN, ReplyItem(renamed));
  Engine().SendRequest(GET_DEVICE_IDEN);
  AnswerLast();
  EXPECT_EQ(fresh.windowTitle(), "FroskTEC - Cryo Bench East 987654321 (ttyFAKE0)");
  EXPECT_EQ(form_->windowTitle(), fresh.windowTitle());

  // A window for no device has no port to name.
  DeviceConnection offline("", host_, seams_, host_);
  EXPECT_EQ(TFroskTecViewForm(offline, shared_).windowTitle(), "FroskTEC");
}

TEST_F(FroskTecViewFormTest, EachNewWindowOpensAStepFromTheLastAndNeverOnAnother) {
  Open(1);
  std::vector<std::unique_ptr<TFroskTecViewForm>> windows;
  for (int i = 0; i < 3; ++i) {
    windows.push_back(std::make_unique<TFroskTecViewForm>(*connection_, shared_));
    windows.back()->Show();
  }
  EXPECT_EQ(windows[1]->pos(), windows[0]->pos() + QPoint(kCascadeStep, kCascadeStep));
  EXPECT_EQ(windows[2]->pos(), windows[1]->pos() + QPoint(kCascadeStep, kCascadeStep));
  // Shown again, a window stays where it was; the next new one keeps clear of all.
  const QPoint first = windows[0]->pos();
  windows[0]->Hide();
  windows[0]->Show();
  EXPECT_EQ(windows[0]->pos(), first);
  windows[2].reset();
  windows.push_back(std::make_unique<TFroskTecViewForm>(*connection_, shared_));
  windows.back()->Show();
  EXPECT_EQ(windows.back()->pos(), windows[1]->pos() + QPoint(kCascadeStep, kCascadeStep));
}

TEST_F(FroskTecViewFormTest, UnitLabelsComeFromTheHoldersAndTheInternalTemperatureStaysHidden) {
  Open(3);
  const std::map<std::string, QString> units = {
      {"SetpointUSupPlusULabel", "V"}, {"SetpointUSupMinusULabel", "V"}, {"SetpointTDetULabel", "K"},
      {"SetpointITecMaxULabel", "A"},  {"MonitorUSupPlusULabel", "V"},   {"MonitorISupMinusULabel", "mA"},
      {"MonitorIFanPlusULabel", "mA"}, {"MonitorUTecULabel", "V"},       {"MonitorITecULabel", "A"},
      {"MonitorTDetULabel", "K"},      {"MonitorTIntULabel", "C"},       {"MonitorU1stULabel", "V"},
      {"MonitorTempULabel", "C"},
  };
  for (const auto& [name, unit] : units) EXPECT_EQ(Text(name.c_str()), unit) << name;
  for (const QLabel* label : form_->findChildren<QLabel*>()) EXPECT_NE(label->text(), "??");
  for (const char* name : {"MonitorTIntStaticText", "MonitorTIntPanel", "MonitorTIntULabel"})
    EXPECT_FALSE(Find<QWidget>(name)->isVisible()) << name;
  EXPECT_EQ(Text("SetpointGainMulLabel"), "V/V");
}

TEST_F(FroskTecViewFormTest, NoCaptionOrValueIsClipped) {
  Open(3);
  const auto fits = [](const QWidget* widget, const QString& text) {
    const int room = widget->contentsRect().width() - 4;
    return widget->fontMetrics().horizontalAdvance(text) <= room;
  };
  for (const QLabel* label : form_->findChildren<QLabel*>())
    EXPECT_TRUE(fits(label, label->text())) << label->objectName().toStdString() << " " << label->text().toStdString();
  for (const QAbstractButton* button : form_->findChildren<QAbstractButton*>()) {
    const int needed = qobject_cast<const QCheckBox*>(button) != nullptr
                           ? button->sizeHint().width()
                           : button->fontMetrics().horizontalAdvance(button->text()) + 8;
    EXPECT_LE(needed, button->width()) << button->objectName().toStdString();
  }
  // The widest values each panel may have to show.
  const auto widest = [](const VFroskClass& holder) {
    VFroskClass probe = holder;
    probe.SetFromInt(holder.Min());
    QString text = QString::fromStdString(probe.ValueToText());
    probe.SetFromInt(holder.Max());
    const QString other = QString::fromStdString(probe.ValueToText());
    return other.size() > text.size() ? other : text;
  };
  const std::map<const char*, const VFroskClass*> panels = {
      {"SetpointUSupMinusPanel", &Engine().NoMemUserSet().At(MODULE_BASIC_PARAMS_U_SUP_MINUS)},
      {"SetpointTDetPanel", &Engine().NoMemUserSet().At(MODULE_BASIC_PARAMS_T_DET)},
      {"SetpointITecMaxPanel", &Engine().NoMemUserSet().At(MODULE_BASIC_PARAMS_I_TEC_MAX)},
      {"SetpointVaractorPanel", &Engine().VeltraUserSet().At(MODULE_VELTRA_PARAMS_VARACTOR)},
      {"MonitorISupMinusPanel", &Engine().FroskTecMonitor().At(FROSKTEC_MONITOR_I_SUP_MINUS)},
      {"MonitorUSupMinusPanel", &Engine().FroskTecMonitor().At(FROSKTEC_MONITOR_U_SUP_MINUS)},
      {"MonitorTDetPanel", &Engine().FroskTecMonitor().At(FROSKTEC_MONITOR_T_DET)},
      {"MonitorUOutPanel", &Engine().ModuleVeltraMonitor().At(MODULE_VELTRA_MONITOR_U_OUT)},
  };
  for (const auto& [name, holder] : panels) EXPECT_TRUE(fits(Find<QLabel>(name), widest(*holder))) << name;
  for (const char* name : {"DeviceSerialPanel", "ModuleSerialPanel", "DetectorSerialPanel"}) {
    EXPECT_TRUE(fits(Find<QLabel>(name), "123456789")) << name;
    EXPECT_TRUE(fits(Find<QLabel>(name), "000412-25")) << name;
  }
  for (const char* name : {"DeviceNamePanel", "ModuleNamePanel", "DetectorNamePanel"})
    EXPECT_TRUE(fits(Find<QLabel>(name), "FroskTEC Laboratory Bench 2")) << name;
  for (int code = 0; code < 256; ++code)
    EXPECT_TRUE(fits(Find<QLabel>("MonitorInfoPanel"), QString::fromUtf8(StatusText(code)))) << code;
}

TEST_F(FroskTecViewFormTest, TheStatusLineShowsTheCodesTextRedFromCode128) {
  struct Case {
    int code;
    const char* text;
    QColor colour;
  } cases[] = {
      {0, "Temperature locked", kBlack},
      {140, "ERROR: Incompatible KAZ module", kRedText},
      {200, "", kRedText},
      {127, "", kBlack},
      {137, "ERROR: Data error", kRedText},
  };
  Open(1);
  for (const Case& c : cases) {
    device_->monitor.status = static_cast<uint8_t>(c.code);
    Poll();
    EXPECT_EQ(Text("MonitorStatusPanel"), QString::number(c.code));
    EXPECT_EQ(Text("MonitorInfoPanel"), c.text) << c.code;
    EXPECT_EQ(TextColour("MonitorInfoPanel"), c.colour) << c.code;
    EXPECT_EQ(Background("MonitorInfoPanel"), kLightRed);
  }
  // While a request other than a poll is awaited, the code goes and the text stays.
  Find<QPushButton>("DeviceSettingsWriteBitBtn")->click();
  EXPECT_EQ(Text("MonitorStatusPanel"), "");
  EXPECT_EQ(Text("MonitorInfoPanel"), "ERROR: Data error");
  EXPECT_EQ(Background("MonitorInfoPanel"), kLightGrey);
}

TEST_F(FroskTecViewFormTest, TheSupplyPanelsReadOffCentredWhileTheFanCurrentShows) {
  Open(1, [](FakeDevice& device) {
    device.monitor.supOn = 0;
    device.monitor.iSupPlus = 4231;
    device.monitor.uSupPlus = 11983;
    device.monitor.iFanPlus = 1183;
  });
  Poll();
  for (const char* name :
       {"MonitorUSupPlusPanel", "MonitorISupPlusPanel", "MonitorUSupMinusPanel", "MonitorISupMinusPanel"}) {
    EXPECT_EQ(Text(name), "OFF") << name;
    EXPECT_EQ(Find<QLabel>(name)->alignment(), Qt::AlignCenter) << name;
  }
  EXPECT_EQ(Text("MonitorIFanPlusPanel"), "118.3");
  EXPECT_EQ(Find<QLabel>("MonitorIFanPlusPanel")->alignment(), Qt::AlignRight | Qt::AlignVCenter);

  device_->monitor.supOn = 1;
  Poll();
  EXPECT_EQ(Text("MonitorUSupPlusPanel"), "11.983");
  EXPECT_EQ(Text("MonitorISupPlusPanel"), "42.31");
  EXPECT_EQ(Find<QLabel>("MonitorUSupPlusPanel")->alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

TEST_F(FroskTecViewFormTest, AModuleWithATecButNoThermistorLetsTheTemperatureBeSetButShowsNone) {
  Open(1, [](FakeDevice& device) {
    ModuleIdenRecord iden{};
    iden.type = 1;
    iden.tecType = 1;
    iden.thType = 0;
    device.Hold(GET_FROSKTEC_MOD_NO_MEM_IDEN, ReplyItem(iden));
  });
  EXPECT_TRUE(Engine().TecPresent());
  EXPECT_FALSE(Engine().ThermistorPresent());
  for (const char* name :
       {"SetpointTDetButton", "SetpointTDetDecButton", "SetpointTDetIncButton", "TDetScrollBarImage"})
    EXPECT_TRUE(Enabled(name)) << name;
  EXPECT_EQ(Text("SetpointTDetPanel"), "");
  EXPECT_EQ(Background("SetpointTDetPanel"), kLightGrey);
  EXPECT_EQ(TextColour("SetpointTDetStaticText"), kGreyText);
  EXPECT_EQ(TextColour("SetpointTDetULabel"), kGreyText);
  // The slider is drawn inactive: a light grey track, no band, no knob.
  const QImage& slider = Find<SliderImage>("TDetScrollBarImage")->Image();
  EXPECT_EQ(slider.pixelColor(slider.width() / 2, slider.height() / 2), QColor(192, 192, 192));
  EXPECT_EQ(Text("MonitorTDetPanel"), "");
  EXPECT_EQ(Background("MonitorTDetPanel"), kLightGrey);
  EXPECT_EQ(TextColour("MonitorTDetStaticText"), kGreyText);
  // The TEC's own line is live.
  EXPECT_EQ(Text("SetpointITecMaxPanel"), "0.5000");
  EXPECT_EQ(Background("SetpointITecMaxPanel"), kLightGreen);
}

TEST_F(FroskTecViewFormTest, AOneWireModuleShowsItsHeaderAndGreysTheVeltraArea) {
  Open(2, [](FakeDevice& device) {
    ModuleBasicParamsRecord own = kBasicSet;
    own.uSupPlus = 13000;
    device.Hold(GET_MODULE_USER_SET, ReplyItem(own));
  });
  EXPECT_EQ(Text("ModuleNamePanel"), "KAZ-7");
  EXPECT_EQ(Text("ModuleSerialPanel"), "000100-01");
  EXPECT_EQ(TextColour("ModuleNameLabel"), kBlack);
  EXPECT_EQ(Text("SetpointUSupPlusPanel"), "13.000") << "the module's own user set";
  for (const char* name :
       {"SetpointDetUPanel", "SetpointGainPanel", "SetpointVaractorPanel", "MonitorUDetPanel", "MonitorTempPanel"}) {
    EXPECT_EQ(Text(name), "") << name;
    EXPECT_EQ(Background(name), kLightGrey) << name;
  }
  for (const char* name : {"SetpointDetUButton", "SetpointGainIncButton", "GainScrollBarImage", "SetpointGainComboBox",
                           "CouplingACSpeedButton", "BandwidthMidSpeedButton", "ModuleUserSetIndexComboBox",
                           "ModuleUserSetLoadBitBtn", "ModuleUserSetStoreBitBtn", "ModuleSettingsWriteBitBtn",
                           "ModuleSettingsDefaultBitBtn", "ModuleMonitorAutoCheckBox"})
    EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_EQ(TextColour("SetpointDetUStaticText"), kGreyText);
  EXPECT_EQ(Find<QComboBox>("SetpointGainComboBox")->currentIndex(), -1);
  // Polls ask for the controller's monitor only.
  Poll();
  Poll();
  EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{GET_FROSKTEC_MONITOR, GET_FROSKTEC_MONITOR}));
}

TEST_F(FroskTecViewFormTest, WithoutAModuleTheHeaderIsEmptyAndGrey) {
  Open(0);
  EXPECT_EQ(Text("ModuleNamePanel"), "");
  EXPECT_EQ(TextColour("DetectorSerialLabel"), kGreyText);
  EXPECT_EQ(Background("DetectorSerialPanel"), kLightGrey);
  EXPECT_FALSE(Enabled("DeviceSettingsWriteBitBtn"));
  EXPECT_FALSE(Enabled("LoadConfigurationBitBtn"));
  EXPECT_EQ(Text("DeviceNamePanel"), "FroskTEC");
  EXPECT_EQ(Text("DeviceSerialPanel"), "123456-07");
}

TEST_F(FroskTecViewFormTest, TheGainListFollowsTheDeviceExceptWhileTheUserHasIt) {
  Open(3);
  QComboBox* list = Find<QComboBox>("SetpointGainComboBox");
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  EXPECT_EQ(items, QStringList({"0.5", "1.0", "1.5", "2.0", "3.0", "5.0", "7.0", "10", "15", "20", "30"}));
  EXPECT_EQ(list->currentIndex(), 3) << "code 64 is gain 2.0";

  // A code that is no entry of the table selects nothing.
  device_->Hold(GET_MODULE_VELTRA_USER_SET, ReplyItem(ModuleVeltraParamsRecord{100, 128, 70, 128, 2048, 0, 1, 1}));
  Engine().SendRequest(GET_MODULE_VELTRA_USER_SET);
  AnswerLast();
  EXPECT_EQ(list->currentIndex(), -1);

  // While the list has the focus, the user's choice stands: polls leave it
  // alone, and so does a user set that arrives late, after its time-out.
  Engine().SendRequest(GET_MODULE_VELTRA_USER_SET);
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  connection_->Tick();
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  list->setFocus();
  ASSERT_TRUE(form_->GainComboEditing());
  list->setCurrentIndex(9);
  const std::vector<uint8_t> late = device_->Answer(host_.sent.back());
  host_.Deliver(*connection_, late.data());
  Poll();
  Poll();
  EXPECT_EQ(list->currentIndex(), 9);
  Find<QPushButton>("SetpointGainButton")->setFocus();
  EXPECT_FALSE(form_->GainComboEditing());
  EXPECT_EQ(list->currentIndex(), -1) << "leaving the list shows the device's gain again";
}

TEST_F(FroskTecViewFormTest, ChoosingAGainSendsItsCodeOnce) {
  Open(3);
  QComboBox* list = Find<QComboBox>("SetpointGainComboBox");
  list->setCurrentIndex(7);
  emit list->activated(7);
  std::vector<std::vector<uint8_t>> sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(ItemKey(sent[0].data()), SET_MODULE_VELTRA_USER_SET);
  EXPECT_EQ(SentRecord<ModuleVeltraParamsRecord>(sent[0]).gain, 85);
  AnswerLast();
  emit list->activated(7);
  EXPECT_TRUE(TakeSent().empty());
  // Beyond the user band the gain stops at the band's end.
  list->setCurrentIndex(10);
  emit list->activated(10);
  sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(SentRecord<ModuleVeltraParamsRecord>(sent[0]).gain, 99);
}

TEST_F(FroskTecViewFormTest, ChoicesOutsideTheUserBandAreTakenAwayOutsideServiceMode) {
  Open(1);
  const char* buttons[] = {"SetpointSupCtrlAutoButton", "SetpointSupCtrlOffButton", "SetpointSupCtrlOnButton"};
  struct Case {
    bool serviceMode;
    bool enabled[3];
  } cases[] = {{false, {false, true, true}}, {true, {true, true, true}}};
  for (const Case& c : cases) {
    SetControllerServiceMode(c.serviceMode);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(Enabled(buttons[k]), c.enabled[k]) << c.serviceMode << " " << buttons[k];
  }
  SetControllerServiceMode(false);
  EXPECT_TRUE(Find<QToolButton>("SetpointSupCtrlOffButton")->isChecked());
  EXPECT_FALSE(Find<QToolButton>("SetpointSupCtrlOnButton")->isChecked());

  // The button already down sends nothing and stays down.
  Find<QToolButton>("SetpointSupCtrlOffButton")->click();
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_TRUE(Find<QToolButton>("SetpointSupCtrlOffButton")->isChecked());
  Find<QToolButton>("SetpointSupCtrlOnButton")->click();
  const std::vector<std::vector<uint8_t>> sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(ItemKey(sent[0].data()), SET_FROSKTEC_MOD_NO_MEM_USER_SET);
  EXPECT_EQ(SentRecord<ModuleBasicParamsRecord>(sent[0]).supCtrl, 2);
  AnswerLast();
  EXPECT_TRUE(Find<QToolButton>("SetpointSupCtrlOnButton")->isChecked());
  EXPECT_FALSE(Find<QToolButton>("SetpointSupCtrlOffButton")->isChecked());
}

TEST_F(FroskTecViewFormTest, PlusAtTheUserMaxGoesOnOnlyInServiceMode) {
  struct Case {
    bool serviceMode;
    std::vector<int> sentUSupPlus;
  } cases[] = {{false, {}}, {true, {14001}}};
  for (const Case& c : cases) {
    Open(1, [](FakeDevice& device) {
      ModuleBasicParamsRecord atMax = kBasicSet;
      atMax.uSupPlus = kBasicMax.uSupPlus;
      device.Hold(GET_FROSKTEC_MOD_NO_MEM_USER_SET, ReplyItem(atMax));
    });
    SetControllerServiceMode(c.serviceMode);
    Find<QPushButton>("SetpointUSupPlusIncButton")->click();
    std::vector<int> sent;
    for (const auto& item : TakeSent()) {
      EXPECT_EQ(ItemKey(item.data()), SET_FROSKTEC_MOD_NO_MEM_USER_SET);
      sent.push_back(SentRecord<ModuleBasicParamsRecord>(item).uSupPlus);
    }
    EXPECT_EQ(sent, c.sentUSupPlus) << c.serviceMode;
  }
  // Minus steps one raw unit: 0.001 V.
  AnswerLast();
  Find<QPushButton>("SetpointUSupPlusDecButton")->click();
  EXPECT_EQ(SentRecord<ModuleBasicParamsRecord>(host_.sent.back()).uSupPlus, 14000);
}

TEST_F(FroskTecViewFormTest, EachButtonSendsItsRecord) {
  struct Case {
    const char* button;
    int bankIndex;  // of ModuleUserSetIndexComboBox
    Key key;
  } cases[] = {
      {"DeviceSettingsWriteBitBtn", 0, SET_MODULE_USER_SET},
      {"DeviceSettingsDefaultBitBtn", 0, SET_MODULE_USER_SET},
      {"ModuleSettingsWriteBitBtn", 0, SET_MODULE_VELTRA_USER_SET},
      {"ModuleSettingsDefaultBitBtn", 0, SET_MODULE_VELTRA_USER_SET},
      {"ModuleUserSetLoadBitBtn", 0, LOAD_MODULE_VELTRA_PARAMS},
      {"ModuleUserSetStoreBitBtn", 2, STORE_MODULE_VELTRA_PARAMS},
  };
  Open(3);
  for (const Case& c : cases) {
    Find<QComboBox>("ModuleUserSetIndexComboBox")->setCurrentIndex(c.bankIndex);
    ASSERT_TRUE(Enabled(c.button)) << c.button;
    Find<QPushButton>(c.button)->click();
    const std::vector<std::vector<uint8_t>> sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u) << c.button;
    EXPECT_EQ(ItemKey(sent[0].data()), c.key) << c.button;
    if (c.key == STORE_MODULE_VELTRA_PARAMS || c.key == LOAD_MODULE_VELTRA_PARAMS) {
      const uint8_t* bank = ItemFirstChild(sent[0].data());
      EXPECT_EQ(ItemGetUInt8(ItemFindChild(bank, MODULE_USER_SET_BANK_INDEX, false)), c.bankIndex) << c.button;
    }
    EXPECT_FALSE(Enabled(c.button)) << "the view waits for the answer";
    AnswerLast();
  }
  EXPECT_EQ(Find<QComboBox>("ModuleUserSetIndexComboBox")->itemText(2), "3");
}

TEST_F(FroskTecViewFormTest, ASliderDragStaysInTheBandAndTheReleaseSendsIt) {
  Open(1);
  SliderImage* image = Find<SliderImage>("USupMinusScrollBarImage");
  const int width = image->width();
  const auto sentUSupMinus = [this] {
    std::vector<int> values;
    for (const auto& item : TakeSent()) values.push_back(SentRecord<ModuleBasicParamsRecord>(item).uSupMinus);
    return values;
  };
  const auto value = [this] { return Engine().NoMemUserSet().At(MODULE_BASIC_PARAMS_U_SUP_MINUS).GetAsInt(); };

  // A drag beyond either end stops at the user band; nothing goes out until the release.
  QTest::mousePress(image, Qt::LeftButton, {}, QPoint(width / 2, 10));
  EXPECT_EQ(value(), SliderValueAt(width, width / 2, {-15000, -3000, -12000, -5000, 0}, true));
  QTest::mouseMove(image, QPoint(-40, 10));
  EXPECT_EQ(value(), -5000);
  EXPECT_EQ(Text("SetpointUSupMinusPanel"), "-5.000");
  QTest::mouseMove(image, QPoint(width + 40, 10));
  EXPECT_EQ(value(), -12000);
  EXPECT_TRUE(TakeSent().empty());
  QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(width + 40, 10));
  EXPECT_EQ(sentUSupMinus(), std::vector<int>{-12000});
  AnswerLast();

  // A click that moves nothing still sends the user set.
  QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(width + 40, 10));
  EXPECT_EQ(sentUSupMinus(), std::vector<int>{-12000});
  AnswerLast();

  // In service mode the field's own limits bound the drag.
  SetControllerServiceMode(true);
  QTest::mousePress(image, Qt::LeftButton, {}, QPoint(width - 1, 10));
  EXPECT_EQ(value(), -15000);
  QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(width - 1, 10));
  AnswerLast();
  // Only the left button drags.
  QTest::mousePress(image, Qt::RightButton, {}, QPoint(0, 10));
  EXPECT_EQ(value(), -15000);
}

TEST_F(FroskTecViewFormTest, SliderKeysMoveTheValueAndSendOneSetOnceTheyRested) {
  Open(1);
  Engine().SetDeviceMonitorAuto(false);
  Engine().SetModuleMonitorAuto(false);
  SliderImage* image = Find<SliderImage>("USupMinusScrollBarImage");
  EXPECT_EQ(image->focusPolicy(), Qt::StrongFocus);
  const auto value = [this] { return Engine().NoMemUserSet().At(MODULE_BASIC_PARAMS_U_SUP_MINUS).GetAsInt(); };
  const auto sentUSupMinus = [this] {
    std::vector<int> values;
    for (const auto& item : TakeSent()) values.push_back(SentRecord<ModuleBasicParamsRecord>(item).uSupMinus);
    return values;
  };
  const auto rest = [this](uint32_t ms) {
    clock_.Advance(ms);
    connection_->Tick();
  };

  // The user band is -12.000 V to -5.000 V: a step is a hundredth of it, 70 mV.
  struct Case {
    Qt::Key key;
    int expected;
  } cases[] = {
      {Qt::Key_Home, -12000},     {Qt::Key_Right, -11930},    {Qt::Key_Up, -11860},
      {Qt::Key_PageUp, -11160},   {Qt::Key_Left, -11230},     {Qt::Key_Down, -11300},
      {Qt::Key_PageDown, -12000}, {Qt::Key_PageDown, -12000},  // held at the band's end
      {Qt::Key_End, -5000},       {Qt::Key_Up, -5000},
  };
  for (const Case& c : cases) {
    QTest::keyClick(image, c.key);
    EXPECT_EQ(value(), c.expected) << QKeySequence(c.key).toString().toStdString();
    rest(100);
  }
  EXPECT_TRUE(TakeSent().empty()) << "keys a tick apart have not rested";
  EXPECT_EQ(Text("SetpointUSupMinusPanel"), "-5.000");
  rest(100);
  EXPECT_TRUE(TakeSent().empty());
  rest(100);
  EXPECT_EQ(sentUSupMinus(), std::vector<int>{-5000});
  rest(1000);
  EXPECT_TRUE(TakeSent().empty()) << "one SET per rest";

  // While that SET is unanswered the slider is disabled and its keys change nothing.
  ASSERT_FALSE(image->isEnabled());
  QTest::keyClick(image, Qt::Key_Home);
  EXPECT_EQ(value(), -5000);
  AnswerLast();
  // Keys on another slider first send the one that has not rested.
  QTest::keyClick(image, Qt::Key_PageDown);
  QTest::keyClick(Find<SliderImage>("USupPlusScrollBarImage"), Qt::Key_Left);
  EXPECT_EQ(sentUSupMinus(), std::vector<int>{-5700});
}

TEST_F(FroskTecViewFormTest, AHeldPlusRepeatsFasterAndSendsOneSetOnRelease) {
  Open(1);
  Engine().SetDeviceMonitorAuto(false);
  Engine().SetModuleMonitorAuto(false);
  QPushButton* minus = Find<QPushButton>("SetpointUSupMinusDecButton");
  const auto value = [this] { return Engine().NoMemUserSet().At(MODULE_BASIC_PARAMS_U_SUP_MINUS).GetAsInt(); };
  const int before = value();
  QTest::mousePress(minus, Qt::LeftButton);
  EXPECT_EQ(value(), before - 1) << "the press steps once";
  std::vector<int> moved;  // by each second held
  for (int second = 0; second < 3; ++second) {
    const int from = value();
    for (int tick = 0; tick < 10; ++tick) {
      clock_.Advance(100);
      connection_->Tick();
    }
    moved.push_back(from - value());
  }
  EXPECT_LT(moved[0], moved[1]);
  EXPECT_LT(moved[1], moved[2]);
  EXPECT_TRUE(TakeSent().empty()) << "nothing goes while the button is held";
  const int reached = value();
  QTest::mouseRelease(minus, Qt::LeftButton);
  const std::vector<std::vector<uint8_t>> sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(SentRecord<ModuleBasicParamsRecord>(sent[0]).uSupMinus, reached);
  clock_.Advance(1000);
  connection_->Tick();
  EXPECT_EQ(value(), reached) << "released, it repeats no more";
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(FroskTecViewFormTest, TheEditButtonWritesWhatTheDialogKept) {
  struct Case {
    bool serviceMode;
    const char* typed;
    bool ok;
    std::vector<uint32_t> sentTDet;
  } cases[] = {
      {false, "245.5", true, {245500}}, {false, "300", true, {260000}}, {true, "300", true, {300000}},
      {true, "nonsense", true, {}},     {false, "250", false, {}},      {false, "245,5", true, {245500}},
  };
  for (const Case& c : cases) {
    Open(1);
    SetControllerServiceMode(c.serviceMode);
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(dialog_.isVisible());
      EXPECT_EQ(dialog_.findChild<QLabel*>("InfoLabel")->text(), "Target detector temperature");
      EXPECT_EQ(dialog_.LimitToUser(), !c.serviceMode);
      dialog_.findChild<QLineEdit*>("ValueEdit")->setText(c.typed);
      dialog_.findChild<QPushButton*>(c.ok ? "BitBtn1" : "BitBtn2")->click();
      // Text that is no number is refused and the dialog stays: the user gives up.
      if (dialog_.isVisible()) dialog_.findChild<QPushButton*>("BitBtn2")->click();
    });
    Find<QPushButton>("SetpointTDetButton")->click();
    std::vector<uint32_t> sent;
    for (const auto& item : TakeSent()) {
      EXPECT_EQ(ItemKey(item.data()), SET_FROSKTEC_MOD_NO_MEM_USER_SET);
      sent.push_back(SentRecord<ModuleBasicParamsRecord>(item).tDet);
    }
    EXPECT_EQ(sent, c.sentTDet) << c.typed << " " << c.serviceMode;
  }
}

TEST_F(FroskTecViewFormTest, WhileARequestIsAwaitedTheViewIsGreyAndANewerStepReplacesTheQueuedWrite) {
  Open(1);
  // A poll in flight leaves the view live; a write behind it waits in the queue.
  clock_.Advance(100);
  connection_->Tick();
  ASSERT_EQ(Engine().PendingKey(), GET_FROSKTEC_MONITOR);
  EXPECT_TRUE(Enabled("SetpointUSupPlusIncButton"));
  Find<QPushButton>("SetpointUSupPlusIncButton")->click();
  EXPECT_TRUE(Engine().HasQueuedItem());
  EXPECT_EQ(Text("SetpointUSupPlusPanel"), "12.001");
  Find<QPushButton>("SetpointUSupPlusIncButton")->click();
  EXPECT_EQ(beeper_.beeps, 0);
  EXPECT_EQ(Engine().QueuedItems(), 1u);
  EXPECT_EQ(Text("SetpointUSupPlusPanel"), "12.002");

  // The queued write goes out after the poll's answer and greys the view.
  AnswerLast();
  connection_->Tick();
  EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{GET_FROSKTEC_MONITOR, SET_FROSKTEC_MOD_NO_MEM_USER_SET}));
  EXPECT_FALSE(Enabled("SetpointUSupPlusIncButton"));
  EXPECT_EQ(Text("SetpointUSupPlusPanel"), "");
  QTest::mouseClick(Find<QPushButton>("SetpointUSupPlusIncButton"), Qt::LeftButton);
  QTest::mouseClick(Find<SliderImage>("USupPlusScrollBarImage"), Qt::LeftButton, {}, QPoint(5, 10));
  EXPECT_TRUE(TakeSent().empty());
  AnswerLast();
  EXPECT_EQ(Text("SetpointUSupPlusPanel"), "12.002") << "what the controller took";
}

// The write's reply never comes: whether the controller took it is unknown,
// so its settings are not shown as applied, nor sent again, until read.
TEST_F(FroskTecViewFormTest, AControllerThatVanishesLeavesTheWindowOpenWithTheUnconfirmedSettingsUnread) {
  Open(3);
  host_.linked = false;
  Find<QPushButton>("SetpointDetUIncButton")->click();
  EXPECT_FALSE(Enabled("SetpointDetUIncButton"));
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  connection_->Tick();
  EXPECT_TRUE(prompter_.shown.empty()) << "a lost reply in the idle state is dropped silently";
  EXPECT_FALSE(Enabled("SetpointDetUIncButton"));
  EXPECT_EQ(Text("SetpointDetUPanel"), "");
  EXPECT_TRUE(form_->IsVisible());
  EXPECT_TRUE(host_.closeRequests.empty());
}

TEST_F(FroskTecViewFormTest, TheStatusLineFollowsTheLinkAndGreysTheMonitorWhileItIsStale) {
  Open(1);
  host_.wall.Set({2026, 3, 14, 9, 0, 5});
  Poll();
  EXPECT_EQ(Text("LinkStatusLabel"), "Live, last reply 09:00:05");
  EXPECT_EQ(TextColour("LinkStatusLabel"), kBlack);
  EXPECT_EQ(TextColour("MonitorTDetPanel"), kBlack);
  const QString shown = Text("MonitorTDetPanel");

  host_.wall.Set({2026, 3, 14, 9, 1, 0});
  for (uint32_t silentMs = 0; silentMs < 3 * DeviceEngine::kReplyTimeoutMs; silentMs += 100) {
    clock_.Advance(100);
    connection_->Tick();
  }
  EXPECT_EQ(Text("LinkStatusLabel"), "Not answering since 09:00:05");
  EXPECT_EQ(TextColour("LinkStatusLabel"), kRedText);
  EXPECT_EQ(Text("MonitorTDetPanel"), shown) << "the last values stay, greyed";
  for (const char* panel : {"MonitorTDetPanel", "MonitorStatusPanel", "MonitorInfoPanel"})
    EXPECT_EQ(TextColour(panel), kGreyText) << panel;

  Poll();
  EXPECT_EQ(Text("LinkStatusLabel"), "Live, last reply 09:01:00");
  EXPECT_EQ(TextColour("MonitorTDetPanel"), kBlack);

  FrameEvent end(kMainWindowFrameEvent, FakeConnectionHost::Block(nullptr));
  QCoreApplication::sendEvent(connection_.get(), &end);
  EXPECT_EQ(Text("LinkStatusLabel"), "Connection lost");
  EXPECT_EQ(TextColour("MonitorTDetPanel"), kGreyText);
  EXPECT_FALSE(Find<QPushButton>("ReadAgainBitBtn")->isVisibleTo(form_.get())) << "nothing to read from";
}

TEST_F(FroskTecViewFormTest, AWriteSaysWhetherItWasAppliedAndReadAgainRestoresWhatItLeftUnread) {
  Open(3);
  QPushButton* readAgain = Find<QPushButton>("ReadAgainBitBtn");
  EXPECT_FALSE(readAgain->isVisibleTo(form_.get())) << "everything is read";
  Find<QPushButton>("SetpointDetUIncButton")->click();
  AnswerLast();
  EXPECT_EQ(Text("LinkStatusLabel"), "Applied");
  clock_.Advance(TFroskTecViewForm::kWriteResultShownMs);
  connection_->Tick();
  EXPECT_EQ(Text("LinkStatusLabel"), "Live, last reply 09:00:00");
  if (Engine().Waiting()) AnswerLast();
  TakeSent();

  Find<QPushButton>("SetpointDetUIncButton")->click();
  ASSERT_EQ(TakeSentKeys().size(), 1u);
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  connection_->Tick();
  EXPECT_EQ(Text("LinkStatusLabel"), "Not applied: no reply");
  EXPECT_EQ(TextColour("LinkStatusLabel"), kRedText);
  EXPECT_FALSE(Enabled("SetpointDetUIncButton")) << "the device's setting is not known";
  EXPECT_TRUE(readAgain->isVisibleTo(form_.get()));
  clock_.Advance(TFroskTecViewForm::kWriteResultShownMs);
  connection_->Tick();
  EXPECT_EQ(Text("LinkStatusLabel"), "Not answering since 09:00:00") << "the link's state once the outcome is told";

  TakeSent();
  readAgain->click();
  EXPECT_FALSE(readAgain->isVisibleTo(form_.get())) << "not while the device is read";
  ReadToEnd();
  EXPECT_EQ(TakeSentKeys().front(), GET_SERVICE_MODE) << "the reading sequence from its start";
  EXPECT_TRUE(Enabled("SetpointDetUIncButton"));
  EXPECT_FALSE(readAgain->isVisibleTo(form_.get()));
}

TEST_F(FroskTecViewFormTest, AMonitorPollRepaintsOnlyThePanelsWhoseValueChanged) {
  class PaintCounter : public QObject {
   public:
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Paint) painted.push_back(watched->objectName().toStdString());
      return false;
    }
    std::vector<std::string> painted;
  } counter;
  Open(1);
  Poll();
  QApplication::processEvents();
  for (QWidget* widget : form_->findChildren<QWidget*>()) widget->installEventFilter(&counter);
  Poll();
  QApplication::processEvents();
  EXPECT_EQ(counter.painted, std::vector<std::string>()) << "nothing changed";
  device_->monitor.tDet = 229500;
  Poll();
  QApplication::processEvents();
  EXPECT_EQ(counter.painted, std::vector<std::string>{"MonitorTDetPanel"});
}

TEST_F(FroskTecViewFormTest, TheWindowButtonsCallTheEngine) {
  settings_.ServiceMode = true;
  Open(3);
  QStackedWidget* notebook = Find<QStackedWidget>("ViewNotebook");
  Find<QCheckBox>("ServiceModeCheckBox")->click();
  std::vector<std::vector<uint8_t>> sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(ItemKey(sent[0].data()), SET_SERVICE_MODE);
  EXPECT_EQ(SentRecord<ServiceModeRecord>(sent[0]).enable, 1);
  AnswerLast();
  EXPECT_TRUE(Find<QCheckBox>("ServiceModeCheckBox")->isChecked());

  Find<QPushButton>("ServiceViewBitBtn")->click();
  EXPECT_EQ(Engine().ViewPage(), 1);
  EXPECT_EQ(notebook->currentIndex(), 1);
  Find<QPushButton>("UserView1BitBtn")->click();
  EXPECT_EQ(notebook->currentIndex(), 0);
  Find<QPushButton>("ConfiguratorBitBtn")->click();
  EXPECT_EQ(notebook->currentIndex(), 2);
  EXPECT_EQ(Engine().SequenceState(), SequenceState::kConfiguratorServiceMode);
  AnswerLast();
  TakeSent();
  // Back from the configurator the device is read again.
  Find<QPushButton>("UserViewBitBtn")->click();
  EXPECT_EQ(notebook->currentIndex(), 0);
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_SERVICE_MODE});
  ReadToEnd();
  EXPECT_TRUE(Engine().ViewReady());
  TakeSent();

  // The Auto boxes stop and start the polls.
  Find<QCheckBox>("DeviceMonitorAutoCheckBox")->click();
  EXPECT_FALSE(Engine().DeviceMonitorAuto());
  Poll();
  Poll();
  EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{GET_MODULE_VELTRA_MONITOR, GET_MODULE_VELTRA_MONITOR}));
}

// The program's factory over the discovery engine and a simulated controller.
TEST(FroskTecViewFormProgramTest, AConnectedSimulatedControllerComesAliveInItsWindow) {
  SimulatedProgram program({"--module", "veltra"});
  ASSERT_NE(program.Device(), nullptr);
  TFroskTecViewForm* window = program.Connect();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  ASSERT_TRUE(program.RunUntil([&] { return window->Engine().ViewReady(); }));
  EXPECT_EQ(window->findChild<QLabel*>("DeviceSerialPanel")->text(), "123456-07");
  ASSERT_TRUE(program.RunUntil([&] { return !window->findChild<QLabel*>("MonitorTDetPanel")->text().isEmpty(); }));
  program.Disconnect();
  EXPECT_EQ(program.Device()->Window, nullptr);
}

}  // namespace
}  // namespace frosk::test

namespace frosk::test {
namespace {

TEST_F(FroskTecViewFormTest, ConfigurationButtonsSaveAndLoadThroughTheFileEngine) {
  Open(3);
  const std::string file = dir_.Path() + "controller.froskconfig";
  prompter_.fileNames = {file};
  QTest::mouseClick(Find<QPushButton>("SaveConfigurationBitBtn"), Qt::LeftButton);
  ASSERT_EQ(prompter_.fileDialogs.size(), 1u);
  EXPECT_EQ(prompter_.fileDialogs[0].filter, "Frosk Configuration Files|*.froskconfig");
  ASSERT_FALSE(prompter_.shown.empty());
  EXPECT_EQ(prompter_.shown.back(), (ScriptedPrompter::Shown{"Configuration written to file.", 0x40}));
  EXPECT_TRUE(TakeSent().empty()) << "saving sends nothing";

  prompter_.fileNames = {file};
  prompter_.answers = {kIdOk};
  QTest::mouseClick(Find<QPushButton>("LoadConfigurationBitBtn"), Qt::LeftButton);
  EXPECT_EQ(prompter_.shown.back().flags, 0x31u) << "the load asks before overwriting the device";
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{SET_DEVICE_IDEN}) << "records go out one by one, identification first";
  EXPECT_EQ(Text("LoadConfigurationProgressLabel"), "Sending record 1 of 16: SET_DEVICE_IDEN");
  AnswerLast();
  EXPECT_EQ(Text("LoadConfigurationProgressLabel"), "Sending record 2 of 16: SET_FROSKTEC_CONFIG");
  for (int i = 0; i < 20 && Engine().SequenceState() == SequenceState::kSendingConfiguration; ++i) AnswerLast();
  EXPECT_EQ(Text("LoadConfigurationProgressLabel"), "");
}

}  // namespace
}  // namespace frosk::test
