#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/value_types.h"

namespace frosk {

// An item is one parameter tree in bytes: big-endian key and total length
// (header included), then the payload. Items live in caller-owned buffers;
// nothing here allocates. A null item reads as 0, false or no item.
//
// The readers trust the item's lengths: call ItemIsValid once on decoded
// bytes before walking or parsing them.

Key ItemKey(const uint8_t* item);
uint16_t ItemLength(const uint8_t* item);
uint16_t ItemPayloadLength(const uint8_t* item);
int ItemType(const uint8_t* item);
const uint8_t* ItemPayload(const uint8_t* item);

const uint8_t* ItemFirstChild(const uint8_t* item);
// With no child given, the first child.
const uint8_t* ItemNextChild(const uint8_t* parent, const uint8_t* child);
// The first child with this key, in byte order; recursive searches depth first.
const uint8_t* ItemFindChild(const uint8_t* container, Key key, bool recursive);

// The number readers read the start of the payload without checking its length.
int8_t ItemGetInt8(const uint8_t* item);
uint8_t ItemGetUInt8(const uint8_t* item);
bool ItemGetBool(const uint8_t* item);
int16_t ItemGetInt16(const uint8_t* item);
uint16_t ItemGetUInt16(const uint8_t* item);
int32_t ItemGetInt32(const uint8_t* item);
uint32_t ItemGetUInt32(const uint8_t* item);
float ItemGetFloat(const uint8_t* item);  // the protocol's one little-endian field
// Copies at most size - 1 payload bytes and a terminating NUL; false when size is 0.
bool ItemGetCStr(const uint8_t* item, char* buffer, size_t size);
// False, leaving the record unchanged, unless the payload is exactly 8 (4) bytes.
bool ItemGetDateTime(const uint8_t* item, DateRecord& record);
bool ItemGetSerial(const uint8_t* item, SerialRecord& record);

// Writers return the number of bytes written; a null destination writes nothing.
size_t ItemPutContainer(uint8_t* dst, Key key, uint16_t totalLength);
// Writes exactly n bytes of text (n + 4 in all).
size_t ItemPutCStr(uint8_t* dst, Key key, const char* text, uint16_t n);
size_t ItemPutInt8(uint8_t* dst, Key key, int8_t value);
size_t ItemPutUInt8(uint8_t* dst, Key key, uint8_t value);
size_t ItemPutInt16(uint8_t* dst, Key key, int16_t value);
size_t ItemPutUInt16(uint8_t* dst, Key key, uint16_t value);
size_t ItemPutInt32(uint8_t* dst, Key key, int32_t value);
size_t ItemPutUInt32(uint8_t* dst, Key key, uint32_t value);
size_t ItemPutFloat(uint8_t* dst, Key key, float value);
size_t ItemPutDateTime(uint8_t* dst, Key key, const DateRecord& value);
size_t ItemPutSerial(uint8_t* dst, Key key, const SerialRecord& value);
size_t ItemPutBool(uint8_t* dst, Key key, bool value);

// Whether `count` decoded bytes hold one well-formed item tree: at least a
// header, a root that fits, children of at least 4 bytes that fill their
// parent exactly, and numeric payloads as wide as their type. Bytes after the
// root are ignored. On failure `problem` (when given) says what does not fit.
bool ItemIsValid(const uint8_t* item, size_t count, std::string* problem = nullptr);

}  // namespace frosk
