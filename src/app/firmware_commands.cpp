#include "app/firmware_commands.h"

#include "firmware/firmware_files.h"
#include "protocol/value_types.h"

namespace frosk {

namespace {

constexpr unsigned kYesNoStop = mb::kYesNo | mb::kIconStop;
constexpr unsigned kYesNoWarning = mb::kYesNo | mb::kIconWarning;
constexpr unsigned kOkCancelWarning = mb::kOkCancel | mb::kIconWarning;

constexpr int kQuvaType = 1;
constexpr int kModuleType = 3;

}  // namespace

FirmwareCommands::FirmwareCommands(Surroundings surroundings) : surroundings_(surroundings) {
  surroundings_.engine.SetCheckDeviceFirmware([this](DeviceEntry& entry) { return CheckDeviceFirmware(entry); });
  surroundings_.engine.SetProgramModule([this](const std::string& portName) { ProgramModule(portName); });
}

FirmwareCommands::~FirmwareCommands() {
  surroundings_.engine.SetCheckDeviceFirmware(nullptr);
  surroundings_.engine.SetProgramModule(nullptr);
}

bool FirmwareCommands::CheckDeviceFirmware(const DeviceEntry& entry) {
  const int type = entry.Iden.type;
  DiscoveryEngine& engine = surroundings_.engine;
  if (!IsKnownDeviceType(type)) {
    if (surroundings_.prompter.AskToCheckForUpdates(
            "Unknown device!\rMaybe your software is obsolete...\rDo you want to check for updates?", kYesNoStop) ==
        kIdYes)
      engine.CheckForUpdates();
    return false;
  }

  const std::optional<int> available = FirmwareFileVersion(surroundings_.folders, type);
  if (!available) {
    Ask(UnreadableInfoFileMessage(InfoFilePath(surroundings_.folders, type)), mb::kIconStop);
    return false;
  }

  const int device = entry.Iden.firmVer;
  if (device < *available) {
    const int target = type == kQuvaType ? kQuvaFirmwareTarget : kQuvaV2FirmwareTarget;
    // Copied before the dialog: the entry goes with the devices closed after it.
    const std::string portName = entry.Port.portName;
    const FirmwareOffer offer{"controller " + SerialToText(entry.Iden.serial), portName, device, available, target};
    if (surroundings_.prompter.AskToProgramFirmware("Device has to be updated!\rDo you want to do it now?",
                                                    kYesNoWarning, offer) == kIdYes) {
      surroundings_.dialogs.RunProgrammingDialog(target, portName, FirmwareFilePath(surroundings_.folders, type));
      engine.ReloadDevices();
    }
    return false;
  }
  if (device > *available) {
    if (surroundings_.prompter.AskToCheckForUpdates(
            "Your software is probably obsolete!\rDo you want to check for updates?", kYesNoStop) == kIdYes) {
      engine.CheckForUpdates();
      return false;
    }
    if (!surroundings_.settings.ServiceMode) return false;
    return Ask("Do you want to connect despite the version mismatch?", kYesNoWarning) == kIdYes;
  }
  return true;
}

void FirmwareCommands::StartProgramming(int target, const std::string& file, const std::string& portName) {
  const std::string path = file.empty() ? TargetDefaultFile(surroundings_.folders, target) : file;
  surroundings_.dialogs.RunProgrammingDialog(target, portName, path);
}

void FirmwareCommands::ForceDeviceProgramming() {
  if (Ask("Operation potentially unsafe. Should be used only in case of failure  during automatic firmware "
          "update.\r\rAre you sure?",
          kOkCancelWarning) != kIdOk)
    return;
  ProgramChosenTarget(false);
}

void FirmwareCommands::FlashFirmware() { ProgramChosenTarget(true); }

// The devices are closed and a running scan is halted first, so that no link
// holds the port the tool is to use while the dialogs are up, and the devices
// are found again afterwards, whatever the dialogs' outcome.
void FirmwareCommands::ProgramChosenTarget(bool serviceList) {
  DiscoveryEngine& engine = surroundings_.engine;
  engine.CloseAllDevices();
  engine.HaltScan();
  if (const std::optional<TargetChoice> choice = surroundings_.dialogs.RunTargetDialog(serviceList))
    StartProgramming(choice->target, choice->useDefaultFile ? "" : choice->file, choice->portName);
  engine.ReloadDevices();
}

void FirmwareCommands::ProgramModule(const std::string& portName) {
  surroundings_.dialogs.RunProgrammingDialog(kModuleTarget, portName,
                                             FirmwareFilePath(surroundings_.folders, kModuleType));
}

}  // namespace frosk
