#pragma once

#include <functional>

#include "common/tick_clock.h"

namespace frosk::test {

// The application object that suites run by gtest_main lack.
void EnsureCoreApplication();

// Lets the event loop deliver what has arrived, for at most `ms` of real time.
void PumpEvents(int ms);

// Real-time bounded wait for I/O: pumps events until `done` or `timeoutMs`.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs ticks as the 100 ms timer would, with the manual clock standing in for
// time: each round delivers pending events, advances the clock 100 ms and
// calls `tick`. Stops when `done` holds (true) or after `maxTicks` (false).
bool DriveTicks(ManualTickClock& clock, const std::function<void()>& tick, const std::function<bool()>& done,
                int maxTicks);

}  // namespace frosk::test
