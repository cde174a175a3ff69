#include "protocol/node_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "protocol/catalogue.h"
#include "protocol/item.h"

namespace frosk {

namespace {

std::string GeneralFloat(float value) {
  // General format with at most 15 significant digits, so a stored 0.1 shows
  // the single-precision value it really is: 0.100000001490116.
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, static_cast<double>(value), std::chars_format::general, 15);
  return std::string(text, result.ptr);
}

void Walk(const uint8_t* item, int depth, const std::function<void(const uint8_t*, int)>& visit) {
  visit(item, depth);
  for (const uint8_t* child = ItemFirstChild(item); child != nullptr; child = ItemNextChild(item, child))
    Walk(child, depth + 1, visit);
}

}  // namespace

std::string ItemValueText(const uint8_t* item) {
  switch (ItemType(item)) {
    case kCStr: {
      const char* text = reinterpret_cast<const char*>(ItemPayload(item));
      return std::string(text, strnlen(text, std::min<size_t>(ItemPayloadLength(item), 255)));
    }
    case kInt8: return std::to_string(ItemGetInt8(item));
    case kUInt8: return std::to_string(ItemGetUInt8(item));
    case kInt16: return std::to_string(ItemGetInt16(item));
    case kUInt16: return std::to_string(ItemGetUInt16(item));
    case kInt32: return std::to_string(ItemGetInt32(item));
    case kUInt32: return std::to_string(ItemGetUInt32(item));
    case kFloat: return GeneralFloat(ItemGetFloat(item));
    case kDateTime: {
      DateRecord date;
      return ItemGetDateTime(item, date) ? DateToText(date) : std::string();
    }
    case kSerial: {
      SerialRecord serial;
      return ItemGetSerial(item, serial) ? SerialToText(serial) : std::string();
    }
    case kBool: return ItemGetBool(item) ? "TRUE" : "FALSE";
    default: return {};
  }
}

std::string ItemNodeText(const uint8_t* item) {
  std::string text(AnyKeyName(ItemKey(item)));
  const std::string_view type = TypeName(ItemType(item));
  if (type.empty()) return text;
  text += " (";
  text += type;
  const std::string value = ItemValueText(item);
  if (!value.empty()) {
    text += ": ";
    text += value;
  }
  text += ")";
  return text;
}

void WalkItemTree(const uint8_t* item, const std::function<void(const uint8_t* node, int depth)>& visit) {
  if (item != nullptr) Walk(item, 0, visit);
}

}  // namespace frosk
