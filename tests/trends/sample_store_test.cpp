// The samples of a controller's trends: whole for the last hour, reduced to
// ranges per interval before it, bounded for runs of days, with gaps where the
// device did not answer and the status changes with the lock time.
#include "trends/sample_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "protocol/device_codes.h"

namespace frosk {
namespace {

constexpr int64_t kPollMs = 100;
constexpr int64_t kHourMs = 3'600'000;

// A stream of one channel fed at 10 replies a second with `value(ms)`.
void Feed(SampleStream& stream, int64_t fromMs, int64_t toMs, int32_t (*value)(int64_t)) {
  for (int64_t ms = fromMs; ms < toMs; ms += kPollMs) {
    const int32_t v = value(ms);
    stream.Add(ms, std::span(&v, 1));
  }
}

int32_t Ramp(int64_t ms) { return static_cast<int32_t>(ms / 1000); }

std::vector<SampleStream::Point> Flat(const std::vector<SampleStream::Line>& lines) {
  std::vector<SampleStream::Point> points;
  for (const auto& line : lines) points.insert(points.end(), line.begin(), line.end());
  return points;
}

TEST(SampleStreamTest, TheLastHourStaysWholeAndOlderSamplesKeepTheirRangePerInterval) {
  SampleStream stream(1);
  // Two hours with a spike of one sample in the first.
  Feed(stream, 0, 2 * kHourMs, [](int64_t ms) { return ms == 1'234'500 ? 99'999 : Ramp(ms); });

  EXPECT_EQ(stream.RecentCount(), static_cast<size_t>(kHourMs / kPollMs) + 1);
  EXPECT_EQ(stream.FirstMs(), 0);
  EXPECT_EQ(stream.LastMs(), 2 * kHourMs - kPollMs);
  EXPECT_LE(stream.ReducedCount(), static_cast<size_t>(kHourMs / SampleStream::kReducedIntervalMs) + 1);

  // The spike is older than an hour, yet a chart of the first hour shows it.
  const auto old = Flat(stream.Envelope(0, 0, kHourMs, 600));
  EXPECT_TRUE(std::any_of(old.begin(), old.end(), [](const auto& p) { return p.value == 99'999; }));
  // A column's pair of points at most, plus the neighbours at either edge.
  EXPECT_LE(old.size(), 2u * 600 + 4);

  // Within the last hour every sample is there.
  const auto recent = Flat(stream.Envelope(0, 2 * kHourMs - 10 * kPollMs, 2 * kHourMs, 1000));
  EXPECT_EQ(recent.size(), 11u);

  const auto whole = stream.ReadingAt(0, 5'000'050, 100);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->min, 5000);
  EXPECT_EQ(whole->max, 5000);
  const auto reduced = stream.ReadingAt(0, 1'234'500, 100);
  ASSERT_TRUE(reduced);
  EXPECT_EQ(reduced->max, 99'999) << "a reduced interval reads as its range";
  EXPECT_FALSE(stream.ReadingAt(0, 3 * kHourMs, 1000)) << "nothing near";
}

TEST(SampleStreamTest, AStretchWithoutRepliesIsAGapBeforeAndAfterItsReduction) {
  SampleStream stream(1);
  Feed(stream, 0, 60'000, Ramp);
  stream.Break();
  Feed(stream, 70'000, 120'000, Ramp);
  EXPECT_EQ(stream.Envelope(0, 0, 120'000, 500).size(), 2u);

  // Two hours later both sides are reduced, and still apart.
  Feed(stream, 120'000, 120'000 + 2 * kHourMs, Ramp);
  ASSERT_GT(stream.ReducedCount(), 0u);
  const auto lines = stream.Envelope(0, 0, 120'000, 500);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_LT(lines[0].back().ms, 60'000);
  EXPECT_GE(lines[1].front().ms, 70'000);
}

TEST(SampleStreamTest, DaysOfRepliesStayWithinABoundedStoreThatStillCoversTheWholeRun) {
  SampleStream stream(SampleStream::kMaxChannels);
  const std::vector<int32_t> values(SampleStream::kMaxChannels, 7);
  constexpr int64_t kDays = 4;
  for (int64_t ms = 0; ms < kDays * 24 * kHourMs; ms += kPollMs) stream.Add(ms, values);

  EXPECT_LE(stream.ReducedCount(), SampleStream::kMaxReduced);
  EXPECT_GT(stream.ReducedIntervalMs(), SampleStream::kReducedIntervalMs) << "intervals merged";
  EXPECT_EQ(stream.FirstMs(), 0) << "the first day is still there, coarser";
  EXPECT_EQ(stream.RecentCount(), static_cast<size_t>(kHourMs / kPollMs) + 1);
}

TEST(SampleStreamTest, AChannelWithoutValueIsLeftOutOfItsLine) {
  SampleStream stream(2);
  for (int64_t ms = 0; ms < 1000; ms += kPollMs) {
    const int32_t values[] = {1, ms < 500 ? kNoValue : 230'000};
    stream.Add(ms, values);
  }
  const auto points = Flat(stream.Envelope(1, 0, 1000, 1000));
  ASSERT_EQ(points.size(), 5u);
  EXPECT_EQ(points.front().ms, 500);
  EXPECT_FALSE(stream.ReadingAt(1, 100, 50));
}

// The lock time runs from the first "Cooling in progress" to the first
// "Temperature locked" after it; every change of status is marked.
TEST(SampleStoreTest, StatusChangesAreMarkedAndTheFirstCoolDownGivesTheLockTime) {
  struct Case {
    std::vector<int> statuses;  // one per second
    std::vector<int> marked;
    std::optional<int64_t> lockTimeMs;
  };
  const Case cases[] = {
      {{kStatusNotCooling, kStatusCooling, kStatusCooling, kStatusTemperatureLocked, kStatusCooling,
        kStatusTemperatureLocked},
       {kStatusNotCooling, kStatusCooling, kStatusTemperatureLocked, kStatusCooling, kStatusTemperatureLocked},
       2000},
      // Connected while locked: no cool-down was seen.
      {{kStatusTemperatureLocked, kStatusTemperatureLocked}, {kStatusTemperatureLocked}, std::nullopt},
      {{kStatusCooling, 131, kStatusCooling}, {kStatusCooling, 131, kStatusCooling}, std::nullopt},
  };
  for (const Case& c : cases) {
    SampleStore store(1, 1);
    for (size_t i = 0; i < c.statuses.size(); ++i) store.AddStatus(static_cast<int64_t>(i) * 1000, c.statuses[i]);
    std::vector<int> marked;
    for (const StatusMark& mark : store.Marks()) marked.push_back(mark.code);
    EXPECT_EQ(marked, c.marked);
    EXPECT_EQ(store.LockTimeMs(), c.lockTimeMs);
  }
}

TEST(SampleStoreTest, AFlappingStatusKeepsOnlyTheLatestMarks) {
  SampleStore store(1, 1);
  for (int i = 0; i < 3000; ++i) store.AddStatus(i, i % 2 == 0 ? kStatusCooling : kStatusTemperatureLocked);
  EXPECT_EQ(store.Marks().size(), SampleStore::kMaxMarks);
  EXPECT_EQ(store.Marks().back().ms, 2999);
  EXPECT_EQ(store.LockTimeMs(), 1) << "the lock time outlives its marks";
}

}  // namespace
}  // namespace frosk
