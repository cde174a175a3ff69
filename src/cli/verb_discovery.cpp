// scan and check-update: the discovery engine's port scan and the update check,
// as the program runs them at start-up.
#include <QCoreApplication>
#include <QTimer>
#include <cstring>
#include <iostream>

#include "app/discovery_engine.h"
#include "cli/cli.h"
#include "cli/device_verbs.h"
#include "cli/terminal_prompter.h"
#include "cli/verbs.h"
#include "protocol/value_types.h"
#include "settings/settings_store.h"
#include "updates/update_check.h"

namespace frosk::cli {

namespace {

// The scan asks nothing and opens nothing; should the engine ever say
// something, it goes to standard error and is answered No.
class QuietPrompter : public Prompter {
 public:
  int ShowMessageBox(const std::string& text, unsigned flags) override {
    std::string shown = text;
    for (char& c : shown)
      if (c == '\r') c = '\n';
    std::cerr << shown << "\n";
    const unsigned buttons = flags & mb::kButtonMask;
    return buttons == mb::kYesNo ? kIdNo : buttons == mb::kOkCancel ? kIdCancel : kIdOk;
  }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
};

class NoUrlOpener : public UrlOpener {
 public:
  void Open(const std::string&) override {}
};

}  // namespace

int RunScan(const Invocation& invocation) {
  if (!invocation.args.empty()) return UsageError("scan takes no arguments");
  Settings settings;
  LoadSettings(settings);
  DiscoveryEngine::Options options;
  if (const auto ports = invocation.Option("ports")) {
    options.ports = SplitPortNames(*ports);
    if (options.ports->empty()) return UsageError("--ports names no port: \"" + *ports + "\"");
  }

  SteadyTickClock tickClock;
  SystemWallClock wallClock;
  QuietPrompter prompter;
  NoUrlOpener opener;
  LinkLayer links(SysfsRoot());
  SilentBeeper beeper;
  const Folders folders = ProgramFolders();
  DiscoveryEngine engine({tickClock, wallClock, prompter, opener, settings, links, beeper, folders},
                         std::move(options));
  QObject::connect(&engine, &DiscoveryEngine::StateChanged, [](ScanState state) {
    if (state == ScanState::Ready) QCoreApplication::exit(kExitDone);
  });
  Interrupts interrupts;
  interrupts.EndEventLoop();
  // Straight to the port list: no update check, no start-up delay.
  engine.ReloadDevices();
  engine.StartTimer();
  if (const int result = QCoreApplication::exec(); result != kExitDone) return result;

  for (const auto& entry : engine.Devices()) {
    const std::string_view name(entry->Iden.name, strnlen(entry->Iden.name, sizeof entry->Iden.name));
    std::cout << EscapeText(name) << "\t" << SerialToText(entry->Iden.serial) << "\t"
              << DateToText(entry->Iden.prodDate) << "\t" << EscapeText(entry->Port.portName) << "\n";
  }
  if (engine.Devices().empty()) return Failure("no device found");
  return kExitDone;
}

int RunCheckUpdate(const Invocation& invocation) {
  if (!invocation.args.empty()) return UsageError("check-update takes no arguments");
  UpdateServer server;
  if (const auto text = invocation.Option("update-server")) {
    const std::optional<UpdateServer> parsed = ParseUpdateServer(*text);
    if (!parsed) return UsageError("--update-server takes HOST or HOST:PORT, not \"" + *text + "\"");
    server = *parsed;
  }

  SteadyTickClock clock;
  UpdateCheck check(clock, server);
  int result = kUpdateNone;
  QObject::connect(&check, &UpdateCheck::Finished, [&result](int finished) {
    result = finished;
    QCoreApplication::exit(kExitDone);
  });
  // The same 100 ms tick as the program's paces the check's waits.
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, &check, &UpdateCheck::Poll);
  timer.start(100);
  check.StartUpdateCheck();
  if (result == kUpdateNone) QCoreApplication::exec();

  const UpdateInfo& info = check.Info();
  switch (result) {
    case kUpToDate: std::cout << "up to date (build " << info.build << ")\n"; return kExitDone;
    case kUpdateAvailable:
      std::cout << "update available: build " << info.build << ", version " << EscapeText(info.version) << ", page "
                << EscapeText(info.infoPage) << "\n";
      return kExitDone;
    default: std::cout << "failed\n"; return kExitFailed;
  }
}

}  // namespace frosk::cli
