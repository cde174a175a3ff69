#include "protocol/value_types.h"

#include <array>
#include <cstdio>

namespace frosk {

std::string_view TypeName(int typeCode) {
  static constexpr std::array<std::string_view, 12> kNames = {
      "container", "cstr",   "int8",  "uint8",    "int16",  "uint16",
      "int32",     "uint32", "float", "datetime", "serial", "bool"};
  if (typeCode < 0 || typeCode >= static_cast<int>(kNames.size())) return {};
  return kNames[typeCode];
}

std::string DateToText(const DateRecord& date) {
  char text[24];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", date.year + 1900, unsigned{date.month}, unsigned{date.day});
  return text;
}

std::string SerialToText(const SerialRecord& serial) {
  char text[24];
  if (serial.suffix == kNewSerialSuffix) {
    std::snprintf(text, sizeof text, "%09u", unsigned{serial.number});
  } else {
    std::snprintf(text, sizeof text, "%06u-%02u", unsigned{serial.number}, unsigned{serial.suffix});
  }
  return text;
}

}  // namespace frosk
