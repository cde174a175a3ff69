#pragma once

#include <chrono>

namespace frosk::sim {

using Clock = std::chrono::steady_clock;

// The detector on its thermo-electric cooler, as the controller's regulation
// sees it: the TEC pulls the detector towards its setpoint as fast as the
// allowed current lets it, then settles; switched off, the detector drifts
// back to the enclosure's ambient temperature.
//
// Time only moves when the owner asks (AdvanceTo), so a test can jump a
// minute ahead and an idle simulator spends nothing on physics.
class Cooler {
 public:
  static constexpr double kAmbientK = 295.0;
  // Below this the TEC cannot pull any further, whatever the setpoint.
  static constexpr double kDeepestK = kAmbientK - 110.0;
  // Within this band around the setpoint the controller reports the temperature locked.
  static constexpr double kLockBandK = 0.1;

  struct Drive {
    bool tecOn = false;
    double setpointK = kAmbientK;
    double currentLimitA = 0;
  };

  explicit Cooler(Clock::time_point start) : updated_(start) {}

  // Runs the regulation from the last update to `now` under `drive`.
  void AdvanceTo(Clock::time_point now, const Drive& drive);

  double TemperatureK() const { return temperatureK_; }
  double CurrentA() const { return currentA_; }
  bool Locked(const Drive& drive) const;

 private:
  void Step(double seconds, const Drive& drive);

  Clock::time_point updated_;
  double temperatureK_ = kAmbientK;
  double currentA_ = 0;
};

}  // namespace frosk::sim
