#include "protocol/record_slots.h"

namespace frosk {

const RecordSlot* SlotOfRequest(Key request) {
  if (request == 0) return nullptr;
  for (const RecordSlot& slot : kRecordSlots)
    if (slot.get == request || slot.set == request) return &slot;
  return nullptr;
}

const RecordSlot* SlotOfBit(ContentMask bit) {
  if (bit == 0) return nullptr;
  for (const RecordSlot& slot : kRecordSlots)
    if (slot.bit == bit) return &slot;
  return nullptr;
}

}  // namespace frosk
