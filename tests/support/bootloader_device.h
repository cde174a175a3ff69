#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/bootloader.h"
#include "sim/pseudo_terminal.h"

namespace frosk::test {

// A controller in its firmware-update mode, served on a pseudo-terminal from
// a thread of the test, for runs of the real avrdude.
class BootloaderDevice {
 public:
  explicit BootloaderDevice(const std::string& part, BootloaderLine line = {}, BootloaderFaults faults = {});
  ~BootloaderDevice();
  BootloaderDevice(const BootloaderDevice&) = delete;
  BootloaderDevice& operator=(const BootloaderDevice&) = delete;

  const std::string& Port() const { return terminal_->ClientPath(); }
  // What the flash holds; stops serving first.
  const std::vector<uint8_t>& Flash();

 private:
  void Stop();

  std::unique_ptr<PseudoTerminal> terminal_;
  Bootloader bootloader_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace frosk::test
