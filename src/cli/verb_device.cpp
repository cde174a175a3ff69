// read, monitor and set: the device engine's reading sequence, monitoring and
// setpoint writes over one port, as the device window runs them.
#include <QCoreApplication>
#include <QTimer>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/device_session.h"
#include "cli/device_verbs.h"
#include "cli/monitor_printer.h"
#include "cli/verbs.h"
#include "protocol/field_text.h"
#include "protocol/holders.h"
#include "protocol/keys.h"
#include "protocol/text_number.h"
#include "settings/settings_store.h"
#include "trends/recorder.h"

namespace frosk::cli {

using namespace key;

// The ServiceMode setting is read from the stored settings, as the program reads it.
void Interrupts::EndEventLoop() {
  QObject::connect(this, &SignalNotifier::Caught, [](int signal) { QCoreApplication::exit(InterruptedExit(signal)); });
}

DeviceSession::Options SessionOptions(const Invocation& invocation, Interrupts& interrupts) {
  Settings settings;
  LoadSettings(settings);
  DeviceSession::Options options;
  options.answerYes = invocation.Has("yes");
  options.serviceModeSetting = settings.ServiceMode;
  options.interrupts = &interrupts;
  return options;
}

Folders ProgramFolders() { return Folders::ForExecutable(QCoreApplication::applicationDirPath().toStdString()); }

int ReadDevice(DeviceSession& session, DeviceSession::OnInterrupt onInterrupt) {
  if (const int opened = session.Open(); opened != kExitDone) return opened;
  session.Engine().SetDeviceMonitorAuto(false);
  session.Engine().SetModuleMonitorAuto(false);
  return session.RunUntilIdle(onInterrupt);
}

namespace {

std::string FieldName(Group group, size_t index) { return std::string(GroupContainer(group).fields[index].name); }

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

void PrintGroups(DeviceEngine& engine, const std::vector<Group>& groups, bool json) {
  if (!json) {
    for (const Group group : groups) {
      const auto holders = engine.Holders(group);
      for (size_t i = 0; i < holders.size(); ++i)
        std::cout << GroupName(group) << "." << FieldName(group, i) << "=" << EscapeText(holders[i].ValueToText())
                  << "\n";
    }
    return;
  }
  std::cout << "{";
  for (size_t g = 0; g < groups.size(); ++g) {
    const auto holders = engine.Holders(groups[g]);
    std::cout << (g == 0 ? "\n  " : ",\n  ") << JsonString(std::string(GroupName(groups[g]))) << ": {";
    for (size_t i = 0; i < holders.size(); ++i)
      std::cout << (i == 0 ? "\n    " : ",\n    ") << JsonString(FieldName(groups[g], i)) << ": "
                << JsonString(EscapeText(holders[i].ValueToText()));
    std::cout << "\n  }";
  }
  std::cout << "\n}\n";
}

}  // namespace

int RunRead(const Invocation& invocation) {
  if (invocation.args.size() != 1) return UsageError("read takes one PORT");
  Interrupts interrupts;
  DeviceSession session(invocation.args[0], ProgramFolders(), SessionOptions(invocation, interrupts));
  if (const int result = ReadDevice(session); result != kExitDone) return result;
  PrintGroups(session.Engine(), session.TakeStoredGroups(), invocation.Has("json"));
  return kExitDone;
}

namespace {

// --output FILE [--append]: where monitor records its replies. The file is
// checked before the device is opened, so a refused file costs no device time
// and a device that does not open leaves no file behind.
struct MonitorOutput {
  std::string path;
  MonitorCsvWriter::Mode mode;
};

int ParseMonitorOutput(const Invocation& invocation, std::optional<MonitorOutput>& output) {
  const std::optional<std::string> path = invocation.Option("output");
  if (!path) return invocation.Has("append") ? UsageError("--append goes with --output") : kExitDone;
  if (invocation.args.size() != 1) return UsageError("--output records one PORT");
  if (path->empty()) return UsageError("--output needs a FILE");
  const MonitorCsvWriter::Mode mode =
      invocation.Has("append") ? MonitorCsvWriter::Mode::kAppend : MonitorCsvWriter::Mode::kNew;
  std::string why;
  switch (MonitorCsvWriter::Check(*path, mode, &why)) {
    case MonitorCsvWriter::Opened::kYes: break;
    case MonitorCsvWriter::Opened::kRefused:
      return UsageError(*path + " " + why + (mode == MonitorCsvWriter::Mode::kNew ? " (--append adds to it)" : ""));
    case MonitorCsvWriter::Opened::kFailed: return Failure(*path + ": " + why);
  }
  output = MonitorOutput{*path, mode};
  return kExitDone;
}

}  // namespace

int ParseMonitorDuration(const Invocation& invocation, std::optional<int>& durationMs) {
  const std::optional<std::string> text = invocation.Option("duration");
  if (!text) return kExitDone;
  const std::optional<double> seconds = ParseDecimal(*text);
  // A QTimer counts to 24 days.
  if (!seconds || !(*seconds > 0) || *seconds > 2'000'000)
    return UsageError("--duration needs a positive number of seconds, not \"" + *text + "\"");
  durationMs = static_cast<int>(std::ceil(*seconds * 1000));
  return kExitDone;
}

namespace {

// Starts recording the session's replies; a file that takes no more ends the
// run with exit 1, every row before it kept.
int StartMonitorOutput(DeviceSession& session, const MonitorOutput& output, std::unique_ptr<Recorder>& recorder,
                       const TickClock& tickClock, const WallClock& wallClock) {
  recorder =
      std::make_unique<Recorder>(session.Connection(), Recorder::Seams{tickClock, wallClock, FileCalls::System()});
  std::string why;
  if (recorder->Start(output.path, output.mode, &why) != MonitorCsvWriter::Opened::kYes)
    return Failure(output.path + ": " + why);
  QObject::connect(recorder.get(), &Recorder::Failed, &session, [&session](const QString& failure) {
    std::cerr << "recording stopped: " << failure.toStdString() << "\n";
    session.Stop(kExitFailed);
  });
  return kExitDone;
}

}  // namespace

int RunMonitor(const Invocation& invocation) {
  if (invocation.args.size() > 1 || invocation.Has("textfile")) return RunFleetMonitor(invocation);
  std::optional<MonitorOutput> output;
  if (const int parsed = ParseMonitorOutput(invocation, output); parsed != kExitDone) return parsed;
  std::optional<int> durationMs;
  if (const int parsed = ParseMonitorDuration(invocation, durationMs); parsed != kExitDone) return parsed;
  if (invocation.args.size() != 1) return UsageError("monitor takes one PORT");
  std::optional<int64_t> count;
  if (const auto text = invocation.Option("count")) {
    count = ParseInteger(*text);
    if (!count || *count < 1 || text->find_first_not_of("0123456789") != std::string::npos)
      return UsageError("--count needs a positive whole number, not \"" + *text + "\"");
  }
  // Ctrl+C is how a monitor is ended, also while it reads the device first.
  Interrupts interrupts;
  DeviceSession session(invocation.args[0], ProgramFolders(), SessionOptions(invocation, interrupts));
  if (const int result = ReadDevice(session, DeviceSession::OnInterrupt::kEndWithSuccess); result != kExitDone)
    return result;

  DeviceEngine& engine = session.Engine();
  const SteadyTickClock clock;
  const SystemWallClock wallClock;
  std::unique_ptr<Recorder> recorder;
  if (output)
    if (const int started = StartMonitorOutput(session, *output, recorder, clock, wallClock); started != kExitDone)
      return started;
  MonitorPrinter printer(engine, invocation.Has("csv"));
  int64_t replies = 0;
  // A device that stops answering is polled on; the session's health lines
  // tell when it stopped and when it came back, once each.
  session.SetTimeoutLines(false);
  engine.AddRefreshListener([&](GroupMask stored) {
    if (printer.OnRefresh(stored, clock.Now()) && count && ++replies >= *count) session.Stop(kExitDone);
  });
  QObject::connect(&session.Connection(), &DeviceConnection::HealthChanged, &session, [&](const LinkHealth& health) {
    if (health.state != LinkState::kLive && recorder != nullptr) recorder->NotAnswering();
  });
  if (durationMs) QTimer::singleShot(*durationMs, &session, [&session] { session.Stop(kExitDone); });
  // Both Auto boxes checked, as the user view starts.
  engine.SetDeviceMonitorAuto(true);
  engine.SetModuleMonitorAuto(true);
  return session.Run(DeviceSession::OnInterrupt::kEndWithSuccess);
}

namespace {

struct Assignment {
  const FieldSpec* field;
  bool veltra;  // a MODULE_VELTRA_PARAMS field, else MODULE_BASIC_PARAMS
  std::string text;
};

int ParseAssignments(const std::vector<std::string>& words, std::vector<Assignment>& assignments) {
  for (const std::string& word : words) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos) return UsageError("\"" + word + "\" is not FIELD=VALUE");
    const std::string name = word.substr(0, equals);
    Assignment assignment{nullptr, false, word.substr(equals + 1)};
    if ((assignment.field = FindFieldByName(*FindContainer(MODULE_BASIC_PARAMS), name)) == nullptr) {
      assignment.field = FindFieldByName(*FindContainer(MODULE_VELTRA_PARAMS), name);
      assignment.veltra = true;
    }
    if (assignment.field == nullptr)
      return UsageError(name +
                        " is not a field of the user settings (MODULE_BASIC_PARAMS_... or MODULE_VELTRA_PARAMS_...)");
    VFroskClass scratch;
    InitHolder(scratch, *assignment.field);
    if (const std::string error = SetFieldFromText(scratch, assignment.text); !error.empty())
      return UsageError(name + ": " + error);
    assignments.push_back(assignment);
  }
  return kExitDone;
}

// Sets one field of the user set as the window's controls do: parsed, then
// clamped to the band the controller allows (its own limits in service mode).
void Apply(DeviceEngine& engine, const Assignment& assignment) {
  const Key key = assignment.field->key;
  const VFroskClass& field = engine.UserSetting(key)->value;
  VFroskClass parsed = field;
  SetFieldFromText(parsed, assignment.text);
  const DeviceEngine::SettingChange change = engine.SetSetting(key, parsed.GetAsInt());
  const std::optional<int64_t> asked = field.RawFromText(assignment.text);
  if (change.clamped || (asked && *asked != parsed.GetAsInt()))
    std::cerr << assignment.field->name << "=" << assignment.text << " clamped to " << field.ValueToText() << "\n";
}

}  // namespace

int RunSet(const Invocation& invocation) {
  if (invocation.args.size() < 2) return UsageError("set needs a PORT and at least one FIELD=VALUE");
  std::vector<Assignment> assignments;
  if (const int parsed = ParseAssignments({invocation.args.begin() + 1, invocation.args.end()}, assignments);
      parsed != kExitDone)
    return parsed;

  Interrupts interrupts;
  DeviceSession session(invocation.args[0], ProgramFolders(), SessionOptions(invocation, interrupts));
  if (const int result = ReadDevice(session); result != kExitDone) return result;
  DeviceEngine& engine = session.Engine();
  bool controller = false, module = false;
  for (const Assignment& assignment : assignments) (assignment.veltra ? module : controller) = true;
  // The window offers these settings only for the module that is there.
  if (controller && !engine.ControllerReady()) return Failure("the controller has no detection module");
  if (module && !engine.VeltraReady()) return Failure("the detection module is not a VELTRA module");

  for (const Assignment& assignment : assignments) Apply(engine, assignment);
  session.TakeStoredGroups();
  // One record at a time: Ctrl+C lets the one on its way be answered and
  // sends no other, so the device holds each record whole, old or new.
  struct Write {
    bool wanted;
    bool (DeviceEngine::*send)();
    const char* what;
  };
  const Write writes[] = {{controller, &DeviceEngine::WriteControllerSettings, "the controller's settings"},
                          {module, &DeviceEngine::WriteModuleSettings, "the VELTRA module's settings"}};
  std::string unsent;
  for (const Write& write : writes) {
    if (!write.wanted) continue;
    if (session.Interrupted() != 0) {
      unsent += unsent.empty() ? write.what : std::string(" and ") + write.what;
      continue;
    }
    (engine.*write.send)();
    // The session said why: the request that timed out, the lost connection.
    if (session.RunUntilIdle(DeviceSession::OnInterrupt::kFinishInFlight) != kExitDone) return kExitFailed;
  }
  PrintGroups(engine, session.TakeStoredGroups(), invocation.Has("json"));
  if (const int signal = session.Interrupted(); signal != 0)
    return InterruptedExit(signal, unsent.empty() ? "" : unsent + " not sent");
  return kExitDone;
}

}  // namespace frosk::cli
