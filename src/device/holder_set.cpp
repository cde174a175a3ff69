#include "device/holder_set.h"

#include <algorithm>

#include "protocol/holders.h"

namespace frosk {

VFroskClass* HolderSet::Holder(Group group, Key field) {
  for (VFroskClass& holder : Holders(group))
    if (holder.ParamKey() == field) return &holder;
  return nullptr;
}

FileHolders::FileHolders() {
  for (const RecordSlot& slot : kRecordSlots) {
    if (slot.bit == 0) continue;
    std::vector<VFroskClass>& holders = groups_[static_cast<size_t>(slot.id)];
    const ContainerSpec& container = *FindContainer(slot.container);
    holders.resize(container.fields.size());
    for (size_t i = 0; i < holders.size(); ++i) InitHolder(holders[i], container.fields[i]);
  }
}

std::span<VFroskClass> FileHolders::Holders(Group group) { return groups_[static_cast<size_t>(group)]; }

void CopyRecords(HolderSet& from, HolderSet& to, ContentMask records) {
  for (const RecordSlot& slot : kRecordSlots) {
    if ((slot.bit & records) == 0) continue;
    const std::span<VFroskClass> source = from.Holders(slot.id);
    const std::span<VFroskClass> target = to.Holders(slot.id);
    if (source.size() == target.size()) std::copy(source.begin(), source.end(), target.begin());
  }
}

}  // namespace frosk
