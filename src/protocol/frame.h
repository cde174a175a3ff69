#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace frosk {

// A frame carries one item as text: "$", the item's bytes as upper-case hex,
// the CRC-16 of those bytes (high byte first) as four hex digits, "#".

// CRC-16/ARC: polynomial 0x8005, reflected in and out, initial value 0.
uint16_t Crc16(const uint8_t* bytes, size_t count);

// 2 * ItemLength + 6, in 16 bits.
uint16_t FrameSize(const uint8_t* item);
// The number of characters written, or 0 when FrameSize exceeds the capacity.
size_t FrameEncode(const uint8_t* item, char* out, size_t capacity);
std::string FrameEncode(const uint8_t* item);
// True when the frame is well formed and its check value matches; the item is then in out.
bool FrameDecode(uint8_t* out, size_t capacity, const char* frame, size_t frameLength);

enum class FrameStatus {
  kOk,
  kTooShort,     // fewer than the 6 characters of an empty frame
  kNoStart,      // the first character is not "$"
  kNoEnd,        // the last character is not "#"
  kTooLong,      // more item bytes than the buffer holds
  kBadCheck,     // the check value does not match
  kInvalidItem,  // decoded, but the item's lengths do not fit (see ItemIsValid)
};

struct FrameDecodeResult {
  FrameStatus status = FrameStatus::kOk;
  size_t itemLength = 0;  // bytes decoded into the buffer
  uint16_t expectedCrc = 0;
  uint16_t computedCrc = 0;
  std::string problem;  // for kInvalidItem: which length does not fit

  bool ok() const { return status == FrameStatus::kOk; }
};

// FrameDecode with the reason for a failure.
FrameDecodeResult FrameDecodeDetailed(uint8_t* out, size_t capacity, std::string_view frame);

// What every receiver does with a frame: decode it and validate the item, so
// nothing walks or parses bytes whose lengths do not fit.
FrameDecodeResult DecodeItem(uint8_t* out, size_t capacity, std::string_view frame);

// A line of text that says what failed, e.g. "check value expected 0x1234, computed 0x4321".
std::string DescribeFrameFailure(const FrameDecodeResult& result, size_t capacity);

}  // namespace frosk
