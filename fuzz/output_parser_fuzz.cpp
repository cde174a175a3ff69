// Any bytes as a programming tool's output: the first byte picks the target,
// the second whether the tool still runs, the next four the elapsed time; the
// rest is the log. Whatever the tool prints, the verdict is one the runner
// knows and the progress stays on its bar.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "firmware/output_parser.h"

using namespace frosk;

namespace {

bool KnownStep(int s) {
  return (s >= step::kStarted && s <= step::kVerifying) || s == step::kFinished ||
         (s >= step::kDeviceNotAvailable && s <= step::kToolFailed && s != step::kLaunchFailed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const int target = data[0] % 8;
  const bool running = (data[1] & 1) != 0;
  const uint32_t elapsed = static_cast<uint32_t>(data[2]) | static_cast<uint32_t>(data[3]) << 8 |
                           static_cast<uint32_t>(data[4]) << 16 | static_cast<uint32_t>(data[5]) << 24;
  const std::string_view log(reinterpret_cast<const char*>(data + 6), size - 6);
  const auto verdict = ParseProgrammerOutput(log, elapsed, target, running);
  if (!verdict) return 0;
  if (!KnownStep(verdict->step) || verdict->progress < 0 || verdict->progress > 100) std::abort();
  if (verdict->endTool && (verdict->step != step::kDeviceNotReady || !running)) std::abort();
  return 0;
}
