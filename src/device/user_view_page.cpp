#include "device/user_view_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "common/form_basics.h"
#include "device/enter_value_form.h"
#include "device/slider_image.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

// A numeric setting: its controls are named after `prefix`, which is also the
// name the value dialog shows.
struct UserViewPage::NumericSetting {
  const char* prefix;
  const char* caption;
  const char* description;
  Key field;
  Side side;
};

struct UserViewPage::ChoiceSetting {
  const char* captionName;
  const char* caption;
  Key field;
  Side side;
  std::vector<std::pair<const char*, const char*>> buttons;  // name, caption; index = choice
};

struct UserViewPage::MonitorLine {
  const char* prefix;
  const char* caption;
  Key field;
};

namespace {

using Side = UserViewPage::Side;
using NumericSetting = UserViewPage::NumericSetting;
using ChoiceSetting = UserViewPage::ChoiceSetting;
using MonitorLine = UserViewPage::MonitorLine;

// The rows of the two settings areas, top to bottom.
const NumericSetting kUSupPlus{"USupPlus", "Supply Positive Voltage:", "Amplifier suppy positive voltage",
                               MODULE_BASIC_PARAMS_U_SUP_PLUS, Side::kController};
const NumericSetting kUSupMinus{"USupMinus", "Supply Negative Voltage:", "Amplifier suppy negative voltage",
                                MODULE_BASIC_PARAMS_U_SUP_MINUS, Side::kController};
const NumericSetting kTDet{"TDet", "Detector Temperature:", "Target detector temperature", MODULE_BASIC_PARAMS_T_DET,
                           Side::kController};
const NumericSetting kITecMax{"ITecMax", "TEC Maximum Current:", "Maxiumum TEC Current", MODULE_BASIC_PARAMS_I_TEC_MAX,
                              Side::kController};
const NumericSetting kModuleSettings[] = {
    {"DetU", "Detector Bias Voltage:", "Detector voltage bias", MODULE_VELTRA_PARAMS_DET_U, Side::kModule},
    {"DetI", "Detector Bias Current Comp.:", "Detector current compensation", MODULE_VELTRA_PARAMS_DET_I,
     Side::kModule},
    {"Gain", "Preamplifier Gain:", "Amplifier gain control", MODULE_VELTRA_PARAMS_GAIN, Side::kModule},
    {"Offset", "Output DC Offset:", "Amplifier offset control", MODULE_VELTRA_PARAMS_OFFSET, Side::kModule},
    {"Varactor", "Preamp 1st Stage Frequency Comp.:", "Amplifier varactor control", MODULE_VELTRA_PARAMS_VARACTOR,
     Side::kModule},
};

const ChoiceSetting kSupCtrl{
    "SetpointSupCtrlStaticText",
    "Module Supply Enable:",
    MODULE_BASIC_PARAMS_SUP_CTRL,
    Side::kController,
    {{"SetpointSupCtrlAutoButton", "AUTO"}, {"SetpointSupCtrlOffButton", "OFF"}, {"SetpointSupCtrlOnButton", "ON"}}};
const ChoiceSetting kFanCtrl{
    "SetpointFanCtrlStaticText",
    "Fan Supply Enable:",
    MODULE_BASIC_PARAMS_FAN_CTRL,
    Side::kController,
    {{"SetpointFanCtrlAutoButton", "AUTO"}, {"SetpointFanCtrlOffButton", "OFF"}, {"SetpointFanCtrlOnButton", "ON"}}};
const ChoiceSetting kModuleChoices[] = {
    {"CouplingStaticText",
     "Signal Coupling:",
     MODULE_VELTRA_PARAMS_ACDC,
     Side::kModule,
     {{"CouplingACSpeedButton", "AC"}, {"CouplingDCSpeedButton", "DC"}}},
    {"TransStaticText",
     "1st Stage Transimpedance:",
     MODULE_VELTRA_PARAMS_TRANS,
     Side::kModule,
     {{"TransLowSpeedButton", "LOW"}, {"TransHighSpeedButton", "HIGH"}}},
    {"BandwidthStaticText",
     "Preamplifier Bandwidth:",
     MODULE_VELTRA_PARAMS_BW,
     Side::kModule,
     {{"BandwidthLowSpeedButton", "LOW"}, {"BandwidthMidSpeedButton", "MID"}, {"BandwidthHighSpeedButton", "HIGH"}}},
};

// The monitor lines whose text is the holder's value while the view is ready.
const MonitorLine kControllerMonitor[] = {
    {"USupPlus", "Supply Positive Voltage:", FROSKTEC_MONITOR_U_SUP_PLUS},
    {"ISupPlus", "Supply Positive Current Consump.:", FROSKTEC_MONITOR_I_SUP_PLUS},
    {"USupMinus", "Supply Negative Voltage:", FROSKTEC_MONITOR_U_SUP_MINUS},
    {"ISupMinus", "Supply Negative Current Consump.:", FROSKTEC_MONITOR_I_SUP_MINUS},
    {"IFanPlus", "Fan Supply Current:", FROSKTEC_MONITOR_I_FAN_PLUS},
    {"UTec", "TEC Voltage:", FROSKTEC_MONITOR_U_TEC},
    {"ITec", "TEC Current:", FROSKTEC_MONITOR_I_TEC},
    {"TDet", "Detector Temperature:", FROSKTEC_MONITOR_T_DET},
    {"TInt", "Internal Temperature:", FROSKTEC_MONITOR_T_INT},
};
constexpr size_t kFirstSupplyLine = 0;  // four supply lines follow SUP_ON
constexpr size_t kFanLine = 4;
constexpr size_t kTDetLine = 7;
constexpr size_t kTIntLine = 8;
const MonitorLine kModuleMonitor[] = {
    {"UDet", "Detector Bias Voltage:", MODULE_VELTRA_MONITOR_U_DET},
    {"U1st", "Preamplifier 1st Stage Voltage:", MODULE_VELTRA_MONITOR_U_1ST},
    {"UOut", "Preamplifier Output Voltage:", MODULE_VELTRA_MONITOR_U_OUT},
    {"Temp", "Module Enclosure Temperature:", MODULE_VELTRA_MONITOR_TEMP},
};

// The colour scheme of the user view.
const QColor kMonitorActive{255, 208, 208};
const QColor kSettingActive{208, 255, 208};
const QColor kInactiveBackground{240, 240, 240};
const QColor kActiveText{0, 0, 0};
const QColor kInactiveText{128, 128, 128};
const QColor kErrorText{255, 0, 0};

// Which device replies each area shows; an area is redrawn only when a reply
// stored one of its groups or the page's state changed.
constexpr GroupMask kControllerHeaderGroups = GroupBit(Group::kDeviceIden) | GroupBit(Group::kServiceMode);
constexpr GroupMask kControllerSettingsGroups = GroupBit(Group::kNoMemUserSet) | GroupBit(Group::kNoMemUserMin) |
                                                GroupBit(Group::kNoMemUserMax) | GroupBit(Group::kModuleUserSet) |
                                                GroupBit(Group::kModuleUserMin) | GroupBit(Group::kModuleUserMax) |
                                                GroupBit(Group::kServiceMode);
constexpr GroupMask kControllerMonitorGroups = GroupBit(Group::kFroskTecMonitor);
constexpr GroupMask kModuleHeaderGroups = GroupBit(Group::kNoMemModuleIden) | GroupBit(Group::kModuleIden);
constexpr GroupMask kModuleSettingsGroups = GroupBit(Group::kVeltraUserSet) | GroupBit(Group::kVeltraUserMin) |
                                            GroupBit(Group::kVeltraUserMax) | GroupBit(Group::kServiceMode);
constexpr GroupMask kModuleMonitorGroups = GroupBit(Group::kModuleVeltraMonitor);
constexpr GroupMask kAllGroups = ~GroupMask{0};

void SetTextColour(QWidget* widget, bool active) {
  if (widget != nullptr) SetColour(widget, QPalette::WindowText, active ? kActiveText : kInactiveText);
}

void SetPanelColour(QLabel* panel, const QColor& colour) { SetColour(panel, QPalette::Window, colour); }

void SetListColour(QComboBox* list, bool active) {
  const QColor colour = active ? kSettingActive : kInactiveBackground;
  SetColour(list, QPalette::Base, colour);
  SetColour(list, QPalette::Button, colour);
}

void SetAlignment(QLabel* label, Qt::Alignment alignment) {
  if (label->alignment() != alignment) label->setAlignment(alignment);
}

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

// A sunken panel with a coloured background that shows one value.
QLabel* ValuePanel(QWidget* parent, const QString& name, const QRect& geometry, Qt::Alignment alignment = kRight) {
  auto* panel = new QLabel(parent);
  panel->setObjectName(name);
  panel->setGeometry(geometry);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setAutoFillBackground(true);
  panel->setAlignment(alignment);
  panel->setMargin(2);
  SetPanelColour(panel, kInactiveBackground);
  return panel;
}

QComboBox* List(QWidget* parent, const char* name, const QRect& geometry) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->setGeometry(geometry);
  SetListColour(list, false);
  return list;
}

QString GainText(double gain) { return QString::number(gain, 'f', gain < 10.0 ? 1 : 0); }

// Where the lines of the two halves sit. Every line is 28 pixels high; a
// slider needs 24 of them for its end ticks.
namespace geometry {
constexpr int kPanelWidth = 484;
constexpr int kAreaWidth = 476;
constexpr int kLine = 28;
constexpr int kFirstLine = 26;
constexpr int kCaptionX = 8;
// Controller lines: caption, value, unit, Edit, -, +, slider.
constexpr int kControllerValueX = 160;
// Module lines have longer captions and no unit.
constexpr int kModuleValueX = 216;
constexpr int kMonitorValueX = 214;
}  // namespace geometry

// The slider spans the field's own limits.
SliderValues SliderOf(const DeviceEngine::Setting& setting) {
  return {setting.value.Min(), setting.value.Max(), setting.userMin.GetAsInt(), setting.userMax.GetAsInt(),
          setting.value.GetAsInt()};
}

}  // namespace

UserViewPage::UserViewPage(DeviceEngine& engine, ConfigFileEngine& files, TEnterValueForm& valueDialog,
                           bool serviceSetting, QWidget* parent)
    : QWidget(parent), engine_(engine), files_(files), valueDialog_(valueDialog) {
  BuildLayout(serviceSetting);
  SetUnitLabels();
  FillGainList();
  WireActions();
}

// --- Layout -------------------------------------------------------------------

void UserViewPage::BuildLayout(bool serviceSetting) {
  setObjectName("UserViewPage");
  BuildControllerPanel()->setGeometry(4, 4, geometry::kPanelWidth, 598);
  BuildAmplifierPanel()->setGeometry(499, 4, geometry::kPanelWidth, 598);
  BuildBottomBar(serviceSetting);
}

QFrame* UserViewPage::AddArea(QWidget* parent, const char* name, const QRect& geometry, const char* headingName,
                              const char* heading) {
  auto* area = new QFrame(parent);
  area->setObjectName(name);
  area->setGeometry(geometry);
  area->setFrameStyle(QFrame::Panel | QFrame::Raised);
  area->setAutoFillBackground(true);
  auto* title = Label(area, headingName, QString::fromUtf8(heading), {geometry::kCaptionX, 4, 120, 18});
  title->setFont(UiFont(12, true));
  return area;
}

UserViewPage::NumericRow UserViewPage::AddNumericRow(QWidget* area, const NumericSetting& setting, int y) {
  const QString prefix = QString::fromUtf8(setting.prefix);
  const bool controller = setting.side == Side::kController;
  const int x = controller ? geometry::kControllerValueX : geometry::kModuleValueX;
  const int panelWidth = controller ? 64 : 50;
  const int editX = controller ? x + panelWidth + 28 : x + panelWidth + 4;
  NumericRow row{&setting, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  row.caption = Label(area, "Setpoint" + prefix + "StaticText", QString::fromUtf8(setting.caption),
                      {geometry::kCaptionX, y, x - 10, 26});
  row.panel = ValuePanel(area, "Setpoint" + prefix + "Panel", {x, y + 3, panelWidth, 20});
  if (controller)
    row.unit = Label(area, "Setpoint" + prefix + "ULabel", QStringLiteral("??"), {x + panelWidth + 4, y, 22, 26});
  row.edit = Button(area, "Setpoint" + prefix + "Button", QStringLiteral("Edit"), {editX, y + 1, 40, 24});
  row.dec = Button(area, "Setpoint" + prefix + "DecButton", QStringLiteral("-"), {editX + 42, y + 1, 22, 24});
  row.inc = Button(area, "Setpoint" + prefix + "IncButton", QStringLiteral("+"), {editX + 66, y + 1, 22, 24});
  row.image = new SliderImage(area);
  row.image->setObjectName(prefix + "ScrollBarImage");
  const int imageX = editX + 92;
  row.image->setGeometry(imageX, y, geometry::kAreaWidth - 8 - imageX, 26);
  return row;
}

UserViewPage::ChoiceRow UserViewPage::AddChoiceRow(QWidget* area, const ChoiceSetting& setting, int y) {
  const int x = setting.side == Side::kController ? geometry::kControllerValueX : geometry::kModuleValueX;
  ChoiceRow row{
      &setting,
      Label(area, setting.captionName, QString::fromUtf8(setting.caption), {geometry::kCaptionX, y, x - 10, 26}),
      {}};
  for (size_t i = 0; i < setting.buttons.size(); ++i) {
    auto* button = new QToolButton(area);
    button->setObjectName(setting.buttons[i].first);
    button->setText(QString::fromUtf8(setting.buttons[i].second));
    button->setCheckable(true);
    button->setGeometry(x + static_cast<int>(i) * 56, y + 1, 54, 24);
    row.buttons.push_back(button);
  }
  return row;
}

UserViewPage::MonitorRow UserViewPage::AddMonitorRow(QWidget* area, const MonitorLine& line, int y) {
  const QString prefix = QString::fromUtf8(line.prefix);
  const int x = geometry::kMonitorValueX;
  return {&line,
          Label(area, "Monitor" + prefix + "StaticText", QString::fromUtf8(line.caption),
                {geometry::kCaptionX, y, x - 10, 24}),
          ValuePanel(area, "Monitor" + prefix + "Panel", {x, y + 2, 72, 20}),
          Label(area, "Monitor" + prefix + "ULabel", QStringLiteral("??"), {x + 76, y, 26, 24})};
}

QWidget* UserViewPage::BuildControllerPanel() {
  auto* panel = new QFrame(this);
  panel->setObjectName("ControllerPanel");
  Label(panel, "ControllerHeadingLabel", QStringLiteral("Controller"), {8, 2, 200, 20})->setFont(UiFont(12, true));
  Label(panel, "DeviceNameLabel", QStringLiteral("Name:"), {8, 24, 90, 22});
  deviceNamePanel_ = ValuePanel(panel, "DeviceNamePanel", {100, 25, 200, 20}, kCentre);
  Label(panel, "DeviceSerialLabel", QStringLiteral("Serial:"), {304, 24, 90, 22});
  deviceSerialPanel_ = ValuePanel(panel, "DeviceSerialPanel", {396, 25, 80, 20}, kCentre);
  SetPanelColour(deviceNamePanel_, kMonitorActive);
  SetPanelColour(deviceSerialPanel_, kMonitorActive);
  loadConfigurationBitBtn_ =
      Button(panel, "LoadConfigurationBitBtn", QStringLiteral("Load Configuration from File..."), {8, 52, 226, 26});
  saveConfigurationBitBtn_ =
      Button(panel, "SaveConfigurationBitBtn", QStringLiteral("Save Configuration to File..."), {250, 52, 226, 26});

  using geometry::kLine;
  int y = geometry::kFirstLine;
  controllerPowerPanel_ =
      AddArea(panel, "ControllerPowerPanel", {4, 86, geometry::kAreaWidth, 236}, "ControllerSettingsLabel", "Settings");
  choiceRows_.push_back(AddChoiceRow(controllerPowerPanel_, kSupCtrl, y));
  numericRows_.push_back(AddNumericRow(controllerPowerPanel_, kUSupPlus, y += kLine));
  numericRows_.push_back(AddNumericRow(controllerPowerPanel_, kUSupMinus, y += kLine));
  choiceRows_.push_back(AddChoiceRow(controllerPowerPanel_, kFanCtrl, y += kLine));
  numericRows_.push_back(AddNumericRow(controllerPowerPanel_, kTDet, y += kLine));
  numericRows_.push_back(AddNumericRow(controllerPowerPanel_, kITecMax, y += kLine));
  y += kLine + 8;
  deviceSettingsWriteBitBtn_ =
      Button(controllerPowerPanel_, "DeviceSettingsWriteBitBtn", QStringLiteral("Write"), {160, y, 90, 26});
  deviceSettingsDefaultBitBtn_ =
      Button(controllerPowerPanel_, "DeviceSettingsDefaultBitBtn", QStringLiteral("Use Defaults"), {256, y, 110, 26});

  QFrame* monitor = AddArea(panel, "ControllerMonitorPanel", {4, 328, geometry::kAreaWidth, 256},
                            "ControllerMonitorLabel", "Monitor");
  deviceMonitorAutoCheckBox_ = CheckBox(monitor, "DeviceMonitorAutoCheckBox", QStringLiteral("Auto"), {96, 4, 70, 18});
  y = geometry::kFirstLine - 24;
  for (const MonitorLine& line : kControllerMonitor) monitorRows_.push_back(AddMonitorRow(monitor, line, y += 24));
  // The internal temperature is read but not shown; the status takes its place.
  for (QWidget* widget : std::initializer_list<QWidget*>{monitorRows_[kTIntLine].caption, monitorRows_[kTIntLine].panel,
                                                         monitorRows_[kTIntLine].unit})
    widget->hide();
  monitorStatusStaticText_ = Label(monitor, "MonitorStatusStaticText", QStringLiteral("Device Status:"),
                                   {geometry::kCaptionX, y, geometry::kMonitorValueX - 10, 24});
  monitorStatusPanel_ = ValuePanel(monitor, "MonitorStatusPanel", {geometry::kMonitorValueX, y + 2, 40, 20}, kCentre);
  monitorInfoPanel_ = ValuePanel(monitor, "MonitorInfoPanel", {geometry::kMonitorValueX + 44, y + 2, 210, 20}, kCentre);
  return panel;
}

QWidget* UserViewPage::BuildAmplifierPanel() {
  auto* panel = new QFrame(this);
  panel->setObjectName("AmplifierPanel");
  Label(panel, "ModuleHeadingLabel", QStringLiteral("Detection Module"), {8, 2, 200, 20})->setFont(UiFont(12, true));
  moduleHeaderCaptions_ = {Label(panel, "ModuleNameLabel", QStringLiteral("Name:"), {8, 24, 90, 22}),
                           Label(panel, "ModuleSerialLabel", QStringLiteral("Serial:"), {304, 24, 90, 22}),
                           Label(panel, "DetectorNameLabel", QStringLiteral("Detector Type:"), {8, 50, 90, 22}),
                           Label(panel, "DetectorSerialLabel", QStringLiteral("Detector Serial:"), {304, 50, 90, 22})};
  moduleHeaderPanels_ = {ValuePanel(panel, "ModuleNamePanel", {100, 25, 200, 20}, kCentre),
                         ValuePanel(panel, "ModuleSerialPanel", {396, 25, 80, 20}, kCentre),
                         ValuePanel(panel, "DetectorNamePanel", {100, 51, 200, 20}, kCentre),
                         ValuePanel(panel, "DetectorSerialPanel", {396, 51, 80, 20}, kCentre)};

  using geometry::kLine;
  moduleSettingsPanel_ =
      AddArea(panel, "ModuleSettingsPanel", {4, 86, geometry::kAreaWidth, 320}, "ModuleSettingsLabel", "Settings");
  int y = geometry::kFirstLine;
  moduleUserSetLabel_ = Label(moduleSettingsPanel_, "ModuleUserSetLabel", QStringLiteral("User Settings:"),
                              {geometry::kCaptionX, y, 110, 26});
  moduleUserSetIndexComboBox_ =
      List(moduleSettingsPanel_, "ModuleUserSetIndexComboBox", {geometry::kModuleValueX, y + 2, 50, 22});
  for (const char* bank : {"1", "2", "3", "4"}) moduleUserSetIndexComboBox_->addItem(QString::fromUtf8(bank));
  moduleUserSetLoadBitBtn_ =
      Button(moduleSettingsPanel_, "ModuleUserSetLoadBitBtn", QStringLiteral("Load"), {270, y + 1, 64, 24});
  moduleUserSetStoreBitBtn_ =
      Button(moduleSettingsPanel_, "ModuleUserSetStoreBitBtn", QStringLiteral("Store"), {338, y + 1, 64, 24});
  for (const NumericSetting& setting : kModuleSettings)
    numericRows_.push_back(AddNumericRow(moduleSettingsPanel_, setting, y += kLine));
  // The gain list sits on the gain's line, behind its short caption.
  const NumericRow& gain = numericRows_[numericRows_.size() - 3];
  gain.caption->resize(110, gain.caption->height());
  setpointGainComboBox_ = List(moduleSettingsPanel_, "SetpointGainComboBox", {120, gain.caption->y() + 2, 58, 22});
  setpointGainMulLabel_ =
      Label(moduleSettingsPanel_, "SetpointGainMulLabel", QStringLiteral("V/V"), {182, gain.caption->y(), 28, 26});
  for (const ChoiceSetting& setting : kModuleChoices)
    choiceRows_.push_back(AddChoiceRow(moduleSettingsPanel_, setting, y += kLine));
  y += kLine + 8;
  moduleSettingsWriteBitBtn_ =
      Button(moduleSettingsPanel_, "ModuleSettingsWriteBitBtn", QStringLiteral("Write"), {216, y, 90, 26});
  moduleSettingsDefaultBitBtn_ =
      Button(moduleSettingsPanel_, "ModuleSettingsDefaultBitBtn", QStringLiteral("Use Defaults"), {312, y, 110, 26});

  QFrame* monitor =
      AddArea(panel, "ModuleMonitorPanel", {4, 412, geometry::kAreaWidth, 132}, "ModuleMonitorLabel", "Monitor");
  moduleMonitorAutoCheckBox_ = CheckBox(monitor, "ModuleMonitorAutoCheckBox", QStringLiteral("Auto"), {96, 4, 70, 18});
  y = geometry::kFirstLine - 24;
  for (const MonitorLine& line : kModuleMonitor) monitorRows_.push_back(AddMonitorRow(monitor, line, y += 24));
  return panel;
}

void UserViewPage::BuildBottomBar(bool serviceSetting) {
  serviceViewBitBtn_ = Button(this, "ServiceViewBitBtn", QStringLiteral("Service View"), {667, 608, 104, 26});
  serviceModeCheckBox_ = CheckBox(this, "ServiceModeCheckBox", QStringLiteral("Service Mode"), {549, 612, 112, 18});
  configuratorBitBtn_ = Button(this, "ConfiguratorBitBtn", QStringLiteral("Configurator"), {777, 608, 104, 26});
  for (QWidget* widget : std::initializer_list<QWidget*>{serviceViewBitBtn_, serviceModeCheckBox_, configuratorBitBtn_})
    widget->setVisible(serviceSetting);
  // How far a file's load has come, while its records go out: wrapped in two
  // lines between the window's trends buttons and the service controls.
  loadConfigurationProgressLabel_ = Label(this, "LoadConfigurationProgressLabel", {}, {386, 604, 160, 36});
  loadConfigurationProgressLabel_->setFont(UiFont(8, true));
  loadConfigurationProgressLabel_->setWordWrap(true);
}

void UserViewPage::SetUnitLabels() {
  const auto unitOf = [](const auto& group, Key field) { return QString::fromUtf8(group.At(field).Unit()); };
  for (const NumericRow& row : numericRows_)
    if (row.unit != nullptr) row.unit->setText(unitOf(engine_.NoMemUserSet(), row.setting->field));
  for (const MonitorRow& row : monitorRows_) {
    const auto& controller = engine_.FroskTecMonitor();
    row.unit->setText(controller.Find(row.line->field) != nullptr
                          ? unitOf(controller, row.line->field)
                          : unitOf(engine_.ModuleVeltraMonitor(), row.line->field));
  }
}

void UserViewPage::FillGainList() {
  setpointGainComboBox_->clear();
  for (const GainCode& entry : kGainCodes) setpointGainComboBox_->addItem(GainText(entry.gain));
}

// --- Actions ------------------------------------------------------------------

void UserViewPage::WireActions() {
  for (const NumericRow& row : numericRows_) {
    connect(row.image, &SliderImage::MouseDown, this, &UserViewPage::AnyScrollBarImageMouseDown);
    connect(row.image, &SliderImage::MouseMove, this, &UserViewPage::AnyScrollBarImageMouseMove);
    connect(row.image, &SliderImage::MouseUp, this, &UserViewPage::AnyScrollBarImageMouseUp);
    for (QPushButton* button : {row.dec, row.inc}) {
      connect(button, &QPushButton::pressed, this, &UserViewPage::AnySetpointDecIncButtonDown);
      connect(button, &QPushButton::released, this, &UserViewPage::AnySetpointDecIncButtonUp);
    }
    row.image->setFocusPolicy(Qt::StrongFocus);
    row.image->installEventFilter(this);
    connect(row.edit, &QPushButton::clicked, this, &UserViewPage::AnyUserEditButtonClick);
  }
  for (const ChoiceRow& row : choiceRows_)
    for (QToolButton* button : row.buttons)
      connect(button, &QToolButton::clicked, this, &UserViewPage::AnyUserSpeedButtonClick);
  connect(setpointGainComboBox_, &QComboBox::activated, this, &UserViewPage::AnyUserComboBoxChange);
  setpointGainComboBox_->installEventFilter(this);
  connect(deviceMonitorAutoCheckBox_, &QCheckBox::clicked, this, &UserViewPage::AnyUserCheckBoxClick);
  connect(moduleMonitorAutoCheckBox_, &QCheckBox::clicked, this, &UserViewPage::AnyUserCheckBoxClick);
  connect(loadConfigurationBitBtn_, &QPushButton::clicked, this, &UserViewPage::LoadConfigurationBitBtnClick);
  connect(saveConfigurationBitBtn_, &QPushButton::clicked, this, &UserViewPage::SaveConfigurationBitBtnClick);
  connect(deviceSettingsWriteBitBtn_, &QPushButton::clicked, this, &UserViewPage::DeviceSettingsWriteBitBtnClick);
  connect(deviceSettingsDefaultBitBtn_, &QPushButton::clicked, this, &UserViewPage::DeviceSettingsDefaultBitBtnClick);
  connect(moduleSettingsWriteBitBtn_, &QPushButton::clicked, this, &UserViewPage::ModuleSettingsWriteBitBtnClick);
  connect(moduleSettingsDefaultBitBtn_, &QPushButton::clicked, this, &UserViewPage::ModuleSettingsDefaultBitBtnClick);
  connect(moduleUserSetLoadBitBtn_, &QPushButton::clicked, this, &UserViewPage::ModuleUserSetBitBtnClick);
  connect(moduleUserSetStoreBitBtn_, &QPushButton::clicked, this, &UserViewPage::ModuleUserSetBitBtnClick);
  connect(serviceViewBitBtn_, &QPushButton::clicked, this, &UserViewPage::ServiceViewBitBtnClick);
  connect(configuratorBitBtn_, &QPushButton::clicked, this, &UserViewPage::ConfiguratorBitBtnClick);
  connect(serviceModeCheckBox_, &QCheckBox::clicked, this, &UserViewPage::ServiceModeCheckBoxClick);
}

// --- Refresh ------------------------------------------------------------------

void UserViewPage::FormShow() {
  gainComboEditing_ = false;
  dirty_ = kAllGroups;
}

void UserViewPage::RefreshAfterEdit() {
  dirty_ = kAllGroups;
  engine_.Refresh();
}

UserViewPage::PageState UserViewPage::CurrentState() const {
  const DeviceEngine& engine = engine_;
  return {
      engine.ViewReady(),         engine.ControllerReady(),         engine.VeltraReady(),        engine.TecPresent(),
      engine.ThermistorPresent(), engine.ControllerInServiceMode(), engine.ModuleTypeSnapshot(), stale_};
}

void UserViewPage::Refresh() {
  GroupMask stored = std::exchange(dirty_, 0);
  const PageState state = CurrentState();
  if (shown_ != state) stored = kAllGroups;
  shown_ = state;
  if (stored & kControllerHeaderGroups) RefreshControllerHeader(state);
  if (stored & kControllerSettingsGroups) RefreshControllerSettings(state);
  if (stored & kControllerMonitorGroups) RefreshControllerMonitor(state);
  if (stored & kModuleHeaderGroups) RefreshModuleHeader(state);
  if (stored & kModuleSettingsGroups) RefreshModuleSettings(state);
  if (stored & kModuleMonitorGroups) RefreshModuleMonitor(state);
  RefreshMonitorAutoBoxes(state);
  RefreshLoadProgress();
}

void UserViewPage::RefreshLoadProgress() {
  const std::optional<ChainProgress> progress = files_.Progress();
  const bool sending = engine_.SequenceState() == SequenceState::kSendingConfiguration && progress;
  SetText(loadConfigurationProgressLabel_, sending ? Text("Sending " + ProgressText(*progress)) : QString());
}

void UserViewPage::RefreshControllerHeader(const PageState& state) {
  DeviceIdenHolders& iden = engine_.DeviceIden();
  SetChecked(serviceModeCheckBox_, state.serviceMode);
  SetEnabled(serviceModeCheckBox_, state.viewReady);
  SetText(deviceNamePanel_, Text(iden.At(DEVICE_IDEN_NAME).ValueToText()));
  SetText(deviceSerialPanel_, Text(iden.At(DEVICE_IDEN_SERIAL).ValueToText()));
  SetEnabled(loadConfigurationBitBtn_, state.controllerReady);
  SetEnabled(saveConfigurationBitBtn_, state.controllerReady);
}

void UserViewPage::RefreshControllerSettings(const PageState& state) {
  const QColor areaColour = controllerPowerPanel_->palette().color(QPalette::Window);
  for (const ChoiceRow& row : choiceRows_)
    if (row.setting->side == Side::kController) ShowChoiceRow(row, state.controllerReady, state.serviceMode);
  for (const NumericRow& row : numericRows_) {
    const Key field = row.setting->field;
    if (row.setting->side != Side::kController) continue;
    if (field == MODULE_BASIC_PARAMS_T_DET)
      // Without a thermistor the temperature cannot be held, so its value
      // means nothing; the TEC alone still lets the user set it.
      ShowNumericRow(row, areaColour, state.tecPresent, state.tecPresent && state.thermistorPresent,
                     state.thermistorPresent);
    else if (field == MODULE_BASIC_PARAMS_I_TEC_MAX)
      ShowNumericRow(row, areaColour, state.tecPresent, state.tecPresent, state.tecPresent);
    else
      ShowNumericRow(row, areaColour, state.controllerReady, state.controllerReady, state.controllerReady);
  }
  SetEnabled(deviceSettingsWriteBitBtn_, state.controllerReady);
  SetEnabled(deviceSettingsDefaultBitBtn_, state.controllerReady);
}

void UserViewPage::ShowNumericRow(const NumericRow& row, const QColor& areaColour, bool enabled, bool valueShown,
                                  bool coloured) {
  const DeviceEngine::Setting holders = Holders(row.setting->field);
  SetText(row.panel, valueShown ? Text(holders.value.ValueToText()) : QString());
  SetPanelColour(row.panel, coloured ? kSettingActive : kInactiveBackground);
  SetTextColour(row.caption, coloured);
  SetTextColour(row.unit, coloured);
  for (QWidget* control : std::initializer_list<QWidget*>{row.edit, row.dec, row.inc, row.image})
    SetEnabled(control, enabled);
  row.image->Show(areaColour, SliderOf(holders), valueShown);
}

void UserViewPage::ShowChoiceRow(const ChoiceRow& row, bool ready, bool serviceMode) {
  const DeviceEngine::Setting holders = Holders(row.setting->field);
  const int value = holders.value.GetAsInt();
  SetTextColour(row.caption, ready);
  for (size_t k = 0; k < row.buttons.size(); ++k) {
    const int choice = static_cast<int>(k);
    // Outside service mode the user limits take choices away.
    const bool allowed = serviceMode || (holders.userMin.GetAsInt() <= choice && choice <= holders.userMax.GetAsInt());
    SetEnabled(row.buttons[k], ready && allowed);
    SetChecked(row.buttons[k], value == choice);
  }
}

void UserViewPage::RefreshControllerMonitor(const PageState& state) {
  const FroskTecMonitorHolders& monitor = engine_.FroskTecMonitor();
  const bool supplyOn = monitor.At(FROSKTEC_MONITOR_SUP_ON).GetAsInt() != 0;
  const bool fanOn = monitor.At(FROSKTEC_MONITOR_FAN_ON).GetAsInt() != 0;
  for (size_t i = 0; i < std::size(kControllerMonitor); ++i) {
    const MonitorRow& row = monitorRows_[i];
    const bool active = i == kTDetLine ? state.thermistorPresent : state.viewReady;
    QString text = active ? Text(monitor.At(row.line->field).ValueToText()) : QString();
    if (i >= kFirstSupplyLine && i <= kFanLine) {
      const bool on = i == kFanLine ? fanOn : supplyOn;
      if (active && !on) text = QStringLiteral("OFF");
      SetAlignment(row.panel, on ? kRight : kCentre);
    }
    SetText(row.panel, text);
    SetTextColour(row.panel, !state.stale);
    SetPanelColour(row.panel, active ? kMonitorActive : kInactiveBackground);
    SetTextColour(row.caption, active);
    SetTextColour(row.unit, active);
  }
  const int status = monitor.At(FROSKTEC_MONITOR_STATUS).GetAsInt();
  SetTextColour(monitorStatusStaticText_, state.viewReady);
  SetText(monitorStatusPanel_, state.viewReady ? QString::number(status) : QString());
  SetTextColour(monitorStatusPanel_, !state.stale);
  SetPanelColour(monitorStatusPanel_, state.viewReady ? kMonitorActive : kInactiveBackground);
  // The status text stays readable while the view waits: it tells why.
  SetText(monitorInfoPanel_, QString::fromUtf8(StatusText(status)));
  const QColor& infoColour = state.stale ? kInactiveText : status >= kFirstErrorStatus ? kErrorText : kActiveText;
  SetColour(monitorInfoPanel_, QPalette::WindowText, infoColour);
  SetPanelColour(monitorInfoPanel_, state.viewReady ? kMonitorActive : kInactiveBackground);
}

void UserViewPage::RefreshModuleHeader(const PageState& state) {
  const bool known = state.snapshot >= 1;
  const ModuleIdenHolders& iden = engine_.ShownModuleIden();
  const Key fields[] = {MODULE_IDEN_NAME, MODULE_IDEN_SERIAL, MODULE_IDEN_DET_NAME, MODULE_IDEN_DET_SERIAL};
  for (size_t i = 0; i < std::size(fields); ++i) {
    SetText(moduleHeaderPanels_[i], known ? Text(iden.At(fields[i]).ValueToText()) : QString());
    SetPanelColour(moduleHeaderPanels_[i], known ? kMonitorActive : kInactiveBackground);
    SetTextColour(moduleHeaderCaptions_[i], known);
  }
}

void UserViewPage::RefreshModuleSettings(const PageState& state) {
  const bool ready = state.veltraReady;
  const QColor areaColour = moduleSettingsPanel_->palette().color(QPalette::Window);
  for (const NumericRow& row : numericRows_)
    if (row.setting->side == Side::kModule) ShowNumericRow(row, areaColour, ready, ready, ready);
  for (const ChoiceRow& row : choiceRows_)
    if (row.setting->side == Side::kModule) ShowChoiceRow(row, ready, state.serviceMode);

  if (!gainComboEditing_) {
    const int code = engine_.VeltraUserSet().At(MODULE_VELTRA_PARAMS_GAIN).GetAsInt();
    const int index = ready ? GainIndexOf(code) : -1;
    if (setpointGainComboBox_->currentIndex() != index) setpointGainComboBox_->setCurrentIndex(index);
  }
  SetListColour(setpointGainComboBox_, ready);
  SetEnabled(setpointGainComboBox_, ready);
  SetTextColour(setpointGainMulLabel_, ready);
  SetTextColour(moduleUserSetLabel_, ready);
  SetListColour(moduleUserSetIndexComboBox_, ready);
  for (QWidget* control :
       std::initializer_list<QWidget*>{moduleUserSetIndexComboBox_, moduleUserSetLoadBitBtn_, moduleUserSetStoreBitBtn_,
                                       moduleSettingsWriteBitBtn_, moduleSettingsDefaultBitBtn_})
    SetEnabled(control, ready);
}

void UserViewPage::RefreshModuleMonitor(const PageState& state) {
  const ModuleVeltraMonitorHolders& monitor = engine_.ModuleVeltraMonitor();
  for (size_t i = std::size(kControllerMonitor); i < monitorRows_.size(); ++i) {
    const MonitorRow& row = monitorRows_[i];
    SetText(row.panel, state.veltraReady ? Text(monitor.At(row.line->field).ValueToText()) : QString());
    SetTextColour(row.panel, !state.stale);
    SetPanelColour(row.panel, state.veltraReady ? kMonitorActive : kInactiveBackground);
    SetTextColour(row.caption, state.veltraReady);
    SetTextColour(row.unit, state.veltraReady);
  }
}

void UserViewPage::RefreshMonitorAutoBoxes(const PageState& state) {
  SetChecked(deviceMonitorAutoCheckBox_, engine_.DeviceMonitorAuto());
  SetEnabled(deviceMonitorAutoCheckBox_, state.viewReady);
  SetChecked(moduleMonitorAutoCheckBox_, engine_.ModuleMonitorAuto());
  SetEnabled(moduleMonitorAutoCheckBox_, state.veltraReady);
}

// --- Setpoint controls --------------------------------------------------------

const UserViewPage::NumericRow* UserViewPage::RowOfImage(const QObject* image) const {
  for (const NumericRow& row : numericRows_)
    if (row.image == image) return &row;
  return nullptr;
}

void UserViewPage::AnyScrollBarImageMouseDown(Qt::MouseButtons buttons, int x) { DragSlider(sender(), buttons, x); }

void UserViewPage::AnyScrollBarImageMouseMove(Qt::MouseButtons buttons, int x) { DragSlider(sender(), buttons, x); }

// Dragging changes the holder only; the release sends it.
void UserViewPage::DragSlider(const QObject* image, Qt::MouseButtons buttons, int x) {
  const NumericRow* row = RowOfImage(image);
  if (row == nullptr || !(buttons & Qt::LeftButton)) return;
  const DeviceEngine::Setting holders = Holders(row->setting->field);
  const int32_t value = SliderValueAt(row->image->width(), x, SliderOf(holders), !engine_.ControllerInServiceMode());
  if (value == holders.value.GetAsInt()) return;
  holders.value.SetFromInt(value);
  RefreshAfterEdit();
}

// Every release sends the user set, also after a click that moved nothing: it
// is how the user says "send this".
void UserViewPage::AnyScrollBarImageMouseUp() {
  const NumericRow* row = RowOfImage(sender());
  if (row == nullptr) return;
  engine_.WriteSetting(row->setting->field);
  RefreshAfterEdit();
}

// A press steps once; held, the button repeats at the tick rate with ever
// larger steps, and its release sends what it came to, as a slider's does.
void UserViewPage::AnySetpointDecIncButtonDown() {
  for (const NumericRow& row : numericRows_) {
    if (sender() != row.dec && sender() != row.inc) continue;
    SendRestedKeys(true);
    held_ = HeldButton{&row, sender() == row.inc ? 1 : -1, engine_.Clock().Now(), false};
    StepHeld(1);
    return;
  }
}

void UserViewPage::AnySetpointDecIncButtonUp() {
  if (!held_) return;
  const HeldButton held = *held_;
  held_.reset();
  if (held.changed) engine_.WriteSetting(held.row->setting->field);
  RefreshAfterEdit();
}

void UserViewPage::StepHeld(int32_t stride) {
  const DeviceEngine::Setting holders = Holders(held_->row->setting->field);
  const int64_t next = int64_t{holders.value.GetAsInt()} + int64_t{held_->direction} * stride;
  if (engine_
          .SetSetting(held_->row->setting->field, static_cast<int32_t>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX)))
          .changed)
    held_->changed = true;
  RefreshAfterEdit();
}

void UserViewPage::Tick() {
  SendRestedKeys(false);
  if (!held_) return;
  const NumericRow& row = *held_->row;
  // A button that went away or was disabled under the press ends it as a release would.
  if (!(held_->direction > 0 ? row.inc : row.dec)->isDown()) {
    AnySetpointDecIncButtonUp();
    return;
  }
  const uint32_t heldMs = engine_.Clock().Now() - held_->since;
  if (heldMs < kRepeatDelayMs) return;
  // One unit per tick for the first second, then ten times more each second.
  int32_t stride = 1;
  for (uint32_t second = (heldMs - kRepeatDelayMs) / 1000; second > 0 && stride < kMaxRepeatStride; --second)
    stride *= 10;
  StepHeld(stride);
}

// The arrows move a slider one step (a hundredth of the user band), Page Up
// and Down ten, Home and End to the band's ends. The holder follows at once;
// one SET goes when the keys have rested, as after a drag's release.
bool UserViewPage::SliderKey(const NumericRow& row, int key) {
  const DeviceEngine::Setting holders = Holders(row.setting->field);
  const int32_t low = holders.userMin.GetAsInt();
  const int32_t high = holders.userMax.GetAsInt();
  const int64_t step = std::max<int64_t>(1, (int64_t{high} - low) / 100);
  const int64_t value = holders.value.GetAsInt();
  int64_t target = value;
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Down: target = value - step; break;
    case Qt::Key_Right:
    case Qt::Key_Up: target = value + step; break;
    case Qt::Key_PageDown: target = value - 10 * step; break;
    case Qt::Key_PageUp: target = value + 10 * step; break;
    case Qt::Key_Home: target = low; break;
    case Qt::Key_End: target = high; break;
    default: return false;
  }
  if (!row.image->isEnabled()) return true;
  if (keyedRow_ != nullptr && keyedRow_ != &row) SendRestedKeys(true);
  keyedRow_ = &row;
  keyedSince_ = engine_.Clock().Now();
  engine_.SetSetting(row.setting->field, static_cast<int32_t>(std::clamp<int64_t>(target, INT32_MIN, INT32_MAX)));
  RefreshAfterEdit();
  return true;
}

void UserViewPage::SendRestedKeys(bool now) {
  if (keyedRow_ == nullptr || (!now && engine_.Clock().Now() - keyedSince_ < kKeyRestMs)) return;
  const Key field = keyedRow_->setting->field;
  keyedRow_ = nullptr;
  engine_.WriteSetting(field);
  RefreshAfterEdit();
}

void UserViewPage::AnyUserEditButtonClick() {
  const auto row = std::find_if(numericRows_.begin(), numericRows_.end(),
                                [this](const NumericRow& candidate) { return candidate.edit == sender(); });
  if (row == numericRows_.end()) return;
  const NumericSetting& setting = *row->setting;
  const DeviceEngine::Setting holders = Holders(setting.field);
  valueDialog_.Fill({setting.prefix, setting.description, holders.value.Unit(), holders.value, holders.defaults,
                     holders.userMin, holders.userMax, !engine_.ControllerInServiceMode()});
  // The dialog's own event loop keeps the device traffic going; the device
  // may be closed meanwhile, and this window with it.
  const QPointer<UserViewPage> alive(this);
  valueDialog_.move(window()->frameGeometry().center() - valueDialog_.rect().center());
  const int result = valueDialog_.exec();
  if (alive.isNull() || result != QDialog::Accepted) return;
  // The dialog kept the value within the limits it showed.
  Holders(setting.field).value = valueDialog_.Value();
  engine_.WriteSetting(setting.field);
  RefreshAfterEdit();
}

void UserViewPage::AnyUserSpeedButtonClick() {
  for (const ChoiceRow& row : choiceRows_) {
    const auto button = std::find(row.buttons.begin(), row.buttons.end(), sender());
    if (button == row.buttons.end()) continue;
    engine_.ChooseSetting(row.setting->field, static_cast<int32_t>(button - row.buttons.begin()));
    // A click toggles the button itself; the refresh puts it back to the value.
    RefreshAfterEdit();
    return;
  }
}

void UserViewPage::AnyUserComboBoxChange() {
  engine_.ChooseGain(setpointGainComboBox_->currentIndex());
  RefreshAfterEdit();
}

void UserViewPage::SetpointGainComboBoxEnter() { gainComboEditing_ = true; }

// Leaving the list shows the gain that was kept, which the user band may have changed.
void UserViewPage::SetpointGainComboBoxExit() {
  gainComboEditing_ = false;
  RefreshAfterEdit();
}

bool UserViewPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress)
    if (const NumericRow* row = RowOfImage(watched); row != nullptr)
      if (SliderKey(*row, static_cast<QKeyEvent*>(event)->key())) return true;
  // The list's own popup takes the focus while it is open; the user is still choosing.
  if (watched == setpointGainComboBox_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    if (event->type() == QEvent::FocusIn)
      SetpointGainComboBoxEnter();
    else
      SetpointGainComboBoxExit();
  }
  return QWidget::eventFilter(watched, event);
}

void UserViewPage::AnyUserCheckBoxClick() {
  DeviceEngine& engine = engine_;
  bool changed = false;
  if (sender() == deviceMonitorAutoCheckBox_ && deviceMonitorAutoCheckBox_->isChecked() != engine.DeviceMonitorAuto()) {
    engine.SetDeviceMonitorAuto(deviceMonitorAutoCheckBox_->isChecked());
    changed = true;
  }
  if (sender() == moduleMonitorAutoCheckBox_ && moduleMonitorAutoCheckBox_->isChecked() != engine.ModuleMonitorAuto()) {
    engine.SetModuleMonitorAuto(moduleMonitorAutoCheckBox_->isChecked());
    changed = true;
  }
  if (changed) engine.Refresh();
}

void UserViewPage::LoadConfigurationBitBtnClick() { files_.LoadConfiguration(); }

void UserViewPage::SaveConfigurationBitBtnClick() { files_.SaveConfiguration(); }

void UserViewPage::DeviceSettingsWriteBitBtnClick() { engine_.WriteControllerSettings(); }

void UserViewPage::DeviceSettingsDefaultBitBtnClick() { engine_.UseControllerDefaults(); }

void UserViewPage::ModuleSettingsWriteBitBtnClick() { engine_.WriteModuleSettings(); }

void UserViewPage::ModuleSettingsDefaultBitBtnClick() { engine_.UseModuleDefaults(); }

void UserViewPage::ModuleUserSetBitBtnClick() {
  const int bank = moduleUserSetIndexComboBox_->currentIndex();
  if (sender() == moduleUserSetLoadBitBtn_) engine_.LoadModuleUserSet(bank);
  if (sender() == moduleUserSetStoreBitBtn_) engine_.StoreModuleUserSet(bank);
}

void UserViewPage::ServiceViewBitBtnClick() { engine_.ShowServiceView(); }

void UserViewPage::ConfiguratorBitBtnClick() { engine_.StartConfigurator(); }

void UserViewPage::ServiceModeCheckBoxClick() {
  DeviceEngine& engine = engine_;
  const bool ticked = serviceModeCheckBox_->isChecked();
  if (ticked != engine.ControllerInServiceMode()) engine.SwitchServiceMode(ticked);
  RefreshAfterEdit();
}

}  // namespace frosk
