#include "sim/cooler.h"

#include <algorithm>
#include <cmath>

namespace frosk::sim {

namespace {

// With the default 0.5 A limit the detector falls 2.5 K/s: from room
// temperature to 230 K in about half a minute, then a few seconds of settling,
// as a small two-stage cooler does.
constexpr double kPullPerAmpKps = 5.0;
constexpr double kMinPullKps = 0.2;
constexpr double kSettleSeconds = 3.0;
// Unpowered, the detector warms back through its mount much more slowly.
constexpr double kDriftSeconds = 20.0;
// Current that holds one kelvin below ambient against the heat leaking in.
constexpr double kHoldAPerK = 0.006;

constexpr double kStepSeconds = 0.05;
// After this long every state has settled, so a long idle costs a bounded number of steps.
constexpr double kLongestRunSeconds = 600.0;

}  // namespace

void Cooler::AdvanceTo(Clock::time_point now, const Drive& drive) {
  if (now <= updated_) return;
  double seconds = std::chrono::duration<double>(now - updated_).count();
  updated_ = now;
  seconds = std::min(seconds, kLongestRunSeconds);
  while (seconds > 0) {
    const double step = std::min(seconds, kStepSeconds);
    Step(step, drive);
    seconds -= step;
  }
}

void Cooler::Step(double seconds, const Drive& drive) {
  if (!drive.tecOn) {
    temperatureK_ += (kAmbientK - temperatureK_) * seconds / kDriftSeconds;
    currentA_ = 0;
    return;
  }
  const double limitA = std::max(drive.currentLimitA, 0.0);
  const double maxPull = std::max(kPullPerAmpKps * limitA, kMinPullKps);
  const double error = temperatureK_ - drive.setpointK;
  const double pull = std::clamp(error / kSettleSeconds, -maxPull, maxPull);
  temperatureK_ = std::clamp(temperatureK_ - pull * seconds, kDeepestK, kAmbientK + 60.0);
  const double hold = kHoldAPerK * std::max(kAmbientK - temperatureK_, 0.0);
  currentA_ = std::min(limitA, hold + limitA * std::fabs(pull) / maxPull);
}

bool Cooler::Locked(const Drive& drive) const {
  return drive.tecOn && std::fabs(temperatureK_ - drive.setpointK) <= kLockBandK;
}

}  // namespace frosk::sim
