#include "common/tick_clock.h"

#include <chrono>

namespace frosk {

uint32_t SteadyTickClock::Now() const {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace frosk
