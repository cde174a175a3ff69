#include "protocol/frame.h"

#include <array>
#include <cstdio>

#include "protocol/item.h"

namespace frosk {

namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  // Reflected form of polynomial 0x8005, which is the same check as the
  // direct shift-register method with a final bit reversal.
  std::array<uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    uint16_t crc = static_cast<uint16_t>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    table[byte] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

constexpr std::array<int8_t, 256> MakeHexTable() {
  std::array<int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<int8_t>(i);
  for (int i = 0; i < 6; ++i) {
    table['A' + i] = static_cast<int8_t>(10 + i);
    table['a' + i] = static_cast<int8_t>(10 + i);
  }
  return table;
}

constexpr std::array<int8_t, 256> kHexValue = MakeHexTable();
constexpr char kHexDigits[] = "0123456789ABCDEF";

// A pair with any character that is not a hex digit reads as 0xFF.
uint8_t HexPair(char high, char low) {
  const int h = kHexValue[static_cast<uint8_t>(high)];
  const int l = kHexValue[static_cast<uint8_t>(low)];
  if (h < 0 || l < 0) return 0xFF;
  return static_cast<uint8_t>(h << 4 | l);
}

}  // namespace

uint16_t Crc16(const uint8_t* bytes, size_t count) {
  uint16_t crc = 0;
  for (size_t i = 0; i < count; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
  return crc;
}

uint16_t FrameSize(const uint8_t* item) { return static_cast<uint16_t>(2 * ItemLength(item) + 6); }

size_t FrameEncode(const uint8_t* item, char* out, size_t capacity) {
  if (item == nullptr || out == nullptr) return 0;
  const size_t size = FrameSize(item);
  const size_t length = ItemLength(item);
  if (size > capacity || size != 2 * length + 6) return 0;
  const uint16_t crc = Crc16(item, length);
  char* p = out;
  *p++ = '$';
  for (size_t i = 0; i < length; ++i) {
    *p++ = kHexDigits[item[i] >> 4];
    *p++ = kHexDigits[item[i] & 15];
  }
  *p++ = kHexDigits[(crc >> 12) & 15];
  *p++ = kHexDigits[(crc >> 8) & 15];
  *p++ = kHexDigits[(crc >> 4) & 15];
  *p++ = kHexDigits[crc & 15];
  *p++ = '#';
  return size;
}

std::string FrameEncode(const uint8_t* item) {
  std::string frame(2 * static_cast<size_t>(ItemLength(item)) + 6, '\0');
  frame.resize(FrameEncode(item, frame.data(), frame.size()));
  return frame;
}

FrameDecodeResult FrameDecodeDetailed(uint8_t* out, size_t capacity, std::string_view frame) {
  FrameDecodeResult result;
  const size_t n = frame.size();
  if (n == 0 || frame.front() != '$') return result.status = FrameStatus::kNoStart, result;
  if (frame.back() != '#') return result.status = FrameStatus::kNoEnd, result;
  if (n < 6) return result.status = FrameStatus::kTooShort, result;
  const size_t length = (n - 6) / 2;
  result.itemLength = length;
  if (length > capacity || out == nullptr) return result.status = FrameStatus::kTooLong, result;
  const char* hex = frame.data() + 1;
  for (size_t i = 0; i < length; ++i) out[i] = HexPair(hex[2 * i], hex[2 * i + 1]);
  const char* check = hex + 2 * length;
  result.expectedCrc = static_cast<uint16_t>(HexPair(check[0], check[1]) << 8 | HexPair(check[2], check[3]));
  result.computedCrc = Crc16(out, length);
  if (result.expectedCrc != result.computedCrc) result.status = FrameStatus::kBadCheck;
  return result;
}

bool FrameDecode(uint8_t* out, size_t capacity, const char* frame, size_t frameLength) {
  if (frame == nullptr) return false;
  return FrameDecodeDetailed(out, capacity, std::string_view(frame, frameLength)).ok();
}

FrameDecodeResult DecodeItem(uint8_t* out, size_t capacity, std::string_view frame) {
  FrameDecodeResult result = FrameDecodeDetailed(out, capacity, frame);
  if (result.ok() && !ItemIsValid(out, result.itemLength, &result.problem)) result.status = FrameStatus::kInvalidItem;
  return result;
}

std::string DescribeFrameFailure(const FrameDecodeResult& result, size_t capacity) {
  char text[160];
  switch (result.status) {
    case FrameStatus::kOk: return "ok";
    case FrameStatus::kTooShort: return "frame too short: an empty frame has 6 characters";
    case FrameStatus::kNoStart: return "missing \"$\" at the start of the frame";
    case FrameStatus::kNoEnd: return "missing \"#\" at the end of the frame";
    case FrameStatus::kTooLong:
      std::snprintf(text, sizeof text, "frame too long: %zu item bytes, at most %zu", result.itemLength, capacity);
      return text;
    case FrameStatus::kBadCheck:
      std::snprintf(text, sizeof text, "check value expected %04X, computed %04X", unsigned{result.expectedCrc},
                    unsigned{result.computedCrc});
      return text;
    case FrameStatus::kInvalidItem: return "invalid item: " + result.problem;
  }
  return "unknown failure";
}

}  // namespace frosk

