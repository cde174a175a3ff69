#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/vfrosk_class.h"

namespace frosk {

// How the service view and the configurator show a value holder in a field
// and take the field's text back, apart from any widget.

// A serial field holds nine digits, "-" and two places: an old-format serial
// shows its number in nine digits with its suffix (123456-07 as
// 000123456-07), a new-format one its nine digits with the two places blank
// (123456789 as 123456789-__). Its text reads back through SetFromText as the
// same serial.
std::string SerialFieldText(const VFroskClass& serial);

// Whether the text of a serial or date field, as the field gives it (its
// blanks left out), names a value the holder can take: a serial needs all nine
// digits and nothing but digits after the "-"; a date needs a day of the
// calendar from 1900 to 2155, the years the holder can keep. Holders of any
// other type take any text, as SetFromText does.
bool FieldEntryIsPossible(const VFroskClass& holder, std::string_view text);

// FROSKTEC_MONITOR_TH_ADC as its input voltage, r * 1.024 / 2^19 with six
// decimals, and then the raw count: "1.024000 (524288)".
std::string ThAdcText(const VFroskClass& thAdc);

// A check value as eight upper-case hexadecimal digits: "0000B6A9".
std::string SignatureText(const VFroskClass& check);
// A typed check value: one to eight hexadecimal digits, blanks around them
// allowed; nothing for any other text.
std::optional<uint32_t> ParseSignatureText(std::string_view text);

}  // namespace frosk
