#include "device/configurator_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>

#include "common/form_basics.h"
#include "device/enter_serial_form.h"
#include "device/field_display.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

namespace {

// A field line of a page: its caption and the field it shows.
struct FieldLine {
  const char* caption;
  Key field;
};

constexpr FieldLine kModuleIdenLeft[] = {
    {"Type:", MODULE_IDEN_TYPE},
    {"Firmware Version:", MODULE_IDEN_FIRM_VER},
    {"Hardware Version:", MODULE_IDEN_HARD_VER},
    {"Name:", MODULE_IDEN_NAME},
    {"Serial Number:", MODULE_IDEN_SERIAL},
    {"Detector Name:", MODULE_IDEN_DET_NAME},
    {"Detector Serial Number:", MODULE_IDEN_DET_SERIAL},
    {"Production Date:", MODULE_IDEN_PROD_DATE},
    {"TEC Type:", MODULE_IDEN_TEC_TYPE},
    {"Thermistor Type:", MODULE_IDEN_TH_TYPE},
    {"Cooling Time:", MODULE_IDEN_COOL_TIME},
};
constexpr FieldLine kModuleIdenRight[] = {
    {"TEC Parameter 1:", MODULE_IDEN_TEC_PARAM1},       {"TEC Parameter 2:", MODULE_IDEN_TEC_PARAM2},
    {"TEC Parameter 3:", MODULE_IDEN_TEC_PARAM3},       {"TEC Parameter 4:", MODULE_IDEN_TEC_PARAM4},
    {"Thermistor Parameter 1:", MODULE_IDEN_TH_PARAM1}, {"Thermistor Parameter 2:", MODULE_IDEN_TH_PARAM2},
    {"Thermistor Parameter 3:", MODULE_IDEN_TH_PARAM3}, {"Thermistor Parameter 4:", MODULE_IDEN_TH_PARAM4},
};

// The rows of the two parameters pages; a row with choices is a list.
struct ParamsRow {
  const char* caption;
  Key field;
  QStringList choices;
};

const ParamsRow kBasicParamsRows[] = {
    {"Supply Control:", MODULE_BASIC_PARAMS_SUP_CTRL, {"AUTO", "OFF", "ON"}},
    {"Supply Positive Voltage:", MODULE_BASIC_PARAMS_U_SUP_PLUS, {}},
    {"Supply Negative Voltage:", MODULE_BASIC_PARAMS_U_SUP_MINUS, {}},
    {"Fan Control:", MODULE_BASIC_PARAMS_FAN_CTRL, {"AUTO", "OFF", "ON"}},
    {"TEC Control:", MODULE_BASIC_PARAMS_TEC_CTRL, {"AUTO", "OFF", "ON"}},
    {"PWM:", MODULE_BASIC_PARAMS_PWM, {}},
    {"TEC Maximum Current:", MODULE_BASIC_PARAMS_I_TEC_MAX, {}},
    {"Detector Temperature:", MODULE_BASIC_PARAMS_T_DET, {}},
};

const ParamsRow kVeltraParamsRows[] = {
    {"Detector Bias Voltage:", MODULE_VELTRA_PARAMS_DET_U, {}},
    {"Detector Bias Current Comp.:", MODULE_VELTRA_PARAMS_DET_I, {}},
    {"Preamplifier Gain:", MODULE_VELTRA_PARAMS_GAIN, {}},
    {"Output DC Offset:", MODULE_VELTRA_PARAMS_OFFSET, {}},
    {"Preamp 1st Stage Frequency Comp.:", MODULE_VELTRA_PARAMS_VARACTOR, {}},
    {"1st Stage Transimpedance:", MODULE_VELTRA_PARAMS_TRANS, {"LOW", "HIGH"}},
    {"Signal Coupling:", MODULE_VELTRA_PARAMS_ACDC, {"AC", "DC"}},
    {"Preamplifier Bandwidth:", MODULE_VELTRA_PARAMS_BW, {"LOW", "MID", "HIGH"}},
};

// The make-file page's record boxes, group by group: each ticks the file bit of its slot.
struct BoxLine {
  const char* name;
  const char* caption;
  Group slot;
};
struct BoxGroup {
  const char* name;
  const char* caption;
  QRect geometry;
  std::vector<BoxLine> boxes;
};

const BoxGroup kBoxGroups[] = {
    {"ConfigMakeFrosktecGroupBox",
     "FroskTEC ",
     {24, 56, 300, 84},
     {{"ConfigMakeDeviceIdenCheckBox", "FroskTEC Idenification Data", Group::kDeviceIden},
      {"ConfigMakeFrosktecConfigCheckBox", "FroskTEC Configuration", Group::kFroskTecConfig}}},
    {"ConfigMakeModNoMemGroupBox",
     "NOMEM Module",
     {24, 152, 300, 164},
     {{"ConfigMakeModNoMemIdenCheckBox", "Idenfication Data", Group::kNoMemModuleIden},
      {"ConfigMakeModNoMemDefaultCheckBox", "Basic Params - Default", Group::kNoMemDefault},
      {"ConfigMakeModNoMemUserSetCheckBox", "Basic Params - User Set", Group::kNoMemUserSet},
      {"ConfigMakeModNoMemUserMinCheckBox", "Basic Params - User Min", Group::kNoMemUserMin},
      {"ConfigMakeModNoMemUserMaxCheckBox", "Basic Params - User Max", Group::kNoMemUserMax}}},
    {"ConfigMakeModuleGroupBox",
     "Module",
     {340, 56, 300, 164},
     {{"ConfigMakeModuleIdenCheckBox", "Idenification Data", Group::kModuleIden},
      {"ConfigMakeModuleDefaultCheckBox", "Basic Params - Default", Group::kModuleDefault},
      {"ConfigMakeModuleUserSetCheckBox", "Basic Params - User Set", Group::kModuleUserSet},
      {"ConfigMakeModuleUserMinCheckBox", "Basic Params - User Min", Group::kModuleUserMin},
      {"ConfigMakeModuleUserMaxCheckBox", "Basic Params - User Max", Group::kModuleUserMax}}},
    {"ConfigMakeVeltraGroupBox",
     "VELT Only",
     {340, 232, 300, 136},
     {{"ConfigMakeVeltraDefaultCheckBox", "VELT Params - Default", Group::kVeltraDefault},
      {"ConfigMakeVeltraUserSetCheckBox", "VELT Params - User Set", Group::kVeltraUserSet},
      {"ConfigMakeVeltraUserMinCheckBox", "VELT Params - User Min", Group::kVeltraUserMin},
      {"ConfigMakeVeltraUserMaxCheckBox", "VELT Params - User Max", Group::kVeltraUserMax}}},
};

// The shapes of the parameters rows: green for a consistent row, red for one
// that is not; the VELTRA rows are not judged and stay grey.
const QColor kConsistent{0, 255, 0};
const QColor kInconsistent{255, 0, 0};
const QColor kUncoloured{192, 192, 192};

QLabel* Heading(QWidget* page, const char* name, const QString& text) {
  QLabel* heading = Label(page, name, text, {24, 12, 700, 28});
  heading->setFont(UiFont(15, true));
  return heading;
}

QFrame* Shape(QWidget* parent, const QString& name, const QRect& geometry, const QColor& colour) {
  auto* shape = new QFrame(parent);
  shape->setObjectName(name);
  shape->setGeometry(geometry);
  shape->setFrameStyle(QFrame::Box | QFrame::Plain);
  shape->setAutoFillBackground(true);
  SetColour(shape, QPalette::Window, colour);
  return shape;
}

}  // namespace

ConfiguratorPage::ConfiguratorPage(DeviceEngine& engine, ConfigFileEngine& files, TEnterSerialForm& serialDialog,
                                   const WallClock& wallClock, QWidget* parent)
    : QWidget(parent),
      engine_(engine),
      files_(files),
      serialDialog_(serialDialog),
      configurator_(engine, files, wallClock) {
  setObjectName("ConfiguratorPage");
  exitWatcher_ = std::make_unique<EditExitWatcher>([this](QLineEdit* edit) {
    if (edit->inputMask().isEmpty())
      CAnyEditExit(edit);
    else
      CAnyMaskEditExit(edit);
  });
  BuildLayout();
  WireActions();
}

// --- Layout -------------------------------------------------------------------

void ConfiguratorPage::BuildLayout() {
  configNotebook_ = new QStackedWidget(this);
  configNotebook_->setObjectName("ConfigNotebook");
  configNotebook_->setGeometry(4, 4, 979, 598);
  BuildWaitPage();
  BuildStartPage();
  BuildDeviceIdenPage();
  BuildModuleIdenPage();
  QWidget* paramsPage = AddPage("ConfigModuleParamsPage");
  moduleParamsLabel_ = Heading(paramsPage, "CModuleParamsLabel", {});
  BuildParamsPage(paramsPage, "CModuleParams", ConfigColumn::kParamsDefault, moduleParamsShapes_);
  QWidget* veltraPage = AddPage("ConfigVeltraParamsPage");
  Heading(veltraPage, "CVeltraParamsLabel", QStringLiteral("VELTRA Module Params:"));
  BuildParamsPage(veltraPage, "CVeltraParams", ConfigColumn::kVeltraDefault, veltraParamsShapes_);
  BuildMakeFilePage();
  BuildReadFilePage();
  configFileViewLabel_ = Label(this, "ConfigFileViewLabel", {}, {8, 608, 650, 26});
  configFileViewLabel_->setFont(UiFont(11, true));
  configBackBitBtn_ = Button(this, "ConfigBackBitBtn", QStringLiteral("Back"), {665, 608, 104, 26});
  configNextBitBtn_ = Button(this, "ConfigNextBitBtn", QStringLiteral("Next"), {773, 608, 104, 26});
}

QWidget* ConfiguratorPage::AddPage(const char* name) {
  auto* page = new QWidget;
  page->setObjectName(name);
  configNotebook_->addWidget(page);
  return page;
}

void ConfiguratorPage::BuildWaitPage() {
  QWidget* page = AddPage("ConfigWaitPage");
  QLabel* wait = Label(page, "ConfigWaitLabel", QStringLiteral("Please wait..."), {0, 240, 979, 40});
  wait->setAlignment(Qt::AlignCenter);
  wait->setFont(UiFont(18, true));
  configWaitProgressLabel_ = Label(page, "ConfigWaitProgressLabel", {}, {0, 290, 979, 28});
  configWaitProgressLabel_->setAlignment(Qt::AlignCenter);
  configWaitProgressLabel_->setFont(UiFont(13));
}

void ConfiguratorPage::BuildStartPage() {
  QWidget* page = AddPage("ConfigStartPage");
  Heading(page, "ConfigStartLabel", QStringLiteral("Configurator"));
  const auto entry = [page](const char* name, const char* caption, const char* what, int y) {
    QPushButton* button = Button(page, name, QString::fromLatin1(caption), {24, y, 260, 32});
    Label(page, QString::fromLatin1(name) + "Label", QString::fromLatin1(what), {300, y, 600, 32});
    return button;
  };
  entry("ConfigWizzardButton", "Configuration Wizzard", "Set up the controller and its module page by page.", 64);
  configDeviceLoadButton_ = entry("ConfigDeviceLoadButton", "Load Current Configuration",
                                  "Read again everything the controller and its module hold.", 112);
  entry("ConfigMakeFileButton", "Make Configuration File", "Choose the records and signatures of a configuration file.",
        160);
  entry("ConfigReadFileButton", "Read Configuration from File",
        "Show a configuration file and work with its values, apart from the device's.", 208);
}

FieldControl& ConfiguratorPage::AddField(QWidget* page, ConfigColumn column, const QString& name, Key field,
                                         FieldKind kind, const QRect& geometry, const QStringList& choices) {
  fields_.push_back({column, MakeFieldControl(page, name, field, kind, geometry, choices)});
  FieldControl& control = fields_.back().control;
  if (QLineEdit* edit = control.Edit()) exitWatcher_->Watch(edit);
  return control;
}

void ConfiguratorPage::BuildDeviceIdenPage() {
  QWidget* page = AddPage("ConfigDeviceIdenPage");
  Heading(page, "CDeviceIdenLabel", QStringLiteral("FroskTEC Identification Data:"));
  const auto caption = [page](const char* name, const char* text, int y) {
    Label(page, name, QString::fromLatin1(text), {24, y, 170, 24});
  };
  const auto field = [&](Key key, FieldKind kind, int y, int width) {
    AddField(page, ConfigColumn::kDeviceIden, FieldControlName("CDeviceIden", key, kind), key, kind,
             {200, y, width, 24});
  };
  caption("CDeviceIdenHardVerLabel", "Hardware Version:", 60);
  field(DEVICE_IDEN_HARD_VER, FieldKind::kEdit, 60, 120);
  caption("CDeviceIdenNameLabel", "Name:", 92);
  field(DEVICE_IDEN_NAME, FieldKind::kEdit, 92, 260);
  caption("CDeviceIdenSerialLabel", "Serial Number:", 124);
  field(DEVICE_IDEN_SERIAL, FieldKind::kSerial, 124, 120);
  caption("CDeviceIdenProdDateLabel", "Production Date:", 156);
  field(DEVICE_IDEN_PROD_DATE, FieldKind::kDate, 156, 120);
  Button(page, "CDeviceIdenProdDateTodayBtn", QStringLiteral("Today"), {328, 155, 72, 26});

  caption("CFrosktecConfigVariantLabel", "Variant:", 204);
  AddField(page, ConfigColumn::kFroskTecConfig, "CFrosktecConfigVariantComboBox", FROSKTEC_CONFIG_VARIANT,
           FieldKind::kChoice, {200, 204, 120, 24}, {"BASIC", "OEM", "ADVANCED"});
  AddField(page, ConfigColumn::kFroskTecConfig, "CFrosktecConfigNoMemCompatibleCheckBox",
           FROSKTEC_CONFIG_NO_MEM_COMPATIBLE, FieldKind::kTick, {200, 236, 300, 24})
      .Tick()
      ->setText(QStringLiteral("Combatible with NOMEM Modules"));

  caption("CConnectedModuleTypeLabel", "Connected Module:", 284);
  connectedModuleTypeEdit_ = new QLineEdit(page);
  connectedModuleTypeEdit_->setObjectName("CConnectedModuleTypeEdit");
  connectedModuleTypeEdit_->setGeometry(200, 284, 120, 24);
  connectedModuleTypeEdit_->setReadOnly(true);
  SetColour(connectedModuleTypeEdit_, QPalette::Base, QColor(240, 240, 240));
  Button(page, "CDeviceIdenDefaultButton", QStringLiteral("Production Default"), {24, 552, 170, 28});
}

void ConfiguratorPage::BuildModuleIdenPage() {
  QWidget* page = AddPage("ConfigModuleIdenPage");
  moduleIdenLabel_ = Heading(page, "CModuleIdenLabel", {});
  const auto column = [&](std::span<const FieldLine> lines, int x) {
    int y = 60;
    for (const FieldLine& line : lines) {
      const FieldKind kind = line.field == MODULE_IDEN_PROD_DATE ? FieldKind::kDate
                             : line.field == MODULE_IDEN_SERIAL || line.field == MODULE_IDEN_DET_SERIAL
                                 ? FieldKind::kSerial
                                 : FieldKind::kEdit;
      const QString name = line.field == MODULE_IDEN_PROD_DATE
                               ? QStringLiteral("CModuleIdenProdDatelMaskEdit")  // the form has always spelled it so
                               : FieldControlName("CModuleIden", line.field, kind);
      const bool text = line.field == MODULE_IDEN_NAME || line.field == MODULE_IDEN_DET_NAME;
      Label(page, name + "Label", QString::fromLatin1(line.caption), {x, y, 180, 24});
      AddField(page, ConfigColumn::kModuleIden, name, line.field, kind, {x + 186, y, text ? 240 : 120, 24});
      if (line.field == MODULE_IDEN_PROD_DATE)
        Button(page, "CModuleIdenProdDateTodayButton", QStringLiteral("Today"), {x + 312, y - 1, 72, 26});
      y += 32;
    }
  };
  column(kModuleIdenLeft, 24);
  column(kModuleIdenRight, 520);
  Button(page, "CModuleIdenDefaultButton", QStringLiteral("Production Default"), {24, 552, 170, 28});
}

void ConfiguratorPage::BuildParamsPage(QWidget* page, const char* prefix, ConfigColumn first,
                                       std::vector<RowShape>& shapes) {
  const bool veltra = first == ConfigColumn::kVeltraDefault;
  const QString base = QString::fromLatin1(prefix);
  const char* columnNames[] = {"Default", "UserMin", "UserMax"};
  const char* columnCaptions[] = {"Default", "User Min", "User Max"};
  constexpr int kColumnX = 280;
  constexpr int kColumnStep = 150;
  for (int c = 0; c < 3; ++c) {
    QLabel* header = Label(page, base + columnNames[c] + "Label", QString::fromLatin1(columnCaptions[c]),
                           {kColumnX + c * kColumnStep, 56, 130, 22});
    header->setFont(UiFont(11, true));
  }
  int y = 84;
  for (const ParamsRow& row :
       veltra ? std::span<const ParamsRow>(kVeltraParamsRows) : std::span<const ParamsRow>(kBasicParamsRows)) {
    const FieldKind kind = row.choices.isEmpty() ? FieldKind::kEdit : FieldKind::kChoice;
    const QString fieldName = FieldControlName(base, row.field, kind);
    Label(page, FieldControlName(base, row.field, "Label"), QString::fromLatin1(row.caption), {24, y, 250, 24});
    for (int c = 0; c < 3; ++c) {
      const auto column = static_cast<ConfigColumn>(static_cast<int>(first) + c);
      AddField(page, column, FieldControlName(base + columnNames[c], row.field, kind), row.field, kind,
               {kColumnX + c * kColumnStep, y, 130, 24}, row.choices);
    }
    const int unitX = kColumnX + 3 * kColumnStep;
    if (const FieldSpec* info = FindField(row.field); info != nullptr && !info->unit.empty())
      Label(page, fieldName + "ULabel", Text(std::string(info->unit)), {unitX, y, 30, 24});
    shapes.push_back(
        {row.field, Shape(page, FieldControlName(base, row.field, "Shape"), {unitX + 36, y + 4, 16, 16}, kUncoloured)});
    y += 32;
  }
  Button(page, base + "DefaultButton", QStringLiteral("Production Default"), {24, 552, 170, 28});
}

void ConfiguratorPage::BuildMakeFilePage() {
  QWidget* page = AddPage("ConfigMakeFilePage");
  Heading(page, "ConfigMakeFileLabel", QStringLiteral("Make Configuration File"));
  for (const BoxGroup& group : kBoxGroups) {
    auto* box = new QGroupBox(QString::fromLatin1(group.caption), page);
    box->setObjectName(group.name);
    box->setGeometry(group.geometry);
    int y = 24;
    for (const BoxLine& line : group.boxes) {
      contentBoxes_.push_back(
          {CheckBox(box, line.name, QString::fromLatin1(line.caption), {12, y, group.geometry.width() - 24, 22}),
           SlotOf(line.slot).bit});
      y += 26;
    }
  }
  auto* signatures = new QGroupBox(QStringLiteral("Add File Signature"), page);
  signatures->setObjectName("ConfigMakeSignatureGroupBox");
  signatures->setGeometry(24, 384, 616, 96);
  const auto signatureLine = [&](const char* which, const char* caption, ContentMask bit, int y) {
    const QString prefix = QStringLiteral("ConfigMake") + which + "Signature";
    SignatureControls controls{
        CheckBox(signatures, prefix + "CheckBox", QString::fromLatin1(caption), {12, y, 150, 24}),
        new QLineEdit(QStringLiteral("88888888"), signatures),
        Button(signatures, prefix + "GenerateButton", QStringLiteral("Generate..."), {278, y - 1, 120, 26}),
        Button(signatures, prefix + "LoadButton", QStringLiteral("Sygnature from file..."), {404, y - 1, 200, 26}),
        {}};
    controls.edit->setObjectName(prefix + "Edit");
    controls.edit->setGeometry(168, y, 100, 24);
    exitWatcher_->Watch(controls.edit);
    contentBoxes_.push_back({controls.box, bit});
    return controls;
  };
  Controls(Signature::kDevice) = signatureLine("Device", "Device Signature", content::kDeviceSignature, 26);
  Controls(Signature::kModule) = signatureLine("Module", "Module Signature", content::kModuleSignature, 58);

  Button(page, "ConfigMakeAllButton", QStringLiteral("All"), {660, 62, 120, 28});
  Button(page, "ConfigMakeNoneButton", QStringLiteral("None"), {660, 98, 120, 28});
  Button(page, "ConfigMakeWriteButton", QStringLiteral("Write To File..."), {660, 450, 160, 30});
}

void ConfiguratorPage::BuildReadFilePage() {
  QWidget* page = AddPage("ConfigReadFilePage");
  auto* group = new QGroupBox(QStringLiteral("Configuration File Content"), page);
  group->setObjectName("ConfigFileContentGroupBox");
  group->setGeometry(24, 16, 931, 564);
  configFileTreeView_ = new QTreeWidget(group);
  configFileTreeView_->setObjectName("ConfigFileTreeView");
  configFileTreeView_->setHeaderHidden(true);
  configFileTreeView_->setGeometry(12, 24, 907, 528);
}

void ConfiguratorPage::WireActions() {
  const auto click = [this](const char* name, void (ConfiguratorPage::*handler)()) {
    connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, handler);
  };
  click("ConfigWizzardButton", &ConfiguratorPage::ConfigWizzardButtonClick);
  click("ConfigDeviceLoadButton", &ConfiguratorPage::ConfigDeviceLoadButtonClick);
  click("ConfigMakeFileButton", &ConfiguratorPage::ConfigMakeFileButtonClick);
  click("ConfigReadFileButton", &ConfiguratorPage::ConfigReadFileButtonClick);
  click("ConfigNextBitBtn", &ConfiguratorPage::ConfigNextBitBtnClick);
  click("ConfigBackBitBtn", &ConfiguratorPage::ConfigBackBitBtnClick);
  click("CDeviceIdenProdDateTodayBtn", &ConfiguratorPage::CDeviceIdenProdDateTodayBtnClick);
  click("CModuleIdenProdDateTodayButton", &ConfiguratorPage::CModuleIdenProdDateTodayButtonClick);
  click("CDeviceIdenDefaultButton", &ConfiguratorPage::CDeviceIdenDefaultButtonClick);
  click("CModuleIdenDefaultButton", &ConfiguratorPage::CModuleIdenDefaultButtonClick);
  click("CModuleParamsDefaultButton", &ConfiguratorPage::CModuleParamsDefaultButtonClick);
  click("CVeltraParamsDefaultButton", &ConfiguratorPage::CVeltraParamsDefaultButtonClick);
  click("ConfigMakeAllButton", &ConfiguratorPage::ConfigMakeAllButtonClick);
  click("ConfigMakeNoneButton", &ConfiguratorPage::ConfigMakeNoneButtonClick);
  click("ConfigMakeDeviceSignatureGenerateButton", &ConfiguratorPage::ConfigMakeDeviceSignatureGenerateButtonClick);
  click("ConfigMakeModuleSignatureGenerateButton", &ConfiguratorPage::ConfigMakeModuleSignatureGenerateButtonClick);
  click("ConfigMakeDeviceSignatureLoadButton", &ConfiguratorPage::ConfigMakeDeviceSignatureLoadButtonClick);
  click("ConfigMakeModuleSignatureLoadButton", &ConfiguratorPage::ConfigMakeModuleSignatureLoadButtonClick);
  click("ConfigMakeWriteButton", &ConfiguratorPage::ConfigMakeWriteButtonClick);
  for (PageField& field : fields_) {
    if (QComboBox* list = field.control.Choice())
      connect(list, &QComboBox::activated, this, &ConfiguratorPage::CAnyComboBoxChange);
    if (QCheckBox* box = field.control.Tick())
      connect(box, &QCheckBox::clicked, this, &ConfiguratorPage::CAnyCheckBoxClick);
  }
}

// --- Refresh --------------------------------------------------------------------

void ConfiguratorPage::Refresh() {
  const ConfigPage page = configurator_.Page();
  const int index = static_cast<int>(page);
  if (configNotebook_->currentIndex() != index) configNotebook_->setCurrentIndex(index);
  const ConfigNavigation navigation = NavigationOf(page);
  SetEnabled(configBackBitBtn_, navigation.back);
  SetEnabled(configNextBitBtn_, navigation.next);
  for (PageField& field : fields_)
    if (const VFroskClass* holder = configurator_.HolderOf(field.column, field.control.field))
      ShowField(field.control, *holder);
  RefreshFileViewLabel();
  switch (page) {
    case ConfigPage::kWait: RefreshWaitPage(); break;
    case ConfigPage::kStart: SetEnabled(configDeviceLoadButton_, engine_.IsDeviceLinked()); break;
    case ConfigPage::kDeviceIden: {
      const QString module = Text(configurator_.ConnectedModuleText());
      if (connectedModuleTypeEdit_->text() != module) connectedModuleTypeEdit_->setText(module);
      break;
    }
    case ConfigPage::kModuleIden: SetText(moduleIdenLabel_, Text(configurator_.ModuleIdenCaption())); break;
    case ConfigPage::kModuleParams:
      SetText(moduleParamsLabel_, Text(configurator_.ModuleParamsCaption()));
      for (const RowShape& row : moduleParamsShapes_)
        SetColour(row.shape, QPalette::Window, configurator_.RowConsistent(row.field) ? kConsistent : kInconsistent);
      break;
    case ConfigPage::kMakeFile: RefreshMakeFilePage(); break;
    case ConfigPage::kReadFile: RefreshReadFilePage(); break;
    default: break;
  }
}

void ConfiguratorPage::RefreshWaitPage() {
  // A device that stopped answering keeps the page up for a whole time-out more.
  if (engine_.SequenceState() == SequenceState::kLeaveServiceModeAfterTimeout) {
    SetText(configWaitProgressLabel_, Text("Switching service mode off"));
    return;
  }
  const std::optional<ChainProgress> progress = configurator_.Progress();
  SetText(configWaitProgressLabel_, progress ? Text("Writing " + ProgressText(*progress)) : QString());
}

// Values on the pages that are not the device's say so.
void ConfiguratorPage::RefreshFileViewLabel() {
  const std::optional<std::string> file = configurator_.FileShown();
  configFileViewLabel_->setVisible(file.has_value());
  if (file)
    SetText(configFileViewLabel_,
            "File view: " + Text(*file) + QStringLiteral(" (the device is read again on leaving)"));
}

void ConfiguratorPage::RefreshMakeFilePage() {
  const ContentMask enabled = configurator_.EnabledMask();
  for (const ContentBox& box : contentBoxes_) SetEnabled(box.box, (enabled & box.bit) != 0);
  ShowSignature(Signature::kDevice, (enabled & content::kDeviceSignature) != 0);
  ShowSignature(Signature::kModule, (enabled & content::kModuleSignature) != 0);
}

void ConfiguratorPage::ShowSignature(Signature which, bool enabled) {
  SignatureControls& controls = Controls(which);
  for (QWidget* control : std::initializer_list<QWidget*>{controls.edit, controls.generate, controls.load})
    SetEnabled(control, enabled);
  if (controls.edit->hasFocus() && controls.edit->text() != controls.shown) return;
  const QString text = Text(SignatureText(configurator_.CheckHolder(which)));
  if (controls.edit->text() != text) controls.edit->setText(text);
  controls.shown = text;
}

void ConfiguratorPage::RefreshReadFilePage() {
  const ItemTree& tree = files_.ConfigFileTree();
  if (tree.Revision() == treeRevision_) return;
  treeRevision_ = tree.Revision();
  configFileTreeView_->clear();
  AppendItemNodes(configFileTreeView_, tree.TopLevel(), 0);
  configFileTreeView_->expandAll();
}

// --- Pages ----------------------------------------------------------------------

void ConfiguratorPage::ConfigWizzardButtonClick() { configurator_.StartWizard(); }

void ConfiguratorPage::ConfigDeviceLoadButtonClick() { configurator_.LoadCurrentConfiguration(); }

void ConfiguratorPage::ConfigMakeFileButtonClick() { configurator_.MakeFile(); }

void ConfiguratorPage::ConfigReadFileButtonClick() { configurator_.ReadFile(); }

void ConfiguratorPage::ConfigNextBitBtnClick() { configurator_.Next(); }

void ConfiguratorPage::ConfigBackBitBtnClick() { configurator_.Back(); }

// --- Fields ---------------------------------------------------------------------

ConfiguratorPage::PageField* ConfiguratorPage::FieldOf(const QWidget* widget) {
  for (PageField& field : fields_)
    if (field.control.widget == widget) return &field;
  return nullptr;
}

void ConfiguratorPage::TakeEdit(QLineEdit* edit) {
  PageField* field = FieldOf(edit);
  if (field == nullptr) return;
  if (VFroskClass* holder = configurator_.HolderOf(field->column, field->control.field))
    TakeFieldText(field->control, *holder);
  field->control.shown = edit->text();
  engine_.Refresh();
}

void ConfiguratorPage::CAnyEditExit(QLineEdit* edit) {
  for (const Signature which : {Signature::kDevice, Signature::kModule}) {
    SignatureControls& controls = Controls(which);
    if (edit != controls.edit) continue;
    if (edit->text() == controls.shown) return;
    controls.shown = edit->text();
    configurator_.TakeSignatureText(which, edit->text().toStdString());
    return;
  }
  TakeEdit(edit);
}

void ConfiguratorPage::CAnyMaskEditExit(QLineEdit* edit) { TakeEdit(edit); }

void ConfiguratorPage::CAnyComboBoxChange() {
  PageField* field = FieldOf(qobject_cast<QWidget*>(sender()));
  if (field == nullptr) return;
  VFroskClass* holder = configurator_.HolderOf(field->column, field->control.field);
  const int index = field->control.Choice()->currentIndex();
  if (holder == nullptr || index < 0) return;
  if (field->column == ConfigColumn::kFroskTecConfig) {
    if (index == holder->GetAsInt()) return;
    holder->SetFromInt(index);
  } else {
    // A parameter's choice stays within the user limits of the page's module.
    const bool veltra = field->column >= ConfigColumn::kVeltraDefault;
    const VFroskClass* userMin = configurator_.HolderOf(
        veltra ? ConfigColumn::kVeltraUserMin : ConfigColumn::kParamsUserMin, field->control.field);
    const VFroskClass* userMax = configurator_.HolderOf(
        veltra ? ConfigColumn::kVeltraUserMax : ConfigColumn::kParamsUserMax, field->control.field);
    engine_.ClampAndSet(*holder, index, *userMin, *userMax);
  }
  // Also when the value stayed: the list shows what the holder kept.
  engine_.Refresh();
}

void ConfiguratorPage::CAnyCheckBoxClick() {
  PageField* field = FieldOf(qobject_cast<QWidget*>(sender()));
  if (field == nullptr) return;
  VFroskClass* holder = configurator_.HolderOf(field->column, field->control.field);
  if (holder == nullptr) return;
  const bool ticked = field->control.Tick()->isChecked();
  if (ticked == (holder->GetAsInt() != 0)) return;
  holder->SetFromInt(ticked ? 1 : 0);
  engine_.Refresh();
}

void ConfiguratorPage::CDeviceIdenProdDateTodayBtnClick() { configurator_.DeviceProdDateToday(); }

void ConfiguratorPage::CModuleIdenProdDateTodayButtonClick() { configurator_.ModuleProdDateToday(); }

void ConfiguratorPage::CDeviceIdenDefaultButtonClick() { configurator_.DeviceIdenDefaults(); }

void ConfiguratorPage::CModuleIdenDefaultButtonClick() { configurator_.ModuleIdenDefaults(); }

void ConfiguratorPage::CModuleParamsDefaultButtonClick() { configurator_.ModuleParamsDefaults(); }

void ConfiguratorPage::CVeltraParamsDefaultButtonClick() { configurator_.VeltraParamsDefaults(); }

// --- Make-file page -----------------------------------------------------------------

void ConfiguratorPage::ConfigMakeAllButtonClick() {
  const ContentMask all = configurator_.AllMask();
  for (const ContentBox& box : contentBoxes_)
    if ((box.bit & content::kRecords) != 0) SetChecked(box.box, (all & box.bit) != 0);
}

void ConfiguratorPage::ConfigMakeNoneButtonClick() {
  for (const ContentBox& box : contentBoxes_)
    if ((box.bit & content::kRecords) != 0) SetChecked(box.box, false);
}

ContentMask ConfiguratorPage::TickedMask() const {
  ContentMask mask = 0;
  for (const ContentBox& box : contentBoxes_)
    if (box.box->isChecked()) mask |= box.bit;
  return mask;
}

void ConfiguratorPage::GenerateSignature(Signature which) {
  serialDialog_.SetSerial(configurator_.SerialOf(which));
  // The dialog's own event loop keeps the device traffic going; the device
  // may be closed meanwhile, and this page with it.
  const QPointer<ConfiguratorPage> alive(this);
  const int result = serialDialog_.exec();
  if (alive.isNull() || result != QDialog::Accepted) return;
  configurator_.GenerateSignature(which, serialDialog_.Serial());
}

void ConfiguratorPage::ConfigMakeDeviceSignatureGenerateButtonClick() { GenerateSignature(Signature::kDevice); }

void ConfiguratorPage::ConfigMakeModuleSignatureGenerateButtonClick() { GenerateSignature(Signature::kModule); }

void ConfiguratorPage::ConfigMakeDeviceSignatureLoadButtonClick() {
  configurator_.SignatureFromFile(Signature::kDevice);
}

void ConfiguratorPage::ConfigMakeModuleSignatureLoadButtonClick() {
  configurator_.SignatureFromFile(Signature::kModule);
}

void ConfiguratorPage::ConfigMakeWriteButtonClick() { configurator_.WriteFile(TickedMask()); }

}  // namespace frosk
