#pragma once

#include <optional>
#include <span>

#include "sim/cooler.h"

namespace frosk::sim {

// Something the simulator runs on a pseudo-terminal: the loop tells it when
// its descriptor is ready and when the time it asked for has come.
class LoopDevice {
 public:
  virtual ~LoopDevice() = default;
  // The descriptor to watch for input; -1 when there is none.
  virtual int Fd() const = 0;
  virtual bool WantsWritable() const = 0;
  virtual void OnReadable(Clock::time_point now) = 0;
  virtual void OnWritable(Clock::time_point now) = 0;
  // The next moment the device has something to do; none while it only waits for input.
  virtual std::optional<Clock::time_point> NextDue() const = 0;
  virtual void OnDue(Clock::time_point now) = 0;
};

// Turns SIGINT, SIGTERM and SIGHUP into a readable descriptor, so the loop
// ends between two events and everything is cleaned up. -1 on failure.
int TakeStopSignals();

// Waits in one poll over every device and the stop descriptor until a stop
// signal comes, sleeping without a time-out while nothing is due. Returns the
// exit code: 0 after a stop signal, 1 when polling fails.
int RunUntilStopped(std::span<LoopDevice* const> devices, int stopFd);

}  // namespace frosk::sim
