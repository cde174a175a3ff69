// frosk-sim itself, on its pseudo-terminals, as clients meet it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "protocol/frame.h"
#include "protocol/records.h"
#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string Get(Key command) { return FrameEncode(BareRequest(command).data()); }

template <class Record>
std::string Set(Key command, const Record& record) {
  return FrameEncode(RecordRequest(command, record).data());
}

template <class Record>
std::optional<Record> Parse(const std::string& frame) {
  uint8_t item[1024];
  Record record{};
  if (!DecodeItem(item, sizeof item, frame).ok() || !ParseFrom(record, item)) return std::nullopt;
  return record;
}

bool LinkExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

TEST(SimEndToEndTest, EachDeviceAnswersTheProbeInTimeAndItsLinkGoesAtTheEnd) {
  for (const int signal : {SIGTERM, SIGINT}) {
    TempDir folder;
    auto sim = SimProcess::Start({"--count", "3", "--link", folder.Path()}, 3);
    ASSERT_TRUE(sim);
    const char* serials[] = {"123456-07", "123457-07", "123458-07"};
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(sim->Paths()[i], folder.Path() + "frosk" + std::to_string(i));
      auto client = PortClient::Open(sim->Paths()[i]);
      ASSERT_TRUE(client);
      const Clock::time_point sent = Clock::now();
      const auto iden = Parse<DeviceIdenRecord>(client->Request(Get(key::GET_DEVICE_IDEN), 500));
      EXPECT_LT(SecondsSince(sent), 0.5);
      ASSERT_TRUE(iden) << "device " << i;
      EXPECT_EQ(SerialToText(iden->serial), serials[i]);
    }
    EXPECT_EQ(sim->Stop(signal), 0) << strsignal(signal);
    for (const std::string& path : sim->Paths()) EXPECT_FALSE(LinkExists(path)) << path;
  }
}

TEST(SimEndToEndTest, RefusesToStartWhatItCannotRun) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  } cases[] = {
      {{"--frobnicate"}, 2, "unknown option --frobnicate"},
      {{"--state", "/nonexistent/folder/memory"}, 1, "cannot write beside /nonexistent/folder/memory"},
      {{"--link", "/nonexistent/folder"}, 1, "cannot create /nonexistent/folder/frosk0"},
  };
  for (const auto& c : cases) {
    const ProgramResult result = RunProgram(BinPath("frosk-sim"), c.args, {}, 10000);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.front();
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << c.args.front();
  }
}

TEST(SimEndToEndTest, ClientsMayCloseAndReopenThePortAndIdleCostsNothing) {
  auto sim = SimProcess::Start({});
  ASSERT_TRUE(sim);
  for (int round = 0; round < 3; ++round) {
    auto client = PortClient::Open(sim->Path());
    ASSERT_TRUE(client);
    EXPECT_TRUE(Parse<DeviceIdenRecord>(client->Request(Get(key::GET_DEVICE_IDEN)))) << "round " << round;
  }
  // A measured quiet spell with no client: a loop that spins burns all of it.
  const long before = sim->CpuTicks();
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(sim->CpuTicks() - before, 2);
}

TEST(SimEndToEndTest, MemoryInTheStateFileSurvivesARestart) {
  TempDir folder;
  const std::string state = folder.Path() + "memory";
  {
    auto sim = SimProcess::Start({"--state", state});
    ASSERT_TRUE(sim);
    auto client = PortClient::Open(sim->Path());
    auto iden = Parse<DeviceIdenRecord>(client->Request(Get(key::GET_DEVICE_IDEN)));
    ASSERT_TRUE(iden);
    std::strcpy(iden->name, "Renamed");
    const auto stored = Parse<DeviceIdenRecord>(client->Request(Set(key::SET_DEVICE_IDEN, *iden)));
    ASSERT_TRUE(stored);
    EXPECT_STREQ(stored->name, "Renamed");
    EXPECT_EQ(sim->Stop(), 0);
  }
  // Written through a temporary file and a rename: nothing else is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
  auto sim = SimProcess::Start({"--state", state});
  ASSERT_TRUE(sim);
  auto client = PortClient::Open(sim->Path());
  const auto iden = Parse<DeviceIdenRecord>(client->Request(Get(key::GET_DEVICE_IDEN)));
  ASSERT_TRUE(iden);
  EXPECT_STREQ(iden->name, "Renamed");
}

// The reading sequence of a controller with a VELTRA module.
const Key kReadingSequence[] = {
    key::GET_SERVICE_MODE,
    key::GET_DEVICE_IDEN,
    key::GET_FROSKTEC_CONFIG,
    key::GET_FROSKTEC_MONITOR,
    key::GET_FROSKTEC_MOD_NO_MEM_IDEN,
    key::GET_FROSKTEC_MOD_NO_MEM_DEFAULT,
    key::GET_FROSKTEC_MOD_NO_MEM_USER_SET,
    key::GET_FROSKTEC_MOD_NO_MEM_USER_MIN,
    key::GET_FROSKTEC_MOD_NO_MEM_USER_MAX,
    key::GET_MODULE_IDEN,
    key::GET_MODULE_DEFAULT,
    key::GET_MODULE_USER_SET,
    key::GET_MODULE_USER_MIN,
    key::GET_MODULE_USER_MAX,
    key::GET_MODULE_VELTRA_MONITOR,
    key::GET_MODULE_VELTRA_DEFAULT,
    key::GET_MODULE_VELTRA_USER_SET,
    key::GET_MODULE_VELTRA_USER_MIN,
    key::GET_MODULE_VELTRA_USER_MAX,
};

// Runs the sequence one request at a time; the characters both ways and the seconds it took.
std::pair<size_t, double> RunReadingSequence(PortClient& client) {
  size_t characters = 0;
  const Clock::time_point start = Clock::now();
  for (const Key command : kReadingSequence) {
    const std::string request = Get(command);
    const std::string reply = client.Request(request, 2000);
    EXPECT_FALSE(reply.empty()) << AnyKeyName(command);
    characters += request.size() + reply.size();
  }
  return {characters, SecondsSince(start)};
}

TEST(SimEndToEndTest, LineRateTakesAsLongAsA57600BaudLine) {
  for (const bool paced : {true, false}) {
    auto sim = SimProcess::Start(paced ? std::vector<std::string>{"--line-rate"} : std::vector<std::string>{});
    ASSERT_TRUE(sim);
    auto client = PortClient::Open(sim->Path());
    const auto [characters, seconds] = RunReadingSequence(*client);
    EXPECT_EQ(characters, 2922u);
    const double lineSeconds = characters / 5760.0;
    if (paced) {
      EXPECT_GE(seconds, 0.99 * lineSeconds);
      EXPECT_LE(seconds, lineSeconds + 1.0);
    } else {
      EXPECT_LT(seconds, lineSeconds);
    }
  }
}

struct FaultRun {
  TempDir folder;
  std::string log = folder.Path() + "log";
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<PortClient> client;

  explicit FaultRun(std::vector<std::string> args) {
    args.insert(args.end(), {"--log", log, "--link", folder.Path()});
    sim = SimProcess::Start(args);
    if (sim) client = PortClient::Open(sim->Path());
  }
  bool Ready() const { return client != nullptr; }
};

TEST(SimFaultTest, DropsEveryNthReply) {
  FaultRun run({"--drop-every", "2"});
  ASSERT_TRUE(run.Ready());
  EXPECT_FALSE(run.client->Request(Get(key::GET_DEVICE_IDEN)).empty());
  run.client->Send(Get(key::GET_SERVICE_MODE));
  // Once the log has the drop, nothing more will come for that request.
  EXPECT_FALSE(WaitForLine(run.log, {" drop ", " SERVICE_MODE"}).empty());
  EXPECT_TRUE(run.client->ReadFrame(0).empty());
  EXPECT_FALSE(run.client->Request(Get(key::GET_DEVICE_IDEN)).empty());
}

TEST(SimFaultTest, CorruptsTheCheckValueOfEveryNthReply) {
  FaultRun run({"--corrupt-every", "2"});
  ASSERT_TRUE(run.Ready());
  uint8_t item[1024];
  const FrameStatus expected[] = {FrameStatus::kOk, FrameStatus::kBadCheck, FrameStatus::kOk, FrameStatus::kBadCheck};
  for (const FrameStatus status : expected) {
    const std::string reply = run.client->Request(Get(key::GET_FROSKTEC_MONITOR));
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(DecodeItem(item, sizeof item, reply).status, status);
  }
}

TEST(SimFaultTest, NoiseAndOverlongFramesComeBeforeTheReply) {
  {
    FaultRun run({"--garbage-every", "1"});
    ASSERT_TRUE(run.Ready());
    EXPECT_TRUE(Parse<DeviceIdenRecord>(run.client->Request(Get(key::GET_DEVICE_IDEN))));
    EXPECT_EQ(run.client->Received().find('$'), 32u);
  }
  {
    FaultRun run({"--overlong-every", "1"});
    ASSERT_TRUE(run.Ready());
    // More than a receive buffer holds: a sound reader gives it up and still gets the reply.
    EXPECT_TRUE(Parse<DeviceIdenRecord>(run.client->Request(Get(key::GET_DEVICE_IDEN))));
    const std::string& received = run.client->Received();
    EXPECT_EQ(received.front(), '$');
    EXPECT_GT(received.find('#'), 1024u);
  }
}

TEST(SimFaultTest, SilentReadsButNeverAnswers) {
  FaultRun run({"--silent"});
  ASSERT_TRUE(run.Ready());
  run.client->Send(Get(key::GET_DEVICE_IDEN));
  EXPECT_FALSE(WaitForLine(run.log, {" in ", "GET_DEVICE_IDEN", "(silent)"}).empty());
  EXPECT_TRUE(run.client->ReadFrame(0).empty());
}

TEST(SimFaultTest, ReplyDelayHoldsEveryReply) {
  FaultRun run({"--reply-delay", "300"});
  ASSERT_TRUE(run.Ready());
  const Clock::time_point sent = Clock::now();
  EXPECT_FALSE(run.client->Request(Get(key::GET_DEVICE_IDEN), 5000).empty());
  EXPECT_GE(SecondsSince(sent), 0.3);
  EXPECT_LT(SecondsSince(sent), 3.0);
}

TEST(SimFaultTest, VanishesAfterNRequestsAndTakesItsLink) {
  FaultRun run({"--vanish-after", "2"});
  ASSERT_TRUE(run.Ready());
  EXPECT_FALSE(run.client->Request(Get(key::GET_DEVICE_IDEN)).empty());
  EXPECT_FALSE(run.client->Request(Get(key::GET_SERVICE_MODE)).empty());
  EXPECT_TRUE(run.client->WaitForHangUp(5000));
  EXPECT_FALSE(WaitForLine(run.log, {" gone "}).empty());
  EXPECT_FALSE(LinkExists(run.sim->Path()));
  EXPECT_EQ(run.sim->Stop(), 0);
}

TEST(SimFaultTest, LogsEveryFrameWithItsKeyAndWhatWasWrong) {
  FaultRun run({});
  ASSERT_TRUE(run.Ready());
  EXPECT_FALSE(run.client->Request(Get(key::GET_FROSKTEC_CONFIG)).empty());
  run.client->Send("$002000040901#");
  EXPECT_FALSE(WaitForLine(run.log, {" frosk0 in $05000004", " GET_FROSKTEC_CONFIG"}).empty());
  EXPECT_FALSE(WaitForLine(run.log, {" frosk0 out $1800", " FROSKTEC_CONFIG"}).empty());
  EXPECT_FALSE(WaitForLine(run.log, {" in $002000040901# - (bad check value, ignored)"}).empty());
}

}  // namespace
}  // namespace frosk::test
