#include "device/field_display.h"

#include <charconv>
#include <cstdio>

#include "protocol/value_types.h"

namespace frosk {

namespace {

constexpr double kThAdcVolts = 1.024 / 524288.0;  // the converter's reference over 2^19 counts
constexpr int kFirstYear = 1900;                  // a date keeps its year as year - 1900 in one byte
constexpr int kLastYear = kFirstYear + 255;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
  for (const char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

int Number(std::string_view digits) {
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int month, int year) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD" of a real day.
bool IsPossibleDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  const std::string_view year = text.substr(0, 4), month = text.substr(5, 2), day = text.substr(8, 2);
  if (!AllDigits(year) || !AllDigits(month) || !AllDigits(day)) return false;
  const int y = Number(year), m = Number(month), d = Number(day);
  return y >= kFirstYear && y <= kLastYear && m >= 1 && m <= 12 && d >= 1 && d <= DaysIn(m, y);
}

// Nine digits, "-", and at most two digits: the suffix of an old-format
// serial, or nothing for a new-format one.
bool IsPossibleSerial(std::string_view text) {
  if (text.size() < 10 || text.size() > 12 || text[9] != '-') return false;
  return AllDigits(text.substr(0, 9)) && AllDigits(text.substr(10));
}

}  // namespace

std::string SerialFieldText(const VFroskClass& serial) {
  SerialRecord record;
  serial.GetRaw(&record);
  char text[32];
  if (record.suffix == kNewSerialSuffix)
    std::snprintf(text, sizeof text, "%09u-__", static_cast<unsigned>(record.number));
  else
    std::snprintf(text, sizeof text, "%09u-%02u", static_cast<unsigned>(record.number),
                  static_cast<unsigned>(record.suffix));
  return text;
}

bool FieldEntryIsPossible(const VFroskClass& holder, std::string_view text) {
  switch (holder.Type()) {
    case kSerial: return IsPossibleSerial(text);
    case kDateTime: return IsPossibleDate(text);
    default: return true;
  }
}

std::string ThAdcText(const VFroskClass& thAdc) {
  const auto counts = static_cast<uint32_t>(thAdc.GetAsInt());
  char volts[64];
  const auto end = std::to_chars(volts, volts + sizeof volts, counts * kThAdcVolts, std::chars_format::fixed, 6).ptr;
  return std::string(volts, end) + " (" + thAdc.ValueToText() + ")";
}

std::string SignatureText(const VFroskClass& check) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(static_cast<uint32_t>(check.GetAsInt())));
  return text;
}

std::optional<uint32_t> ParseSignatureText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace frosk
