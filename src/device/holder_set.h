#pragma once

#include <array>
#include <span>
#include <vector>

#include "protocol/record_slots.h"
#include "protocol/vfrosk_class.h"

namespace frosk {

// A holder group per record slot, whoever keeps them: the device window's
// engine keeps the values the device holds, a file read apart from any device
// keeps its own. Files are written from and read into either.
class HolderSet {
 public:
  // The group's holders in its record's field order; empty for a group the set does not keep.
  virtual std::span<VFroskClass> Holders(Group group) = 0;
  // The holder of a field in a group; null when the group has no such field.
  VFroskClass* Holder(Group group, Key field);

 protected:
  ~HolderSet() = default;
};

// The records a configuration file can carry, held apart from any device: a
// file that is being looked at or sent must never take the place of what the
// device reports.
class FileHolders final : public HolderSet {
 public:
  // Every record's holders set up from the catalogue, all zero.
  FileHolders();

  std::span<VFroskClass> Holders(Group group) override;

 private:
  std::array<std::vector<VFroskClass>, kGroupCount> groups_;
};

// Copies the values of the records of `records` that both sets keep.
void CopyRecords(HolderSet& from, HolderSet& to, ContentMask records = content::kRecords | content::kSignatures);

}  // namespace frosk
