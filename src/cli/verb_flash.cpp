// flash: programs a target through the same runner the programming dialog uses.
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli/cli.h"
#include "cli/verbs.h"
#include "common/folders.h"
#include "common/tick_clock.h"
#include "firmware/firmware_files.h"
#include "firmware/programmer_runner.h"
#include "protocol/text_number.h"

namespace frosk::cli {

namespace {

bool UsesUsbProgrammer(int target) { return target >= 5; }

// How long a programmer that has verified may take to close its session with the device.
constexpr int kSessionEndMs = 5000;

// Prints what the dialog would show as it changes: each new status line, and
// the progress as it moves.
class ProgressPrinter {
 public:
  explicit ProgressPrinter(const ProgrammerRunner& runner) : runner_(runner) {}

  void Update() {
    if (runner_.State() != ProgrammingState::kInProgress) return;
    if (const std::string status = runner_.StatusText(); status != status_) {
      status_ = status;
      std::cout << status << std::endl;
    }
    if (runner_.Progress() != progress_) {
      progress_ = runner_.Progress();
      std::cout << progress_ << "%" << std::endl;
    }
  }

 private:
  const ProgrammerRunner& runner_;
  std::string status_;
  int progress_ = 0;
};

// The signal that ended the run, or 0.
volatile sig_atomic_t endingSignal = 0;

// A tool left writing into a device nobody follows any more is how a device
// is bricked: it is ended here, at once, before anything else.
void OnEndingSignal(int signal) {
  EndRunningTools();
  endingSignal = signal;
}

// Ends the tool on SIGINT and SIGTERM for as long as the run lasts. (The
// system kills it when we die of anything else.)
class EndToolOnSignals {
 public:
  EndToolOnSignals() {
    endingSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInterrupt_);
    sigaction(SIGTERM, &action, &oldTerminate_);
  }
  ~EndToolOnSignals() {
    sigaction(SIGINT, &oldInterrupt_, nullptr);
    sigaction(SIGTERM, &oldTerminate_, nullptr);
  }
  EndToolOnSignals(const EndToolOnSignals&) = delete;
  EndToolOnSignals& operator=(const EndToolOnSignals&) = delete;

 private:
  struct sigaction oldInterrupt_ {};
  struct sigaction oldTerminate_ {};
};

}  // namespace

int RunFlash(const Invocation& invocation) {
  if (invocation.args.size() != 1) return UsageError("flash takes one TARGET (1 to 6)");
  const std::optional<int64_t> parsed = ParseInteger(invocation.args[0]);
  if (!parsed || *parsed < 1 || *parsed > kTargetCount) return UsageError("TARGET must be 1 to 6");
  const int target = static_cast<int>(*parsed);
  const std::string port = invocation.Option("port").value_or("");
  if (TargetUsesPort(target) && port.empty()) return UsageError("target " + invocation.args[0] + " needs --port");
  if (UsesUsbProgrammer(target) && invocation.Has("port"))
    return UsageError("target " + invocation.args[0] + " programs through the USB programmer and takes no --port");

  const Folders folders = Folders::ForExecutable(QCoreApplication::applicationDirPath().toStdString());
  // The tool runs in its own folder, so a file named relative to ours is made absolute.
  std::string file = TargetDefaultFile(folders, target);
  if (const auto given = invocation.Option("file")) {
    std::error_code ignored;
    file = std::filesystem::absolute(*given, ignored).string();
  }

  const EndToolOnSignals endToolOnSignals;
  SteadyTickClock clock;
  ProgrammerRunner runner(clock, folders);
  ProgressPrinter printer(runner);
  QObject::connect(&runner, &ProgrammerRunner::Changed, [&printer] { printer.Update(); });
  runner.SetJob(target, port, file);
  runner.SetState(ProgrammingState::kReady);
  runner.Start();

  if (runner.State() == ProgrammingState::kInProgress) {
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&runner] {
      if (endingSignal == 0) runner.Tick();
      if (endingSignal != 0 || runner.State() != ProgrammingState::kInProgress) QCoreApplication::quit();
    });
    timer.start(100);
    QCoreApplication::exec();
  }
  if (endingSignal != 0) {
    const bool halfWritten = runner.State() == ProgrammingState::kInProgress && runner.Step() >= step::kUploading;
    std::cerr << "froskctl: interrupted" << (halfWritten ? "; the device is half-written: program it again" : "")
              << "\n";
    // As a shell reports a program ended by the signal: 130 for SIGINT.
    return 128 + endingSignal;
  }
  runner.WaitForTool(kSessionEndMs);

  if (invocation.Has("log")) std::cout << runner.Log() << std::flush;
  if (runner.State() == ProgrammingState::kDone) {
    std::cout << "Congratulations! Your device has been upgraded." << std::endl;
    return kExitDone;
  }
  std::cerr << runner.ErrorText() << "\n";
  if (!runner.Detail().empty()) std::cerr << runner.Detail() << "\n";
  if (runner.Step() == step::kRepeatProgramming) {
    std::cerr << "A retry programs target " << runner.Target() << " with " << runner.File() << ":\n  froskctl flash "
              << runner.Target() << " --port " << ShellWord(runner.PortName()) << " --file " << ShellWord(runner.File())
              << "\n";
  }
  return kExitFailed;
}

}  // namespace frosk::cli
