#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/value_types.h"

namespace frosk {

// One typed parameter held in memory: key, limits, decimals, unit, choice names
// and a 256-byte value store laid out by type. A plain value: copying copies all.
class VFroskClass {
 public:
  // A key-0 container with every attribute undefined.
  VFroskClass();

  // Throws std::logic_error for a text parameter without a valid CStr size:
  // that is a fault in the program's own tables, never in user input.
  void Init(int32_t key, int32_t cstrSize, int32_t min, int32_t max, const char* unit, const char* choices,
            int32_t decimals);

  // Copy a record field of this parameter's width in or out. A null pointer,
  // a container or an unknown type leaves both sides untouched.
  void SetRaw(const void* source);
  void GetRaw(void* destination) const;

  // The raw numeric value, unscaled: integers (uint32 unsigned) and float; 0 otherwise.
  double GetAsFloat() const;
  // The raw value as a signed 32-bit integer; serial gives number * 100 + suffix,
  // bool gives 1 for true.
  int32_t GetAsInt() const;
  // Stores v without applying limits. Always succeeds.
  bool SetFromInt(int32_t v);

  // Display text without the unit: raw / 10^decimals with exactly that many
  // decimals, or the text, date, serial, TRUE/FALSE, "<unknown>".
  std::string ValueToText() const;
  // Parses display text: numbers are scaled, rounded and clamped to min/max.
  // Returns false for bool, container and unknown types, and for a float text
  // that is not a number (the value is then unchanged).
  bool SetFromText(std::string_view text);
  // The raw value a number's text names for an integer parameter, scaled and
  // rounded as SetFromText does but before any limit; none for text that is
  // no number and for the other types.
  std::optional<int64_t> RawFromText(std::string_view text) const;

  int32_t ParamKey() const { return key_; }
  int Type() const { return TypeOfKey(key_); }
  int32_t CStrSize() const { return cstrSize_; }
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  int32_t Decimals() const { return decimals_; }
  bool HasMin() const { return min_ != kUndefined; }
  bool HasMax() const { return max_ != kUndefined; }
  const char* Unit() const { return unit_; }
  const char* Choices() const { return choices_; }
  // The choice names split on '#'; empty when the parameter has none.
  std::vector<std::string_view> ChoiceNames() const;
  const uint8_t* ValueStore() const { return value_; }

  // Byte width of this parameter in a record (and in the value store).
  size_t RawWidth() const;

 private:
  int DecimalIndex() const;
  int64_t ReadInteger() const;
  void WriteInteger(int64_t v);

  int32_t key_;
  int32_t cstrSize_;
  int32_t min_;
  int32_t max_;
  int32_t decimals_;
  char unit_[32];
  char choices_[256];
  uint8_t value_[256];
};

}  // namespace frosk
