#include "device/frosktec_view_form.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <vector>

#include "common/form_basics.h"
#include "device/configurator_page.h"
#include "device/service_view_page.h"
#include "device/user_view_page.h"
#include "protocol/keys.h"
#include "trends/device_trends.h"
#include "trends/recording_buttons.h"
#include "trends/trends_form.h"

namespace frosk {

namespace {

const QColor kFormColour{240, 240, 240};
const QColor kLiveText{0, 0, 0};
const QColor kTroubleText{255, 0, 0};
constexpr GroupMask kAllGroups = ~GroupMask{0};

// The device windows in the order they were first placed, for the next one to
// keep clear of.
std::vector<QPointer<QWidget>>& PlacedWindows() {
  static std::vector<QPointer<QWidget>> windows;
  return windows;
}

}  // namespace

TFroskTecViewForm::TFroskTecViewForm(DeviceConnection& connection, const DeviceWindowShared& shared, QWidget* parent)
    : QWidget(parent),
      connection_(connection),
      shared_(shared),
      trends_(std::make_unique<DeviceTrends>(
          connection, DeviceTrends::Seams{connection.Engine().Clock(), shared.wallClock, shared.settings})) {
  BuildLayout(connection.ServiceModeSetting());
  Engine().SetTrafficObserver(&traffic_);
  listenerId_ = Engine().AddRefreshListener([this](GroupMask stored) { EngineRefreshed(stored); });
  // The user view repeats held buttons and sends rested keys at the tick, and
  // the service view's waiting panel blinks at its rate.
  connect(&connection_, &DeviceConnection::Ticked, this, [this] {
    userPage_->Tick();
    if (Engine().ViewPage() == 1 && isVisible() && servicePage_ != nullptr) servicePage_->ShowWaitingPanel();
    ShowLinkStatus();
    ShowReadAgain();
  });
  connect(&connection_, &DeviceConnection::HealthChanged, this, &TFroskTecViewForm::HealthChanged);
  connect(&connection_, &DeviceConnection::RequestFinished, this, &TFroskTecViewForm::WriteFinished);
  connect(readAgainBitBtn_, &QPushButton::clicked, this, &TFroskTecViewForm::ReadAgainBitBtnClick);
  ShowTitle();
  HealthChanged(connection_.Health());
}

TFroskTecViewForm::~TFroskTecViewForm() {
  Engine().RemoveRefreshListener(listenerId_);
  Engine().SetTrafficObserver(nullptr);
  // The controls go while the engine their handlers call is still there: a
  // control losing the focus as it goes still reaches its handler.
  delete viewNotebook_;
}

void TFroskTecViewForm::BuildLayout(bool serviceSetting) {
  setObjectName("FroskTecViewForm");
  setWindowTitle(QStringLiteral("FroskTEC"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(987, 642);
  setFont(UiFont(11));
  QPalette formPalette = palette();
  formPalette.setColor(QPalette::Window, kFormColour);
  setPalette(formPalette);

  viewNotebook_ = new QStackedWidget(this);
  viewNotebook_->setObjectName("ViewNotebook");
  viewNotebook_->setGeometry(rect());
  userPage_ = new UserViewPage(Engine(), ConfigFiles(), shared_.valueDialog, serviceSetting, nullptr);
  viewNotebook_->addWidget(userPage_);
  BuildTrendsButtons(userPage_);
  BuildLinkStatus(userPage_);
  // Stand-ins keep each page at its ViewPage's index until it is built.
  viewNotebook_->addWidget(new QWidget);
  viewNotebook_->addWidget(new QWidget);
}

QWidget* TFroskTecViewForm::PageWidget(int page) {
  const auto place = [this](QWidget* built, int at, const char* userViewButton) {
    QPushButton* button = Button(built, userViewButton, QStringLiteral("User View"), {883, 608, 96, 26});
    connect(button, &QPushButton::clicked, this, &TFroskTecViewForm::UserViewBitBtnClick);
    QWidget* standIn = viewNotebook_->widget(at);
    viewNotebook_->insertWidget(at, built);
    viewNotebook_->removeWidget(standIn);
    delete standIn;
  };
  switch (page) {
    case 0: return userPage_;
    case 1:
      if (servicePage_ == nullptr) {
        servicePage_ = new ServiceViewPage(Engine(), traffic_, nullptr);
        place(servicePage_, page, "UserView1BitBtn");
      }
      return servicePage_;
    case DeviceEngine::kConfiguratorPage:
      if (configuratorPage_ == nullptr) {
        configuratorPage_ =
            new ConfiguratorPage(Engine(), ConfigFiles(), shared_.serialDialog, shared_.wallClock, nullptr);
        place(configuratorPage_, page, "UserViewBitBtn");
      }
      return configuratorPage_;
    default: return nullptr;
  }
}

// The trends belong to the window, not to one of its pages; their buttons sit
// in the user view's bottom bar.
void TFroskTecViewForm::BuildTrendsButtons(QWidget* page) {
  showTrendsBitBtn_ = Button(page, "ShowTrendsBitBtn", QStringLiteral("Show Trends"), {8, 608, 104, 26});
  recordingButtons_ = new RecordingButtons(*trends_, page);
  recordingButtons_->Record()->setGeometry(118, 608, 116, 26);
  recordingButtons_->Folder()->setGeometry(240, 608, 140, 26);
  connect(showTrendsBitBtn_, &QPushButton::clicked, this, &TFroskTecViewForm::ShowTrendsBitBtnClick);
}

// Below the module's monitor, the one free strip of the user view: the other
// pages keep their documented layout.
void TFroskTecViewForm::BuildLinkStatus(QWidget* page) {
  linkStatusLabel_ = Label(page, "LinkStatusLabel", {}, {507, 560, 340, 22});
  linkStatusLabel_->setFont(UiFont(11, true));
  readAgainBitBtn_ = Button(page, "ReadAgainBitBtn", QStringLiteral("Read again"), {873, 558, 96, 26});
  readAgainBitBtn_->setVisible(false);
}

void TFroskTecViewForm::ShowTitle() {
  QString title = QStringLiteral("FroskTEC");
  const QString port = Text(connection_.PortName());
  if (!port.isEmpty() && identified_) {
    DeviceIdenHolders& iden = Engine().DeviceIden();
    QStringList names;
    for (Key field : {key::DEVICE_IDEN_NAME, key::DEVICE_IDEN_SERIAL})
      if (QString text = Text(iden.At(field).ValueToText()).trimmed(); !text.isEmpty()) names << text;
    title += QStringLiteral(" - ") + names.join(' ') + QStringLiteral(" (") + port + ')';
  } else if (!port.isEmpty()) {
    title += QStringLiteral(" (") + port + ')';
  }
  if (windowTitle() != title) setWindowTitle(title);
}

void TFroskTecViewForm::PlaceAmongOthers() {
  std::vector<QPointer<QWidget>>& placed = PlacedWindows();
  std::erase_if(placed, [](const QPointer<QWidget>& window) { return window.isNull(); });
  std::optional<QPoint> last;
  std::vector<QPoint> taken;
  for (const QPointer<QWidget>& window : placed) {
    last = window->pos();
    taken.push_back(*last);
  }
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, width(), height());
  move(CascadedPosition(area, frameGeometry().size(), last, taken));
  placed.emplace_back(this);
  placed_ = true;
}

// --- DeviceWindow -------------------------------------------------------------

void TFroskTecViewForm::Show() {
  if (!placed_) PlaceAmongOthers();
  show();
  raise();
  activateWindow();
}

void TFroskTecViewForm::Hide() { hide(); }

bool TFroskTecViewForm::IsVisible() const { return isVisible(); }

bool TFroskTecViewForm::GainComboEditing() const { return userPage_->GainComboEditing(); }

void TFroskTecViewForm::ShowTrends() {
  if (trendsForm_ == nullptr) trendsForm_ = std::make_unique<TTrendsForm>(*trends_);
  trendsForm_->show();
  trendsForm_->raise();
  trendsForm_->activateWindow();
}

void TFroskTecViewForm::ShowTrendsBitBtnClick() { ShowTrends(); }

// --- Refresh ------------------------------------------------------------------

void TFroskTecViewForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void TFroskTecViewForm::FormShow() {
  userPage_->FormShow();
  Engine().Refresh();
}

void TFroskTecViewForm::UserViewBitBtnClick() { Engine().ShowUserView(); }

void TFroskTecViewForm::ReadAgainBitBtnClick() {
  Engine().ReadAgain();
  ShowReadAgain();
}

// --- Link status --------------------------------------------------------------

void TFroskTecViewForm::ShowLinkStatus() {
  const LinkHealth& health = connection_.Health();
  const uint32_t now = Engine().Clock().Now();
  if (lastWrite_ && now - lastWrite_->at >= kWriteResultShownMs) lastWrite_.reset();
  QString text;
  if (lastWrite_) {
    text = lastWrite_->applied ? QStringLiteral("Applied") : QStringLiteral("Not applied: no reply");
  } else {
    switch (health.state) {
      case LinkState::kLive: text = Text("Live, last reply " + FormatTime(health.lastReply)); break;
      case LinkState::kNotAnswering: text = Text("Not answering since " + FormatTime(health.lastReply)); break;
      case LinkState::kLost: text = QStringLiteral("Connection lost"); break;
    }
  }
  const bool trouble = health.state != LinkState::kLive || (lastWrite_ && !lastWrite_->applied);
  SetColour(linkStatusLabel_, QPalette::WindowText, trouble ? kTroubleText : kLiveText);
  SetText(linkStatusLabel_, text);
}

void TFroskTecViewForm::HealthChanged(const LinkHealth& health) {
  // A write's outcome stays while the link goes quiet (its time-out is what
  // makes it so), but not once the port is gone.
  if (health.state == LinkState::kLost) lastWrite_.reset();
  userPage_->SetStale(health.state != LinkState::kLive);
  ShowLinkStatus();
  ShowReadAgain();
  if (isVisible() && Engine().ViewPage() == 0) userPage_->Refresh();
}

void TFroskTecViewForm::WriteFinished(const RequestOutcome& outcome) {
  if (!outcome.write) return;
  lastWrite_ = WriteResult{outcome.answered, Engine().Clock().Now()};
  ShowLinkStatus();
}

void TFroskTecViewForm::ShowReadAgain() {
  const bool busy = Engine().SequenceState() != SequenceState::kIdle || Engine().Waiting();
  SetVisible(readAgainBitBtn_, connection_.IsOpen() && !busy && (Engine().UnreadGroups() & readOnce_) != 0);
}

void TFroskTecViewForm::EngineRefreshed(GroupMask stored) {
  readOnce_ |= Engine().ReadGroups();
  ShowReadAgain();
  ShowLinkStatus();
  if (stored & GroupBit(Group::kDeviceIden)) {
    identified_ = true;
    ShowTitle();
  }
  userPage_->Stored(stored);
  const int page = Engine().ViewPage();
  if (PageWidget(page) != nullptr && viewNotebook_->currentIndex() != page) {
    viewNotebook_->setCurrentIndex(page);
    userPage_->Stored(kAllGroups);
  }
  // A hidden page keeps nothing up to date; it is redrawn whole when it shows.
  if (!isVisible()) return;
  switch (page) {
    case 0: userPage_->Refresh(); break;
    case 1: servicePage_->Refresh(); break;
    case DeviceEngine::kConfiguratorPage: configuratorPage_->Refresh(); break;
    default: break;
  }
}

DeviceWindowFactory FroskTecViewFormFactory(DeviceWindowShared shared) {
  return [shared](DeviceConnection& connection) -> std::unique_ptr<DeviceWindow> {
    auto window = std::make_unique<TFroskTecViewForm>(connection, shared);
    window->Show();
    return window;
  };
}

}  // namespace frosk
