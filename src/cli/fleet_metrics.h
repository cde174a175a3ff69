#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_engine.h"

namespace frosk::cli {

// One controller as a station's metrics show it. A reading the controller has
// not given (no module, a group not read yet) is left out of the file rather
// than shown as 0, which an alert would take for a value.
struct ControllerMetrics {
  // The labels. Serial and name stay empty until the controller has said who it is.
  std::string serial;
  std::string port;
  std::string name;
  bool up = false;
  std::optional<double> detectorKelvin;
  std::optional<double> setpointKelvin;
  std::optional<double> tecAmperes;
  std::optional<double> tecMaxAmperes;
  std::optional<double> tecVolts;
  std::optional<double> supplyPlusVolts;
  std::optional<double> supplyMinusVolts;
  std::optional<int> statusCode;
  std::optional<int> coolDownSeconds;
  std::optional<double> lastReplySeconds;  // since the epoch
};

// Takes what the engine holds into `metrics`: the identity once the device
// identification is in `read`, each reading once its group is. `read` holds
// every group the device's replies stored on this link.
void TakeReadings(DeviceEngine& engine, GroupMask read, ControllerMetrics& metrics);

// A label value as the Prometheus text format writes it: backslash, double
// quote and line feed escaped. Device text bytes outside 0x20..0x7E, which
// would not be valid UTF-8, are written as froskctl writes them: \xHH.
std::string LabelValue(std::string_view text);

// The station's metrics in the Prometheus text format: each metric's HELP and
// TYPE lines, then one sample per controller that has it.
std::string FleetMetricsText(const std::string& station, const std::vector<ControllerMetrics>& controllers);

}  // namespace frosk::cli
