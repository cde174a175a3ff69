#include "protocol/field_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

#include "protocol/text_number.h"

namespace frosk {

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

bool IsPlainDecimal(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  const size_t point = text.find('.');
  if (point == std::string_view::npos) return AllDigits(text);
  return AllDigits(text.substr(0, point)) && AllDigits(text.substr(point + 1));
}

std::string ChoiceList(const VFroskClass& holder) {
  std::string list;
  for (std::string_view name : holder.ChoiceNames()) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

// The raw values an integer field can take: its own limits where it has
// them, else what its type holds.
std::pair<int64_t, int64_t> RawRange(const VFroskClass& holder) {
  std::pair<int64_t, int64_t> range;
  switch (holder.Type()) {
    case kInt8: range = {INT8_MIN, INT8_MAX}; break;
    case kUInt8: range = {0, UINT8_MAX}; break;
    case kInt16: range = {INT16_MIN, INT16_MAX}; break;
    case kUInt16: range = {0, UINT16_MAX}; break;
    case kInt32: range = {INT32_MIN, INT32_MAX}; break;
    default: range = {0, UINT32_MAX}; break;
  }
  if (holder.HasMin()) range.first = holder.Min();
  if (holder.HasMax()) range.second = holder.Max();
  return range;
}

// A raw value as the field shows it, with its unit.
std::string ShownWithUnit(const VFroskClass& holder, int64_t raw) {
  VFroskClass shown = holder;
  shown.SetFromInt(static_cast<int32_t>(static_cast<uint32_t>(raw)));
  const std::string unit = holder.Unit();
  return shown.ValueToText() + (unit.empty() ? "" : " " + unit);
}

}  // namespace

std::string SetFieldFromText(VFroskClass& holder, std::string_view text, OutOfLimits outOfLimits) {
  const std::string quoted = "\"" + std::string(text) + "\"";
  switch (holder.Type()) {
    case kInt8:
    case kUInt8:
    case kInt16:
    case kUInt16:
    case kInt32:
    case kUInt32: {
      const auto names = holder.ChoiceNames();
      for (size_t i = 0; i < names.size(); ++i) {
        if (EqualNoCase(names[i], text)) {
          holder.SetFromInt(static_cast<int32_t>(i));
          return {};
        }
      }
      if (!IsPlainDecimal(text)) {
        if (!names.empty()) return quoted + " is neither a number nor one of " + ChoiceList(holder);
        return quoted + " is not a decimal number";
      }
      if (outOfLimits == OutOfLimits::kRefuse) {
        const int64_t raw = *holder.RawFromText(text);
        const auto [low, high] = RawRange(holder);
        if (raw < low || raw > high)
          return quoted + " is outside the field's limits " + ShownWithUnit(holder, low) + " to " +
                 ShownWithUnit(holder, high);
      }
      holder.SetFromText(text);
      return {};
    }
    case kFloat:
      if (!ParseDecimal(text)) return quoted + " is not a decimal number";
      holder.SetFromText(text);
      return {};
    case kBool:
      if (EqualNoCase(text, "TRUE") || text == "1") return holder.SetFromInt(1), std::string();
      if (EqualNoCase(text, "FALSE") || text == "0") return holder.SetFromInt(0), std::string();
      return quoted + " is not TRUE, FALSE, 1 or 0";
    case kSerial: {
      const bool oldFormat = text.size() == 9 && (text[6] == '-' || text[6] == '/') && AllDigits(text.substr(0, 6)) &&
                             AllDigits(text.substr(7));
      const bool newFormat = text.size() <= 9 && AllDigits(text);
      if (!oldFormat && !newFormat) return quoted + " is not a serial number (NNNNNN-NN, NNNNNN/NN or 1 to 9 digits)";
      holder.SetFromText(text);
      return {};
    }
    case kDateTime: {
      const bool shape = text.size() == 10 && text[4] == '-' && text[7] == '-' && AllDigits(text.substr(0, 4)) &&
                         AllDigits(text.substr(5, 2)) && AllDigits(text.substr(8, 2));
      if (!shape) return quoted + " is not a date (YYYY-MM-DD)";
      const int64_t year = *ParseInteger(text.substr(0, 4));
      const int64_t month = *ParseInteger(text.substr(5, 2));
      const int64_t day = *ParseInteger(text.substr(8, 2));
      if (year < 1900 || year > 2155 || month < 1 || month > 12 || day < 1 || day > 31)
        return quoted + " is not a date between 1900-01-01 and 2155-12-31";
      holder.SetFromText(text);
      return {};
    }
    case kCStr: {
      const size_t limit = static_cast<size_t>(holder.CStrSize()) - 1;
      if (text.size() > limit) return quoted + " is longer than " + std::to_string(limit) + " characters";
      if (text.find('\0') != std::string_view::npos) return quoted + " holds a NUL character";
      holder.SetFromText(text);
      return {};
    }
    default: return "a field of this type takes no value";
  }
}

}  // namespace frosk
