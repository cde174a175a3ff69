#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "protocol/catalogue.h"
#include "protocol/records.h"
#include "protocol/vfrosk_class.h"

namespace frosk {

// Sets up a value holder with its field's key, limits, unit, decimals and choices.
void InitHolder(VFroskClass& holder, const FieldSpec& field);

// A record item built from a group's holders given as a span, byte for byte
// as BuildInto builds it from the group's record; 0 when it does not fit.
// For code that picks a group at run time.
size_t BuildHoldersItem(const ContainerSpec& container, std::span<const VFroskClass> holders, uint8_t* buffer,
                        size_t capacity);
// Stores a record item into a group's holders as a reply is stored: fields the
// item does not carry become 0. False, changing nothing, when the item is not
// the container's.
bool StoreHoldersItem(const ContainerSpec& container, std::span<VFroskClass> holders, const uint8_t* item);

// One value holder per field of a record, in the record's field order, set up
// from the catalogue. Copies the whole record in and out field by field.
template <class Record>
class HolderGroup {
 public:
  using RecordType = Record;
  static constexpr size_t kCount = RecordTraits<Record>::Layout().fields.size();

  HolderGroup() {
    for (size_t i = 0; i < kCount; ++i) InitHolder(holders_[i], Layout().fields[i]);
  }

  static constexpr const ContainerSpec& Layout() { return RecordTraits<Record>::Layout(); }

  void SetRaw(const Record& record) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    for (size_t i = 0; i < kCount; ++i) holders_[i].SetRaw(bytes + RecordTraits<Record>::kSlots[i].offset);
  }

  void GetRaw(Record& record) const {
    auto* bytes = reinterpret_cast<uint8_t*>(&record);
    for (size_t i = 0; i < kCount; ++i) holders_[i].GetRaw(bytes + RecordTraits<Record>::kSlots[i].offset);
  }

  Record ToRecord() const {
    Record record{};
    GetRaw(record);
    return record;
  }

  VFroskClass& operator[](size_t i) { return holders_[i]; }
  const VFroskClass& operator[](size_t i) const { return holders_[i]; }

  // The holder of a field key; nullptr when the key is not one of this record's fields.
  VFroskClass* Find(Key fieldKey) {
    for (VFroskClass& holder : holders_)
      if (holder.ParamKey() == fieldKey) return &holder;
    return nullptr;
  }
  const VFroskClass* Find(Key fieldKey) const { return const_cast<HolderGroup*>(this)->Find(fieldKey); }

  // The holder of a field key that the caller knows belongs to this record.
  VFroskClass& At(Key fieldKey) { return *Find(fieldKey); }
  const VFroskClass& At(Key fieldKey) const { return *Find(fieldKey); }

  static constexpr size_t size() { return kCount; }
  auto begin() { return holders_.begin(); }
  auto end() { return holders_.end(); }
  auto begin() const { return holders_.begin(); }
  auto end() const { return holders_.end(); }

 private:
  std::array<VFroskClass, kCount> holders_;
};

}  // namespace frosk
