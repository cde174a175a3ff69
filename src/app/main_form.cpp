#include "app/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

#include "app/app_pictures.h"
#include "app/firmware_commands.h"
#include "app/menu_style.h"
#include "app/startup_form.h"
#include "common/form_basics.h"
#include "firmware/upload_firmware_form.h"
#include "protocol/value_types.h"
#include "settings/settings_form.h"

namespace frosk {

namespace {

constexpr int kClientWidth = 477;
constexpr int kClientHeight = 361;
const QColor kLightYellow{255, 255, 224};

struct Column {
  const char* caption;
  int width;
};
constexpr Column kColumns[] = {{"Name", 192}, {"Serial", 88}, {"Manufactured", 104}, {"Port", 56}};

void SetColours(QWidget* widget, QPalette::ColorRole textRole, const QColor& text, QPalette::ColorRole backRole,
                const QColor& back) {
  QPalette palette = widget->palette();
  palette.setColor(textRole, text);
  palette.setColor(backRole, back);
  widget->setPalette(palette);
}

}  // namespace

TMainForm::TMainForm(DiscoveryEngine& engine, Settings& settings, QWidget* parent)
    : QMainWindow(parent),
      engine_(engine),
      settings_(settings),
      devicesImages_(DrawDeviceImages()),
      menuImages_(DrawMenuImages()) {
  BuildLayout();
  BuildMenus();
  WireActions();
  setWindowTitle(QStringLiteral("Frosk Manager"));
  timer1_->start();
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildLayout() {
  setObjectName(QStringLiteral("MainForm"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  auto* client = new QWidget(this);
  client->setFixedSize(kClientWidth, kClientHeight);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  devicesListView_ = new QTreeWidget(client);
  devicesListView_->setObjectName(QStringLiteral("DevicesListView"));
  devicesListView_->setRootIsDecorated(false);
  devicesListView_->setUniformRowHeights(true);
  devicesListView_->setAllColumnsShowFocus(true);
  devicesListView_->setSelectionMode(QAbstractItemView::SingleSelection);
  devicesListView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  devicesListView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  devicesListView_->setIconSize(QSize(kDeviceImageSize, kDeviceImageSize));
  devicesListView_->setContextMenuPolicy(Qt::CustomContextMenu);
  devicesListView_->setFont(UiFont(13, true));
  SetColours(devicesListView_, QPalette::Text, kDarkBlue, QPalette::Base, kLightYellow);
  QStringList captions;
  for (const Column& c : kColumns) captions << QLatin1String(c.caption);
  devicesListView_->setHeaderLabels(captions);
  // Bold DejaVu is wider than bold Tahoma: "Manufactured" would not fit its column.
  devicesListView_->header()->setFont(UiFont(13));
  devicesListView_->header()->setStretchLastSection(false);
  devicesListView_->header()->setSectionsMovable(false);
  for (int i = 0; i < int(std::size(kColumns)); ++i) devicesListView_->setColumnWidth(i, kColumns[i].width);
  column->addWidget(devicesListView_, 1);

  column->addSpacing(6);

  statusMemo_ = new QPlainTextEdit(client);
  statusMemo_->setObjectName(QStringLiteral("StatusMemo"));
  statusMemo_->setReadOnly(true);
  statusMemo_->setFixedHeight(128);
  statusMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  statusMemo_->setFont(UiFont(13));
  SetColours(statusMemo_, QPalette::Text, kRedOrange, QPalette::Base, Qt::white);
  column->addWidget(statusMemo_);

  servicePanel_ = new QLabel(QStringLiteral("Service Mode Enabled"), client);
  servicePanel_->setObjectName(QStringLiteral("ServicePanel"));
  servicePanel_->setFixedHeight(16);
  servicePanel_->setAlignment(Qt::AlignCenter);
  servicePanel_->setFont(UiFont(11, true));
  servicePanel_->setAutoFillBackground(true);
  SetColours(servicePanel_, QPalette::WindowText, Qt::white, QPalette::Window, Qt::red);
  column->addWidget(servicePanel_);

  setCentralWidget(client);
  // Not resizable: the window is the client area and the menu bar.
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setInterval(100);
}

QMenu* TMainForm::AddMenu(const char* name, const char* caption) {
  QMenu* menu = menuBar()->addMenu(QLatin1String(caption));
  menu->setObjectName(QLatin1String(name));
  menu->menuAction()->setObjectName(QLatin1String(name));
  menu->setStyle(menuStyle_);
  MenuStyle::NameMeasureHandler(menu->menuAction());
  return menu;
}

QAction* TMainForm::AddItem(QMenu* menu, const char* name, const char* caption, bool measured) {
  QAction* item = menu->addAction(QLatin1String(caption));
  item->setObjectName(QLatin1String(name));
  if (measured) MenuStyle::NameMeasureHandler(item);
  return item;
}

void TMainForm::BuildMenus() {
  menuStyle_ = new MenuStyle;
  menuStyle_->setParent(this);
  menuBar()->setObjectName(QStringLiteral("MainMenu"));
  menuBar()->setStyle(menuStyle_);

  QMenu* devices = AddMenu("DevicesMenuItem", "&Devices");
  devicesReloadMenuItem_ = AddItem(devices, "DevicesReloadMenuItem", "Reload Devices List");
  devices->addSeparator();
  devicesConnectMenuItem_ = AddItem(devices, "DevicesConnectMenuItem", "Connect");
  devicesDisconnectMenuItem_ = AddItem(devices, "DevicesDisconnectMenuItem", "Disconnect");
  devicesShowTrendsMenuItem_ = AddItem(devices, "DevicesShowTrendsMenuItem", "Show Trends");
  devices->addSeparator();
  devicesExitMenuItem_ = AddItem(devices, "DevicesExitMenuItem", "Exit");

  QMenu* options = AddMenu("OptionsMenuItem", "&Options");
  optionsSettingsMenuItem_ = AddItem(options, "OptionsSettingsMenuItem", "Settings...");
  options->addSeparator();
  optionsFlasherMenuItem_ = AddItem(options, "OptionsFlasherMenuItem", "Force Device Programming...", false);
  options->addSeparator();
  optionsUpdatesMenuItem_ = AddItem(options, "OptionsUpdatesMenuItem", "Check for Updates...");

  serviceMenuItem_ = AddMenu("ServiceMenuItem", "&Service");
  serviceFirmwareMenuItem_ = AddItem(serviceMenuItem_, "ServiceFirmwareMenuItem", "Flash Firmware...");
  serviceShowFroskTecWindowMenuItem_ =
      AddItem(serviceMenuItem_, "ServiceShowFroskTecWindowMenuItem", "Show FroskTEC Window", false);

  QMenu* help = AddMenu("HelpMenuItem", "&Help");
  helpAboutMenuItem_ = AddItem(help, "HelpAboutMenuItem", "About");

  devicesMenu_ = new QMenu(devicesListView_);
  devicesMenu_->setObjectName(QStringLiteral("DevicesMenu"));
  devicesMenu_->setStyle(menuStyle_);
  MenuStyle::SetImageSize(devicesMenu_, kMenuImageSize);
  pDeviceReloadMenuItem_ = AddItem(devicesMenu_, "PDeviceReloadMenuItem", "Realod Devices List", false);
  pDeviceReloadMenuItem_->setIcon(QIcon(menuImages_.value(0)));
  devicesMenu_->addSeparator();
  pDeviceConnectMenuItem_ = AddItem(devicesMenu_, "PDeviceConnectMenuItem", "Connect", false);
  pDeviceDisconnectMenuItem_ = AddItem(devicesMenu_, "PDeviceDisconnectMenuItem", "Disconnect", false);
  devicesMenu_->addSeparator();
  pDeviceShowMenuItem_ = AddItem(devicesMenu_, "PDeviceShowMenuItem", "Show", false);
  pDeviceHideMenuItem_ = AddItem(devicesMenu_, "PDeviceHideMenuItem", "Hide", false);
  pDeviceShowTrendsMenuItem_ = AddItem(devicesMenu_, "PDeviceShowTrendsMenuItem", "Show Trends", false);
}

void TMainForm::WireActions() {
  connect(timer1_, &QTimer::timeout, this, &TMainForm::Timer1Timer);
  connect(devicesReloadMenuItem_, &QAction::triggered, this, &TMainForm::DevicesReloadMenuItemClick);
  connect(pDeviceReloadMenuItem_, &QAction::triggered, this, &TMainForm::DevicesReloadMenuItemClick);
  connect(devicesConnectMenuItem_, &QAction::triggered, this, &TMainForm::DevicesConnectMenuItemClick);
  connect(pDeviceConnectMenuItem_, &QAction::triggered, this, &TMainForm::DevicesConnectMenuItemClick);
  connect(devicesDisconnectMenuItem_, &QAction::triggered, this, &TMainForm::DevicesDisconnectMenuItemClick);
  connect(pDeviceDisconnectMenuItem_, &QAction::triggered, this, &TMainForm::DevicesDisconnectMenuItemClick);
  connect(pDeviceShowMenuItem_, &QAction::triggered, this, &TMainForm::DevicesShowMenuItemClick);
  connect(pDeviceHideMenuItem_, &QAction::triggered, this, &TMainForm::DevicesHideMenuItemClick);
  connect(devicesShowTrendsMenuItem_, &QAction::triggered, this, &TMainForm::DevicesShowTrendsMenuItemClick);
  connect(pDeviceShowTrendsMenuItem_, &QAction::triggered, this, &TMainForm::DevicesShowTrendsMenuItemClick);
  connect(devicesExitMenuItem_, &QAction::triggered, this, &TMainForm::DevicesExitMenuItemClick);
  connect(optionsSettingsMenuItem_, &QAction::triggered, this, &TMainForm::OptionsSettingsMenuItemClick);
  connect(optionsFlasherMenuItem_, &QAction::triggered, this, &TMainForm::OptionsFlasherMenuItemClick);
  connect(optionsUpdatesMenuItem_, &QAction::triggered, this, &TMainForm::OptionsUpdatesMenuItemClick);
  connect(serviceFirmwareMenuItem_, &QAction::triggered, this, &TMainForm::ServiceFirmwareMenuItemClick);
  connect(serviceShowFroskTecWindowMenuItem_, &QAction::triggered, this,
          &TMainForm::ServiceShowFroskTecWindowMenuItemClick);
  connect(helpAboutMenuItem_, &QAction::triggered, this, &TMainForm::HelpAboutMenuItemClick);
  connect(devicesListView_, &QTreeWidget::itemDoubleClicked, this, &TMainForm::DevicesListViewDblClick);
  WireKeys();
  connect(devicesListView_, &QTreeWidget::itemSelectionChanged, this, &TMainForm::DevicesListViewSelectItem);
  connect(devicesListView_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { devicesMenu_->popup(devicesListView_->viewport()->mapToGlobal(at)); });

  connect(&engine_, &DiscoveryEngine::LogChanged, this, &TMainForm::ShowLog);
  connect(&engine_, &DiscoveryEngine::StatusTextChanged, this, [this](const QString& lineText) {
    if (startupForm_) startupForm_->ShowStatus(lineText);
  });
  connect(&engine_, &DiscoveryEngine::DevicesChanged, this, &TMainForm::ShowDevices);
  connect(devicesListView_->header(), &QHeaderView::sectionResized, this, &TMainForm::ShowCutTexts);
  connect(&engine_, &DiscoveryEngine::CommandsRefreshed, this, &TMainForm::RefreshCommands);
  connect(&engine_, &DiscoveryEngine::StateChanged, this, &TMainForm::FollowState);
  connect(&engine_, &DiscoveryEngine::MainWindowShownChanged, this, &TMainForm::ShowMainWindow);
  connect(&engine_, &DiscoveryEngine::ExitFinished, this, &QWidget::close);
}

void TMainForm::SetRowImage(QTreeWidgetItem* row, int index) {
  const QPixmap& image = devicesImages_.value(index);
  row->setIcon(0, QIcon(row->data(0, kNotAnsweringRole).toBool() ? MarkNotAnswering(image) : image));
  row->setData(0, kImageIndexRole, index);
  row->setData(0, kStateIndexRole, index);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Centred once its size is final, as the menu bar's height counts too.
  if (!centred_) {
    centred_ = true;
    CentreOnScreen(this);
  }
  FormShow();
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TMainForm::closeEvent(QCloseEvent* event) { FormCloseQuery(event); }

void TMainForm::FormShow() {
  serviceMenuItem_->menuAction()->setVisible(settings_.ServiceMode);
  servicePanel_->setVisible(settings_.ServiceMode);
}

void TMainForm::FormActivate() { RefreshCommands(); }

// Every close, the user's or the exit sequence's own, asks the engine. It
// refuses all but the last, which ends the program.
void TMainForm::FormCloseQuery(QCloseEvent* event) {
  if (!engine_.CloseQuery()) {
    event->ignore();
    return;
  }
  event->accept();
  timer1_->stop();
  emit Closed();
}

void TMainForm::FollowState(ScanState state) {
  // The splash stands in for the main window during the exit, showing "Exiting ... ".
  if (state == ScanState::Exiting && startupForm_ && !startupForm_->isVisible()) startupForm_->show();
}

void TMainForm::ShowMainWindow(bool shown) {
  if (!shown) {
    hide();
    return;
  }
  if (startupForm_ && startupForm_->isVisible()) startupForm_->hide();
  show();
}

// The log is short (a few lines per scan), so it is shown whole each time.
void TMainForm::ShowLog() {
  QStringList lines;
  for (const std::string& line : engine_.Log().Lines()) lines << QString::fromStdString(line);
  statusMemo_->setPlainText(lines.join('\n'));
  statusMemo_->verticalScrollBar()->setValue(statusMemo_->verticalScrollBar()->maximum());
}

void TMainForm::ShowDevices() {
  const std::vector<std::unique_ptr<DeviceEntry>>& devices = engine_.Devices();
  // Rows are appended as devices are found and removed all at once.
  if (size_t(devicesListView_->topLevelItemCount()) > devices.size()) devicesListView_->clear();
  for (size_t i = size_t(devicesListView_->topLevelItemCount()); i < devices.size(); ++i) {
    const DeviceIdenRecord& iden = devices[i]->Iden;
    auto* row = new QTreeWidgetItem(devicesListView_);
    row->setText(0, QString::fromLatin1(iden.name, qsizetype(strnlen(iden.name, sizeof iden.name))));
    row->setText(1, QString::fromStdString(SerialToText(iden.serial)));
    row->setText(2, QString::fromStdString(DateToText(iden.prodDate)));
    row->setText(3, QString::fromStdString(devices[i]->Port.portName));
    SetRowImage(row, IconFor(iden.type, false));
  }
  ShowDeviceHealth();
  ShowCutTexts();
}

void TMainForm::ShowDeviceHealth() {
  const std::vector<std::unique_ptr<DeviceEntry>>& devices = engine_.Devices();
  for (int i = 0; i < devicesListView_->topLevelItemCount() && size_t(i) < devices.size(); ++i) {
    const DeviceEntry& entry = *devices[size_t(i)];
    const bool notAnswering = entry.Connection != nullptr && entry.Connection->IsOpen() &&
                              entry.Connection->Health().state == LinkState::kNotAnswering;
    QTreeWidgetItem* row = devicesListView_->topLevelItem(i);
    if (row->data(0, kNotAnsweringRole).toBool() == notAnswering) continue;
    row->setData(0, kNotAnsweringRole, notAnswering);
    SetRowImage(row, row->data(0, kImageIndexRole).toInt());
  }
}

void TMainForm::ShowCutTexts() {
  // The style's item text keeps a margin on each side, and the first column
  // its image with a margin of its own.
  const int margin =
      devicesListView_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, devicesListView_) + 1;
  const QFontMetrics metrics(devicesListView_->font());
  for (int i = 0; i < devicesListView_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = devicesListView_->topLevelItem(i);
    for (int column = 0; column < devicesListView_->columnCount(); ++column) {
      int room = devicesListView_->columnWidth(column) - 2 * margin;
      if (column == 0) room -= devicesListView_->iconSize().width() + 2 * margin;
      const QString text = row->text(column);
      const QString tip = metrics.horizontalAdvance(text) > room ? text : QString();
      if (row->toolTip(column) != tip) row->setToolTip(column, tip);
    }
  }
}

DeviceEntry* TMainForm::SelectedEntry() const {
  const QList<QTreeWidgetItem*> selected = devicesListView_->selectedItems();
  if (selected.isEmpty()) return nullptr;
  const int row = devicesListView_->indexOfTopLevelItem(selected.first());
  const std::vector<std::unique_ptr<DeviceEntry>>& devices = engine_.Devices();
  return row >= 0 && size_t(row) < devices.size() ? devices[size_t(row)].get() : nullptr;
}

void TMainForm::RefreshCommands() {
  if (startupForm_) startupForm_->ShowReady(engine_.State() == ScanState::Ready);

  DeviceEntry* entry = SelectedEntry();
  const DeviceCommands commands = CommandsFor(entry);
  devicesConnectMenuItem_->setEnabled(commands.connect);
  pDeviceConnectMenuItem_->setEnabled(commands.connect);
  devicesDisconnectMenuItem_->setEnabled(commands.disconnect);
  pDeviceDisconnectMenuItem_->setEnabled(commands.disconnect);
  pDeviceShowMenuItem_->setEnabled(commands.show);
  pDeviceHideMenuItem_->setEnabled(commands.hide);
  devicesShowTrendsMenuItem_->setEnabled(commands.trends);
  pDeviceShowTrendsMenuItem_->setEnabled(commands.trends);
  devicesReloadMenuItem_->setEnabled(commands.reload);
  pDeviceReloadMenuItem_->setEnabled(commands.reload);
  ShowDeviceHealth();
  if (entry) SetRowImage(devicesListView_->selectedItems().first(), IconFor(entry->Iden.type, entry->Linked()));
}

void TMainForm::Timer1Timer() {
  engine_.Timer1Timer();
  // The programming dialog follows its tool on the program's one clock.
  if (uploadFirmwareForm_ && uploadFirmwareForm_->isVisible()) uploadFirmwareForm_->Tick();
}

void TMainForm::DevicesReloadMenuItemClick() { engine_.ReloadDevices(); }

void TMainForm::DevicesConnectMenuItemClick() { engine_.Connect(SelectedEntry()); }

void TMainForm::DevicesDisconnectMenuItemClick() { engine_.Disconnect(SelectedEntry()); }

void TMainForm::DevicesShowMenuItemClick() {
  if (DeviceEntry* entry = SelectedEntry()) engine_.ShowDeviceWindow(entry);
  RefreshCommands();
}

// The enabling follows at once: a hidden window need not hand the focus back
// to this one, so no activation would refresh it.
void TMainForm::DevicesHideMenuItemClick() {
  DeviceEntry* entry = SelectedEntry();
  if (!entry) return;
  engine_.HideDeviceWindow(entry);
  RefreshCommands();
}

void TMainForm::DevicesShowTrendsMenuItemClick() { engine_.ShowTrendsWindow(SelectedEntry()); }

void TMainForm::DevicesExitMenuItemClick() { close(); }

// The stored settings are written at the end of the run, not here. The
// Service menu and bar follow at once: "Default" may have switched service
// mode off for the rest of the run.
void TMainForm::OptionsSettingsMenuItemClick() {
  if (!settingsForm_) return;
  settingsForm_->DialogSettings() = settings_;
  if (settingsForm_->exec() != QDialog::Accepted) return;
  settings_ = settingsForm_->DialogSettings();
  FormShow();
  RefreshCommands();
}

void TMainForm::OptionsFlasherMenuItemClick() {
  if (firmware_) firmware_->ForceDeviceProgramming();
}

void TMainForm::OptionsUpdatesMenuItemClick() { engine_.CheckForUpdates(); }

void TMainForm::ServiceFirmwareMenuItemClick() {
  if (firmware_) firmware_->FlashFirmware();
}

void TMainForm::ServiceShowFroskTecWindowMenuItemClick() {
  auto unlisted = std::make_unique<DeviceEntry>();
  if (engine_.ShowDeviceWindow(unlisted.get())) unlistedEntries_.push_back(std::move(unlisted));
}

void TMainForm::HelpAboutMenuItemClick() {
  if (startupForm_) startupForm_->ShowAbout();
}

// The keys stand for the mouse: F5 reloads, F10 opens the menu bar as Alt
// does, and on the list Enter is a row's double click and Delete its
// Disconnect.
void TMainForm::WireKeys() {
  auto* reload = new QShortcut(QKeySequence(Qt::Key_F5), this);
  connect(reload, &QShortcut::activated, this, &TMainForm::DevicesReloadMenuItemClick);
  auto* menus = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(menus, &QShortcut::activated, this, &TMainForm::OpenMenuBar);
  devicesListView_->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == devicesListView_ && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        SelectCurrentRow();
        DevicesListViewDblClick();
        return true;
      case Qt::Key_Delete:
        SelectCurrentRow();
        DevicesDisconnectMenuItemClick();
        return true;
      default: break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// The keys act on the row the focus frame is on: after a scan the list has
// a current row that nobody selected, and Enter on it must not do nothing.
void TMainForm::SelectCurrentRow() {
  QTreeWidgetItem* current = devicesListView_->currentItem();
  if (current == nullptr || current->isSelected()) return;
  devicesListView_->clearSelection();
  current->setSelected(true);
}

void TMainForm::OpenMenuBar() {
  const QList<QAction*> menus = menuBar()->actions();
  if (menus.isEmpty()) return;
  menuBar()->setFocus(Qt::MenuBarFocusReason);
  menuBar()->setActiveAction(menus.front());
}

void TMainForm::DevicesListViewDblClick() {
  DeviceEntry* entry = SelectedEntry();
  if (!entry) return;
  if (!entry->Linked()) {
    engine_.Connect(entry);
    return;
  }
  engine_.ShowDeviceWindow(entry);
  RefreshCommands();
}

void TMainForm::DevicesListViewSelectItem() { RefreshCommands(); }

}  // namespace frosk
