#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "cli/terminal_prompter.h"
#include "common/folders.h"
#include "common/link_layer.h"
#include "common/signal_notifier.h"
#include "common/tick_clock.h"
#include "device/device_connection.h"

namespace frosk::cli {

// What froskctl says when a device's engine asked to be closed.
const char* CloseReason(CloseAction action);

// Runs one device's connection in froskctl's event loop, as the main window
// runs it: a 100 ms timer ticks it, and the engine's close request ends the
// run with a line on standard error. Each change of the link's health and
// each request that timed out is a line on standard error naming the port; a
// lost connection ends the run (1). froskctl's device verbs run on it.
class DeviceSession : public QObject, private ConnectionOwner {
 public:
  struct Options {
    bool answerYes = false;
    bool serviceModeSetting = false;
    // Tests replace the steady clock and the terminal's questions.
    const TickClock* clock = nullptr;
    Prompter* prompter = nullptr;
    // SIGINT and SIGTERM, taken as each run says; without it they are left alone.
    SignalNotifier* interrupts = nullptr;
  };

  // What SIGINT or SIGTERM does to a run.
  enum class OnInterrupt {
    kEnd,             // ends it at once: 128 + the signal
    kEndWithSuccess,  // ends it at once: 0, for a run that goes on until stopped
    kFinishInFlight,  // only noted (Interrupted): the run goes on, so a write awaits its reply
  };

  DeviceSession(const std::string& portName, const Folders& folders, Options options);
  ~DeviceSession() override;

  // Opens the port and starts the tick. 0, or froskctl's exit code after
  // saying why the port did not open (2 for an empty name).
  int Open();

  DeviceConnection& Connection() { return *connection_; }
  DeviceEngine& Engine() { return connection_->Engine(); }
  ConfigFileEngine& ConfigFiles() { return connection_->ConfigFiles(); }

  // Runs the event loop until the engine is idle with nothing in flight or
  // queued. 0; 1 after a time-out or when the engine asked to be closed.
  int RunUntilIdle(OnInterrupt onInterrupt = OnInterrupt::kEnd);
  // Runs the event loop until Stop or a close request (1).
  int Run(OnInterrupt onInterrupt = OnInterrupt::kEnd);
  void Stop(int exitCode);
  // The first SIGINT or SIGTERM that came while the session lived, 0 for
  // none; known at once, before the loop has seen it.
  int Interrupted() const;

  // The groups the device's replies filled since the last TakeStoredGroups,
  // each once, in the order they were first filled.
  std::vector<Group> TakeStoredGroups();

  // Whether a request that timed out gets its own line (on by default). A verb
  // that polls on through silence turns it off: the health lines say it once.
  void SetTimeoutLines(bool on) { timeoutLines_ = on; }

  // Called with every item handed to the link.
  void SetSentListener(std::function<void(const uint8_t* item)> listener) { links_.sent = std::move(listener); }

 private:
  // The serial links, with every item sent shown to the listener.
  struct WatchedLinks : LinkLayer {
    int SendItem(Link* link, const uint8_t* item) override {
      if (sent) sent(item);
      return LinkLayer::SendItem(link, item);
    }
    std::function<void(const uint8_t* item)> sent;
  };

  // ConnectionOwner
  bool ServiceModeSetting() const override { return options_.serviceModeSetting; }
  bool DevicesReachable() const override { return true; }
  void CloseRequested(DeviceConnection& connection, CloseAction action) override;
  // A line on standard error.
  void WriteLog(DeviceConnection& connection, const std::string& line) override;

  int Loop(bool untilIdle, OnInterrupt onInterrupt);
  void CheckIdle();
  void CheckInterrupted();
  void OnTick();
  void OnHealthChanged(const LinkHealth& health);
  void OnRequestFinished(const RequestOutcome& outcome);

  Options options_;
  SteadyTickClock steadyClock_;
  TerminalPrompter terminalPrompter_;
  SilentBeeper beeper_;
  Folders folders_;
  WatchedLinks links_;
  std::unique_ptr<DeviceConnection> connection_;
  QTimer timer_;
  std::vector<Group> stored_;
  GroupMask storedMask_ = 0;
  bool untilIdle_ = false;
  OnInterrupt onInterrupt_ = OnInterrupt::kEnd;
  uint32_t timeoutsAtStart_ = 0;
  uint32_t timeoutsReported_ = 0;
  bool timeoutLines_ = true;
  std::optional<int> result_;
};

}  // namespace frosk::cli
