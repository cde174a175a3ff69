#include "firmware/tool_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QStringList>
#include <algorithm>
#include <cerrno>

namespace frosk {

namespace {

// How long a tool that was let go may take to close its session before it is ended.
constexpr int kEndGraceMs = 1000;
// A killed process is gone at once unless the system is stuck in a driver;
// this bounds the wait even then.
constexpr int kKillWaitMs = 5000;

}  // namespace

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
    // In the child, between fork and exec: only async-signal-safe calls.
    // A tool that is let go must not die of a broken pipe mid-session.
    process_.setChildProcessModifier([writeFd] {
      dup2(writeFd, STDOUT_FILENO);
      dup2(writeFd, STDERR_FILENO);
      signal(SIGPIPE, SIG_IGN);
    });
  } else {
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
  }
  process_.start();
  const bool started = process_.waitForStarted();
  if (writeFd >= 0) close(writeFd);
  if (!started) ClosePipe();
  return started;
}

bool ToolProcess::HasEnded() {
  if (process_.state() == QProcess::NotRunning) return true;
  // Collects the tool's end without needing the event loop to have run.
  process_.waitForFinished(0);
  return process_.state() == QProcess::NotRunning;
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
  if (process_.state() == QProcess::NotRunning) return;
  process_.kill();
  process_.waitForFinished(kKillWaitMs);
}

void ToolProcess::LetGo() {
  letGo_ = true;
  ClosePipe();
}

void ToolProcess::WaitForEnd(int ms) {
  ClosePipe();
  if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(ms)) End();
}

void ToolProcess::ClosePipe() {
  if (outputFd_ >= 0) close(outputFd_);
  outputFd_ = -1;
}

}  // namespace frosk
