#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/pseudo_terminal.h"
#include "support/fake_sysfs.h"
#include "support/local_http_server.h"
#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::BinPath;
using test::LocalHttpServer;
using test::RunProgram;

test::ProgramResult Froskctl(const std::vector<std::string>& args) { return RunProgram(BinPath("froskctl"), args); }

std::string Reply(int build) {
  return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n[FroskManager]\r\nVersion=1.2.0\r\nBuild=" +
         std::to_string(build) + "\r\nInfoPage=https://example.invalid/new\r\n";
}

TEST(FroskctlDiscoveryTest, CheckUpdatePrintsOneLineWithWhatTheServerSaid) {
  struct Case {
    std::string reply;
    int exitCode;
    std::string out;
  } cases[] = {
      {Reply(63), 0, "up to date (build 63)\n"},
      {Reply(64), 0, "update available: build 64, version 1.2.0, page https://example.invalid/new\n"},
      {"HTTP/1.1 404 Not Found\r\n\r\n", 1, "failed\n"},
  };
  for (const Case& c : cases) {
    LocalHttpServer server({.reply = c.reply});
    const auto result = Froskctl({"check-update", "--update-server", server.Address()});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.out;
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
  }

  const auto refused =
      Froskctl({"check-update", "--update-server=127.0.0.1:" + std::to_string(LocalHttpServer::ClosedPort())});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out, "failed\n");

  EXPECT_EQ(Froskctl({"check-update", "--update-server", "host:http"}).exitCode, 2);
}

TEST(FroskctlDiscoveryTest, ScanFailsWhenNothingAnswers) {
  const auto silent = PseudoTerminal::Open();
  ASSERT_NE(silent, nullptr);
  const auto started = std::chrono::steady_clock::now();
  const auto result = Froskctl({"scan", "--ports", silent->ClientPath() + ",/dev/frosk-no-such-port"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "no device found\n");
  // One silent port costs about 800 ms; a generous bound.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));

  for (const char* none : {"", ","}) {
    const auto empty = Froskctl({"scan", "--ports", none});
    EXPECT_EQ(empty.exitCode, 2) << "a list of no ports is the input's fault";
    EXPECT_NE(empty.err.find("--ports names no port"), std::string::npos) << empty.err;
  }
}

TEST(FroskctlDiscoveryTest, ScanListsTheControllersThatAnswerInTimeInPortOrder) {
  const auto pair = test::SimProcess::Start({"--count", "2", "--name", "Bench A"}, 2);
  const auto late = test::SimProcess::Start({"--serial", "900001-01", "--reply-delay", "700"});
  const auto garbled = test::SimProcess::Start({"--serial", "900002-02", "--corrupt-every", "1"});
  const auto silent = PseudoTerminal::Open();
  ASSERT_TRUE(pair && late && garbled && silent);
  const std::string ports = pair->Paths()[1] + "," + silent->ClientPath() + "," + late->Path() + "," + garbled->Path() +
                            "," + pair->Paths()[0];
  const auto result = Froskctl({"scan", "--ports", ports});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "Bench A\t123457-07\t2025-03-14\t" + pair->Paths()[1] + "\n" +
                            "Bench A\t123456-07\t2025-03-14\t" + pair->Paths()[0] + "\n");
  EXPECT_EQ(result.err, "");
}

// The stored settings decide what a scan without --ports probes.
TEST(FroskctlDiscoveryTest, ScanWithoutPortsProbesWhatTheProgramWould) {
  const auto sim = test::SimProcess::Start({});
  ASSERT_TRUE(sim);
  const test::FakeSysfs noSerialPorts;
  struct Case {
    std::string store;
    int exitCode;
  } cases[] = {
      {"[Settings]\nUseSpecificPorts=1\nPortsList=\",," + sim->Path() + ",\"\n", 0},
      {"[Settings]\nUseSpecificPorts=1\nPortsList=\n", 1},
      {"[Settings]\nUseSpecificPorts=0\nPortsList=" + sim->Path() + "\n", 1},
  };
  for (const Case& c : cases) {
    const test::TempDir home;
    home.Write("DROV System/FroskManager.conf", c.store);
    setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
    setenv("FROSK_SYSFS_ROOT", noSerialPorts.Root().c_str(), 1);
    const auto result = Froskctl({"scan"});
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("FROSK_SYSFS_ROOT");
    EXPECT_EQ(result.exitCode, c.exitCode) << c.store;
    EXPECT_EQ(result.out, c.exitCode == 0 ? "FroskTEC\t123456-07\t2025-03-14\t" + sim->Path() + "\n" : "");
    EXPECT_EQ(result.err, c.exitCode == 0 ? "" : "no device found\n");
  }
}

}  // namespace
}  // namespace frosk
