#include "protocol/vfrosk_class.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "protocol/text_number.h"

namespace frosk {

namespace {

constexpr int64_t kMultipliers[] = {1, 10, 100, 1000, 10000, 100000};

void CopyText(char* destination, size_t capacity, const char* source) {
  std::memset(destination, 0, capacity);
  if (source == nullptr) return;
  std::strncpy(destination, source, capacity - 1);
}

// Half away from zero, into 64 bits; values outside that range saturate.
int64_t RoundHalfAway(double x) {
  if (std::isnan(x)) return 0;
  const double rounded = x >= 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5);
  if (rounded >= 9.2e18) return INT64_MAX;
  if (rounded <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(rounded);
}

std::string FixedDecimals(int64_t raw, int decimals) {
  const bool negative = raw < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
  std::string text = std::to_string(magnitude);
  if (decimals > 0) {
    if (text.size() <= static_cast<size_t>(decimals)) text.insert(0, decimals + 1 - text.size(), '0');
    text.insert(text.size() - decimals, ".");
  }
  if (negative) text.insert(0, "-");
  return text;
}

}  // namespace

VFroskClass::VFroskClass() { Init(0, kUndefined, kUndefined, kUndefined, nullptr, nullptr, kUndefined); }

void VFroskClass::Init(int32_t key, int32_t cstrSize, int32_t min, int32_t max, const char* unit,
                       const char* choices, int32_t decimals) {
  std::memset(unit_, 0, sizeof unit_);
  std::memset(choices_, 0, sizeof choices_);
  std::memset(value_, 0, sizeof value_);
  key_ = key;
  if (Type() == kCStr) {
    if (cstrSize == kUndefined || cstrSize == 0)
      throw std::logic_error("VFroskClass::Init() CStrSize may not be undefined for CStr type");
    if (cstrSize > 256) throw std::logic_error("VFroskClass::Init() CStr_Size exceeds limits");
  }
  cstrSize_ = cstrSize;
  min_ = min;
  max_ = max;
  CopyText(unit_, sizeof unit_, unit);
  CopyText(choices_, sizeof choices_, choices);
  decimals_ = decimals;
}

size_t VFroskClass::RawWidth() const { return ValueWidth(Type(), cstrSize_); }

void VFroskClass::SetRaw(const void* source) {
  if (source == nullptr) return;
  if (Type() == kCStr) {
    const size_t size = RawWidth();
    const size_t length = strnlen(static_cast<const char*>(source), size - 1);
    std::memcpy(value_, source, length);
    std::memset(value_ + length, 0, size - length);
    return;
  }
  std::memcpy(value_, source, RawWidth());
}

void VFroskClass::GetRaw(void* destination) const {
  if (destination == nullptr) return;
  if (Type() == kCStr) {
    const size_t size = RawWidth();
    const size_t length = strnlen(reinterpret_cast<const char*>(value_), size - 1);
    std::memcpy(destination, value_, length);
    std::memset(static_cast<char*>(destination) + length, 0, size - length);
    return;
  }
  std::memcpy(destination, value_, RawWidth());
}

int64_t VFroskClass::ReadInteger() const {
  switch (Type()) {
    case kInt8: return static_cast<int8_t>(value_[0]);
    case kUInt8: return value_[0];
    case kInt16: { int16_t v; std::memcpy(&v, value_, 2); return v; }
    case kUInt16: { uint16_t v; std::memcpy(&v, value_, 2); return v; }
    case kInt32: { int32_t v; std::memcpy(&v, value_, 4); return v; }
    case kUInt32: { uint32_t v; std::memcpy(&v, value_, 4); return v; }
    default: return 0;
  }
}

void VFroskClass::WriteInteger(int64_t v) {
  switch (Type()) {
    case kInt8:
    case kUInt8: value_[0] = static_cast<uint8_t>(v); break;
    case kInt16:
    case kUInt16: { const auto w = static_cast<uint16_t>(v); std::memcpy(value_, &w, 2); break; }
    case kInt32:
    case kUInt32: { const auto w = static_cast<uint32_t>(v); std::memcpy(value_, &w, 4); break; }
    default: break;
  }
}

double VFroskClass::GetAsFloat() const {
  switch (Type()) {
    case kInt8:
    case kUInt8:
    case kInt16:
    case kUInt16:
    case kInt32:
    case kUInt32: return static_cast<double>(ReadInteger());
    case kFloat: { float f; std::memcpy(&f, value_, 4); return f; }
    default: return 0;
  }
}

int32_t VFroskClass::GetAsInt() const {
  switch (Type()) {
    case kInt8:
    case kUInt8:
    case kInt16:
    case kUInt16:
    case kInt32:
    case kUInt32: return static_cast<int32_t>(static_cast<uint32_t>(ReadInteger()));
    case kFloat: {
      float f;
      std::memcpy(&f, value_, 4);
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(RoundHalfAway(f))));
    }
    case kSerial: {
      SerialRecord s;
      std::memcpy(&s, value_, sizeof s);
      return static_cast<int32_t>(s.number * 100u + s.suffix);
    }
    case kBool: return value_[0] != 0 ? 1 : 0;
    default: return 0;
  }
}

bool VFroskClass::SetFromInt(int32_t v) {
  switch (Type()) {
    case kCStr: {
      const std::string text = std::to_string(v);
      std::memset(value_, 0, sizeof value_);
      std::memcpy(value_, text.data(), std::min<size_t>(text.size(), 255));
      break;
    }
    case kInt8:
    case kUInt8:
    case kInt16:
    case kUInt16:
    case kInt32:
    case kUInt32: WriteInteger(v); break;
    case kFloat: { const auto f = static_cast<float>(v); std::memcpy(value_, &f, 4); break; }
    case kDateTime: {
      DateRecord d;
      std::memcpy(&d, value_, sizeof d);
      d.day = d.month = d.year = 0;
      std::memcpy(value_, &d, sizeof d);
      break;
    }
    case kSerial: {
      SerialRecord s;
      s.number = static_cast<uint32_t>(v / 100);
      s.suffix = static_cast<uint8_t>(v % 100);
      std::memcpy(value_, &s, sizeof s);
      break;
    }
    case kBool: value_[0] = v != 0 ? 1 : 0; break;
    default: break;
  }
  return true;
}

int VFroskClass::DecimalIndex() const { return decimals_ >= 0 && decimals_ <= 5 ? decimals_ : 0; }

std::string VFroskClass::ValueToText() const {
  switch (Type()) {
    case kCStr: return std::string(reinterpret_cast<const char*>(value_), strnlen(reinterpret_cast<const char*>(value_), 255));
    case kInt8:
    case kUInt8:
    case kInt16:
    case kUInt16:
    case kInt32:
    case kUInt32: return FixedDecimals(ReadInteger(), DecimalIndex());
    case kFloat: {
      float f;
      std::memcpy(&f, value_, 4);
      char text[400];
      const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(f), std::chars_format::fixed, 6);
      return std::string(text, result.ptr);
    }
    case kDateTime: { DateRecord d; std::memcpy(&d, value_, sizeof d); return DateToText(d); }
    case kSerial: { SerialRecord s; std::memcpy(&s, value_, sizeof s); return SerialToText(s); }
    case kBool: return value_[0] != 0 ? "TRUE" : "FALSE";
    default: return "<unknown>";
  }
}

std::optional<int64_t> VFroskClass::RawFromText(std::string_view text) const {
  const int type = Type();
  if (type < kInt8 || type > kUInt32) return std::nullopt;
  const std::optional<double> number = ParseDecimal(text);
  if (!number) return std::nullopt;
  const auto scaled = static_cast<float>(*number * static_cast<double>(kMultipliers[DecimalIndex()]));
  return RoundHalfAway(scaled);
}

bool VFroskClass::SetFromText(std::string_view text) {
  // Delphi-style Copy: characters counted from 1, a range past the end is short.
  const auto chars = [&text](size_t first, size_t count) -> std::string_view {
    if (first - 1 >= text.size()) return {};
    return text.substr(first - 1, count);
  };
  const auto integerOrZero = [](std::string_view part) { return ParseInteger(part).value_or(0); };

  switch (Type()) {
    case kCStr: {
      std::memset(value_, 0, sizeof value_);
      const size_t length = std::min<size_t>(strnlen(text.data(), text.size()), 255);
      std::memcpy(value_, text.data(), length);
      return true;
    }
    case kInt8:
    case kUInt8:
    case kInt16:
    case kUInt16:
    case kInt32:
    case kUInt32: {
      const std::optional<int64_t> named = RawFromText(text);
      if (!named) {
        WriteInteger(0);
        return true;
      }
      int64_t raw = *named;
      if (HasMin() && raw < min_) raw = min_;
      if (HasMax() && raw > max_) raw = max_;
      WriteInteger(raw);
      return true;
    }
    case kFloat: {
      const std::optional<double> number = ParseDecimal(text);
      if (!number) return false;
      const auto f = static_cast<float>(*number);
      std::memcpy(value_, &f, 4);
      return true;
    }
    case kDateTime: {
      DateRecord d;
      std::memcpy(&d, value_, sizeof d);
      const std::optional<int64_t> year = ParseInteger(chars(1, 4));
      d.year = static_cast<uint8_t>(year.value_or(1900) - 1900);
      d.month = static_cast<uint8_t>(integerOrZero(chars(6, 2)));
      d.day = static_cast<uint8_t>(integerOrZero(chars(9, 2)));
      std::memcpy(value_, &d, sizeof d);
      return true;
    }
    case kSerial: {
      SerialRecord s;
      const std::string_view separator = chars(7, 1);
      if (separator == "-" || separator == "/") {
        s.number = static_cast<uint32_t>(integerOrZero(chars(1, 6)));
        s.suffix = static_cast<uint8_t>(integerOrZero(chars(8, 2)));
      } else {
        const int64_t number = integerOrZero(chars(1, 9));
        s.number = static_cast<uint32_t>(number);
        s.suffix = number >= 1000000 ? kNewSerialSuffix : static_cast<uint8_t>(integerOrZero(chars(11, 2)));
      }
      std::memcpy(value_, &s, sizeof s);
      return true;
    }
    default: return false;
  }
}

std::vector<std::string_view> VFroskClass::ChoiceNames() const {
  std::vector<std::string_view> names;
  std::string_view rest(choices_);
  while (!rest.empty()) {
    const size_t hash = rest.find('#');
    names.push_back(rest.substr(0, hash));
    if (hash == std::string_view::npos) break;
    rest.remove_prefix(hash + 1);
  }
  return names;
}

}  // namespace frosk
