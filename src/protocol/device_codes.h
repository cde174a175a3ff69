#pragma once

#include <cstddef>
#include <string_view>

namespace frosk {

// DEVICE_IDEN_TYPE: what kind of device answers.
inline constexpr int kDeviceQuva = 1;
inline constexpr int kDeviceWithoutFirmwareFiles = 2;
inline constexpr int kDeviceKazModule = 3;
inline constexpr int kDeviceQuvaV2 = 4;
constexpr bool IsController(int deviceType) { return deviceType == kDeviceQuva || deviceType == kDeviceQuvaV2; }

// FROSKTEC_MONITOR_MODULE_TYPE and MODULE_IDEN_TYPE: the detection module.
// From 2 on the module has a memory of its own; 3 is a VELTRA module.
inline constexpr int kModuleNone = 0;
inline constexpr int kModuleNoMem = 1;
inline constexpr int kModuleWithMemory = 2;
inline constexpr int kVeltraModule = 3;

// FROSKTEC_MONITOR_STATUS: from kFirstErrorStatus on, a fault.
inline constexpr int kStatusTemperatureLocked = 0;
inline constexpr int kStatusCooling = 1;
inline constexpr int kStatusNotCooling = 2;
inline constexpr int kFirstErrorStatus = 128;
inline constexpr int kStatusNoModule = 135;
// The controller cannot work with the module attached.
inline constexpr int kStatusIncompatibleKazModule = 140;
inline constexpr int kStatusIncompatibleModule = 141;
// The monitor's status text for a status code; empty for codes without one.
std::string_view StatusText(int code);

// The VELTRA preamplifier's gain codes (MODULE_VELTRA_PARAMS_GAIN) with the
// gain each gives, in the order the gain list shows them.
struct GainCode {
  double gain;
  int code;
};
inline constexpr GainCode kGainCodes[] = {{0.5, 48}, {1.0, 56}, {1.5, 60}, {2.0, 64}, {3.0, 69}, {5.0, 75},
                                          {7.0, 80}, {10, 85},  {15, 93},  {20, 99},  {30, 111}};
// The index in kGainCodes of the first entry with this code; -1 for none.
int GainIndexOf(int code);

}  // namespace frosk
