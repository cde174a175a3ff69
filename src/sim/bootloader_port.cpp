#include "sim/bootloader_port.h"

namespace frosk::sim {

BootloaderPort::BootloaderPort(std::unique_ptr<PseudoTerminal> pty, std::unique_ptr<PublishedLink> link,
                               const BootloaderPart& part, const Config& config)
    : line_(std::move(pty), config.lineRate),
      link_(std::move(link)),
      bootloader_(part, config.faults),
      silent_(config.silent) {}

std::string BootloaderPort::ClientPath() const { return link_ ? link_->Path() : line_.ClientPath(); }

void BootloaderPort::OnReadable(Clock::time_point now) {
  line_.Read(now, [&](std::string_view bytes, Clock::time_point start) {
    if (silent_) return;
    std::string reply;
    bootloader_.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), reply);
    // A programmer sends one command and waits for its answer, so the answer
    // leaves once the whole chunk has arrived.
    line_.Send(std::move(reply), line_.After(start, bytes.size()));
  });
  line_.Pump(now);
}

}  // namespace frosk::sim
