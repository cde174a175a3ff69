#include "sim/sim_options.h"

#include <algorithm>

#include "protocol/field_text.h"
#include "protocol/holders.h"
#include "protocol/text_number.h"

namespace frosk::sim {

namespace {

// Largest --count: a handful of controllers is what a bench holds.
constexpr unsigned kMostDevices = 64;
constexpr long long kLongestDelayMs = 60'000;
// Fault counts beyond this would never fire in any test run.
constexpr long long kLargestFaultCount = 1'000'000;

std::string WholeNumber(std::string_view option, std::string_view text, long long low, long long high,
                        long long& value) {
  const std::optional<int64_t> number = ParseInteger(text);
  if (!number || *number < low || *number > high)
    return "--" + std::string(option) + " needs a whole number from " + std::to_string(low) + " to " +
           std::to_string(high) + ", not \"" + std::string(text) + "\"";
  value = *number;
  return {};
}

// Writes one field of a record from text as froskctl takes field values, so
// serials, dates and names are read the one way the protocol library reads them.
template <class Record>
std::string SetField(Record& record, Key fieldKey, std::string_view option, std::string_view text) {
  const ContainerSpec& container = RecordTraits<Record>::Layout();
  for (size_t i = 0; i < container.fields.size(); ++i) {
    const FieldSpec& field = container.fields[i];
    if (field.key != fieldKey) continue;
    auto* bytes = reinterpret_cast<uint8_t*>(&record) + RecordTraits<Record>::kSlots[i].offset;
    if (field.Type() == kUInt8 || field.Type() == kUInt16) {
      long long number = 0;
      const long long high = field.Type() == kUInt8 ? 255 : 65535;
      if (std::string error = WholeNumber(option, text, 0, high, number); !error.empty()) return error;
    }
    VFroskClass holder;
    InitHolder(holder, field);
    holder.SetRaw(bytes);
    if (std::string error = SetFieldFromText(holder, text); !error.empty())
      return "--" + std::string(option) + ": " + error;
    holder.GetRaw(bytes);
    return {};
  }
  return "--" + std::string(option) + " names no field";
}

// How an option changes the options; each takes the option's name and value.
using Apply = std::string (*)(SimOptions& options, std::string_view name, std::string_view value);

template <Key kField>
std::string DeviceField(SimOptions& o, std::string_view name, std::string_view value) {
  return SetField(o.controller.deviceIden, kField, name, value);
}

template <Key kField>
std::string ModuleField(SimOptions& o, std::string_view name, std::string_view value) {
  return SetField(o.controller.moduleIden, kField, name, value);
}

template <std::string SimOptions::*kText>
std::string Text(SimOptions& o, std::string_view, std::string_view value) {
  o.*kText = value;
  return {};
}

template <unsigned LineFaults::*kEvery>
std::string FaultCount(SimOptions& o, std::string_view name, std::string_view value) {
  long long count = 0;
  std::string error = WholeNumber(name, value, 1, kLargestFaultCount, count);
  o.faults.*kEvery = static_cast<unsigned>(count);
  return error;
}

std::string Count(SimOptions& o, std::string_view name, std::string_view value) {
  long long count = 0;
  std::string error = WholeNumber(name, value, 1, kMostDevices, count);
  o.count = static_cast<unsigned>(count);
  return error;
}

std::string Module(SimOptions& o, std::string_view, std::string_view value) {
  const std::pair<std::string_view, ModuleKind> kinds[] = {{"none", ModuleKind::kNone},
                                                           {"nomem", ModuleKind::kNoMem},
                                                           {"1wire", ModuleKind::kOneWire},
                                                           {"veltra", ModuleKind::kVeltra}};
  for (const auto& [name, kind] : kinds) {
    if (name != value) continue;
    o.controller.module = kind;
    return {};
  }
  return "--module takes none, nomem, 1wire or veltra, not \"" + std::string(value) + "\"";
}

std::string Status(SimOptions& o, std::string_view name, std::string_view value) {
  long long code = 0;
  std::string error = WholeNumber(name, value, 0, 255, code);
  o.controller.forcedStatus = static_cast<uint8_t>(code);
  return error;
}

std::string ReplyDelay(SimOptions& o, std::string_view name, std::string_view value) {
  long long ms = 0;
  std::string error = WholeNumber(name, value, 0, kLongestDelayMs, ms);
  o.faults.replyDelay = std::chrono::milliseconds(ms);
  return error;
}

std::string NoMemCompatible(SimOptions& o, std::string_view, std::string_view) {
  o.controller.noMemCompatible = true;
  return {};
}

std::string LineRate(SimOptions& o, std::string_view, std::string_view) {
  o.lineRate = true;
  return {};
}

std::string Silent(SimOptions& o, std::string_view, std::string_view) {
  o.faults.silent = true;
  return {};
}

std::string BootloaderMode(SimOptions& o, std::string_view, std::string_view value) {
  o.bootloader = FindBootloaderPart(value);
  if (o.bootloader != nullptr) return {};
  return "--bootloader takes " + BootloaderPartNames() + ", not \"" + std::string(value) + "\"";
}

std::string CorruptReadBack(SimOptions& o, std::string_view, std::string_view) {
  o.bootloaderFaults.corruptReadBack = true;
  return {};
}

std::string RefuseTransparentMode(SimOptions& o, std::string_view, std::string_view) {
  o.controller.refuseTransparentMode = true;
  return {};
}

struct Option {
  std::string_view name;
  std::string_view value;  // empty for a flag
  std::string_view help;
  Apply apply;
};

const Option kOptions[] = {
    {"count", "N", "run N controllers, alike but for their serial numbers, which count up", Count},
    {"link", "DIR", "publish each device as DIR/frosk0, DIR/frosk1, ... (removed at exit)", Text<&SimOptions::linkDir>},
    {"module", "KIND", "the attached module: none, nomem, 1wire or veltra (default veltra)", Module},
    {"device-type", "N", "controller type code (default 4, QUVA V2)", DeviceField<key::DEVICE_IDEN_TYPE>},
    {"firmware", "N", "controller firmware version (default 12)", DeviceField<key::DEVICE_IDEN_FIRM_VER>},
    {"name", "TEXT", "controller name, at most 31 characters (default FroskTEC)", DeviceField<key::DEVICE_IDEN_NAME>},
    {"serial", "SERIAL", "controller serial, NNNNNN-NN or up to 9 digits (default 123456-07)",
     DeviceField<key::DEVICE_IDEN_SERIAL>},
    {"prod-date", "YYYY-MM-DD", "controller production date (default 2025-03-14)",
     DeviceField<key::DEVICE_IDEN_PROD_DATE>},
    {"nomem-compatible", "", "the controller configuration says NOMEM compatible", NoMemCompatible},
    {"status", "CODE", "report this monitor status code always, e.g. 140 or 141", Status},
    {"module-serial", "SERIAL", "module serial (default 000412-25)", ModuleField<key::MODULE_IDEN_SERIAL>},
    {"module-firmware", "N", "module firmware version (default 5)", ModuleField<key::MODULE_IDEN_FIRM_VER>},
    {"state", "FILE", "keep the device's memory in FILE across restarts (FILE.N for each of --count N)",
     Text<&SimOptions::stateFile>},
    {"log", "FILE", "append one line per frame in and out to FILE", Text<&SimOptions::logFile>},
    {"line-rate", "", "take as long as a 57600-baud line in both directions", LineRate},
    {"reply-delay", "MS", "answer MS milliseconds after each request", ReplyDelay},
    {"drop-every", "N", "never send every Nth reply", FaultCount<&LineFaults::dropEvery>},
    {"corrupt-every", "N", "send every Nth reply with a wrong check value", FaultCount<&LineFaults::corruptEvery>},
    {"garbage-every", "N", "send a burst of noise bytes before every Nth reply", FaultCount<&LineFaults::garbageEvery>},
    {"overlong-every", "N", "send an over-long frame without \"#\" before every Nth reply",
     FaultCount<&LineFaults::overlongEvery>},
    {"silent", "", "read and discard every request, never answer", Silent},
    {"vanish-after", "N", "close the port once N requests have been handled", FaultCount<&LineFaults::vanishAfter>},
    {"refuse-transparent", "", "answer SET_TRANSPARENT_MODE with transparent mode off", RefuseTransparentMode},
    {"bootloader", "PART", "be in firmware-update mode: x128a4u (QUVA V2) or x32a4 (QUVA)", BootloaderMode},
    {"corrupt-readback", "", "with --bootloader: change the first byte of every flash block read back",
     CorruptReadBack},
};

const Option* FindOption(std::string_view name) {
  for (const Option& option : kOptions)
    if (option.name == name) return &option;
  return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (size_t i = 0; i < args.size() && line.error.empty(); ++i) {
    std::string_view word = args[i];
    if (word == "--help" || word == "-h") {
      line.help = true;
      continue;
    }
    if (word.size() < 3 || word.substr(0, 2) != "--") {
      line.error = "unexpected argument \"" + args[i] + "\"";
      break;
    }
    word.remove_prefix(2);
    std::optional<std::string_view> value;
    if (const size_t equals = word.find('='); equals != std::string_view::npos) {
      value = word.substr(equals + 1);
      word = word.substr(0, equals);
    }
    const Option* option = FindOption(word);
    if (option == nullptr) {
      line.error = "unknown option --" + std::string(word);
      break;
    }
    if (option->value.empty() && value) {
      line.error = "--" + std::string(word) + " takes no value";
      break;
    }
    if (!option->value.empty() && !value) {
      if (i + 1 >= args.size()) {
        line.error = "--" + std::string(word) + " needs " + std::string(option->value);
        break;
      }
      value = args[++i];
    }
    line.error = option->apply(line.options, option->name, value.value_or(std::string_view()));
  }
  return line;
}

std::string Usage() {
  std::string text =
      "usage: frosk-sim [OPTIONS]\n\n"
      "Runs a virtual FroskTEC controller with its detection module on a pseudo-terminal and\n"
      "prints, for each device, the path a client opens. Ends on SIGINT or SIGTERM.\n"
      "With --state, the records in the file win over the identification options. With --bootloader\n"
      "each device is a controller in its firmware-update mode, answering the AVR109 serial bootloader\n"
      "protocol (avrdude -c avr109); only --count, --link, --line-rate, --silent and --corrupt-readback\n"
      "apply to it.\n\noptions:\n";
  for (const Option& option : kOptions) {
    std::string head = "  --" + std::string(option.name);
    if (!option.value.empty()) head += " " + std::string(option.value);
    head.resize(std::max<size_t>(head.size() + 2, 30), ' ');
    text += head + std::string(option.help) + "\n";
  }
  text += "  --help                      this text\n";
  text += "  --version                   the program's name and version\n";
  return text;
}

ControllerSettings SettingsForDevice(const SimOptions& options, unsigned index) {
  ControllerSettings settings = options.controller;
  settings.deviceIden.serial.number += index;
  return settings;
}

std::string StateFileForDevice(const SimOptions& options, unsigned index) {
  if (options.stateFile.empty() || options.count == 1) return options.stateFile;
  return options.stateFile + "." + std::to_string(index);
}

std::string DeviceName(unsigned index) { return "frosk" + std::to_string(index); }

}  // namespace frosk::sim
