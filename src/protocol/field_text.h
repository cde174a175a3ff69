#pragma once

#include <string>
#include <string_view>

#include "protocol/vfrosk_class.h"

namespace frosk {

// What a number outside its field's limits (its own, else its type's range)
// comes to: kept within them, as the window's controls keep a setting, or
// refused, for a request that must go out as written or not at all.
enum class OutOfLimits { kClamp, kRefuse };

// Strict text entry for one field, as froskctl takes FIELD=VALUE:
//   integer types: a choice name of the field (any case), or an optionally
//     signed decimal number, scaled and rounded as SetFromText does, then
//     clamped or refused outside the limits;
//   float: a decimal number; bool: TRUE, FALSE, 1 or 0 in any case;
//   serial: NNNNNN-NN, NNNNNN/NN or 1 to 9 digits; datetime: YYYY-MM-DD;
//   cstr: at most CStr size - 1 characters.
// Returns an empty string on success, else why the text was refused.
std::string SetFieldFromText(VFroskClass& holder, std::string_view text, OutOfLimits outOfLimits = OutOfLimits::kClamp);

}  // namespace frosk
