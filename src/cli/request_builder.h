#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frosk::cli {

// A request built from "COMMAND [FIELD=VALUE ...]" as froskctl's encode and
// request verbs take it. On failure `error` names the culprit.
struct BuiltRequest {
  std::vector<uint8_t> item;
  std::string error;
  bool ok() const { return error.empty(); }
};

// COMMAND is a command name of the catalogue or "0x" and four hex digits of a
// command key. A command carrying a record takes its fields by exact name;
// with requireAllFields a missing field is an error, else it is zero.
BuiltRequest BuildRequest(const std::string& command, const std::vector<std::string>& assignments,
                          bool requireAllFields);

}  // namespace frosk::cli
