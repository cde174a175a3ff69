// monitor of several ports, and the station service's --textfile: one
// process watching many controllers.
#include <unistd.h>

#include <QTimer>
#include <set>

#include "cli/device_verbs.h"
#include "cli/fleet_monitor.h"
#include "cli/verbs.h"

namespace frosk::cli {

namespace {

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace

int RunFleetMonitor(const Invocation& invocation) {
  const std::optional<std::string> folder = invocation.Option("textfile");
  if (invocation.args.empty()) return UsageError("monitor takes at least one PORT");
  // The lines of several ports interleave, and the station's file holds what a CSV would.
  if (invocation.Has("output")) return UsageError("--output records one PORT, without --textfile");
  for (const char* option : {"csv", "count", "append"})
    if (invocation.Has(option))
      return UsageError(std::string("--") + option + " goes with one PORT without --textfile");
  if (invocation.Has("station") && !folder) return UsageError("--station goes with --textfile");
  if (folder && folder->empty()) return UsageError("--textfile needs a DIR");
  std::set<std::string> seen;
  for (const std::string& port : invocation.args) {
    if (const int refused = RefuseEmptyPort(port); refused != kExitDone) return refused;
    if (!seen.insert(port).second) return UsageError(port + " is named twice");
  }
  std::optional<int> durationMs;
  if (const int parsed = ParseMonitorDuration(invocation, durationMs); parsed != kExitDone) return parsed;

  std::unique_ptr<StationTextfile> textfile;
  const std::string station = invocation.Option("station").value_or(HostName());
  if (folder) {
    if (!IsStationName(station))
      return UsageError("--station needs a name of letters, digits, \".\", \"_\" and \"-\", not \"" + station + "\"");
    std::string why;
    if ((textfile = StationTextfile::Open(*folder, station, &why)) == nullptr) return Failure(why);
  }

  Interrupts interrupts;
  const DeviceSession::Options session = SessionOptions(invocation, interrupts);
  const SteadyTickClock clock;
  const SystemWallClock wallClock;
  // Questions are never waited for: one device's question would stop every other.
  TerminalPrompter prompter(session.answerYes, TerminalPrompter::Asking::kNever);
  SilentBeeper beeper;
  const Folders folders = ProgramFolders();
  FleetMonitor monitor({invocation.args, station, textfile.get(), session.serviceModeSetting},
                       {clock, wallClock, prompter, beeper, folders});
  if (const int started = monitor.Start(); started != kExitDone) return started;
  // Ending on a signal or after --duration is how a watch ends well: exit 0.
  const auto end = [&monitor] {
    monitor.Finish();
    monitor.Stop(kExitDone);
  };
  QObject::connect(&interrupts, &SignalNotifier::Caught, &monitor, end);
  if (durationMs) QTimer::singleShot(*durationMs, &monitor, end);
  const int result = monitor.Run();
  if (result != kExitDone) monitor.Finish();
  return result;
}

}  // namespace frosk::cli
