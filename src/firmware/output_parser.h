#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace frosk {

// Where a programming run stands. Below 1000 the run goes on; 1000 is success;
// 2000 and above name the failure.
namespace step {
inline constexpr int kWaitingForTransparentMode = 0;
inline constexpr int kStarted = 1;
inline constexpr int kConnecting = 2;
inline constexpr int kUploading = 3;
inline constexpr int kVerifying = 4;
inline constexpr int kFinished = 1000;
inline constexpr int kDeviceNotAvailable = 2000;
inline constexpr int kRepeatProgramming = 2001;  // the other bootloader variant answered
inline constexpr int kDeviceNotReady = 2002;
inline constexpr int kVerifyError = 2003;
inline constexpr int kLaunchFailed = 2004;
inline constexpr int kToolFailed = 2005;
}  // namespace step

// A tool that has not reached a recognised phase this long after the start
// is taken for hung.
inline constexpr uint32_t kToolStallMs = 5000;
// The module tool gives no output to judge; a run shorter than this is a
// refusal, a longer one a completed upload.
inline constexpr uint32_t kModuleToolMinimumMs = 10000;

struct ParserVerdict {
  int step = step::kStarted;
  int progress = 0;
  bool endTool = false;  // the tool is to be ended: hung, or stuck before a recognised phase
};

// Reads a programming tool's whole output so far, `elapsedMs` after the run
// started, for programming target `target` (1 to 6), knowing whether the tool
// still runs. nullopt when nothing is recognised yet: step and progress stay.
//
// Phases are recognised by the texts of older and of current avrdude releases,
// without regard to case, so the same run is followed whichever is installed.
// Call it whenever the output grows: it is sound at any cut, a progress bar's
// marks included.
std::optional<ParserVerdict> ParseProgrammerOutput(std::string_view log, uint32_t elapsedMs, int target, bool running);

}  // namespace frosk
