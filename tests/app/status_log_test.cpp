#include "app/status_log.h"

#include <gtest/gtest.h>

namespace frosk {
namespace {

TEST(StatusLogTest, AppendClosesTheLastLineBeforeANewStampedLineOpens) {
  FixedWallClock clock({2026, 1, 2, 3, 4, 5});
  StatusLog log(clock);
  EXPECT_FALSE(log.Write("", "dropped while the log is empty"));
  EXPECT_TRUE(log.Lines().empty());

  EXPECT_TRUE(log.Write("Checking for updates ... ", ""));
  clock.Set({2026, 12, 31, 23, 59, 58});  // the stamp is taken when the line is added
  EXPECT_TRUE(log.Write("Searching for devices ... ", "CONNECTION FAILED !"));
  EXPECT_FALSE(log.Write("", ""));
  EXPECT_TRUE(log.Write("", "NOT FOUND !"));

  EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                             "2026-01-02 03:04:05  Checking for updates ... CONNECTION FAILED !",
                             "2026-12-31 23:59:58  Searching for devices ... NOT FOUND !",
                         }));
}

TEST(StatusLogTest, ANoteBetweenAScanLineAndItsResultLeavesTheResultOnTheScanLine) {
  FixedWallClock clock({2026, 1, 2, 3, 4, 5});
  StatusLog log(clock);
  EXPECT_TRUE(log.Note("Cannot write /media/full/bench.froskconfig: No space left on device"));
  EXPECT_FALSE(log.Write("", "dropped: no line waits for it"));
  EXPECT_TRUE(log.Write("Searching for devices ... ", ""));
  EXPECT_TRUE(log.Note("a note"));
  EXPECT_FALSE(log.Note(""));
  EXPECT_TRUE(log.Write("READY", "1 device(s) found."));

  EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                             "2026-01-02 03:04:05  Cannot write /media/full/bench.froskconfig: No space left on device",
                             "2026-01-02 03:04:05  Searching for devices ... 1 device(s) found.",
                             "2026-01-02 03:04:05  a note",
                             "2026-01-02 03:04:05  READY",
                         }));
}

}  // namespace
}  // namespace frosk
