// froskctl monitor of several ports and with --textfile, as scripts and the
// station service run it: lines per port, exit codes, signals, one process
// per station.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"

namespace frosk::test {
namespace {

class FleetVerbTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", settings_.Path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

  static ProgramResult Froskctl(const std::vector<std::string>& args) { return RunProgram(BinPath("froskctl"), args); }

  TempDir settings_;
  TempDir dir_;
};

TEST_F(FleetVerbTest, SeveralPortsPrintEachLineBehindItsPortAndEndWhenTheLastIsLost) {
  auto a = SimProcess::Start({"--vanish-after", "30"});
  auto b = SimProcess::Start({"--vanish-after", "40", "--serial", "330002-02"});
  ASSERT_TRUE(a && b);
  const ProgramResult result = Froskctl({"monitor", a->Path(), b->Path()});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  int fromA = 0, fromB = 0;
  for (const std::string& line : Lines(result.out)) {
    if (line.rfind(a->Path() + ": ", 0) == 0)
      ++fromA;
    else if (line.rfind(b->Path() + ": ", 0) == 0)
      ++fromB;
    else
      ADD_FAILURE() << "a line without its port: " << line;
  }
  EXPECT_GT(fromA, 0);
  EXPECT_GT(fromB, fromA) << "the other port went on after the first was lost";
  EXPECT_NE(result.err.find(a->Path() + ": connection lost"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(b->Path() + ": connection lost"), std::string::npos) << result.err;
}

TEST_F(FleetVerbTest, ASecondWatchOfTheStationIsRefusedAndSigtermLeavesEveryControllerDown) {
  auto sims = SimProcess::Start({"--count", "2"}, 2);
  ASSERT_NE(sims, nullptr);
  const std::string file = dir_.Path() + "froskctl-cell-9.prom";
  const std::vector<std::string> args = {"monitor",   sims->Paths()[0], sims->Paths()[1], "--textfile",
                                         dir_.Path(), "--station",      "cell-9"};
  bool refused = false;
  const ProgramResult first = RunProgram(BinPath("froskctl"), args, {}, 30000, [&](pid_t pid, const ProgramResult&) {
    if (refused || FileText(file).find("} 1\n") == std::string::npos) return;
    const ProgramResult second =
        Froskctl({"monitor", "/dev/frosk-none", "--textfile", dir_.Path(), "--station", "cell-9"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("another froskctl watches station cell-9"), std::string::npos) << second.err;
    refused = true;
    kill(pid, SIGTERM);
  });
  ASSERT_TRUE(refused) << first.err;
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, "");
  const std::string text = FileText(file);
  EXPECT_NE(text.find("frosk_up{serial=\"123456-07\",port=\"" + sims->Paths()[0] + "\""), std::string::npos) << text;
  EXPECT_EQ(text.find("frosk_up{"), text.find("frosk_up{serial=\"123456-07\""));
  for (const std::string& line : Lines(text))
    if (line.rfind("frosk_up{", 0) == 0) {
      EXPECT_EQ(line.substr(line.size() - 2), " 0") << line;
    }
  // Nothing but the file and the lock beside it: no temporary file left behind.
  const ProgramResult listing = RunProgram("/bin/ls", {"-A", dir_.Path()});
  EXPECT_EQ(listing.out, "froskctl-cell-9.lock\nfroskctl-cell-9.prom\n");
}

TEST_F(FleetVerbTest, RefusalsNameTheirReason) {
  const std::string notAFolder = dir_.Write("plain", "x");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string says;
  };
  const Case cases[] = {
      {{"monitor", "/dev/frosk-a", "/dev/frosk-b", "--csv"}, 2, "--csv goes with one PORT without --textfile"},
      {{"monitor", "/dev/frosk-a", "--textfile", dir_.Path(), "--count", "3"}, 2, "--count goes with one PORT"},
      {{"monitor", "/dev/frosk-a", "/dev/frosk-a"}, 2, "/dev/frosk-a is named twice"},
      {{"monitor", "--textfile", dir_.Path()}, 2, "monitor takes at least one PORT"},
      {{"monitor", "/dev/frosk-a", "--textfile", dir_.Path(), "--station", "../up"}, 2, "--station needs a name"},
      {{"monitor", "/dev/frosk-a", "/dev/frosk-b", "--station", "x"}, 2, "--station goes with --textfile"},
      {{"monitor", "/dev/frosk-a", "--textfile", notAFolder + "/sub"}, 1, "Not a directory"},
      // Without --textfile a port that does not open ends the start.
      {{"monitor", "/dev/frosk-a", "/dev/frosk-b"}, 1, "cannot open /dev/frosk-a"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = Froskctl(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.says << "\n" << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace frosk::test
