#pragma once

#include <sys/types.h>

#include <QProcess>
#include <cstddef>
#include <string>
#include <vector>

namespace frosk {

// How to run a programming tool: the program and its arguments as a list
// (never through a shell, so a path with blanks or quotes stays one argument).
struct ToolCommand {
  std::string tool;     // its name, "avrdude"; empty when the target has no tool
  std::string program;  // full path; empty when the tool is not there
  std::vector<std::string> arguments;
  std::string workingFolder;
  std::vector<std::string> searched;  // the folders looked in for the tool, in order
};

// Ends every tool still running, at once, with whatever it started. Safe in a
// signal handler: a program ending on a signal calls it so that no tool goes
// on writing into a device nobody follows any more.
void EndRunningTools();

// One run of a programming tool as a child process. Its standard output and
// error share one pipe that is read without blocking and only as fast as the
// caller asks, so a tool that floods its output waits on the pipe instead of
// filling memory. Every tool started is waited for: none is left a zombie.
// None outlives us either: it runs in a process group of its own, which is
// ended with it, and the system kills it when we die.
class ToolProcess {
 public:
  ToolProcess() = default;
  ~ToolProcess();
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  // False when the tool cannot be started. Without `captureOutput` its
  // output goes nowhere.
  bool Start(const ToolCommand& command, bool captureOutput);
  // Why the last Start failed, in the system's words.
  std::string StartError() const { return process_.errorString().toStdString(); }

  // Appends up to `limit` bytes of waiting output to `log` without blocking.
  // True while the run is to be followed: output was waiting, or the tool
  // still runs. False once it has ended and everything it wrote was read, or
  // when the pipe can no longer be queried.
  bool ReadOutput(std::string& log, size_t limit);
  bool HasEnded();

  // Ends the tool at once.
  void End();
  // Stops following the tool and leaves it to end by itself (a programmer
  // that has verified still closes its session with the device); what it
  // writes from now on is dropped. WaitForEnd or the destructor collects it.
  void LetGo();
  // Waits up to `ms` for the tool to end, then ends it. A tool still followed
  // when its ToolProcess goes is ended at once; one let go gets a moment.
  void WaitForEnd(int ms);

 private:
  void ClosePipe();
  // True once the tool has ended; from then on its group is no longer ended.
  bool Collected();

  QProcess process_;
  pid_t group_ = 0;
  int outputFd_ = -1;
  bool letGo_ = false;
};

}  // namespace frosk
