#include "cli/device_session.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <csignal>
#include <iostream>

#include "cli/cli.h"
#include "cli/terminal_prompter.h"
#include "common/frame_event.h"
#include "protocol/frame.h"
#include "protocol/link.h"

namespace frosk::cli {

namespace {

// The main window's tick.
constexpr int kTickMs = 100;

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// froskctl has no speaker to sound; a lost request shows in what follows.
class SilentBeeper : public Beeper {
 public:
  void Beep() override {}
};

const char* CloseReason(CloseAction action) {
  switch (action) {
    case CloseAction::kCloseAndCheckForUpdates: return "the device was closed to check for software updates";
    case CloseAction::kCloseAndProgramModule: return "the device was closed to program the detection module";
    default: return "the device was closed";
  }
}

}  // namespace

DeviceSession::DeviceSession(const Folders& folders, Options options)
    : options_(options),
      terminalPrompter_(std::make_unique<TerminalPrompter>(options.answerYes)),
      beeper_(std::make_unique<SilentBeeper>()),
      folders_(folders),
      engine_(std::make_unique<DeviceEngine>(
          *this, DeviceSeams{options.clock != nullptr ? *options.clock : steadyClock_,
                             options.prompter != nullptr ? *options.prompter : *terminalPrompter_, *beeper_, folders_,
                             alternation_})),
      configFiles_(std::make_unique<ConfigFileEngine>(*engine_)) {
  engine_->AddRefreshListener([this](GroupMask stored) {
    for (size_t i = 0; i < kGroupCount; ++i) {
      const auto group = static_cast<Group>(i);
      if ((stored & GroupBit(group)) == 0 || (storedMask_ & GroupBit(group)) != 0) continue;
      storedMask_ |= GroupBit(group);
      stored_.push_back(group);
    }
    CheckIdle();
  });
}

DeviceSession::~DeviceSession() {
  if (port_.link != nullptr) LinkClose(&port_.link);
}

int DeviceSession::Open(const std::string& portName) {
  port_.portName = portName;
  PortError error;
  if (LinkOpen(&port_.link, port_, PostFrameEvents(this, kMainWindowFrameEvent), &error) != 0)
    return Failure(OpenFailureText(error));
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] { OnTick(); });
  timer->start(kTickMs);
  return kExitDone;
}

bool DeviceSession::SendToDevice(DeviceEngine&, const uint8_t* item) {
  if (sentListener_) sentListener_(item);
  return port_.link != nullptr && LinkSendItem(port_.link, item) == 0;
}

bool DeviceSession::IsDeviceLinked(const DeviceEngine&) const { return port_.link != nullptr; }

void DeviceSession::RequestClose(DeviceEngine&, CloseAction action) {
  QMetaObject::invokeMethod(
      this, [this, action] { Close(action); }, Qt::QueuedConnection);
}

void DeviceSession::WriteLog(const std::string& line) { std::cerr << line << "\n"; }

void DeviceSession::Close(CloseAction action) {
  if (port_.link != nullptr) LinkClose(&port_.link);
  std::cerr << CloseReason(action) << "\n";
  Stop(kExitFailed);
}

bool DeviceSession::event(QEvent* event) {
  if (event->type() != kMainWindowFrameEvent) return QObject::event(event);
  // Each frame decodes into its own buffer: a question asked while handling
  // it runs a nested loop that may deliver the next frame.
  uint8_t item[FrameCutter::kCapacity];
  const FrameBlock& block = static_cast<FrameEvent*>(event)->Block();
  if (port_.link != nullptr && block.owner == port_.link && DecodeItem(item, sizeof item, block.Frame()).ok())
    engine_->ReceiveItem(item);
  return true;
}

void DeviceSession::OnTick() {
  if (interrupted != 0) {
    Stop(kExitDone);
    return;
  }
  engine_->Tick();
  CheckIdle();
}

void DeviceSession::CheckIdle() {
  if (!untilIdle_ || result_) return;
  const DeviceEngine& engine = *engine_;
  if (!engine.Idle() || engine.HasQueuedItem()) return;
  Stop(engine.Timeouts() != timeoutsAtStart_ ? kExitFailed : kExitDone);
}

void DeviceSession::Stop(int exitCode) {
  if (result_) return;
  result_ = exitCode;
  QCoreApplication::exit(exitCode);
}

int DeviceSession::Loop(bool untilIdle) {
  if (port_.link == nullptr) return kExitFailed;
  untilIdle_ = untilIdle;
  timeoutsAtStart_ = engine_->Timeouts();
  result_.reset();
  QMetaObject::invokeMethod(
      this, [this] { CheckIdle(); }, Qt::QueuedConnection);
  QCoreApplication::exec();
  untilIdle_ = false;
  return *result_;
}

int DeviceSession::RunUntilIdle() { return Loop(true); }

int DeviceSession::RunUntilStopped() { return Loop(false); }

int DeviceSession::Run() {
  interrupted = 0;
  std::signal(SIGINT, OnInterrupt);
  const int result = Loop(false);
  std::signal(SIGINT, SIG_DFL);
  return result;
}

std::vector<Group> DeviceSession::TakeStoredGroups() {
  storedMask_ = 0;
  return std::exchange(stored_, {});
}

}  // namespace frosk::cli
