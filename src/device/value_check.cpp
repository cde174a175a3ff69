#include "device/value_check.h"

#include <span>

#include "device/device_engine.h"

namespace frosk {

namespace {

// The four records of a module's parameters that limit each other.
struct LimitedRecords {
  Group defaults;
  Group userSet;
  Group userMin;
  Group userMax;
};

constexpr LimitedRecords kLimitedRecords[] = {
    {Group::kNoMemDefault, Group::kNoMemUserSet, Group::kNoMemUserMin, Group::kNoMemUserMax},
    {Group::kModuleDefault, Group::kModuleUserSet, Group::kModuleUserMin, Group::kModuleUserMax},
    {Group::kVeltraDefault, Group::kVeltraUserSet, Group::kVeltraUserMin, Group::kVeltraUserMax},
};

// A message box taller than the screen could not be answered.
constexpr size_t kLinesInMessage = 12;

bool IsNumber(const VFroskClass& holder) { return holder.Type() >= kInt8 && holder.Type() <= kFloat; }

std::string Shown(const VFroskClass& holder) {
  const std::string unit = holder.Unit();
  return holder.ValueToText() + (unit.empty() ? "" : " " + unit);
}

std::string ShownAs(const VFroskClass& holder, int32_t raw) {
  VFroskClass limit = holder;
  limit.SetFromInt(raw);
  return Shown(limit);
}

class Checker {
 public:
  Checker(ContentMask written, ContentMask held, HolderSet& after) : written_(written), held_(held), after_(after) {}

  std::vector<ValueViolation> Run() {
    for (const RecordSlot& slot : kRecordSlots) {
      if (slot.bit == 0) continue;
      const std::span<VFroskClass> holders = after_.Holders(slot.id);
      for (size_t i = 0; i < holders.size(); ++i) {
        if (!IsNumber(holders[i])) continue;
        if (Written(slot.id)) CheckRange(slot.id, holders[i]);
        CheckUserLimits(slot.id, i);
      }
    }
    return std::move(violations_);
  }

 private:
  bool Written(Group group) const { return (written_ & SlotOf(group).bit) != 0; }
  bool Known(Group group) const { return ((written_ | held_) & SlotOf(group).bit) != 0; }

  void Add(Group group, const VFroskClass& value, bool above, std::optional<Group> limitGroup, std::string bound) {
    violations_.push_back(
        {group, static_cast<Key>(value.ParamKey()), above, limitGroup, Shown(value), std::move(bound)});
  }

  // Values are compared as the device reads them: a uint32 above 2^31 is large, not negative.
  void CheckRange(Group group, const VFroskClass& value) {
    const FieldSpec* field = FindField(static_cast<Key>(value.ParamKey()));
    if (field == nullptr) return;
    if (field->min != kUndefined && value.GetAsFloat() < field->min)
      Add(group, value, false, std::nullopt, ShownAs(value, field->min));
    if (field->max != kUndefined && value.GetAsFloat() > field->max)
      Add(group, value, true, std::nullopt, ShownAs(value, field->max));
  }

  // Against the other records of its set, where this one or a limit of it is written.
  void CheckUserLimits(Group group, size_t index) {
    for (const LimitedRecords& set : kLimitedRecords) {
      const bool limitWritten = Written(set.userMin) || Written(set.userMax);
      if (group == set.userMin) {
        if (limitWritten && Known(group) && Known(set.userMax)) CheckBound(group, index, set.userMax, true);
      } else if (group == set.defaults || group == set.userSet) {
        if (!Known(group) || !(Written(group) || limitWritten)) continue;
        if (Known(set.userMin)) CheckBound(group, index, set.userMin, false);
        if (Known(set.userMax)) CheckBound(group, index, set.userMax, true);
      }
    }
  }

  void CheckBound(Group group, size_t index, Group limitGroup, bool isMaximum) {
    const VFroskClass& value = after_.Holders(group)[index];
    const VFroskClass& limit = after_.Holders(limitGroup)[index];
    const bool broken = isMaximum ? value.GetAsFloat() > limit.GetAsFloat() : value.GetAsFloat() < limit.GetAsFloat();
    if (broken) Add(group, value, isMaximum, limitGroup, Shown(limit));
  }

  ContentMask written_;
  ContentMask held_;
  HolderSet& after_;
  std::vector<ValueViolation> violations_;
};

}  // namespace

std::vector<ValueViolation> CheckValues(ContentMask written, ContentMask held, HolderSet& after) {
  return Checker(written, held, after).Run();
}

std::string ViolationText(const ValueViolation& violation) {
  std::string limit;
  if (violation.limitGroup)
    limit = std::string(GroupName(*violation.limitGroup));
  else
    limit = violation.above ? "the field's maximum" : "the field's minimum";
  return std::string(GroupName(violation.group)) + " " + std::string(AnyKeyName(violation.field)) + " " +
         violation.value + " is " + (violation.above ? "above " : "below ") + limit + " " + violation.bound;
}

void RefuseValues(DeviceEngine& engine, const std::vector<ValueViolation>& violations) {
  std::string text = "Values outside their limits, nothing was sent:";
  for (size_t i = 0; i < violations.size() && i < kLinesInMessage; ++i) text += "\r" + ViolationText(violations[i]);
  if (violations.size() > kLinesInMessage) {
    text += "\r... and " + std::to_string(violations.size() - kLinesInMessage) + " more (see the log)";
    for (const ValueViolation& violation : violations)
      engine.WriteLog("Value outside its limits: " + ViolationText(violation));
  }
  engine.Ask(text, mb::kIconStop);
}

}  // namespace frosk
