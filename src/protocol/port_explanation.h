#pragma once

#include <optional>
#include <string>

#include "protocol/serial_port.h"

namespace frosk {

// A process that holds a lock on a port, as /proc/locks names it.
struct PortHolder {
  long pid = 0;
  std::string name;  // its command name; empty when the system does not tell
};

// What the system tells about a port that would not open. Gathered apart from
// the wording, so every wording can be tried with facts a test makes up.
struct PortFacts {
  enum class Kind { Missing, CharacterDevice, Directory, Fifo, File, Other };
  Kind kind = Kind::Missing;
  std::string owner;            // user name, or the number when it has none
  std::string group;            // group name, or the number when it has none
  unsigned mode = 0;            // permission bits
  bool inGroup = false;         // this process may use the group's permissions
  bool groupListsUser = false;  // the group database lists this user (from the next log-in on)
  std::optional<PortHolder> holder;
};

// The facts about `path` as this process sees them; /proc/locks and the
// holder's command name are read under `procRoot`.
PortFacts GatherPortFacts(const std::string& path, const std::string& procRoot = "/proc");

// The first process /proc/locks (under `procRoot`) shows holding a lock on the
// file at `path`; waiters do not count.
std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& procRoot = "/proc");

// Why a port did not open and what the user can do about it, for a person to
// read: the cause on the first line, then the remedy where there is one
// (the group to join, the process that holds the port). Lines are separated
// by "\n"; control characters in the path and names are written \xHH.
std::string ExplainPortFailure(const PortError& error, const PortFacts& facts);
std::string ExplainPortFailure(const PortError& error);

}  // namespace frosk
