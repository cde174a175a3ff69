#include "device/service_view_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <span>

#include "common/form_basics.h"
#include "protocol/catalogue.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

namespace {

// Where things sit: the tab sheets across the top, the traffic below them
// side by side, the control panel in one row at the bottom. A field's line is
// its key name, its value and its unit; a record of more than ten fields
// takes two columns.
namespace geometry {
constexpr QRect kPages{4, 4, 979, 352};
constexpr int kLine = 24;
constexpr int kColumnWidth = 482;
constexpr int kMostLines = 10;
constexpr int kCaptionX = 8;
constexpr int kCaptionWidth = 238;
constexpr int kFieldX = 250;
constexpr int kFieldWidth = 180;
constexpr int kUnitX = 436;
constexpr int kButtonY = 288;
constexpr int kGetX = 772;
constexpr int kSetX = 868;
constexpr int kTrafficY = 362;
constexpr int kTrafficWidth = 485;
constexpr int kTreeHeight = 184;
constexpr int kControlY = 574;
}  // namespace geometry

const QColor kWaitingText{255, 0, 0};

bool IsMonitor(Group group) { return group == Group::kFroskTecMonitor || group == Group::kModuleVeltraMonitor; }

// How a sheet shows each field: monitors and the controller's own type and
// firmware version are read only; the basic parameters' three switches are lists.
FieldKind KindOf(Group group, const FieldSpec& field) {
  if (IsMonitor(group)) {
    if (field.Type() == kBool) return FieldKind::kOnOff;
    return field.key == FROSKTEC_MONITOR_TH_ADC ? FieldKind::kThAdc : FieldKind::kReadOnly;
  }
  switch (field.Type()) {
    case kSerial: return FieldKind::kSerial;
    case kDateTime: return FieldKind::kDate;
    case kBool: return FieldKind::kTick;
    default: break;
  }
  if (field.key == DEVICE_IDEN_TYPE || field.key == DEVICE_IDEN_FIRM_VER) return FieldKind::kReadOnly;
  if (field.key == MODULE_BASIC_PARAMS_SUP_CTRL || field.key == MODULE_BASIC_PARAMS_FAN_CTRL ||
      field.key == MODULE_BASIC_PARAMS_TEC_CTRL)
    return FieldKind::kChoice;
  return FieldKind::kEdit;
}

QStringList ChoicesOf(const FieldSpec& field) {
  QStringList choices;
  for (const QString& choice : Text(std::string(field.choices)).split('#', Qt::SkipEmptyParts)) choices << choice;
  return choices;
}

}  // namespace

ServiceViewPage::ServiceViewPage(DeviceEngine& engine, TrafficTrees& traffic, QWidget* parent)
    : QWidget(parent), engine_(engine), traffic_(traffic) {
  setObjectName("ServiceViewPage");
  exitWatcher_ = std::make_unique<EditExitWatcher>([this](QLineEdit* edit) {
    if (edit->inputMask().isEmpty())
      AnyEditExit(edit);
    else
      AnyMaskEditExit(edit);
  });
  BuildLayout();
}

ServiceViewPage::~ServiceViewPage() = default;

// --- Layout -------------------------------------------------------------------

void ServiceViewPage::BuildLayout() {
  communicationPageControl_ = new QTabWidget(this);
  communicationPageControl_->setObjectName("CommunicationPageControl");
  communicationPageControl_->setGeometry(geometry::kPages);
  communicationPageControl_->tabBar()->setUsesScrollButtons(false);

  using Page = ServiceViewPage;
  QWidget* sheet = AddSheet(Sheet::kDeviceIden, "DeviceIden", Group::kDeviceIden);
  AddSheetButtons(sheet, "GetDeviceIdenBtn", &Page::GetDeviceIdenBtnClick, "SetDeviceIdenBtn",
                  &Page::SetDeviceIdenBtnClick);

  sheet = AddSheet(Sheet::kFroskTecConfig, "FroskTecConfig", Group::kFroskTecConfig);
  AddSheetButtons(sheet, "GetFroskTecConfigButton", &Page::GetFroskTecConfigButtonClick, "SetFroskTecConfigButton",
                  &Page::SetFroskTecConfigButtonClick);

  sheet = AddSheet(Sheet::kFroskTecMonitor, "FroskTecMonitor", Group::kFroskTecMonitor);
  AddSheetButtons(sheet, "GetFroskTecMonitorButton", &Page::GetFroskTecMonitorButtonClick);

  sheet = AddSheet(Sheet::kModuleIden, "ModuleIden", Group::kNoMemModuleIden);
  moduleIdenTabControl_ = AddTabBar(sheet, "ModuleIdenTabControl", {"FroskTecModNoMem", "Module"}, 4);
  AddSheetButtons(sheet, "GetModuleIdenButton", &Page::GetModuleIdenButtonClick, "SetModuleIdenButton",
                  &Page::SetModuleIdenButtonClick);

  sheet = AddSheet(Sheet::kModuleBasicParams, "ModuleBasicParams", Group::kNoMemDefault);
  moduleBasicParamsATabControl_ = AddTabBar(sheet, "ModuleBasicParamsATabControl", {"FroskTecModNoMem", "Module"}, 4);
  moduleBasicParamsBTabControl_ =
      AddTabBar(sheet, "ModuleBasicParamsBTabControl", {"Default", "UserSet", "UserMin", "UserMax"}, 32);
  AddSheetButtons(sheet, "GetModuleBasicParamsButton", &Page::GetModuleBasicParamsButtonClick,
                  "SetModuleBasicParamsButton", &Page::SetModuleBasicParamsButtonClick);

  sheet = AddSheet(Sheet::kModuleVeltraMonitor, "ModuleVeltraMonitor", Group::kModuleVeltraMonitor);
  AddSheetButtons(sheet, "GetModuleVletraMonitorButton", &Page::GetModuleVletraMonitorButtonClick);

  sheet = AddSheet(Sheet::kModuleVeltraParams, "ModuleVeltraParams", Group::kVeltraDefault);
  moduleVeltraParamsTabControl_ =
      AddTabBar(sheet, "ModuleVeltraParamsTabControl", {"Default", "UserSet", "UserMin", "UserMax"}, 4);
  AddSheetButtons(sheet, "GetModuleVeltraParamsButton", &Page::GetModuleVeltraParamsButtonClick,
                  "SetModuleVeltraParamsButton", &Page::SetModuleVeltraParamsButtonClick);

  BuildTrafficPanel();
  BuildControlPanel();
}

QWidget* ServiceViewPage::AddSheet(Sheet which, const char* name, Group group) {
  auto* sheet = new QWidget;
  sheet->setObjectName(QString::fromLatin1(name) + "TabSheet");
  communicationPageControl_->addTab(sheet, QString::fromLatin1(name));
  // Room for the tab bars that choose the group.
  const int top = which == Sheet::kModuleBasicParams                                   ? 68
                  : which == Sheet::kModuleIden || which == Sheet::kModuleVeltraParams ? 40
                                                                                       : 8;
  AddFields(sheet, which, group, top, QString::fromLatin1(name));
  return sheet;
}

void ServiceViewPage::AddFields(QWidget* sheet, Sheet which, Group group, int top, const QString& prefix) {
  using namespace geometry;
  const std::span<const FieldSpec> record = GroupContainer(group).fields;
  const size_t perColumn = record.size() <= kMostLines ? record.size() : (record.size() + 1) / 2;
  for (size_t i = 0; i < record.size(); ++i) {
    const FieldSpec& field = record[i];
    const int x = static_cast<int>(i / perColumn) * kColumnWidth;
    const int y = top + static_cast<int>(i % perColumn) * kLine;
    const FieldKind kind = KindOf(group, field);
    const QString name = FieldControlName(prefix, field.key, kind);
    Label(sheet, FieldControlName(prefix, field.key, "Label"), Text(std::string(field.name)),
          {x + kCaptionX, y, kCaptionWidth, kLine - 2});
    const int width = kind == FieldKind::kOnOff ? 60 : kind == FieldKind::kTick ? 24 : kFieldWidth;
    FieldControl control =
        MakeFieldControl(sheet, name, field.key, kind, {x + kFieldX, y, width, 22}, ChoicesOf(field));
    if (QLineEdit* edit = control.Edit()) exitWatcher_->Watch(edit);
    if (QComboBox* list = control.Choice())
      connect(list, &QComboBox::activated, this, &ServiceViewPage::AnyComboBoxChange);
    if (QCheckBox* box = control.Tick()) connect(box, &QCheckBox::clicked, this, &ServiceViewPage::AnyCheckBoxClick);
    if (!field.unit.empty())
      Label(sheet, FieldControlName(prefix, field.key, "ULabel"), Text(std::string(field.unit)),
            {x + kUnitX, y, 40, kLine - 2});
    fields_.push_back({which, control});
  }
}

QTabBar* ServiceViewPage::AddTabBar(QWidget* sheet, const char* name, const QStringList& tabs, int y) {
  auto* bar = new QTabBar(sheet);
  bar->setObjectName(name);
  bar->setUsesScrollButtons(false);
  bar->setExpanding(false);
  // A click on a tab takes the focus first, so an edit being left goes into
  // the group it was typed for before the tabs choose another.
  bar->setFocusPolicy(Qt::StrongFocus);
  for (const QString& tab : tabs) bar->addTab(tab);
  bar->setGeometry(geometry::kCaptionX, y, geometry::kPages.width() - 2 * geometry::kCaptionX - 4, 26);
  connect(bar, &QTabBar::currentChanged, this, &ServiceViewPage::AnyTabControlChange);
  return bar;
}

void ServiceViewPage::AddSheetButtons(QWidget* sheet, const char* get, Handler onGet, const char* set, Handler onSet) {
  const auto add = [&](const char* name, const char* caption, int x, Handler handler) {
    QPushButton* button = Button(sheet, name, QString::fromLatin1(caption), {x, geometry::kButtonY, 90, 26});
    connect(button, &QPushButton::clicked, this, handler);
    idleButtons_.push_back(button);
  };
  add(get, "GET", geometry::kGetX, onGet);
  if (set != nullptr) add(set, "SET", geometry::kSetX, onSet);
}

void ServiceViewPage::BuildTrafficPanel() {
  using namespace geometry;
  const auto tree = [this](const char* name, int x) {
    auto* view = new QTreeWidget(this);
    view->setObjectName(name);
    view->setHeaderHidden(true);
    view->setColumnCount(1);
    // Long node texts scroll sideways instead of being cut.
    view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->header()->setStretchLastSection(false);
    view->setGeometry(x, kTrafficY + 22, kTrafficWidth, kTreeHeight);
    return view;
  };
  const auto infoPanel = [this](const char* name, const char* caption, int x) {
    QLabel* panel = Label(this, name, QString::fromLatin1(caption), {x, kTrafficY, kTrafficWidth, 20});
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setMargin(2);
    return panel;
  };
  const int receivedX = kPages.right() + 1 - kTrafficWidth;
  infoPanel("SentInfoPanel", "Sent:", kPages.x());
  sentTreeView_ = tree("SentTreeView", kPages.x());
  QLabel* received = infoPanel("ReceivedInfoPanel", "Received:", receivedX);
  communicationWaitingPanel_ = Label(received, "CommunicationWaitingPanel", QStringLiteral("Waiting for respone..."),
                                     {kTrafficWidth - 204, 1, 200, 18});
  communicationWaitingPanel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetColour(communicationWaitingPanel_, QPalette::WindowText, kWaitingText);
  communicationWaitingPanel_->hide();
  receivedTreeView_ = tree("ReceivedTreeView", receivedX);
}

void ServiceViewPage::BuildControlPanel() {
  using namespace geometry;
  constexpr int kGap = 5;
  constexpr int kWidth = (979 - 5 * kGap) / 6;
  int x = kPages.x();
  const auto button = [&](const char* name, const char* caption) {
    QPushButton* made = Button(this, name, QString::fromLatin1(caption), {x, kControlY, kWidth, 26});
    x += kWidth + kGap;
    return made;
  };
  breakButton_ = button("BreakButton", "BREAK");
  QPushButton* clear = button("ClearButton", "CLEAR");
  QPushButton* serviceMode0 = button("SetServiceMode0Button", "SetServiceMode(0)");
  QPushButton* serviceMode1 = button("SetServiceMode1Button", "SetServiceMode(1)");
  QPushButton* transparent = button("SetTransparentModeButton", "SetTransparentMode(1)");
  QPushButton* configuration = button("GetConfigurationButton", "GET CONFIGURATION");
  connect(breakButton_, &QPushButton::clicked, this, &ServiceViewPage::BreakButtonClick);
  connect(clear, &QPushButton::clicked, this, &ServiceViewPage::ClearButtonClick);
  connect(serviceMode0, &QPushButton::clicked, this, &ServiceViewPage::SetServiceMode0ButtonClick);
  connect(serviceMode1, &QPushButton::clicked, this, &ServiceViewPage::SetServiceMode1ButtonClick);
  connect(transparent, &QPushButton::clicked, this, &ServiceViewPage::SetTransparentModeButtonClick);
  connect(configuration, &QPushButton::clicked, this, &ServiceViewPage::GetConfigurationButtonClick);
  idleButtons_.insert(idleButtons_.end(), {serviceMode0, serviceMode1, transparent, configuration});
}

// --- Groups ---------------------------------------------------------------------

int ServiceViewPage::ModuleIdenIndex() const { return moduleIdenTabControl_->currentIndex(); }

int ServiceViewPage::BasicParamsIndex() const {
  return 4 * moduleBasicParamsATabControl_->currentIndex() + moduleBasicParamsBTabControl_->currentIndex();
}

int ServiceViewPage::VeltraParamsIndex() const { return moduleVeltraParamsTabControl_->currentIndex(); }

Group ServiceViewPage::GroupShown(Sheet sheet) const {
  switch (sheet) {
    case Sheet::kDeviceIden: return Group::kDeviceIden;
    case Sheet::kFroskTecConfig: return Group::kFroskTecConfig;
    case Sheet::kFroskTecMonitor: return Group::kFroskTecMonitor;
    case Sheet::kModuleIden: return kModuleIdenGroups[ModuleIdenIndex()];
    case Sheet::kModuleBasicParams: return kBasicParamsGroups[BasicParamsIndex()];
    case Sheet::kModuleVeltraMonitor: return Group::kModuleVeltraMonitor;
    case Sheet::kModuleVeltraParams: return kVeltraParamsGroups[VeltraParamsIndex()];
  }
  return Group::kDeviceIden;
}

VFroskClass& ServiceViewPage::HolderOf(const SheetField& field) {
  return *engine_.Holder(GroupShown(field.sheet), field.control.field);
}

ServiceViewPage::SheetField* ServiceViewPage::FieldOf(const QWidget* widget) {
  for (SheetField& field : fields_)
    if (field.control.widget == widget) return &field;
  return nullptr;
}

// --- Refresh --------------------------------------------------------------------

void ServiceViewPage::Refresh() {
  const bool idle = engine_.Idle();
  for (QPushButton* button : idleButtons_) SetEnabled(button, idle);
  SetEnabled(breakButton_, !idle);
  for (SheetField& field : fields_) ShowField(field.control, HolderOf(field));
  MirrorTraffic();
  ShowWaitingPanel();
}

void ServiceViewPage::ShowWaitingPanel() {
  SetVisible(communicationWaitingPanel_, engine_.Waiting() && engine_.WaitingPanelVisible());
}

void ServiceViewPage::MirrorTraffic() {
  if (traffic_.Clears() != mirroredClears_) {
    sentTreeView_->clear();
    receivedTreeView_->clear();
    sentShown_ = receivedShown_ = 0;
    mirroredClears_ = traffic_.Clears();
  }
  sentShown_ = Append(sentTreeView_, traffic_.Sent(), sentShown_);
  receivedShown_ = Append(receivedTreeView_, traffic_.Received(), receivedShown_);
}

// A view scrolled to its newest item follows the traffic; one the user has
// scrolled back stays where it is.
size_t ServiceViewPage::Append(QTreeWidget* view, const ItemTree& tree, size_t shown) {
  if (tree.TopLevel().size() == shown) return shown;
  const QScrollBar* scroll = view->verticalScrollBar();
  const bool following = scroll->value() == scroll->maximum();
  shown = AppendItemNodes(view, tree.TopLevel(), shown);
  if (following) view->scrollToBottom();
  return shown;
}

// --- Buttons --------------------------------------------------------------------

void ServiceViewPage::GetDeviceIdenBtnClick() { engine_.ReadGroup(GroupShown(Sheet::kDeviceIden)); }

void ServiceViewPage::SetDeviceIdenBtnClick() { engine_.WriteGroup(GroupShown(Sheet::kDeviceIden)); }

void ServiceViewPage::GetFroskTecConfigButtonClick() { engine_.ReadGroup(GroupShown(Sheet::kFroskTecConfig)); }

void ServiceViewPage::SetFroskTecConfigButtonClick() { engine_.WriteGroup(GroupShown(Sheet::kFroskTecConfig)); }

void ServiceViewPage::GetFroskTecMonitorButtonClick() { engine_.ReadGroup(GroupShown(Sheet::kFroskTecMonitor)); }

void ServiceViewPage::GetModuleIdenButtonClick() { engine_.ReadGroup(GroupShown(Sheet::kModuleIden)); }

void ServiceViewPage::SetModuleIdenButtonClick() { engine_.WriteGroup(GroupShown(Sheet::kModuleIden)); }

void ServiceViewPage::GetModuleBasicParamsButtonClick() { engine_.ReadGroup(GroupShown(Sheet::kModuleBasicParams)); }

void ServiceViewPage::SetModuleBasicParamsButtonClick() { engine_.WriteGroup(GroupShown(Sheet::kModuleBasicParams)); }

void ServiceViewPage::GetModuleVletraMonitorButtonClick() {
  engine_.ReadGroup(GroupShown(Sheet::kModuleVeltraMonitor));
}

void ServiceViewPage::GetModuleVeltraParamsButtonClick() { engine_.ReadGroup(GroupShown(Sheet::kModuleVeltraParams)); }

void ServiceViewPage::SetModuleVeltraParamsButtonClick() { engine_.WriteGroup(GroupShown(Sheet::kModuleVeltraParams)); }

void ServiceViewPage::SetServiceMode0ButtonClick() { engine_.SwitchServiceMode(false); }

void ServiceViewPage::SetServiceMode1ButtonClick() { engine_.SwitchServiceMode(true); }

void ServiceViewPage::SetTransparentModeButtonClick() { engine_.SwitchTransparentMode(true); }

void ServiceViewPage::GetConfigurationButtonClick() { engine_.GetConfiguration(); }

void ServiceViewPage::BreakButtonClick() { engine_.Break(); }

void ServiceViewPage::ClearButtonClick() {
  traffic_.Clear();
  MirrorTraffic();
}

// --- Fields ---------------------------------------------------------------------

void ServiceViewPage::AnyTabControlChange() { engine_.Refresh(); }

void ServiceViewPage::TakeEdit(QLineEdit* edit) {
  SheetField* field = FieldOf(edit);
  if (field == nullptr) return;
  TakeFieldText(field->control, HolderOf(*field));
  // Whatever was taken, the field shows the holder's value now: clamped, or
  // as it was when the text named no value.
  field->control.shown = edit->text();
  engine_.Refresh();
}

void ServiceViewPage::AnyEditExit(QLineEdit* edit) { TakeEdit(edit); }

void ServiceViewPage::AnyMaskEditExit(QLineEdit* edit) { TakeEdit(edit); }

void ServiceViewPage::AnyComboBoxChange() {
  SheetField* field = FieldOf(qobject_cast<QWidget*>(sender()));
  if (field == nullptr) return;
  VFroskClass& holder = HolderOf(*field);
  const int index = field->control.Choice()->currentIndex();
  if (index < 0 || index == holder.GetAsInt()) return;
  holder.SetFromInt(index);
  engine_.Refresh();
}

void ServiceViewPage::AnyCheckBoxClick() {
  SheetField* field = FieldOf(qobject_cast<QWidget*>(sender()));
  if (field == nullptr) return;
  VFroskClass& holder = HolderOf(*field);
  const bool ticked = field->control.Tick()->isChecked();
  if (ticked == (holder.GetAsInt() != 0)) return;
  holder.SetFromInt(ticked ? 1 : 0);
  engine_.Refresh();
}

}  // namespace frosk
