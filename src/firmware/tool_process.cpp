#include "firmware/tool_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cerrno>

namespace frosk {

namespace {

// How long a tool that was let go may take to close its session before it is ended.
constexpr int kEndGraceMs = 1000;
// A killed process is gone at once unless the system is stuck in a driver;
// this bounds the wait even then.
constexpr int kKillWaitMs = 5000;

// The process groups of the tools running now, for EndRunningTools. A signal
// handler reads them, so they are lock-free atomics and never allocated. A
// tool that finds no free place is still killed when we die (the parent-death
// signal), only not before.
constexpr size_t kMaxRunningTools = 8;
std::atomic<pid_t> runningGroups[kMaxRunningTools];
static_assert(std::atomic<pid_t>::is_always_lock_free);

void Remember(pid_t group) {
  for (auto& slot : runningGroups) {
    pid_t none = 0;
    if (slot.compare_exchange_strong(none, group)) return;
  }
}

void Forget(pid_t group) {
  for (auto& slot : runningGroups) {
    pid_t expected = group;
    slot.compare_exchange_strong(expected, 0);
  }
}

}  // namespace

void EndRunningTools() {
  for (const auto& slot : runningGroups)
    if (const pid_t group = slot.load(); group > 0) kill(-group, SIGKILL);
}

ToolProcess::~ToolProcess() {
  if (letGo_) {
    WaitForEnd(kEndGraceMs);
  } else {
    End();
  }
}

bool ToolProcess::Start(const ToolCommand& command, bool captureOutput) {
  if (command.program.empty() || process_.state() != QProcess::NotRunning) return false;
  QStringList arguments;
  for (const std::string& argument : command.arguments) arguments << QString::fromStdString(argument);
  process_.setProgram(QString::fromStdString(command.program));
  process_.setArguments(arguments);
  process_.setWorkingDirectory(QString::fromStdString(command.workingFolder));
  process_.setStandardInputFile(QProcess::nullDevice());

  int writeFd = -1;
  if (captureOutput) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    // Only our end waits for nothing; the tool writes to an ordinary blocking pipe.
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    outputFd_ = fds[0];
    writeFd = fds[1];
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
  } else {
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
  }
  const pid_t parent = getpid();
  // In the child, between fork and exec: only async-signal-safe calls.
  process_.setChildProcessModifier([writeFd, parent] {
    // A group of its own, so that ending the tool ends whatever it started too.
    setpgid(0, 0);
    // Killed when we die, however we die. A parent that died before this took
    // hold has handed us to another, which the test after it sees.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (writeFd < 0) return;
    dup2(writeFd, STDOUT_FILENO);
    dup2(writeFd, STDERR_FILENO);
    // A tool that is let go must not die of a broken pipe mid-session.
    signal(SIGPIPE, SIG_IGN);
  });
  process_.start();
  const bool started = process_.waitForStarted();
  if (writeFd >= 0) close(writeFd);
  if (!started) {
    ClosePipe();
    return false;
  }
  group_ = static_cast<pid_t>(process_.processId());
  Remember(group_);
  return true;
}

bool ToolProcess::Collected() {
  if (process_.state() != QProcess::NotRunning) return false;
  Forget(group_);
  return true;
}

bool ToolProcess::HasEnded() {
  if (Collected()) return true;
  // Collects the tool's end without needing the event loop to have run.
  process_.waitForFinished(0);
  return Collected();
}

bool ToolProcess::ReadOutput(std::string& log, size_t limit) {
  if (outputFd_ < 0) return !HasEnded();
  // Asked twice: the tool may write its last words and end between the first
  // question and the test for its end.
  for (int pass = 0; pass < 2; ++pass) {
    int waiting = 0;
    if (ioctl(outputFd_, FIONREAD, &waiting) != 0) return false;
    if (waiting > 0) {
      std::string chunk(std::min(static_cast<size_t>(waiting), limit), '\0');
      const ssize_t count = read(outputFd_, chunk.data(), chunk.size());
      if (count < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (count > 0) log.append(chunk.data(), static_cast<size_t>(count));
      return true;
    }
    if (pass == 0 && !HasEnded()) return true;
  }
  return false;
}

void ToolProcess::End() {
  ClosePipe();
  if (Collected()) return;
  // The group, not the tool alone: what it started goes with it. Its number
  // cannot have been reused, as the tool is not collected yet.
  kill(-group_, SIGKILL);
  process_.waitForFinished(kKillWaitMs);
  Collected();
}

void ToolProcess::LetGo() {
  letGo_ = true;
  ClosePipe();
}

void ToolProcess::WaitForEnd(int ms) {
  ClosePipe();
  if (!Collected() && !process_.waitForFinished(ms)) End();
  Collected();
}

void ToolProcess::ClosePipe() {
  if (outputFd_ >= 0) close(outputFd_);
  outputFd_ = -1;
}

}  // namespace frosk
