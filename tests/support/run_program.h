#pragma once

#include <sys/types.h>

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

// A program built beside froskctl, e.g. BinPath("froskctl").
std::string BinPath(const std::string& program);

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
