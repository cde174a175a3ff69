#include "protocol/holders.h"

#include <string>
#include <vector>

namespace frosk {

void InitHolder(VFroskClass& holder, const FieldSpec& field) {
  const std::string unit(field.unit);
  const std::string choices(field.choices);
  holder.Init(field.key, field.cstrSize, field.min, field.max, unit.c_str(), choices.c_str(), field.decimals);
}

size_t BuildHoldersItem(const ContainerSpec& container, std::span<const VFroskClass> holders, uint8_t* buffer,
                        size_t capacity) {
  if (holders.size() != container.fields.size()) return 0;
  const std::vector<FieldSlot> slots = PackedSlots(container);
  std::vector<uint8_t> record(PackedRecordSize(container));
  for (size_t i = 0; i < slots.size(); ++i) holders[i].GetRaw(record.data() + slots[i].offset);
  return BuildRecordBytes(container, slots, record.data(), buffer, capacity);
}

bool StoreHoldersItem(const ContainerSpec& container, std::span<VFroskClass> holders, const uint8_t* item) {
  if (holders.size() != container.fields.size()) return false;
  const std::vector<FieldSlot> slots = PackedSlots(container);
  std::vector<uint8_t> record(PackedRecordSize(container));
  if (!ParseRecordBytes(container, slots, record.data(), item)) return false;
  for (size_t i = 0; i < slots.size(); ++i) holders[i].SetRaw(record.data() + slots[i].offset);
  return true;
}

}  // namespace frosk
