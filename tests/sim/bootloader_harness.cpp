// Serves the simulated bootloader on a fresh pseudo-terminal for the tests
// that drive the real avrdude: prints the port's path on the first line, then
// serves until it is terminated.
//   bootloader_harness PART [--line-rate] [--silent] [--corrupt-readback]
#include <signal.h>

#include <cstdio>
#include <cstring>

#include "sim/bootloader.h"
#include "sim/pseudo_terminal.h"

namespace {
std::atomic<bool> stopped{false};
void Stop(int) { stopped = true; }
}  // namespace

int main(int argc, char** argv) {
  const frosk::BootloaderPart* part = argc > 1 ? frosk::FindBootloaderPart(argv[1]) : nullptr;
  if (part == nullptr) {
    std::fprintf(stderr, "usage: bootloader_harness %s [--line-rate] [--silent] [--corrupt-readback]\n",
                 frosk::BootloaderPartNames().c_str());
    return 2;
  }
  frosk::BootloaderLine line;
  frosk::BootloaderFaults faults;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--line-rate") == 0) line.lineRate = 57600;
    if (std::strcmp(argv[i], "--silent") == 0) line.silent = true;
    if (std::strcmp(argv[i], "--corrupt-readback") == 0) faults.corruptReadBack = true;
  }
  auto terminal = frosk::PseudoTerminal::Open();
  if (!terminal) return 1;
  signal(SIGTERM, Stop);
  signal(SIGINT, Stop);
  std::printf("%s\n", terminal->ClientPath().c_str());
  std::fflush(stdout);
  frosk::Bootloader bootloader(*part, faults);
  frosk::ServeBootloader(*terminal, bootloader, line, stopped);
  return 0;
}
