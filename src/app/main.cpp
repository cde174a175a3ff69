// froskmanager: the desktop program.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/discovery_engine.h"
#include "app/main_form.h"
#include "app/program_options.h"
#include "app/session_end.h"
#include "app/startup_windows.h"
#include "common/link_layer.h"
#include "common/program_version.h"
#include "common/widget_seams.h"

namespace {

// An error that escapes an event handler is dropped: the handler's own
// message boxes have said what the user must know, and the program goes on.
class FroskApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "froskmanager: dropped an error: %s\n", error.what());
    } catch (...) {
      std::fprintf(stderr, "froskmanager: dropped an error\n");
    }
    return false;
  }
};

int Run(QApplication& app, const frosk::ProgramOptions& options) {
  using namespace frosk;
  Settings settings;
  SteadyTickClock tickClock;
  SystemWallClock wallClock;
  MessageBoxPrompter prompter;
  DesktopUrlOpener urlOpener;
  LinkLayer links;
  ApplicationBeeper beeper;
  const Folders folders = Folders::ForExecutable(QCoreApplication::applicationDirPath().toStdString());
  DiscoveryEngine engine({tickClock, wallClock, prompter, urlOpener, settings, links, beeper, folders}, options.engine);
  // The windows go before the engine and the application object: the
  // settings dialog saves the settings as it goes.
  StartupWindows windows(engine, settings, {tickClock, prompter, beeper, folders});
  // Not quit(): that first asks every window to close, and the splash refuses.
  QObject::connect(&windows.MainForm(), &TMainForm::Closed, &app, [] { QCoreApplication::exit(0); });
  SessionEnd sessionEnd([&settings] { SaveSettings(settings); });
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  // Help and the version need no display: answer them before Qt looks for one.
  if (frosk::PrintVersionIfAsked("froskmanager", argc, argv)) return 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "-h") != 0) continue;
    std::fputs(frosk::kProgramUsage, stdout);
    return 0;
  }

  FroskApplication app(argc, argv);
  // The exit sequence decides when the program ends, not the last window.
  app.setQuitOnLastWindowClosed(false);

  frosk::ProgramOptions options;
  std::string error;
  if (!frosk::ParseProgramOptions(app.arguments(), options, error)) {
    std::fprintf(stderr, "froskmanager: %s\n%s", error.c_str(), frosk::kProgramUsage);
    return 2;
  }
  try {
    return Run(app, options);
  } catch (const std::exception& failure) {
    QMessageBox::critical(nullptr, QStringLiteral("Frosk Manager"), QString::fromLocal8Bit(failure.what()));
    return 1;
  }
}
