#pragma once

#include <signal.h>

#include <optional>
#include <string>

#include "cli/cli.h"
#include "cli/device_session.h"
#include "common/folders.h"
#include "common/signal_notifier.h"

namespace frosk::cli {

// What the verbs that talk to a device share.

// SIGINT and SIGTERM for as long as a verb runs: each verb says what they do.
class Interrupts : public SignalNotifier {
 public:
  Interrupts() : SignalNotifier({SIGINT, SIGTERM}, Ignored::kCatch) {}
  // For a verb with nothing to finish: the event loop ends at once with
  // 128 + the signal.
  void EndEventLoop();
};

// The session's options for the invocation: --yes, the ServiceMode setting
// read from the stored settings, as the program reads it, and the verb's
// interrupts.
DeviceSession::Options SessionOptions(const Invocation& invocation, Interrupts& interrupts);
// The data folders of froskctl.
Folders ProgramFolders();
// Opens the session's port and runs the reading sequence with the monitors
// left alone. 0, or the exit code after saying why not.
int ReadDevice(DeviceSession& session, DeviceSession::OnInterrupt onInterrupt = DeviceSession::OnInterrupt::kEnd);

// --duration SECONDS: how long monitor polls, counted from its first poll.
// 0, or the usage error's exit code after saying why.
int ParseMonitorDuration(const Invocation& invocation, std::optional<int>& durationMs);

}  // namespace frosk::cli
