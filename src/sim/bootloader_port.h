#pragma once

#include <memory>
#include <string>

#include "sim/bootloader.h"
#include "sim/device_line.h"
#include "sim/event_loop.h"
#include "sim/published_link.h"

namespace frosk::sim {

// A controller held in its firmware-update mode on a pseudo-terminal: the
// bootloader answers each command once the command's last byte has crossed
// the line.
class BootloaderPort final : public LoopDevice {
 public:
  struct Config {
    bool lineRate = false;
    bool silent = false;  // reads and discards, never answers: a controller not in update mode
    BootloaderFaults faults;
  };

  BootloaderPort(std::unique_ptr<PseudoTerminal> pty, std::unique_ptr<PublishedLink> link, const BootloaderPart& part,
                 const Config& config);

  // The path a client opens: the published link if there is one, else the pseudo-terminal.
  std::string ClientPath() const;

  int Fd() const override { return line_.Fd(); }
  bool WantsWritable() const override { return line_.WantsWritable(); }
  void OnReadable(Clock::time_point now) override;
  void OnWritable(Clock::time_point now) override { line_.Writable(now); }
  std::optional<Clock::time_point> NextDue() const override { return line_.NextDue(); }
  void OnDue(Clock::time_point now) override { line_.Pump(now); }

 private:
  DeviceLine line_;
  std::unique_ptr<PublishedLink> link_;
  Bootloader bootloader_;
  bool silent_;
};

}  // namespace frosk::sim
