#pragma once

#include <string>
#include <string_view>

#include "protocol/vfrosk_class.h"

namespace frosk {

// Strict text entry for one field, as froskctl takes FIELD=VALUE:
//   integer types: a choice name of the field (any case), or an optionally
//     signed decimal number, scaled, rounded and clamped as SetFromText does;
//   float: a decimal number; bool: TRUE, FALSE, 1 or 0 in any case;
//   serial: NNNNNN-NN, NNNNNN/NN or 1 to 9 digits; datetime: YYYY-MM-DD;
//   cstr: at most CStr size - 1 characters.
// Returns an empty string on success, else why the text was refused.
std::string SetFieldFromText(VFroskClass& holder, std::string_view text);

}  // namespace frosk
