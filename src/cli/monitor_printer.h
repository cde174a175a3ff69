#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/device_engine.h"

namespace frosk::cli {

// monitor's lines on standard output, one per monitor reply: the milliseconds
// since the first poll, then the record's fields, then the controller's status
// text; or, as CSV, a header and one row per reply. Several ports' lines
// carry their port in `prefix`.
class MonitorPrinter {
 public:
  MonitorPrinter(DeviceEngine& engine, bool csv, std::string prefix = {});

  // Called on every refresh; true when a reply was printed.
  bool OnRefresh(GroupMask stored, uint32_t now);

 private:
  void Print(Group group, uint32_t ms);

  DeviceEngine& engine_;
  bool csv_;
  std::string prefix_;
  std::optional<uint32_t> firstPoll_;
};

}  // namespace frosk::cli
