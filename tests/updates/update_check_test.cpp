#include "updates/update_check.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/event_pump.h"
#include "support/local_http_server.h"

namespace frosk {
namespace {

using test::LocalHttpServer;
using Mode = LocalHttpServer::Mode;

const std::string kUpToDateReply =
    "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n[FroskManager]\r\nVersion=1.1.8\r\nBuild=63\r\n";
const std::string kNewerReply =
    "HTTP/1.1 200 OK\r\nContent-Length: 80\r\n\r\n"
    "[FroskManager]\r\nVersion=1.2.0\r\nBuild=64\r\nInstaller=setup.exe\r\nInfoPage=http://x.invalid/\r\n";

// One check against a server, timed by a manual clock that the 100 ms ticks advance.
class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureCoreApplication(); }

  struct Outcome {
    std::optional<int> result;
    uint32_t atMs = 0;  // manual time of the result since the start
  };

  Outcome Run(const std::string& address, int maxTicks = 150) {
    UpdateCheck check(clock_, *ParseUpdateServer(address));
    Outcome outcome;
    const uint32_t start = clock_.Now();
    QObject::connect(&check, &UpdateCheck::Finished, [&](int result) {
      EXPECT_FALSE(outcome.result) << "a second result";
      outcome.result = result;
      outcome.atMs = clock_.Now() - start;
    });
    check.StartUpdateCheck();
    test::DriveTicks(
        clock_, [&] { check.Poll(); }, [&] { return outcome.result.has_value(); }, maxTicks);
    info_ = check.Info();
    return outcome;
  }

  ManualTickClock clock_{4000000000u};  // the count wraps during the check
  UpdateInfo info_;
};

TEST_F(UpdateCheckTest, UpToDateAfterTheReadPause) {
  LocalHttpServer server({.mode = Mode::kReply, .reply = kUpToDateReply});
  const Outcome outcome = Run(server.Address());
  EXPECT_EQ(outcome.result, kUpToDate);
  EXPECT_GE(outcome.atMs, 500u);
  EXPECT_LT(outcome.atMs, 10000u);
  EXPECT_EQ(server.LastRequest(), UpdateRequestText("127.0.0.1", server.Port()));
  EXPECT_EQ(info_.build, 63);
}

TEST_F(UpdateCheckTest, UpdateAvailableOnceTheContentLengthHasArrived) {
  // The server holds the connection open; the Content-Length ends the reply.
  LocalHttpServer server({.mode = Mode::kTwoPieces, .reply = kNewerReply, .splitAt = 30});
  UpdateCheck check(clock_, *ParseUpdateServer(server.Address()));
  std::optional<int> result;
  QObject::connect(&check, &UpdateCheck::Finished, [&](int r) { result = r; });
  check.StartUpdateCheck();
  ASSERT_TRUE(test::WaitFor([&] { return !server.LastRequest().empty(); }));
  test::DriveTicks(
      clock_, [&] { check.Poll(); }, [] { return false; }, 8);
  EXPECT_FALSE(result) << "half a reply is not read";
  server.Release();
  ASSERT_TRUE(test::DriveTicks(
      clock_, [&] { check.Poll(); }, [&] { return result.has_value(); }, 20));
  EXPECT_EQ(result, kUpdateAvailable);
  EXPECT_EQ(check.Info().build, 64);
  EXPECT_EQ(check.Info().version, "1.2.0");
  EXPECT_EQ(check.Info().infoPage, "http://x.invalid/");
}

TEST_F(UpdateCheckTest, ASilentServerFailsTheCheckAfterTenSeconds) {
  LocalHttpServer server({.mode = Mode::kSilent});
  const Outcome outcome = Run(server.Address());
  EXPECT_EQ(outcome.result, kUpdateFailed);
  EXPECT_GT(outcome.atMs, 10000u);
  EXPECT_LE(outcome.atMs, 10100u);
}

TEST_F(UpdateCheckTest, MegabytesAreReadOnlyUpToTheLimit) {
  // More than the kernel's socket buffers hold, so the server can only send
  // it all if the check keeps reading.
  constexpr size_t kPadding = size_t{64} * 1024 * 1024;
  LocalHttpServer server({.mode = Mode::kReply, .reply = kUpToDateReply, .padding = kPadding});
  const Outcome outcome = Run(server.Address());
  EXPECT_EQ(outcome.result, kUpToDate);
  EXPECT_LT(outcome.atMs, 2000u);
  EXPECT_LT(server.BytesSent(), kPadding);
}

TEST_F(UpdateCheckTest, RepliesThatDoNotParseFailWithoutWaitingForTheGiveUp) {
  struct Case {
    const char* name;
    LocalHttpServer::Script script;
  } cases[] = {
      {"status 404", {.mode = Mode::kReply, .reply = "HTTP/1.1 404 Not Found\r\n\r\n[FroskManager]\r\nBuild=70\r\n"}},
      {"junk", {.mode = Mode::kReply, .reply = "\x16\x03\x01 garbage\r\n"}},
      {"megabytes of junk", {.mode = Mode::kReply, .padding = 4 * 1024 * 1024}},
      {"closed at once", {.mode = Mode::kCloseAtOnce}},
  };
  for (const Case& c : cases) {
    LocalHttpServer server(c.script);
    const Outcome outcome = Run(server.Address());
    EXPECT_EQ(outcome.result, kUpdateFailed) << c.name;
    EXPECT_LT(outcome.atMs, 2000u) << c.name;
  }
}

TEST_F(UpdateCheckTest, NoServerFailsAtOnce) {
  for (const std::string& address :
       {"127.0.0.1:" + std::to_string(LocalHttpServer::ClosedPort()), std::string("updates.froskmanager.invalid")}) {
    const Outcome outcome = Run(address);
    EXPECT_EQ(outcome.result, kUpdateFailed) << address;
    EXPECT_LT(outcome.atMs, 1000u) << address;
  }
}

TEST_F(UpdateCheckTest, ANewStartDropsTheCheckStillRunning) {
  LocalHttpServer silent({.mode = Mode::kSilent});
  UpdateCheck check(clock_, *ParseUpdateServer(silent.Address()));
  int results = 0;
  QObject::connect(&check, &UpdateCheck::Finished, [&](int) { ++results; });
  check.StartUpdateCheck();
  ASSERT_TRUE(test::WaitFor([&] { return !silent.LastRequest().empty(); }));
  clock_.Advance(9000);
  check.StartUpdateCheck();
  clock_.Advance(9000);
  check.Poll();
  EXPECT_EQ(results, 0);
  clock_.Advance(1001);
  check.Poll();
  EXPECT_EQ(results, 1);
}

}  // namespace
}  // namespace frosk
