#pragma once

#include <optional>
#include <string>

#include "common/folders.h"

namespace frosk {

// The firmware folder beside the programs holds, per device type, an info file
// naming the firmware version it ships ("FirmVer=12") and the firmware itself:
//   type 1 QUVA controller     FroskTec.info    FroskTec.hex
//   type 3 KAZ module          Kaz.info         Kaz.hex
//   type 4 QUVA V2 controller  FroskTecV2.info  FroskTecV2.hex
// Type 2 is known but has no files; other types are not recognised.

bool IsKnownDeviceType(int type);

// The info file's name for a type; empty for types without one.
std::string InfoFileName(int type);

// The "FirmVer" value of the type's info file: 0 when the type has no info
// file, or when the line is missing or not a decimal number. nullopt when the
// type has an info file that is missing or cannot be read, so callers can say
// which file is wrong instead of comparing against a made-up version.
std::optional<int> FirmwareFileVersion(const Folders& folders, int type);

// The full path of the info file of a type (for messages); empty for none.
std::string InfoFilePath(const Folders& folders, int type);

// The message shown when an info file is missing or unreadable.
std::string UnreadableInfoFileMessage(const std::string& path);

// The full path of the type's firmware file; empty for types without one.
std::string FirmwareFilePath(const Folders& folders, int type);

// The programming targets (1 to 6) and the file each writes unless another is chosen.
inline constexpr int kTargetCount = 6;
// The targets an update question starts: a controller's firmware through its
// bootloader, and the detection module's through the controller.
inline constexpr int kQuvaV2FirmwareTarget = 1;
inline constexpr int kQuvaFirmwareTarget = 2;
inline constexpr int kModuleTarget = 3;
// Full path of the target's default file; empty for target 4 and unknown targets.
std::string TargetDefaultFile(const Folders& folders, int target);

}  // namespace frosk
