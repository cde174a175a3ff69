#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace frosk::test {

struct ProgramResult {
  int exitCode = -1;  // 128 + signal when killed by one
  std::string out;
  std::string err;
};

// Runs a program with an argument list (no shell), feeds it `input` on standard
// input and collects both outputs. Gives up and kills it after `timeoutMs`.
ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& input = {},
                         int timeoutMs = 30000);

// Called while a program runs, after each piece of output and at least every
// 50 ms, with its process and its output so far: for a test that signals it
// at the right moment.
using ProgramWatcher = std::function<void(pid_t pid, const ProgramResult& sofar)>;
ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& input,
                         int timeoutMs, const ProgramWatcher& watch);

// A program built beside froskctl, e.g. BinPath("froskctl").
std::string BinPath(const std::string& program);

// "NAME (process PID)" for this process, as a message names the holder of a port.
std::string ThisProcessAsHolder();

// Sends `signal` to a child and waits for its end. The exit code, 128 + signal
// when killed by one, or -1 when it is still running after `timeoutMs` (it is
// then killed).
int StopProcess(pid_t pid, int signal, int timeoutMs);

// A program left running beside the test, started with an argument list and
// extra environment ("NAME=value"), its outputs thrown away. Killed when the
// object goes, unless stopped before.
class StartedProgram {
 public:
  // Null when it cannot be started.
  static std::unique_ptr<StartedProgram> Start(const std::string& path, const std::vector<std::string>& args,
                                               const std::vector<std::string>& environment);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  // As StopProcess; -1 once stopped.
  int Stop(int signal, int timeoutMs = 5000);

 private:
  explicit StartedProgram(pid_t pid) : pid_(pid) {}
  pid_t pid_;
};

// Whether a process has ended, collected by its parent or not yet.
bool ProcessEnded(pid_t pid);

// Sets an environment variable for one scope, such as the PATH a program is run with.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace frosk::test
