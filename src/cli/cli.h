#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/serial_port.h"

namespace frosk::cli {

// Exit codes of froskctl.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;       // failed at run time
inline constexpr int kExitUsage = 2;        // usage or invalid input
inline constexpr int kExitInterrupted = 130;

struct OptionSpec {
  std::string name;  // without the leading "--"
  bool takesValue;
  std::string help;
};

// A verb's command line after the verb: positional arguments in order, and
// options (anywhere among them) by name.
struct Invocation {
  std::vector<std::string> args;
  std::map<std::string, std::string> options;  // a flag maps to ""

  bool Has(const std::string& option) const { return options.count(option) != 0; }
  std::optional<std::string> Option(const std::string& option) const;
};

struct Verb {
  std::string name;
  std::string usage;    // after "froskctl NAME "
  std::string summary;  // one line for the verb list
  std::string details;  // printed by "froskctl NAME --help"
  std::vector<OptionSpec> options;
  int (*run)(const Invocation& invocation);
};

const std::vector<Verb>& Verbs();

// Device text as froskctl writes it: bytes outside 0x20..0x7E as \xHH, "\" as "\\".
std::string EscapeText(std::string_view text);

// A word a POSIX shell reads back as it stands, quoted only where it must be:
// for the commands froskctl suggests.
std::string ShellWord(const std::string& word);

// Where the system's list of serial ports is read: /sys, or the folder that
// FROSK_SYSFS_ROOT names (containers and tests).
std::string SysfsRoot();

// Why a port did not open, with the remedy where there is one (the group to
// join, the process that holds it).
std::string OpenFailureText(const PortError& error);

// A PORT argument that names no port at all: the usage error's exit code
// after saying so; 0 for any other name, which only opening can judge.
int RefuseEmptyPort(const std::string& portName);

// A usage or input error: the message on standard error, exit code 2.
int UsageError(const std::string& message);
// A run-time failure: the message on standard error, exit code 1.
int Failure(const std::string& message);
// A run ended by a signal (SIGINT, SIGTERM): a line on standard error, and
// 128 + the signal, as a shell reports a program the signal ended.
// `detail` says what was left undone.
int InterruptedExit(int signal, const std::string& detail = {});

}  // namespace frosk::cli
