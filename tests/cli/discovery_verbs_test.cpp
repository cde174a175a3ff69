#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/pseudo_terminal.h"
#include "support/local_http_server.h"
#include "support/run_program.h"

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
}

}  // namespace
}  // namespace frosk
