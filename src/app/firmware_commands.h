#pragma once

#include <string>

#include "app/discovery_engine.h"
#include "common/folders.h"
#include "common/prompter.h"
#include "firmware/firmware_dialogs.h"
#include "settings/settings_store.h"

namespace frosk {

// The main window's firmware side: the version check before every connect,
// "Force Device Programming...", "Flash Firmware..." and the module
// programming a device window asks for. It asks through the prompter and the
// firmware dialogs and drives the discovery engine, into which it installs
// itself for the life of this object.
class FirmwareCommands {
 public:
  struct Surroundings {
    DiscoveryEngine& engine;
    Prompter& prompter;
    const Settings& settings;  // the program's record: ServiceMode is read at every check
    Folders folders;
    FirmwareDialogs& dialogs;
  };

  explicit FirmwareCommands(Surroundings surroundings);
  ~FirmwareCommands();
  FirmwareCommands(const FirmwareCommands&) = delete;
  FirmwareCommands& operator=(const FirmwareCommands&) = delete;

  // True when the device may be connected as it is. Otherwise it has offered
  // the update, the update check or nothing, as the versions and the answers say.
  bool CheckDeviceFirmware(const DeviceEntry& entry);
  // Shows the programming dialog for a target; an empty file means the target's default.
  void StartProgramming(int target, const std::string& file, const std::string& portName);
  // "Force Device Programming...": after a warning, three targets and their default files.
  void ForceDeviceProgramming();
  // "Flash Firmware...": six targets and the file choice.
  void FlashFirmware();
  // The KAZ module behind the controller on `portName`.
  void ProgramModule(const std::string& portName);

 private:
  int Ask(const std::string& text, unsigned flags) { return surroundings_.prompter.ShowMessageBox(text, flags); }
  void ProgramChosenTarget(bool serviceList);

  Surroundings surroundings_;
};

}  // namespace frosk
