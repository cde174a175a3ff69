#pragma once

#include <cstdint>

namespace frosk {

// Milliseconds from an arbitrary origin. The count wraps like the system tick
// count it stands for, so ages are always taken as unsigned differences.
class TickClock {
 public:
  virtual ~TickClock() = default;
  virtual uint32_t Now() const = 0;
};

class SteadyTickClock final : public TickClock {
 public:
  uint32_t Now() const override;
};

// A test, or a headless tool replaying time, advances this clock by hand.
class ManualTickClock final : public TickClock {
 public:
  explicit ManualTickClock(uint32_t start = 0) : now_(start) {}
  uint32_t Now() const override { return now_; }
  void Advance(uint32_t ms) { now_ += ms; }
  void Set(uint32_t ms) { now_ = ms; }

 private:
  uint32_t now_;
};

}  // namespace frosk
