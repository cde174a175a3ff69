// Ctrl+C (SIGINT) sent to froskctl while it talks to frosk-sim: the verbs
// that only read end at once, the ones that write finish the record on its
// way and send no other, and save leaves the earlier file.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"

namespace frosk::test {
namespace {

// The simulator's log: one line per frame, "in" for a request, "out" for a reply.
struct SimLog {
  std::vector<std::string> lines;

  size_t Requests() const { return Count(" in "); }
  size_t Count(const std::string& part) const {
    size_t count = 0;
    for (const std::string& line : lines) count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
  }
  // The keys of the configuration records received, in order.
  std::vector<std::string> RecordsReceived() const {
    std::vector<std::string> keys;
    for (const std::string& line : lines) {
      if (line.find(" in ") == std::string::npos) continue;
      const std::string key = line.substr(line.rfind(' ') + 1);
      if (key.rfind("SET_", 0) == 0) keys.push_back(key);
    }
    return keys;
  }
};

class InterruptTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", settings_.Path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

  // A fresh simulator logging to its own file; its ports.
  std::vector<std::string> Sim(std::vector<std::string> args, size_t devices = 1) {
    log_ = dir_.Path() + "sim" + std::to_string(++sims_) + ".log";
    args.insert(args.end(), {"--log", log_});
    sim_ = SimProcess::Start(args, devices);
    return sim_ != nullptr ? sim_->Paths() : std::vector<std::string>(devices, "/dev/frosk-no-sim");
  }
  SimLog Log() const { return {Lines(FileText(log_))}; }

  // Runs froskctl and sends it SIGINT once, as soon as `now` holds.
  ProgramResult InterruptWhen(const std::vector<std::string>& args,
                              const std::function<bool(const SimLog& log, const ProgramResult& sofar)>& now) {
    bool sent = false;
    return RunProgram(BinPath("froskctl"), args, {}, 30000, [&](pid_t pid, const ProgramResult& sofar) {
      if (sent || !now(Log(), sofar)) return;
      kill(pid, SIGINT);
      sent = true;
    });
  }

  TempDir settings_;
  TempDir dir_;
  std::unique_ptr<SimProcess> sim_;
  std::string log_;
  int sims_ = 0;
};

// Without the signal, read would end with 0, request and scan with 1 after
// their waits. A script's background froskctl starts with SIGINT ignored, and
// is still stopped by it.
TEST_F(InterruptTest, ReadRequestAndScanEndAtOnce) {
  struct Case {
    std::vector<std::string> sim;
    size_t devices;
    std::function<std::vector<std::string>(const std::vector<std::string>& ports)> args;
    bool ignoredOnEntry;
  } cases[] = {
      {{"--reply-delay", "300"},
       1,
       [](const auto& ports) {
         return std::vector<std::string>{"read", ports[0]};
       },
       false},
      {{"--reply-delay", "300"},
       1,
       [](const auto& ports) {
         return std::vector<std::string>{"read", ports[0]};
       },
       true},
      {{"--silent"},
       1,
       [](const auto& ports) {
         return std::vector<std::string>{"request", ports[0], "GET_DEVICE_IDEN"};
       },
       false},
      {{"--silent", "--count", "4"},
       4,
       [](const auto& ports) {
         return std::vector<std::string>{"scan", "--ports",
                                         ports[0] + "," + ports[1] + "," + ports[2] + "," + ports[3]};
       },
       false},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> args = c.args(Sim(c.sim, c.devices));
    SCOPED_TRACE(args[0] + (c.ignoredOnEntry ? " with SIGINT ignored on entry" : ""));
    sighandler_t before = c.ignoredOnEntry ? signal(SIGINT, SIG_IGN) : nullptr;
    const auto result =
        InterruptWhen(args, [](const SimLog& log, const ProgramResult&) { return log.Requests() >= 1; });
    if (c.ignoredOnEntry) signal(SIGINT, before);
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "froskctl: interrupted\n");
  }
}

TEST_F(InterruptTest, SetLetsTheRecordOnItsWayBeAnsweredAndSendsNoOther) {
  const std::string port = Sim({"--module", "veltra", "--reply-delay", "300"})[0];
  const auto result =
      InterruptWhen({"set", port, "MODULE_BASIC_PARAMS_T_DET=250", "MODULE_VELTRA_PARAMS_GAIN=85"},
                    [](const SimLog& log, const ProgramResult&) { return log.Count("SET_MODULE_USER_SET") > 0; });
  EXPECT_EQ(result.exitCode, 130);
  EXPECT_NE(result.out.find("ModuleUserSet.MODULE_BASIC_PARAMS_T_DET=250.000\n"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("VeltraUserSet."), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "froskctl: interrupted; the VELTRA module's settings not sent\n");
  const SimLog log = Log();
  EXPECT_EQ(log.RecordsReceived(), std::vector<std::string>{"SET_MODULE_USER_SET"});
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines.back().find(" out "), std::string::npos) << "the record was answered: " << log.lines.back();
}

TEST_F(InterruptTest, LoadLetsTheRecordOnItsWayBeAnsweredAndSendsNoOther) {
  const std::string file = dir_.Path() + "veltra.froskconfig";
  ASSERT_EQ(RunProgram(BinPath("froskctl"), {"save", Sim({"--module", "veltra"})[0], file}).exitCode, 0);
  const std::string port = Sim({"--module", "veltra", "--reply-delay", "200"})[0];

  const auto result = InterruptWhen({"load", port, file, "--yes"}, [](const SimLog&, const ProgramResult& sofar) {
    return Lines(sofar.out).size() >= 2;
  });
  EXPECT_EQ(result.exitCode, 130);
  // "record 2 of 11: SET_FROSKTEC_CONFIG": the command names after the count.
  std::vector<std::string> written;
  for (const std::string& line : Lines(result.out)) written.push_back(line.substr(line.find(": ") + 2));
  const SimLog log = Log();
  EXPECT_EQ(log.RecordsReceived(), written);
  ASSERT_GE(written.size(), 2u);
  ASSERT_LT(written.size(), 11u) << result.out;
  EXPECT_EQ(Lines(result.out)[0], "record 1 of 11: SET_DEVICE_IDEN");
  EXPECT_EQ(
      result.err.substr(result.err.find("froskctl: interrupted")),
      "froskctl: interrupted; " + std::to_string(written.size()) + " of 11 records written, the others not sent\n");
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines.back().find(" out "), std::string::npos) << "the record was answered: " << log.lines.back();
}

TEST_F(InterruptTest, SaveWritesNoFileAndLeavesTheEarlierOne) {
  const std::string target = dir_.Write("bench.froskconfig", "the earlier file");
  const std::string port = Sim({"--module", "veltra", "--reply-delay", "300"})[0];
  const auto result = InterruptWhen({"save", port, target},
                                    [](const SimLog& log, const ProgramResult&) { return log.Requests() >= 2; });
  EXPECT_EQ(result.exitCode, 130);
  EXPECT_EQ(result.err, "froskctl: interrupted\n");
  EXPECT_EQ(FileText(target), "the earlier file");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    files += entry.path().extension() == ".log" ? 0 : 1;
  EXPECT_EQ(files, 1u) << "nothing written beside it";
}

}  // namespace
}  // namespace frosk::test
