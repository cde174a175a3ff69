#include "cli/cli.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "protocol/port_explanation.h"

namespace frosk::cli {

std::optional<std::string> Invocation::Option(const std::string& option) const {
  const auto found = options.find(option);
  if (found == options.end()) return std::nullopt;
  return found->second;
}

std::string EscapeText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      escaped += "\\\\";
    } else if (byte < 0x20 || byte > 0x7E) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string ShellWord(const std::string& word) {
  if (!word.empty() &&
      word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+:,=@%") ==
          std::string::npos)
    return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string SysfsRoot() {
  const char* root = std::getenv("FROSK_SYSFS_ROOT");
  return root != nullptr ? root : "/sys";
}

std::string OpenFailureText(const PortError& error) { return "cannot open " + ExplainPortFailure(error); }

int RefuseEmptyPort(const std::string& portName) {
  return portName.empty() ? UsageError("PORT is empty: name a port such as ttyUSB0 or /dev/pts/7") : kExitDone;
}

int UsageError(const std::string& message) {
  std::cerr << "froskctl: " << message << "\n";
  return kExitUsage;
}

int Failure(const std::string& message) {
  std::cerr << message << "\n";
  return kExitFailed;
}

int InterruptedExit(int signal, const std::string& detail) {
  std::cerr << "froskctl: interrupted" << (detail.empty() ? "" : "; ") << detail << "\n";
  return 128 + signal;
}

}  // namespace frosk::cli
