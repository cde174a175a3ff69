#include "protocol/device_codes.h"

#include <iterator>

namespace frosk {

std::string_view StatusText(int code) {
  switch (code) {
    case kStatusTemperatureLocked: return "Temperature locked";
    case kStatusCooling: return "Cooling in progress";
    case kStatusNotCooling: return "Not cooling";
    case 128: return "ERROR: Detector overheat";
    case 129: return "ERROR: Overcurrent";
    case 130: return "ERROR: TEC open circuit";
    case 131: return "ERROR: TEC short circuit";
    case 132: return "ERROR: TH open circuit";
    case 133: return "ERROR: TH short circuit";
    case 134: return "ERROR: Interior overheat";
    case kStatusNoModule: return "ERROR: No module connected";
    case 136: return "ERROR: Data short circuit";
    case 137:
    case 138: return "ERROR: Data error";
    case 139: return "ERROR: EEPROM error";
    case kStatusIncompatibleKazModule: return "ERROR: Incompatible KAZ module";
    case kStatusIncompatibleModule: return "ERROR: Incompatible module";
    default: return {};
  }
}

int GainIndexOf(int code) {
  for (size_t i = 0; i < std::size(kGainCodes); ++i)
    if (kGainCodes[i].code == code) return static_cast<int>(i);
  return -1;
}

}  // namespace frosk
