#pragma once

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
ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::string& input = {}, int timeoutMs = 30000);

// A program built beside froskctl, e.g. BinPath("froskctl").
std::string BinPath(const std::string& program);

// "NAME (process PID)" for this process, as a message names the holder of a port.
std::string ThisProcessAsHolder();

}  // namespace frosk::test
