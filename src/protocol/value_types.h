#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace frosk {

// A parameter key: index in bits 15..4, type code in bits 3..0.
using Key = uint16_t;

enum ValueType : int {
  kContainer = 0,
  kCStr = 1,
  kInt8 = 2,
  kUInt8 = 3,
  kInt16 = 4,
  kUInt16 = 5,
  kInt32 = 6,
  kUInt32 = 7,
  kFloat = 8,
  kDateTime = 9,
  kSerial = 10,
  kBool = 11,
};

inline constexpr int TypeOfKey(int32_t key) { return ((key % 16) + 16) % 16; }

// "container", "cstr", ... "bool"; empty for the unassigned codes 12..15.
std::string_view TypeName(int typeCode);

// Marks an integer attribute as not defined.
inline constexpr int32_t kUndefined = 2147483647;

// The suffix that marks a nine-digit serial number.
inline constexpr uint8_t kNewSerialSuffix = 255;

// The in-memory forms of "datetime" and "serial" values. They never travel as
// they are: the wire layout is written field by field (item.h).
struct DateRecord {
  uint16_t word;        // carried unchanged, never interpreted
  uint8_t carried[3];   // carried unchanged, never interpreted
  uint8_t day;          // 1..31
  uint8_t month;        // 1..12
  uint8_t year;         // year - 1900

  bool operator==(const DateRecord&) const = default;
};

struct SerialRecord {
  uint8_t suffix;   // 255: nine-digit number; otherwise a two-digit suffix
  uint32_t number;  // native byte order
  bool operator==(const SerialRecord&) const = default;
};

static_assert(sizeof(DateRecord) == 8);

// Bytes a value of a type takes in a record and in a value holder's store;
// text takes its buffer size (1 to 256). 0 for containers and unknown types.
constexpr size_t ValueWidth(int typeCode, int32_t cstrSize) {
  switch (typeCode) {
    case kCStr: return cstrSize > 0 && cstrSize <= 256 ? static_cast<size_t>(cstrSize) : 0;
    case kInt8:
    case kUInt8:
    case kBool: return 1;
    case kInt16:
    case kUInt16: return 2;
    case kInt32:
    case kUInt32:
    case kFloat: return 4;
    case kDateTime: return sizeof(DateRecord);
    case kSerial: return sizeof(SerialRecord);
    default: return 0;
  }
}

// "YYYY-MM-DD"
std::string DateToText(const DateRecord& date);
// "NNNNNN-SS", or nine digits for the new format. A number with more digits
// than its format shows all of them.
std::string SerialToText(const SerialRecord& serial);

}  // namespace frosk
