#include "device/device_connection.h"

#include <QCoreApplication>

#include "common/frame_event.h"
#include "protocol/frame.h"

namespace frosk {

namespace {

// Posted to a disposed connection once its outermost call has returned.
const QEvent::Type kDisposeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

const WallClock& ConnectionOwner::Calendar() const {
  static const SystemWallClock local;
  return local;
}

// One call into the connection that may run a nested event loop.
class DeviceConnection::Call {
 public:
  explicit Call(DeviceConnection& connection) : connection_(connection) { ++connection_.callDepth_; }
  ~Call() {
    if (--connection_.callDepth_ == 0) connection_.Returned();
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

 private:
  DeviceConnection& connection_;
};

int DeviceConnection::CountedPrompter::ShowMessageBox(const std::string& text, unsigned flags) {
  Call call(connection_);
  return prompter_.ShowMessageBox(text, flags);
}

int DeviceConnection::CountedPrompter::AskToProgramFirmware(const std::string& text, unsigned flags,
                                                            const FirmwareOffer& offer) {
  Call call(connection_);
  FirmwareOffer onPort = offer;
  onPort.portName = connection_.PortName();
  return prompter_.AskToProgramFirmware(text, flags, onPort);
}

int DeviceConnection::CountedPrompter::AskToCheckForUpdates(const std::string& text, unsigned flags) {
  Call call(connection_);
  return prompter_.AskToCheckForUpdates(text, flags);
}

std::optional<std::string> DeviceConnection::CountedPrompter::AskOpenFileName(const FileDialogRequest& request) {
  Call call(connection_);
  return prompter_.AskOpenFileName(request);
}

std::optional<std::string> DeviceConnection::CountedPrompter::AskSaveFileName(const FileDialogRequest& request) {
  Call call(connection_);
  return prompter_.AskSaveFileName(request);
}

std::optional<std::string> DeviceConnection::CountedPrompter::AskFolder(const std::string& current) {
  Call call(connection_);
  return prompter_.AskFolder(current);
}

DeviceConnection::DeviceConnection(std::string portName, LinkLayer& links, const DeviceSeams& seams,
                                   ConnectionOwner& owner)
    : links_(links),
      owner_(owner),
      clock_(seams.clock),
      prompter_(*this, seams.prompter),
      engine_(*this, DeviceSeams{seams.clock, prompter_, seams.beeper, seams.folders}),
      configFiles_(engine_) {
  port_.portName = std::move(portName);
  engine_.SetRequestListener([this](const RequestOutcome& outcome) { emit RequestFinished(outcome); });
}

DeviceConnection::~DeviceConnection() {
  Close();
  // The window shows the engine: it goes while the engine is still there.
  if (disposed_) disposed_->reset();
}

bool DeviceConnection::Open(PortError* error) {
  Close();
  port_.baudRate = kDeviceBaudRate;
  if (links_.Open(&port_.link, port_, PostFrameEvents(this, kMainWindowFrameEvent)) != 0) {
    if (error != nullptr) *error = links_.LastOpenError();
    return false;
  }
  health_.lastReply = owner_.Calendar().Now();
  unansweredSince_.reset();
  unansweredInARow_ = 0;
  inFlightCounted_ = false;
  ChangeHealth(LinkState::kLive);
  return true;
}

void DeviceConnection::Close() {
  if (port_.link != nullptr) links_.Close(&port_.link);
}

void DeviceConnection::Tick() {
  Call call(*this);
  const uint32_t timeouts = engine_.Timeouts();
  engine_.Tick();
  if (engine_.Timeouts() != timeouts && !inFlightCounted_) ++unansweredInARow_;
  CheckAnswering();
  AskHeldQuestionLater();
  emit Ticked();
}

// The tick's question is asked from the event loop: a box opened inside the
// owner's timer handler would run its event loop there, and the timer does
// not fire again while its handler runs, which would stop every device.
void DeviceConnection::AskHeldQuestionLater() {
  if (!engine_.QuestionHeld() || questionPosted_) return;
  questionPosted_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        questionPosted_ = false;
        if (disposed_) return;
        Call call(*this);
        engine_.AskHeldQuestion();
      },
      Qt::QueuedConnection);
}

void DeviceConnection::Dispose(std::unique_ptr<DeviceConnection> connection, std::unique_ptr<DeviceWindow> window) {
  if (connection == nullptr) return;
  connection->Close();
  if (!connection->InCall()) {
    window.reset();
    return;
  }
  // The connection now owns itself; the end of its outermost call posts the
  // event in which it goes, outside every call of it.
  if (window != nullptr) window->Hide();
  connection->disposed_ = std::move(window);
  connection.release();
}

bool DeviceConnection::event(QEvent* event) {
  if (event->type() == kDisposeEvent) {
    // As QObject::deleteLater does, from the object's own event.
    if (!InCall()) delete this;
    return true;
  }
  if (event->type() != kMainWindowFrameEvent) return QObject::event(event);
  // A frame read just before its link closed names a link that is gone.
  const FrameBlock& block = static_cast<const FrameEvent*>(event)->Block();
  if (port_.link == nullptr || block.owner != port_.link) return true;
  Call call(*this);
  if (block.PortEnded()) {
    PortFailed();
    return true;
  }
  // Each frame decodes into a buffer of its own: a question asked while the
  // engine handles it runs a nested loop that may deliver the next frame.
  uint8_t item[FrameCutter::kCapacity];
  if (!DecodeItem(item, sizeof item, block.Frame()).ok()) return true;
  ReplyArrived();
  engine_.ReceiveItem(item);
  return true;
}

bool DeviceConnection::SendToDevice(DeviceEngine&, const uint8_t* item) {
  if (!IsDeviceLinked(engine_)) return false;
  const int written = links_.SendItem(port_.link, item);
  RequestOut();
  if (written == 0) return true;
  if (written != kLinkWriteStalled) {
    PortFailed();
    return false;
  }
  // The device cannot answer what it never got, and a port that took nothing
  // for a second is not read at its other end: no need to wait for the
  // request's time-out to say so.
  ++unansweredInARow_;
  inFlightCounted_ = true;
  if (health_.state == LinkState::kLive) ChangeHealth(LinkState::kNotAnswering);
  return false;
}

// --- Link health ------------------------------------------------------------------

void DeviceConnection::RequestOut() {
  inFlightCounted_ = false;
  if (!unansweredSince_) unansweredSince_ = clock_.Now();
}

void DeviceConnection::ReplyArrived() {
  health_.lastReply = owner_.Calendar().Now();
  unansweredSince_.reset();
  unansweredInARow_ = 0;
  if (health_.state == LinkState::kNotAnswering) ChangeHealth(LinkState::kLive);
}

void DeviceConnection::CheckAnswering() {
  if (health_.state != LinkState::kLive) return;
  const bool silent = unansweredSince_ && clock_.Now() - *unansweredSince_ > DeviceEngine::kReplyTimeoutMs;
  if (unansweredInARow_ >= 2 || silent) ChangeHealth(LinkState::kNotAnswering);
}

void DeviceConnection::PortFailed() {
  if (!IsOpen()) return;
  Close();
  ChangeHealth(LinkState::kLost);
}

void DeviceConnection::ChangeHealth(LinkState state) {
  if (health_.state == state) return;
  health_.state = state;
  emit HealthChanged(health_);
}

bool DeviceConnection::IsDeviceLinked(const DeviceEngine&) const {
  return port_.link != nullptr && owner_.DevicesReachable();
}

void DeviceConnection::RequestClose(DeviceEngine&, CloseAction action) {
  if (!closeRequest_) closeRequest_ = action;
  if (!InCall()) Returned();
}

void DeviceConnection::Returned() {
  if (disposed_) {
    QCoreApplication::postEvent(this, new QEvent(kDisposeEvent));
    return;
  }
  if (!closeRequest_) return;
  const CloseAction action = *closeRequest_;
  closeRequest_.reset();
  owner_.CloseRequested(*this, action);
}

}  // namespace frosk
