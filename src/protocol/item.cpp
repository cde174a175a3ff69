#include "protocol/item.h"

#include <algorithm>
#include <cstring>

namespace frosk {

namespace {

constexpr size_t kHeader = 4;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

size_t PutHeader(uint8_t* dst, Key key, uint16_t length) {
  Put16(dst, key);
  Put16(dst + 2, length);
  return kHeader;
}

// The payload width a numeric type needs; 0 for types whose width the writer chooses.
size_t NeededPayload(int type) {
  switch (type) {
    case kInt8:
    case kUInt8:
    case kBool: return 1;
    case kInt16:
    case kUInt16: return 2;
    case kInt32:
    case kUInt32:
    case kFloat:
    case kSerial: return 4;
    case kDateTime: return 8;
    default: return 0;
  }
}

bool Fail(std::string* problem, std::string text) {
  if (problem != nullptr) *problem = std::move(text);
  return false;
}

std::string Hex4(unsigned value) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string text = "0x0000";
  for (int i = 0; i < 4; ++i) text[5 - i] = kDigits[(value >> (4 * i)) & 15];
  return text;
}

// Checks an item whose declared length is already known to fit its room.
bool CheckTree(const uint8_t* item, std::string* problem) {
  const uint16_t length = ItemLength(item);
  const int type = ItemType(item);
  if (type != kContainer) {
    const size_t needed = NeededPayload(type);
    if (length - kHeader < needed)
      return Fail(problem, "item " + Hex4(ItemKey(item)) + " has a payload of " + std::to_string(length - kHeader) +
                               " bytes, its type needs " + std::to_string(needed));
    return true;
  }
  size_t offset = kHeader;
  while (offset < length) {
    const size_t room = length - offset;
    const uint8_t* child = item + offset;
    if (room < kHeader)
      return Fail(problem, "container " + Hex4(ItemKey(item)) + " ends with " + std::to_string(room) +
                               " bytes that are no item");
    const uint16_t childLength = ItemLength(child);
    if (childLength < kHeader)
      return Fail(problem, "child " + Hex4(ItemKey(child)) + " of " + Hex4(ItemKey(item)) + " declares length " +
                               std::to_string(childLength) + ", below 4");
    if (childLength > room)
      return Fail(problem, "child " + Hex4(ItemKey(child)) + " of " + Hex4(ItemKey(item)) + " declares length " +
                               std::to_string(childLength) + ", only " + std::to_string(room) + " left in its parent");
    if (!CheckTree(child, problem)) return false;
    offset += childLength;
  }
  return true;
}

}  // namespace

Key ItemKey(const uint8_t* item) { return item != nullptr ? Get16(item) : 0; }
uint16_t ItemLength(const uint8_t* item) { return item != nullptr ? Get16(item + 2) : 0; }
uint16_t ItemPayloadLength(const uint8_t* item) {
  const uint16_t length = ItemLength(item);
  return length >= kHeader ? static_cast<uint16_t>(length - kHeader) : 0;
}
int ItemType(const uint8_t* item) { return ItemKey(item) & 15; }
const uint8_t* ItemPayload(const uint8_t* item) { return item != nullptr ? item + kHeader : nullptr; }

const uint8_t* ItemFirstChild(const uint8_t* item) {
  if (item == nullptr || ItemType(item) != kContainer || ItemLength(item) < 2 * kHeader) return nullptr;
  return item + kHeader;
}

const uint8_t* ItemNextChild(const uint8_t* parent, const uint8_t* child) {
  if (child == nullptr) return ItemFirstChild(parent);
  if (parent == nullptr) return nullptr;
  const uint8_t* next = child + ItemLength(child);
  return next < parent + ItemLength(parent) ? next : nullptr;
}

const uint8_t* ItemFindChild(const uint8_t* container, Key key, bool recursive) {
  for (const uint8_t* child = ItemFirstChild(container); child != nullptr;
       child = ItemNextChild(container, child)) {
    if (ItemKey(child) == key) return child;
    if (recursive) {
      if (const uint8_t* found = ItemFindChild(child, key, true)) return found;
    }
  }
  return nullptr;
}

int8_t ItemGetInt8(const uint8_t* item) { return static_cast<int8_t>(ItemGetUInt8(item)); }
uint8_t ItemGetUInt8(const uint8_t* item) { return item != nullptr ? item[kHeader] : 0; }
bool ItemGetBool(const uint8_t* item) { return ItemGetUInt8(item) != 0; }
int16_t ItemGetInt16(const uint8_t* item) { return static_cast<int16_t>(ItemGetUInt16(item)); }
uint16_t ItemGetUInt16(const uint8_t* item) { return item != nullptr ? Get16(item + kHeader) : 0; }
int32_t ItemGetInt32(const uint8_t* item) { return static_cast<int32_t>(ItemGetUInt32(item)); }
uint32_t ItemGetUInt32(const uint8_t* item) { return item != nullptr ? Get32(item + kHeader) : 0; }

float ItemGetFloat(const uint8_t* item) {
  if (item == nullptr) return 0;
  const uint8_t* p = item + kHeader;
  const uint32_t bits = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
                        static_cast<uint32_t>(p[1]) << 8 | p[0];
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool ItemGetCStr(const uint8_t* item, char* buffer, size_t size) {
  if (item == nullptr || buffer == nullptr || size == 0) return false;
  const size_t count = std::min<size_t>(ItemPayloadLength(item), size - 1);
  std::memcpy(buffer, item + kHeader, count);
  buffer[count] = '\0';
  return true;
}

bool ItemGetDateTime(const uint8_t* item, DateRecord& record) {
  if (item == nullptr || ItemPayloadLength(item) != 8) return false;
  const uint8_t* p = item + kHeader;
  record.word = Get16(p);
  std::memcpy(record.carried, p + 2, 3);
  record.day = p[5];
  record.month = p[6];
  record.year = p[7];
  return true;
}

bool ItemGetSerial(const uint8_t* item, SerialRecord& record) {
  if (item == nullptr || ItemPayloadLength(item) != 4) return false;
  const uint32_t word = Get32(item + kHeader);
  if ((word & 0x80000000u) != 0) {
    record.suffix = kNewSerialSuffix;
    record.number = word & 0x7FFFFFFFu;
  } else {
    record.suffix = static_cast<uint8_t>(word >> 24);
    record.number = word & 0xFFFFFFu;
  }
  return true;
}

size_t ItemPutContainer(uint8_t* dst, Key key, uint16_t totalLength) {
  if (dst == nullptr) return 0;
  return PutHeader(dst, key, totalLength);
}

size_t ItemPutCStr(uint8_t* dst, Key key, const char* text, uint16_t n) {
  if (dst == nullptr) return 0;
  PutHeader(dst, key, static_cast<uint16_t>(n + kHeader));
  if (text != nullptr) {
    std::memcpy(dst + kHeader, text, n);
  } else {
    std::memset(dst + kHeader, 0, n);
  }
  return n + kHeader;
}

size_t ItemPutInt8(uint8_t* dst, Key key, int8_t value) { return ItemPutUInt8(dst, key, static_cast<uint8_t>(value)); }
size_t ItemPutUInt8(uint8_t* dst, Key key, uint8_t value) {
  if (dst == nullptr) return 0;
  PutHeader(dst, key, 5);
  dst[kHeader] = value;
  return 5;
}
size_t ItemPutInt16(uint8_t* dst, Key key, int16_t value) {
  return ItemPutUInt16(dst, key, static_cast<uint16_t>(value));
}
size_t ItemPutUInt16(uint8_t* dst, Key key, uint16_t value) {
  if (dst == nullptr) return 0;
  PutHeader(dst, key, 6);
  Put16(dst + kHeader, value);
  return 6;
}
size_t ItemPutInt32(uint8_t* dst, Key key, int32_t value) {
  return ItemPutUInt32(dst, key, static_cast<uint32_t>(value));
}
size_t ItemPutUInt32(uint8_t* dst, Key key, uint32_t value) {
  if (dst == nullptr) return 0;
  PutHeader(dst, key, 8);
  Put32(dst + kHeader, value);
  return 8;
}
size_t ItemPutFloat(uint8_t* dst, Key key, float value) {
  if (dst == nullptr) return 0;
  PutHeader(dst, key, 8);
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 4; ++i) dst[kHeader + i] = static_cast<uint8_t>(bits >> (8 * i));
  return 8;
}
size_t ItemPutDateTime(uint8_t* dst, Key key, const DateRecord& value) {
  if (dst == nullptr) return 0;
  PutHeader(dst, key, 12);
  uint8_t* p = dst + kHeader;
  Put16(p, value.word);
  std::memcpy(p + 2, value.carried, 3);
  p[5] = value.day;
  p[6] = value.month;
  p[7] = value.year;
  return 12;
}
size_t ItemPutSerial(uint8_t* dst, Key key, const SerialRecord& value) {
  if (dst == nullptr) return 0;
  PutHeader(dst, key, 8);
  const uint32_t word = value.suffix == kNewSerialSuffix
                            ? 0x80000000u | (value.number & 0x7FFFFFFFu)
                            : static_cast<uint32_t>(value.suffix) << 24 | (value.number & 0xFFFFFFu);
  Put32(dst + kHeader, word);
  return 8;
}
size_t ItemPutBool(uint8_t* dst, Key key, bool value) { return ItemPutUInt8(dst, key, value ? 1 : 0); }

bool ItemIsValid(const uint8_t* item, size_t count, std::string* problem) {
  if (item == nullptr || count < kHeader)
    return Fail(problem, std::to_string(item == nullptr ? 0 : count) + " bytes decoded, an item needs at least 4");
  const uint16_t length = ItemLength(item);
  if (length < kHeader) return Fail(problem, "root declares length " + std::to_string(length) + ", below 4");
  if (length > count)
    return Fail(problem, "root declares length " + std::to_string(length) + ", only " + std::to_string(count) +
                             " bytes decoded");
  return CheckTree(item, problem);
}

}  // namespace frosk
