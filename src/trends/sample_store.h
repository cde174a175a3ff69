#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace frosk {

// A channel that had no value when its sample was taken (a setpoint not yet
// read): left out of lines, ranges and envelopes.
inline constexpr int32_t kNoValue = std::numeric_limits<int32_t>::min();

// The samples of one monitor record, in raw device units, against the
// milliseconds since the trends began. The last hour is kept whole; older
// samples are reduced to the minimum and maximum of each channel per interval,
// and when those intervals fill their budget, pairs of them merge, so a
// stream kept for days holds a bounded amount however long it runs.
class SampleStream {
 public:
  static constexpr size_t kMaxChannels = 12;
  static constexpr int64_t kFullResolutionMs = 3'600'000;
  static constexpr int64_t kReducedIntervalMs = 5'000;
  // 45 hours at the first interval.
  static constexpr size_t kMaxReduced = 32'768;

  explicit SampleStream(size_t channels);

  size_t Channels() const { return channels_; }
  // Times never go back; a sample older than the last is taken as at the last.
  void Add(int64_t ms, std::span<const int32_t> values);
  // The device stopped answering: the next sample starts a new line, so the
  // stretch without replies shows as a gap.
  void Break();

  bool Empty() const { return recent_.empty() && reduced_.empty(); }
  std::optional<int64_t> FirstMs() const;
  std::optional<int64_t> LastMs() const;
  // The interval older samples are reduced to now (it doubles with each merge).
  int64_t ReducedIntervalMs() const { return interval_; }
  size_t RecentCount() const { return recent_.size(); }
  size_t ReducedCount() const { return reduced_.size(); }

  struct Point {
    int64_t ms;
    int32_t value;
    bool operator==(const Point&) const = default;
  };
  using Line = std::vector<Point>;
  // A channel between two times as lines for a chart `columns` wide: each
  // column's lowest and highest value in the order they came, so a peak
  // narrower than a column still shows. Each gap starts a new line.
  std::vector<Line> Envelope(size_t channel, int64_t from, int64_t to, int columns) const;

  // The sample nearest `ms` within `reach` ms: its time and the channel's range
  // there (one value for a whole sample, a minimum and maximum for a reduced
  // interval). None without one, or when the channel had no value there.
  struct Reading {
    int64_t ms;
    int32_t min;
    int32_t max;
  };
  std::optional<Reading> ReadingAt(size_t channel, int64_t ms, int64_t reach) const;

 private:
  using Values = std::array<int32_t, kMaxChannels>;
  struct Sample {
    int64_t ms;
    bool startsLine;
    Values values;
  };
  // A reduced interval: the samples from `first` to `last`.
  struct Span {
    int64_t first;
    int64_t last;
    bool startsLine;
    Values min;
    Values max;
  };

  void Reduce(const Sample& sample);
  void MergePairs();

  size_t channels_;
  int64_t interval_ = kReducedIntervalMs;
  bool breakPending_ = false;
  std::deque<Span> reduced_;
  std::deque<Sample> recent_;
};

// A change of the controller's status, at the time of the reply that showed it.
struct StatusMark {
  int64_t ms;
  int code;
};

// Everything the trends of one controller hold: a stream per monitor record,
// the status changes and the lock time.
class SampleStore {
 public:
  // The latest marks are kept; a device whose status flaps for days must not
  // fill memory with them.
  static constexpr size_t kMaxMarks = 1000;

  SampleStore(size_t controllerChannels, size_t moduleChannels);

  SampleStream& Controller() { return controller_; }
  const SampleStream& Controller() const { return controller_; }
  SampleStream& Module() { return module_; }
  const SampleStream& Module() const { return module_; }

  // The status of a controller reply; a change is marked.
  void AddStatus(int64_t ms, int code);
  // The device stopped answering: every stream's line breaks.
  void Break();

  const std::deque<StatusMark>& Marks() const { return marks_; }
  // From the first "Cooling in progress" to the first "Temperature locked"
  // after it; none until both were seen.
  std::optional<int64_t> CoolingStartMs() const { return coolingStart_; }
  std::optional<int64_t> LockedMs() const { return locked_; }
  std::optional<int64_t> LockTimeMs() const;

 private:
  SampleStream controller_;
  SampleStream module_;
  std::deque<StatusMark> marks_;
  std::optional<int> lastStatus_;
  std::optional<int64_t> coolingStart_;
  std::optional<int64_t> locked_;
};

}  // namespace frosk
