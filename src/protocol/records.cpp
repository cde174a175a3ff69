#include "protocol/records.h"

#include "protocol/item.h"

namespace frosk {

namespace {

static_assert(SlotsMatchCatalogue<DeviceIdenRecord>());
static_assert(SlotsMatchCatalogue<DeviceCheckRecord>());
static_assert(SlotsMatchCatalogue<ServiceModeRecord>());
static_assert(SlotsMatchCatalogue<TransparentModeRecord>());
static_assert(SlotsMatchCatalogue<FroskTecConfigRecord>());
static_assert(SlotsMatchCatalogue<FroskTecMonitorRecord>());
static_assert(SlotsMatchCatalogue<ModuleIdenRecord>());
static_assert(SlotsMatchCatalogue<ModuleCheckRecord>());
static_assert(SlotsMatchCatalogue<ModuleBasicParamsRecord>());
static_assert(SlotsMatchCatalogue<ModuleUserSetBankRecord>());
static_assert(SlotsMatchCatalogue<ModuleVeltraMonitorRecord>());
static_assert(SlotsMatchCatalogue<ModuleVeltraParamsRecord>());

constexpr bool FieldsFitAMask() {
  for (const ContainerSpec& container : catalogue::kContainers)
    if (container.fields.size() > 32) return false;
  return true;
}
static_assert(FieldsFitAMask(), "the parser marks filled fields in 32 bits");

void ReadField(const FieldSpec& definition, const uint8_t* child, uint8_t* field) {
  switch (definition.Type()) {
    case kCStr: ItemGetCStr(child, reinterpret_cast<char*>(field), FieldRecordWidth(definition)); break;
    case kInt8:
    case kUInt8: *field = ItemGetUInt8(child); break;
    case kBool: *field = ItemGetBool(child) ? 1 : 0; break;
    case kInt16:
    case kUInt16: { const uint16_t v = ItemGetUInt16(child); std::memcpy(field, &v, 2); break; }
    case kInt32:
    case kUInt32: { const uint32_t v = ItemGetUInt32(child); std::memcpy(field, &v, 4); break; }
    case kFloat: { const float v = ItemGetFloat(child); std::memcpy(field, &v, 4); break; }
    case kDateTime: {
      DateRecord date;
      if (ItemGetDateTime(child, date)) std::memcpy(field, &date, sizeof date);
      break;
    }
    case kSerial: {
      SerialRecord serial;
      if (ItemGetSerial(child, serial)) std::memcpy(field, &serial, sizeof serial);
      break;
    }
    default: break;
  }
}

}  // namespace

bool ParseRecordBytes(const ContainerSpec& container, std::span<const FieldSlot> slots, void* record,
                      const uint8_t* item, bool* complete) {
  if (complete != nullptr) *complete = false;
  if (item == nullptr || record == nullptr || ItemKey(item) != container.key) return false;
  const size_t count = container.fields.size();
  // One pass over the children; the first child with a field's key fills it.
  // Devices send fields in table order, so the search starts where the last one matched.
  uint32_t filled = 0;
  size_t hint = 0;
  for (const uint8_t* child = ItemFirstChild(item); child != nullptr; child = ItemNextChild(item, child)) {
    const Key key = ItemKey(child);
    for (size_t n = 0; n < count; ++n) {
      const size_t i = (hint + n) % count;
      if (container.fields[i].key != key) continue;
      if ((filled & (1u << i)) == 0) {
        ReadField(container.fields[i], child, static_cast<uint8_t*>(record) + slots[i].offset);
        filled |= 1u << i;
      }
      hint = i + 1;
      break;
    }
  }
  if (complete != nullptr) *complete = filled == (count == 32 ? ~0u : (1u << count) - 1);
  return true;
}

size_t BuildRecordBytes(const ContainerSpec& container, std::span<const FieldSlot> slots, const void* record,
                        uint8_t* buffer, size_t capacity) {
  const size_t size = EncodedSize(container);
  if (buffer == nullptr || record == nullptr || capacity < size) return 0;
  uint8_t* out = buffer + ItemPutContainer(buffer, container.key, static_cast<uint16_t>(size));
  for (size_t i = 0; i < container.fields.size(); ++i) {
    const FieldSpec& definition = container.fields[i];
    const auto* field = static_cast<const uint8_t*>(record) + slots[i].offset;
    switch (definition.Type()) {
      case kCStr:
        out += ItemPutCStr(out, definition.key, reinterpret_cast<const char*>(field),
                           static_cast<uint16_t>(FieldRecordWidth(definition)));
        break;
      case kInt8:
      case kUInt8: out += ItemPutUInt8(out, definition.key, *field); break;
      case kBool: out += ItemPutBool(out, definition.key, *field != 0); break;
      case kInt16:
      case kUInt16: { uint16_t v; std::memcpy(&v, field, 2); out += ItemPutUInt16(out, definition.key, v); break; }
      case kInt32:
      case kUInt32: { uint32_t v; std::memcpy(&v, field, 4); out += ItemPutUInt32(out, definition.key, v); break; }
      case kFloat: { float v; std::memcpy(&v, field, 4); out += ItemPutFloat(out, definition.key, v); break; }
      case kDateTime: {
        DateRecord date;
        std::memcpy(&date, field, sizeof date);
        out += ItemPutDateTime(out, definition.key, date);
        break;
      }
      case kSerial: {
        SerialRecord serial;
        std::memcpy(&serial, field, sizeof serial);
        out += ItemPutSerial(out, definition.key, serial);
        break;
      }
      default: break;
    }
  }
  return size;
}

std::vector<FieldSlot> PackedSlots(const ContainerSpec& container) {
  std::vector<FieldSlot> slots;
  size_t offset = 0;
  for (const FieldSpec& field : container.fields) {
    slots.push_back({offset, FieldRecordWidth(field)});
    offset += FieldRecordWidth(field);
  }
  return slots;
}

std::vector<uint8_t> BareRequest(Key command) {
  std::vector<uint8_t> request(4);
  ItemPutContainer(request.data(), command, 4);
  return request;
}

}  // namespace frosk
