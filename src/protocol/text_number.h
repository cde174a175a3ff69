#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace frosk {

// Number parsing with "." as the decimal separator whatever the user's locale,
// so the program, froskctl, the simulator and files all agree.

// A decimal number: optional blanks, optional sign, digits with an optional
// fraction and exponent, optional blanks. Nothing else may follow.
std::optional<double> ParseDecimal(std::string_view text);

// A decimal integer: optional leading blanks, optional sign, digits. Values
// beyond the 64-bit range are not numbers.
std::optional<int64_t> ParseInteger(std::string_view text);

}  // namespace frosk
