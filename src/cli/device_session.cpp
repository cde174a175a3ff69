#include "cli/device_session.h"

#include <QCoreApplication>
#include <iostream>

#include "cli/cli.h"
#include "common/wall_clock.h"
#include "protocol/catalogue.h"

namespace frosk::cli {

namespace {

// The main window's tick.
constexpr int kTickMs = 100;

}  // namespace

const char* CloseReason(CloseAction action) {
  switch (action) {
    case CloseAction::kCloseAndCheckForUpdates: return "the device was closed to check for software updates";
    case CloseAction::kCloseAndProgramModule: return "the device was closed to program the detection module";
    default: return "the device was closed";
  }
}

DeviceSession::DeviceSession(const std::string& portName, const Folders& folders, Options options)
    : options_(options),
      terminalPrompter_(options.answerYes),
      folders_(folders),
      connection_(std::make_unique<DeviceConnection>(
          portName, links_,
          DeviceSeams{options.clock != nullptr ? *options.clock : steadyClock_,
                      options.prompter != nullptr ? *options.prompter : terminalPrompter_, beeper_, folders_},
          static_cast<ConnectionOwner&>(*this))) {
  Engine().AddRefreshListener([this](GroupMask stored) {
    for (size_t i = 0; i < kGroupCount; ++i) {
      const auto group = static_cast<Group>(i);
      if ((stored & GroupBit(group)) == 0 || (storedMask_ & GroupBit(group)) != 0) continue;
      storedMask_ |= GroupBit(group);
      stored_.push_back(group);
    }
    CheckIdle();
  });
  connect(connection_.get(), &DeviceConnection::HealthChanged, this, &DeviceSession::OnHealthChanged);
  connect(connection_.get(), &DeviceConnection::RequestFinished, this, &DeviceSession::OnRequestFinished);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, [this] { OnTick(); });
  if (options.interrupts != nullptr)
    connect(options.interrupts, &SignalNotifier::Caught, this, &DeviceSession::CheckInterrupted);
}

DeviceSession::~DeviceSession() = default;

int DeviceSession::Open() {
  if (const int refused = RefuseEmptyPort(connection_->PortName()); refused != kExitDone) return refused;
  PortError error;
  if (!connection_->Open(&error)) return Failure(OpenFailureText(error));
  timer_.start();
  return kExitDone;
}

// The engine asked from inside its dispatch, which has returned by now.
void DeviceSession::CloseRequested(DeviceConnection& connection, CloseAction action) {
  connection.Close();
  std::cerr << CloseReason(action) << "\n";
  Stop(kExitFailed);
}

// One port: its lines need no name.
void DeviceSession::WriteLog(DeviceConnection&, const std::string& line) { std::cerr << line << "\n"; }

void DeviceSession::OnHealthChanged(const LinkHealth& health) {
  const std::string port = connection_->PortName() + ": ";
  switch (health.state) {
    case LinkState::kNotAnswering:
      std::cerr << port << "not answering since " << FormatTime(health.lastReply) << "\n";
      return;
    case LinkState::kLive: std::cerr << port << "answering again\n"; return;
    case LinkState::kLost:
      std::cerr << port << "connection lost\n";
      // Nothing more can come from a closed port: waiting on would hang a script.
      Stop(kExitFailed);
      return;
  }
}

// A request also ends unanswered when it is refused or dropped before it went
// out; only a time-out counts here, and the engine has said why for the others.
void DeviceSession::OnRequestFinished(const RequestOutcome& outcome) {
  if (outcome.answered || Engine().Timeouts() == timeoutsReported_) return;
  timeoutsReported_ = Engine().Timeouts();
  if (!timeoutLines_) return;
  std::cerr << connection_->PortName() << ": no reply to " << AnyKeyName(outcome.command) << " within "
            << DeviceEngine::kReplyTimeoutMs << " ms\n";
}

void DeviceSession::OnTick() {
  connection_->Tick();
  CheckIdle();
}

int DeviceSession::Interrupted() const { return options_.interrupts != nullptr ? SignalNotifier::FirstCaught() : 0; }

void DeviceSession::CheckInterrupted() {
  if (Interrupted() == 0 || result_) return;
  if (onInterrupt_ == OnInterrupt::kEnd) Stop(InterruptedExit(Interrupted()));
  if (onInterrupt_ == OnInterrupt::kEndWithSuccess) Stop(kExitDone);
}

void DeviceSession::CheckIdle() {
  if (!untilIdle_ || result_) return;
  const DeviceEngine& engine = connection_->Engine();
  if (!engine.Idle() || engine.HasQueuedItem()) return;
  Stop(engine.Timeouts() != timeoutsAtStart_ ? kExitFailed : kExitDone);
}

void DeviceSession::Stop(int exitCode) {
  if (result_) return;
  result_ = exitCode;
  QCoreApplication::exit(exitCode);
}

int DeviceSession::Loop(bool untilIdle, OnInterrupt onInterrupt) {
  if (!connection_->IsOpen()) return kExitFailed;
  untilIdle_ = untilIdle;
  onInterrupt_ = onInterrupt;
  timeoutsAtStart_ = Engine().Timeouts();
  result_.reset();
  // A signal that came between two runs counts for this one.
  QMetaObject::invokeMethod(
      this,
      [this] {
        CheckInterrupted();
        CheckIdle();
      },
      Qt::QueuedConnection);
  QCoreApplication::exec();
  untilIdle_ = false;
  return *result_;
}

int DeviceSession::RunUntilIdle(OnInterrupt onInterrupt) { return Loop(true, onInterrupt); }

int DeviceSession::Run(OnInterrupt onInterrupt) { return Loop(false, onInterrupt); }

std::vector<Group> DeviceSession::TakeStoredGroups() {
  storedMask_ = 0;
  return std::exchange(stored_, {});
}

}  // namespace frosk::cli
