// One process watching several controllers, against frosk-sim, with the
// watch's clock in the test's hand: the station file, lost ports, reopening.
#include "cli/fleet_monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "cli/terminal_prompter.h"
#include "support/event_pump.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"

namespace frosk::test {
namespace {

using cli::FleetMonitor;
using cli::PortHealth;
using cli::StationTextfile;

// Counts the renames that put a new file in place, and fails the next `failRenames` of them.
class CountedRenames : public FileCalls {
 public:
  int Rename(const std::string& from, const std::string& to) override {
    if (failRenames > 0) {
      --failRenames;
      errno = EIO;
      return -1;
    }
    ++renames;
    return FileCalls::Rename(from, to);
  }
  int renames = 0;
  int failRenames = 0;
};

class FleetMonitorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureCoreApplication(); }

  void Watch(const std::vector<std::string>& ports) {
    std::string why;
    textfile_ = StationTextfile::Open(dir_.Path(), "bench-2", &why, files_);
    ASSERT_NE(textfile_, nullptr) << why;
    monitor_ = std::make_unique<FleetMonitor>(FleetMonitor::Options{ports, "bench-2", textfile_.get(), false},
                                              FleetMonitor::Seams{clock_, wallClock_, prompter_, beeper_, folders_});
    ASSERT_EQ(monitor_->Start(), 0);
  }

  bool TickUntil(const std::function<bool()>& done, int maxTicks = 300) {
    return DriveTicks(
        clock_, [this] { monitor_->Tick(); }, done, maxTicks);
  }
  void TickFor(uint32_t ms) {
    TickUntil([] { return false; }, static_cast<int>(ms / 100));
  }

  std::string File() const { return FileText(dir_.Path() + "froskctl-bench-2.prom"); }

  TempDir dir_;
  CountedRenames files_;
  ManualTickClock clock_;
  SystemWallClock wallClock_;
  cli::TerminalPrompter prompter_{false, cli::TerminalPrompter::Asking::kNever};
  cli::SilentBeeper beeper_;
  Folders folders_ = Folders::Beside(FROSK_BIN_DIR);
  std::unique_ptr<StationTextfile> textfile_;
  std::unique_ptr<FleetMonitor> monitor_;
};

TEST_F(FleetMonitorTest, TheFileWaitsForEveryPortThenIsReplacedAtMostOnceASecondAndRetriedAfterAFailure) {
  auto answering = SimProcess::Start({"--serial", "310001-01", "--name", "Bay 1"});
  auto silent = SimProcess::Start({"--silent"});
  ASSERT_TRUE(answering && silent);
  Watch({answering->Path(), silent->Path()});
  files_.failRenames = 1;

  ASSERT_TRUE(TickUntil([&] { return monitor_->Health(0) == PortHealth::kAnswering; }));
  // The silent port has not shown yet that it does not answer: a file now
  // would show it down for a moment at every start.
  TickFor(1000);
  EXPECT_EQ(monitor_->Health(1), PortHealth::kStarting);
  EXPECT_EQ(File(), "");

  ASSERT_TRUE(TickUntil([&] { return monitor_->Health(1) == PortHealth::kNotAnswering; }, 100));
  ASSERT_TRUE(TickUntil([&] { return files_.renames == 1; }, 30)) << "a failed write is tried again";
  const std::string file = File();
  EXPECT_NE(file.find("frosk_up{serial=\"310001-01\",port=\"" + answering->Path() +
                      "\",name=\"Bay 1\",station=\"bench-2\"} 1\n"),
            std::string::npos)
      << file;
  EXPECT_NE(file.find("frosk_up{serial=\"\",port=\"" + silent->Path() + "\",name=\"\",station=\"bench-2\"} 0\n"),
            std::string::npos)
      << file;
  EXPECT_NE(file.find("frosk_detector_temperature_kelvin{serial=\"310001-01\""), std::string::npos);

  // Replies keep coming ten times a second; the file follows once a second.
  TickFor(3000);
  EXPECT_GE(files_.renames, 3);
  EXPECT_LE(files_.renames, 4);

  monitor_->Finish();
  EXPECT_NE(File().find("frosk_up{serial=\"310001-01\",port=\"" + answering->Path() +
                        "\",name=\"Bay 1\",station=\"bench-2\"} 0\n"),
            std::string::npos)
      << "a watch that ends leaves nobody up";
}

TEST_F(FleetMonitorTest, AMessageAboutOneControllerNamesItsPort) {
  auto answering = SimProcess::Start({});
  auto silent = SimProcess::Start({"--silent"});
  ASSERT_TRUE(answering && silent);
  std::ostringstream err;
  std::streambuf* const terminal = std::cerr.rdbuf(err.rdbuf());
  Watch({answering->Path(), silent->Path()});
  const bool settled = TickUntil([&] { return monitor_->Health(1) == PortHealth::kNotAnswering; }, 100);
  TickFor(500);  // the box is shown once the tick that held it returned
  std::cerr.rdbuf(terminal);
  ASSERT_TRUE(settled) << err.str();
  const std::vector<std::string> lines = Lines(err.str());
  EXPECT_NE(std::find(lines.begin(), lines.end(), silent->Path() + ": Communication timeout !"), lines.end())
      << err.str();
  for (const std::string& line : lines)
    EXPECT_EQ(line.rfind(silent->Path() + ": ", 0), 0u) << "every line here is about the silent port: " << line;
}

TEST_F(FleetMonitorTest, ALostPortIsReopenedEveryFiveSecondsAndAnotherControllerComesBackUnderItsOwnLabels) {
  TempDir links;
  auto first = SimProcess::Start({"--serial", "320001-01", "--link", links.Path()});
  ASSERT_NE(first, nullptr);
  const std::string port = links.Path() + "frosk0";
  Watch({port});
  ASSERT_TRUE(TickUntil([&] { return monitor_->Health(0) == PortHealth::kAnswering; }));

  first->Stop();
  ASSERT_TRUE(TickUntil([&] { return monitor_->Health(0) == PortHealth::kLost; }, 100));
  const uint32_t lostAt = clock_.Now();
  // Its series stay, down, under the controller that was there.
  EXPECT_EQ(monitor_->Metrics()[0].serial, "320001-01");
  EXPECT_FALSE(monitor_->Metrics()[0].up);

  auto swapped = SimProcess::Start({"--serial", "320002-02", "--module", "none", "--link", links.Path()});
  ASSERT_NE(swapped, nullptr);
  TickFor(4500);
  EXPECT_EQ(monitor_->Health(0), PortHealth::kLost) << "not reopened before its 5 s";
  ASSERT_TRUE(TickUntil([&] { return monitor_->Health(0) == PortHealth::kAnswering; }, 100));
  EXPECT_GE(clock_.Now() - lostAt, FleetMonitor::kReopenMs);
  const cli::ControllerMetrics now = monitor_->Metrics()[0];
  EXPECT_EQ(now.serial, "320002-02");
  EXPECT_TRUE(now.up);
  // A controller without a module has no setpoint or cool-down, whatever the last one had.
  EXPECT_FALSE(now.setpointKelvin);
  EXPECT_FALSE(now.coolDownSeconds);
}

}  // namespace
}  // namespace frosk::test
