#include "firmware/output_parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

namespace frosk {

namespace {

enum class Bar { kNone, kWriting, kReading };

// One phase of a tool's run and the texts that show it. Older avrdude releases
// print "avrdude: writing flash (1234 bytes):", current ones "avrdude: writing
// 1234 bytes flash ...", "avrdude error: verification mismatch" and the like;
// each rule lists both, without the "avrdude: " or "avrdude error: " lead.
struct Rule {
  std::array<const char*, 3> markers;  // unused entries are null
  bool needsAll;                       // every marker must be there, not any one
  int step;
  int progress;  // the progress, or the base the bar's share is added to
  Bar bar;
  bool stallLimited;  // a phase that still ends the tool once it has taken too long
};

// Programming through the controller's bootloader (targets 1 and 2).
// clang-format off
constexpr Rule kBootloaderRules[] = {
    {{"flash verified"}, false, step::kFinished, 100, Bar::kNone, false},
    {{"verification error", "verification mismatch"}, false, step::kVerifyError, 100, Bar::kNone, false},
    {{"reading on-chip flash data", "verifying flash memory against"}, false, step::kVerifying, 55, Bar::kReading,
     false},
    {{"writing flash", "writing # bytes flash"}, false, step::kUploading, 10, Bar::kWriting, false},
    {{"buffered memory access not supported"}, false, step::kDeviceNotReady, 0, Bar::kNone, false},
    {{"expected signature for"}, false, step::kRepeatProgramming, 0, Bar::kNone, false},
    {{"connecting to programmer"}, false, step::kConnecting, 0, Bar::kNone, true},
    {{"can't open device", "cannot open port", "unable to open programmer"}, false, step::kDeviceNotAvailable, 0,
     Bar::kNone, false},
};

// Programming the bootloader and its fuse through the USB ISP programmer (targets 5 and 6).
constexpr Rule kIspRules[] = {
    {{"boot verified", "fuse2 verified"}, true, step::kFinished, 100, Bar::kNone, false},
    {{"verification error", "verification mismatch"}, false, step::kVerifyError, 100, Bar::kNone, false},
    {{"reading on-chip boot data", "verifying boot memory against"}, false, step::kVerifying, 55, Bar::kReading,
     false},
    {{"writing boot", "writing # bytes boot"}, false, step::kUploading, 10, Bar::kWriting, false},
    {{"error in CMD_XPROG: Failed"}, false, step::kDeviceNotReady, 0, Bar::kNone, false},
    {{"Found AVRISP"}, false, step::kConnecting, 0, Bar::kNone, true},
    {{"did not find any USB device"}, false, step::kDeviceNotAvailable, 0, Bar::kNone, false},
};
// clang-format on

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

size_t FindText(std::string_view log, std::string_view text, size_t from = 0) {
  if (from > log.size()) return std::string_view::npos;
  const auto found =
      std::search(log.begin() + static_cast<std::ptrdiff_t>(from), log.end(), text.begin(), text.end(), SameLetter);
  return found == log.end() ? std::string_view::npos : static_cast<size_t>(found - log.begin());
}

// The first place the marker stands in the log, without regard to case; a "#"
// in the marker stands for a number of one or more digits.
size_t FindMarker(std::string_view log, std::string_view marker) {
  const size_t hash = marker.find('#');
  if (hash == std::string_view::npos) return FindText(log, marker);
  const std::string_view before = marker.substr(0, hash);
  const std::string_view after = marker.substr(hash + 1);
  for (size_t at = FindText(log, before); at != std::string_view::npos; at = FindText(log, before, at + 1)) {
    size_t digits = at + before.size();
    while (digits < log.size() && std::isdigit(static_cast<unsigned char>(log[digits]))) ++digits;
    if (digits == at + before.size()) continue;
    if (FindText(log.substr(digits, after.size()), after) == 0) return at;
  }
  return std::string_view::npos;
}

// Where the rule's markers are first seen, or npos when the rule does not match.
size_t MatchRule(std::string_view log, const Rule& rule) {
  size_t first = std::string_view::npos;
  for (const char* marker : rule.markers) {
    if (marker == nullptr) continue;
    const size_t at = FindMarker(log, marker);
    if (at == std::string_view::npos && rule.needsAll) return std::string_view::npos;
    first = std::min(first, at);
  }
  return first;
}

// The tool draws a bar of up to 50 marks behind "Writing | " or "Reading | ",
// and they arrive one by one. The bar's share is 45 points of progress.
int BarProgress(std::string_view tailFromMarker, Bar bar, int base) {
  const std::string_view barText = bar == Bar::kWriting ? "Writing | " : "Reading | ";
  const size_t at = FindText(tailFromMarker, barText);
  // Before the bar is drawn the phase has only begun.
  if (at == std::string_view::npos) return base;
  constexpr long kMarks = 50;
  // Counting from the bar's first mark less one, as the bar has always been read.
  const long marks = static_cast<long>(tailFromMarker.size()) - static_cast<long>(barText.size() + at + 1);
  return static_cast<int>(std::min(marks, kMarks) * 45 / kMarks + base);
}

}  // namespace

std::optional<ParserVerdict> ParseProgrammerOutput(std::string_view log, uint32_t elapsedMs, int target, bool running) {
  if (!running) {
    if (target == 3)
      return ParserVerdict{elapsedMs > kModuleToolMinimumMs ? step::kFinished : step::kDeviceNotReady, 0, false};
    return ParserVerdict{step::kToolFailed, 0, false};
  }

  const Rule* rules = nullptr;
  size_t count = 0;
  if (target == 1 || target == 2) {
    rules = kBootloaderRules;
    count = std::size(kBootloaderRules);
  } else if (target == 5 || target == 6) {
    rules = kIspRules;
    count = std::size(kIspRules);
  } else {
    return std::nullopt;  // the module tool says nothing worth reading; target 4 has no tool
  }

  const bool stalled = elapsedMs > kToolStallMs;
  for (const Rule& rule : std::span(rules, count)) {
    const size_t at = MatchRule(log, rule);
    if (at == std::string_view::npos) continue;
    if (rule.stallLimited && stalled) return ParserVerdict{step::kDeviceNotReady, 0, true};
    if (rule.bar == Bar::kNone) return ParserVerdict{rule.step, rule.progress, false};
    return ParserVerdict{rule.step, BarProgress(log.substr(at), rule.bar, rule.progress), false};
  }
  if (stalled) return ParserVerdict{step::kDeviceNotReady, 0, true};
  return std::nullopt;
}

}  // namespace frosk
