#include "cli/fleet_metrics.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "protocol/device_codes.h"
#include "protocol/keys.h"

namespace frosk::cli {

using namespace key;

namespace {

// A holder's value in its unit: raw / 10^decimals.
double InUnit(const VFroskClass& holder) {
  const int decimals = holder.Decimals() > 0 && holder.Decimals() != kUndefined ? holder.Decimals() : 0;
  return holder.GetAsFloat() / std::pow(10.0, decimals);
}

bool Has(GroupMask read, Group group) { return (read & GroupBit(group)) != 0; }

// Shortest text that reads back as the same double, "." whatever the locale.
std::string Number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc{} ? std::string(text, end) : "NaN";
}

// One gauge of the file: its name and HELP text, and how a controller gives it.
struct Gauge {
  const char* name;
  const char* help;
  std::optional<double> (*value)(const ControllerMetrics& controller);
  const char* rail = nullptr;  // the supply gauge's extra label value
};

template <std::optional<double> ControllerMetrics::*Field>
std::optional<double> Real(const ControllerMetrics& c) {
  return c.*Field;
}

template <std::optional<int> ControllerMetrics::*Field>
std::optional<double> Whole(const ControllerMetrics& c) {
  if (!(c.*Field)) return std::nullopt;
  return *(c.*Field);
}

const Gauge kGauges[] = {
    {"frosk_up", "1 while the controller answers, 0 while it does not answer or its port is lost.",
     [](const ControllerMetrics& c) -> std::optional<double> { return c.up ? 1 : 0; }},
    {"frosk_detector_temperature_kelvin", "Detector temperature.", Real<&ControllerMetrics::detectorKelvin>},
    {"frosk_detector_setpoint_kelvin", "Detector temperature the controller is set to hold.",
     Real<&ControllerMetrics::setpointKelvin>},
    {"frosk_tec_current_amperes", "Current through the thermo-electric cooler.", Real<&ControllerMetrics::tecAmperes>},
    {"frosk_tec_current_max_amperes", "Largest cooler current the controller is set to allow.",
     Real<&ControllerMetrics::tecMaxAmperes>},
    {"frosk_tec_voltage_volts", "Voltage across the thermo-electric cooler.", Real<&ControllerMetrics::tecVolts>},
    {"frosk_supply_voltage_volts", "Supply voltage of the detection module, by rail.",
     Real<&ControllerMetrics::supplyPlusVolts>, "plus"},
    {"frosk_supply_voltage_volts", nullptr, Real<&ControllerMetrics::supplyMinusVolts>, "minus"},
    {"frosk_status_code",
     "Controller status code: 0 temperature locked, 1 cooling, 2 not cooling, 128 and above a fault.",
     Whole<&ControllerMetrics::statusCode>},
    {"frosk_temperature_locked", "1 while the detector temperature is locked at its setpoint.",
     [](const ControllerMetrics& c) -> std::optional<double> {
       if (!c.statusCode) return std::nullopt;
       return *c.statusCode == kStatusTemperatureLocked ? 1 : 0;
     }},
    {"frosk_cool_down_seconds", "Time the detection module takes to cool down and lock, as it identifies itself.",
     Whole<&ControllerMetrics::coolDownSeconds>},
    {"frosk_last_reply_timestamp_seconds", "When the controller last answered, in seconds since the epoch.",
     Real<&ControllerMetrics::lastReplySeconds>},
};

}  // namespace

void TakeReadings(DeviceEngine& engine, GroupMask read, ControllerMetrics& metrics) {
  if (Has(read, Group::kDeviceIden)) {
    metrics.serial = engine.DeviceIden().At(DEVICE_IDEN_SERIAL).ValueToText();
    metrics.name = engine.DeviceIden().At(DEVICE_IDEN_NAME).ValueToText();
  }
  if (Has(read, Group::kFroskTecMonitor)) {
    const FroskTecMonitorHolders& monitor = engine.FroskTecMonitor();
    metrics.detectorKelvin = InUnit(monitor.At(FROSKTEC_MONITOR_T_DET));
    metrics.tecAmperes = InUnit(monitor.At(FROSKTEC_MONITOR_I_TEC));
    metrics.tecVolts = InUnit(monitor.At(FROSKTEC_MONITOR_U_TEC));
    metrics.supplyPlusVolts = InUnit(monitor.At(FROSKTEC_MONITOR_U_SUP_PLUS));
    metrics.supplyMinusVolts = InUnit(monitor.At(FROSKTEC_MONITOR_U_SUP_MINUS));
    metrics.statusCode = monitor.At(FROSKTEC_MONITOR_STATUS).GetAsInt();
  }
  // The setpoint and the module's identity are in the groups the module type
  // chooses, as the user view shows them; a controller without a module has neither.
  if (engine.ModuleTypeSnapshot() == kModuleNone) return;
  const bool ownMemory = engine.ModuleTypeSnapshot() >= kModuleWithMemory;
  if (Has(read, ownMemory ? Group::kModuleUserSet : Group::kNoMemUserSet)) {
    const ModuleBasicParamsHolders& userSet = engine.ControllerSettings().userSet;
    metrics.setpointKelvin = InUnit(userSet.At(MODULE_BASIC_PARAMS_T_DET));
    metrics.tecMaxAmperes = InUnit(userSet.At(MODULE_BASIC_PARAMS_I_TEC_MAX));
  }
  if (Has(read, ownMemory ? Group::kModuleIden : Group::kNoMemModuleIden))
    metrics.coolDownSeconds = engine.ShownModuleIden().At(MODULE_IDEN_COOL_TIME).GetAsInt();
}

std::string LabelValue(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      escaped += '\\';
      escaped += c;
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (byte < 0x20 || byte > 0x7E) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\\\x%02X", byte);
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string FleetMetricsText(const std::string& station, const std::vector<ControllerMetrics>& controllers) {
  std::string text;
  for (const Gauge& gauge : kGauges) {
    if (gauge.help != nullptr) {
      // HELP and TYPE once per metric, before its first sample: the format
      // wants a metric's samples together.
      text += std::string("# HELP ") + gauge.name + " " + gauge.help + "\n";
      text += std::string("# TYPE ") + gauge.name + " gauge\n";
    }
    for (const ControllerMetrics& controller : controllers) {
      const std::optional<double> value = gauge.value(controller);
      if (!value) continue;
      text += std::string(gauge.name) + "{serial=\"" + LabelValue(controller.serial) + "\",port=\"" +
              LabelValue(controller.port) + "\",name=\"" + LabelValue(controller.name) + "\",station=\"" +
              LabelValue(station) + "\"";
      if (gauge.rail != nullptr) text += std::string(",rail=\"") + gauge.rail + "\"";
      text += "} " + Number(*value) + "\n";
    }
  }
  return text;
}

}  // namespace frosk::cli
