#pragma once

#include <string>
#include <vector>

#include "sim/bootloader.h"
#include "sim/controller_port.h"
#include "sim/virtual_controller.h"

namespace frosk::sim {

// What frosk-sim's command line asks for.
struct SimOptions {
  ControllerSettings controller;
  unsigned count = 1;
  std::string linkDir;    // publish DIR/froskN links when set
  std::string stateFile;  // keep the memory across restarts when set
  std::string logFile;
  bool lineRate = false;
  LineFaults faults;
  // Set: the devices are controllers in their firmware-update mode, with this part.
  const BootloaderPart* bootloader = nullptr;
  BootloaderFaults bootloaderFaults;
};

struct CommandLine {
  SimOptions options;
  bool help = false;
  std::string error;  // what is wrong with the command line, for standard error
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string Usage();

// Device `index` of a --count run: alike but for its serial number, which counts up.
ControllerSettings SettingsForDevice(const SimOptions& options, unsigned index);
// Each device of a --count run keeps its own memory: FILE.0, FILE.1, ...; a single device uses FILE.
std::string StateFileForDevice(const SimOptions& options, unsigned index);
// The name a device goes by in the log and under --link: frosk0, frosk1, ...
std::string DeviceName(unsigned index);

}  // namespace frosk::sim
