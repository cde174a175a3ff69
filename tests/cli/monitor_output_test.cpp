// froskctl monitor --output against frosk-sim: the recording file, refused
// and appended files, and the duration.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk::test {
namespace {

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

class MonitorOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", settings_.Path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

  static ProgramResult Froskctl(const std::vector<std::string>& args) { return RunProgram(BinPath("froskctl"), args); }

  TempDir settings_;
  TempDir dir_;
  std::unique_ptr<SimProcess> sim_ = SimProcess::Start({"--module", "veltra"});
  std::string port_ = sim_ != nullptr ? sim_->Path() : "/dev/frosk-no-sim";
  std::string file_ = dir_.Path() + "run.csv";
};

TEST_F(MonitorOutputTest, RepliesAreRecordedAndAnExistingFileIsAddedToOnlyWithAppend) {
  ASSERT_NE(sim_, nullptr);
  const ProgramResult first = Froskctl({"monitor", port_, "--output", file_, "--count", "4"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  std::vector<std::string> rows = FileLines(file_);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].rfind("time,ms,record,FROSKTEC_MONITOR_SUP_ON,", 0), 0u);
  EXPECT_NE(rows[1].find(",MODULE_VELTRA_MONITOR,"), std::string::npos);

  const ProgramResult refused = Froskctl({"monitor", port_, "--output", file_, "--count", "1"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("exists already"), std::string::npos) << refused.err;

  const ProgramResult appended = Froskctl({"monitor", port_, "--output", file_, "--append", "--duration", "0.5"});
  ASSERT_EQ(appended.exitCode, 0) << appended.err;
  rows = FileLines(file_);
  EXPECT_GT(rows.size(), 5u);
  EXPECT_EQ(rows[5].find("time,"), std::string::npos) << "no second header";
}

TEST_F(MonitorOutputTest, UsageErrorsNameTheirOption) {
  const std::string other = dir_.Write("other.csv", "a,b\n1,2\n");
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {{"monitor", port_, "--output", other, "--append"}, "other columns"},
      {{"monitor", port_, "--append"}, "--append goes with --output"},
      {{"monitor", port_, "ttyS9", "--output", file_}, "--output records one PORT"},
      {{"monitor", port_, "--duration", "soon"}, "--duration needs a positive number of seconds"},
      {{"monitor", port_, "--duration", "0"}, "--duration needs a positive number of seconds"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = Froskctl(c.args);
    EXPECT_EQ(result.exitCode, 2) << c.says;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
  }
  EXPECT_EQ(FileLines(other), (std::vector<std::string>{"a,b", "1,2"}));
}

}  // namespace
}  // namespace frosk::test
