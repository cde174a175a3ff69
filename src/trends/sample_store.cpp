#include "trends/sample_store.h"

#include <algorithm>
#include <cstdlib>

#include "protocol/device_codes.h"

namespace frosk {

namespace {

int64_t FloorDiv(int64_t value, int64_t divisor) {
  const int64_t quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

// Widens a range by a value; a range without values starts at it.
void Widen(int32_t value, int32_t& min, int32_t& max) {
  if (value == kNoValue) return;
  if (min == kNoValue || value < min) min = value;
  if (max == kNoValue || value > max) max = value;
}

// Collects the items of one chart column, then gives them to a line as at
// most two points.
class Column {
 public:
  void Take(int64_t first, int64_t last, int32_t min, int32_t max) {
    if (min == kNoValue) return;
    if (empty_) {
      first_ = first;
      minValue_ = min;
      maxValue_ = max;
      empty_ = false;
    }
    last_ = last;
    minValue_ = std::min(minValue_, min);
    maxValue_ = std::max(maxValue_, max);
  }

  // The end nearer to where the line stands goes first, so a steady slope
  // reads as a slope and not as a saw.
  void FlushInto(SampleStream::Line& line) {
    if (empty_) return;
    empty_ = true;
    if (minValue_ == maxValue_) {
      line.push_back({first_, minValue_});
      return;
    }
    const bool maxFirst = !line.empty() && std::llabs(int64_t{line.back().value} - maxValue_) <
                                               std::llabs(int64_t{line.back().value} - minValue_);
    line.push_back({first_, maxFirst ? maxValue_ : minValue_});
    line.push_back({last_, maxFirst ? minValue_ : maxValue_});
  }

 private:
  bool empty_ = true;
  int64_t first_ = 0;
  int64_t last_ = 0;
  int32_t minValue_ = 0;
  int32_t maxValue_ = 0;
};

}  // namespace

SampleStream::SampleStream(size_t channels) : channels_(std::min(channels, kMaxChannels)) {}

void SampleStream::Add(int64_t ms, std::span<const int32_t> values) {
  if (const std::optional<int64_t> last = LastMs(); last && ms < *last) ms = *last;
  Sample sample{ms, breakPending_ && !Empty(), {}};
  breakPending_ = false;
  sample.values.fill(kNoValue);
  std::copy_n(values.begin(), std::min(values.size(), channels_), sample.values.begin());
  recent_.push_back(sample);
  while (recent_.front().ms < ms - kFullResolutionMs) {
    Reduce(recent_.front());
    recent_.pop_front();
  }
}

void SampleStream::Break() { breakPending_ = true; }

std::optional<int64_t> SampleStream::FirstMs() const {
  if (!reduced_.empty()) return reduced_.front().first;
  if (!recent_.empty()) return recent_.front().ms;
  return std::nullopt;
}

std::optional<int64_t> SampleStream::LastMs() const {
  if (!recent_.empty()) return recent_.back().ms;
  if (!reduced_.empty()) return reduced_.back().last;
  return std::nullopt;
}

void SampleStream::Reduce(const Sample& sample) {
  if (reduced_.empty() || sample.startsLine ||
      FloorDiv(sample.ms, interval_) != FloorDiv(reduced_.back().first, interval_)) {
    reduced_.push_back({sample.ms, sample.ms, sample.startsLine, sample.values, sample.values});
    if (reduced_.size() > kMaxReduced) MergePairs();
    return;
  }
  Span& span = reduced_.back();
  span.last = sample.ms;
  for (size_t c = 0; c < channels_; ++c) Widen(sample.values[c], span.min[c], span.max[c]);
}

// Doubles the interval: neighbours within one new interval become one. A gap
// keeps its two sides apart, unless gaps alone would keep the budget full.
void SampleStream::MergePairs() {
  bool keepGaps = true;
  while (reduced_.size() > kMaxReduced) {
    interval_ *= 2;
    std::deque<Span> merged;
    for (const Span& span : reduced_) {
      const bool joins = !merged.empty() && (!keepGaps || !span.startsLine) &&
                         FloorDiv(span.first, interval_) == FloorDiv(merged.back().first, interval_);
      if (!joins) {
        merged.push_back(span);
        continue;
      }
      Span& into = merged.back();
      into.last = span.last;
      for (size_t c = 0; c < channels_; ++c) {
        Widen(span.min[c], into.min[c], into.max[c]);
        Widen(span.max[c], into.min[c], into.max[c]);
      }
    }
    keepGaps = merged.size() < reduced_.size();
    reduced_ = std::move(merged);
  }
}

std::vector<SampleStream::Line> SampleStream::Envelope(size_t channel, int64_t from, int64_t to, int columns) const {
  std::vector<Line> lines;
  if (channel >= channels_ || to < from) return lines;
  const int64_t width = std::max<int64_t>(1, (to - from) / std::max(1, columns));
  Line line;
  Column column;
  int64_t columnIndex = 0;
  bool started = false;
  const auto take = [&](int64_t first, int64_t last, bool startsLine, int32_t min, int32_t max) {
    if (startsLine) {
      column.FlushInto(line);
      if (!line.empty()) lines.push_back(std::move(line));
      line.clear();
    }
    const int64_t index = FloorDiv(first - from, width);
    if (!started || index != columnIndex) {
      column.FlushInto(line);
      columnIndex = index;
      started = true;
    }
    column.Take(first, last, min, max);
  };

  // One item on each side of the range too, so a line runs to the chart's
  // edges. The reduced intervals matter only where the whole samples do not
  // reach back to the range.
  bool beyond = false;
  if (recent_.empty() || recent_.front().ms > from) {
    auto span =
        std::lower_bound(reduced_.begin(), reduced_.end(), from, [](const Span& s, int64_t ms) { return s.last < ms; });
    if (span != reduced_.begin()) --span;
    for (; span != reduced_.end() && !beyond; ++span) {
      take(span->first, span->last, span->startsLine, span->min[channel], span->max[channel]);
      beyond = span->first > to;
    }
  }
  if (!beyond) {
    auto sample =
        std::lower_bound(recent_.begin(), recent_.end(), from, [](const Sample& s, int64_t ms) { return s.ms < ms; });
    if (sample != recent_.begin()) --sample;
    for (; sample != recent_.end(); ++sample) {
      const int32_t value = sample->values[channel];
      take(sample->ms, sample->ms, sample->startsLine, value, value);
      if (sample->ms > to) break;
    }
  }
  column.FlushInto(line);
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::optional<SampleStream::Reading> SampleStream::ReadingAt(size_t channel, int64_t ms, int64_t reach) const {
  if (channel >= channels_) return std::nullopt;
  std::optional<Reading> best;
  int64_t bestDistance = reach + 1;
  const auto consider = [&](int64_t first, int64_t last, int32_t min, int32_t max) {
    if (min == kNoValue) return;
    const int64_t distance = ms < first ? first - ms : (ms > last ? ms - last : 0);
    if (distance >= bestDistance) return;
    bestDistance = distance;
    best = Reading{std::clamp(ms, first, last), min, max};
  };
  auto sample =
      std::lower_bound(recent_.begin(), recent_.end(), ms, [](const Sample& s, int64_t t) { return s.ms < t; });
  if (sample != recent_.end()) consider(sample->ms, sample->ms, sample->values[channel], sample->values[channel]);
  if (sample != recent_.begin()) {
    --sample;
    consider(sample->ms, sample->ms, sample->values[channel], sample->values[channel]);
  }
  auto span =
      std::lower_bound(reduced_.begin(), reduced_.end(), ms, [](const Span& s, int64_t t) { return s.last < t; });
  if (span != reduced_.end()) consider(span->first, span->last, span->min[channel], span->max[channel]);
  if (span != reduced_.begin()) {
    --span;
    consider(span->first, span->last, span->min[channel], span->max[channel]);
  }
  return best;
}

SampleStore::SampleStore(size_t controllerChannels, size_t moduleChannels)
    : controller_(controllerChannels), module_(moduleChannels) {}

void SampleStore::AddStatus(int64_t ms, int code) {
  if (code == kStatusCooling && !coolingStart_) coolingStart_ = ms;
  if (code == kStatusTemperatureLocked && coolingStart_ && !locked_) locked_ = ms;
  if (lastStatus_ == code) return;
  lastStatus_ = code;
  marks_.push_back({ms, code});
  if (marks_.size() > kMaxMarks) marks_.pop_front();
}

void SampleStore::Break() {
  controller_.Break();
  module_.Break();
}

std::optional<int64_t> SampleStore::LockTimeMs() const {
  if (!coolingStart_ || !locked_) return std::nullopt;
  return *locked_ - *coolingStart_;
}

}  // namespace frosk
