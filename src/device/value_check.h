#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/holder_set.h"

namespace frosk {

class DeviceEngine;

// A value a device should not be given: a field of a record about to be
// written, or of a record whose user limits are about to change, and the
// limit it breaks.
struct ValueViolation {
  Group group;  // the record that holds the value
  Key field;
  bool above;                       // above its limit, else below it
  std::optional<Group> limitGroup;  // the user limit's record; none for the field's own range
  std::string value;                // as shown, with its unit
  std::string bound;                // the limit, as shown, with its unit

  bool operator==(const ValueViolation&) const = default;
};

// Every value that a write would leave in the device outside its limits:
// each value of a written record within its field's range from the catalogue;
// for the default, user set, user minimum and user maximum of a module's
// parameters, the minimum not above the maximum and the default and user set
// between them, wherever the write sends one of the four. `after` holds every
// record as it will be after the write: the written records, and the
// device's where the write sends none. Limits of a record that is neither
// written nor `held` by the device are unknown and bind nothing.
std::vector<ValueViolation> CheckValues(ContentMask written, ContentMask held, HolderSet& after);

// "ModuleUserSet MODULE_BASIC_PARAMS_I_TEC_MAX 3.0000 A is above ModuleUserMax 1.5000 A".
std::string ViolationText(const ValueViolation& violation);

// Refuses a write for its violations: one message names them (the longest
// lists in part, and then in full in the log). Nothing has been sent.
void RefuseValues(DeviceEngine& engine, const std::vector<ValueViolation>& violations);

}  // namespace frosk
