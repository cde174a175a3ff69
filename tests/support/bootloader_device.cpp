#include "support/bootloader_device.h"

#include <stdexcept>

namespace frosk::test {

namespace {

const BootloaderPart& Part(const std::string& name) {
  const BootloaderPart* part = FindBootloaderPart(name);
  if (part == nullptr) throw std::invalid_argument("no bootloader part " + name);
  return *part;
}

}  // namespace

BootloaderDevice::BootloaderDevice(const std::string& part, BootloaderLine line, BootloaderFaults faults)
    : terminal_(PseudoTerminal::Open()), bootloader_(Part(part), faults) {
  if (!terminal_) throw std::runtime_error("no pseudo-terminal");
  thread_ = std::thread([this, line] { ServeBootloader(*terminal_, bootloader_, line, stop_); });
}

BootloaderDevice::~BootloaderDevice() { Stop(); }

const std::vector<uint8_t>& BootloaderDevice::Flash() {
  Stop();
  return bootloader_.Flash();
}

void BootloaderDevice::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace frosk::test
