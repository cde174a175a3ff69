// The device engine end to end: froskctl's session over a real link to
// frosk-sim, with the engine's clock in the test's hand where time matters.
#include "cli/device_session.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "device/config_file_engine.h"
#include "protocol/item.h"
#include "protocol/keys.h"
#include "support/event_pump.h"
#include "support/reading_sequence.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk::test {
namespace {

using namespace key;
using cli::DeviceSession;

using Message = ScriptedPrompter::Shown;

class SentKeys : public TrafficObserver {
 public:
  void ItemSent(const uint8_t* item) override { keys.push_back(ItemKey(item)); }
  void ItemReceived(const uint8_t*) override {}
  std::vector<Key> keys;
};

// One frosk-sim and one session on it. The session reports the traffic (the
// ServiceMode setting is on for that) and its questions to the test.
class SessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureCoreApplication(); }

  bool Start(const std::vector<std::string>& simArgs, const TickClock* clock = nullptr) {
    sim_ = SimProcess::Start(simArgs);
    if (sim_ == nullptr) return false;
    session_ = std::make_unique<DeviceSession>(sim_->Path(), Folders::Beside(FROSK_BIN_DIR),
                                               DeviceSession::Options{false, true, clock, &prompter_});
    session_->Engine().SetTrafficObserver(&sent_);
    return session_->Open() == 0;
  }

  // The reading sequence with the monitors left alone.
  int Read() {
    Engine().SetDeviceMonitorAuto(false);
    Engine().SetModuleMonitorAuto(false);
    return session_->RunUntilIdle();
  }

  // Runs the loop until `done` holds after a refresh, at most 10 s.
  void RunUntil(const std::function<bool()>& done) {
    const int id = Engine().AddRefreshListener([&](GroupMask) {
      if (done()) session_->Stop(0);
    });
    QTimer::singleShot(10000, [this] { session_->Stop(1); });
    EXPECT_EQ(session_->Run(), 0) << "gave up waiting";
    Engine().RemoveRefreshListener(id);
  }

  DeviceEngine& Engine() { return session_->Engine(); }

  std::unique_ptr<SimProcess> sim_;
  ScriptedPrompter prompter_;
  SentKeys sent_;
  std::unique_ptr<DeviceSession> session_;
};

TEST_F(SessionTest, TheReadingSequenceAsksForWhatEachModuleHolds) {
  const std::pair<const char*, int> modules[] = {{"none", 0}, {"nomem", 1}, {"1wire", 2}, {"veltra", 3}};
  for (const auto& [module, type] : modules) {
    ASSERT_TRUE(Start({"--module", module})) << module;
    ASSERT_EQ(Read(), 0) << module;
    EXPECT_EQ(sent_.keys, ReadingSequence(type)) << module;
    EXPECT_EQ(Engine().SequenceState(), SequenceState::kIdle);
    EXPECT_EQ(Engine().ModuleTypeSnapshot(), type);
    EXPECT_TRUE(prompter_.shown.empty());
    sent_.keys.clear();
  }
  // The module identification went where its request pointed.
  EXPECT_EQ(Engine().ModuleIden().At(MODULE_IDEN_SERIAL).ValueToText(), "000412-25");
  EXPECT_EQ(Engine().ModuleIden().At(MODULE_IDEN_TYPE).GetAsInt(), 3);
  EXPECT_NE(Engine().NoMemModuleIden().ToRecord(), Engine().ModuleIden().ToRecord());
}

TEST_F(SessionTest, MonitorPollsAlternateOnlyWithAVeltraModule) {
  const std::pair<const char*, std::vector<Key>> cases[] = {
      {"veltra", {GET_MODULE_VELTRA_MONITOR, GET_FROSKTEC_MONITOR, GET_MODULE_VELTRA_MONITOR, GET_FROSKTEC_MONITOR}},
      {"1wire", {GET_FROSKTEC_MONITOR, GET_FROSKTEC_MONITOR, GET_FROSKTEC_MONITOR, GET_FROSKTEC_MONITOR}},
  };
  for (const auto& [module, polls] : cases) {
    ASSERT_TRUE(Start({"--module", module}));
    ASSERT_EQ(Read(), 0);
    sent_.keys.clear();
    Engine().SetDeviceMonitorAuto(true);
    Engine().SetModuleMonitorAuto(true);
    RunUntil([this] { return !Engine().Waiting() && sent_.keys.size() >= 4; });
    EXPECT_EQ(sent_.keys, polls) << module;
  }
}

TEST_F(SessionTest, QuickRequestsWaitForTheReplyAndGoOutInOrder) {
  ASSERT_TRUE(Start({"--module", "veltra"}));
  ASSERT_EQ(Read(), 0);
  sent_.keys.clear();
  EXPECT_TRUE(Engine().SendRequest(GET_DEVICE_IDEN));
  EXPECT_TRUE(Engine().SendRequest(GET_FROSKTEC_CONFIG));
  EXPECT_TRUE(Engine().SendRequest(GET_MODULE_IDEN));
  EXPECT_EQ(sent_.keys, std::vector<Key>{GET_DEVICE_IDEN});
  EXPECT_EQ(session_->RunUntilIdle(), 0);
  EXPECT_EQ(sent_.keys, (std::vector<Key>{GET_DEVICE_IDEN, GET_FROSKTEC_CONFIG, GET_MODULE_IDEN}));
}

// Runs the engine's clock a hundredfold while `fast` holds: each 100 ms tick
// sees 10 s pass.
class FastClock {
 public:
  explicit FastClock(std::function<bool()> fast) {
    QObject::connect(&timer_, &QTimer::timeout, [this, fast = std::move(fast)] {
      if (fast()) clock.Advance(1000);
    });
    timer_.start(10);
  }
  ManualTickClock clock;

 private:
  QTimer timer_;
};

TEST_F(SessionTest, ADeviceThatStopsAnsweringMidSequenceEndsItWithOneMessage) {
  FastClock fast([this] { return sent_.keys.size() >= 7; });
  ASSERT_TRUE(Start({"--module", "veltra", "--drop-every", "7"}, &fast.clock));
  EXPECT_EQ(Read(), 1);
  const std::vector<Key> sequence = ReadingSequence(3);
  EXPECT_EQ(sent_.keys, std::vector<Key>(sequence.begin(), sequence.begin() + 7));
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  EXPECT_EQ(Engine().SequenceState(), SequenceState::kIdle);
}

TEST_F(SessionTest, AVanishedPortIsLostAndEndsTheRunWithoutWaitingForATimeOut) {
  ASSERT_TRUE(Start({"--module", "1wire"}));
  ASSERT_EQ(Read(), 0);
  sim_->Stop();
  ASSERT_TRUE(WaitFor([this] { return !session_->Connection().IsOpen(); }));
  EXPECT_EQ(session_->Connection().Health().state, LinkState::kLost);
  Engine().GetConfiguration();
  EXPECT_EQ(session_->RunUntilIdle(), 1);
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(SessionTest, AReplyAfterItsTimeOutIsStoredButDoesNotRestartTheSequence) {
  ManualTickClock clock;
  ASSERT_TRUE(Start({"--module", "veltra", "--reply-delay", "400"}, &clock));
  Engine().SetDeviceMonitorAuto(false);
  Engine().SetModuleMonitorAuto(false);
  Engine().Tick();  // GET_SERVICE_MODE goes out now
  clock.Advance(5001);
  EXPECT_EQ(session_->RunUntilIdle(), 1);
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  session_->TakeStoredGroups();

  RunUntil([this] { return !session_->TakeStoredGroups().empty(); });
  EXPECT_EQ(sent_.keys, std::vector<Key>{GET_SERVICE_MODE});
  EXPECT_EQ(Engine().SequenceState(), SequenceState::kIdle);
}

TEST_F(SessionTest, LoadAndStoreAnswersReplaceTheVeltraUserSet) {
  ASSERT_TRUE(Start({"--module", "veltra"}));
  ASSERT_EQ(Read(), 0);
  VFroskClass& gain = Engine().VeltraUserSet().At(MODULE_VELTRA_PARAMS_GAIN);
  const auto writeGain = [&](int code) {
    gain.SetFromInt(code);
    Engine().WriteModuleSettings();
    return session_->RunUntilIdle();
  };
  ASSERT_EQ(writeGain(93), 0);
  ASSERT_TRUE(Engine().StoreModuleUserSet(2));
  ASSERT_EQ(session_->RunUntilIdle(), 0);
  ASSERT_EQ(writeGain(48), 0);
  EXPECT_EQ(gain.GetAsInt(), 48);
  ASSERT_TRUE(Engine().LoadModuleUserSet(2));
  ASSERT_EQ(session_->RunUntilIdle(), 0);
  EXPECT_EQ(gain.GetAsInt(), 93);
}

TEST_F(SessionTest, AMonitorReplyUnderWayWhenALoadStartsDoesNotAdvanceIt) {
  TempDir dir;
  const std::string file = dir.Path() + "veltra.froskconfig";
  ASSERT_TRUE(Start({"--module", "veltra"}));
  ASSERT_EQ(Read(), 0);
  prompter_.fileNames = {file};
  ASSERT_TRUE(session_->ConfigFiles().SaveConfiguration());

  Engine().SetDeviceMonitorAuto(true);
  Engine().SetModuleMonitorAuto(true);
  RunUntil([this] {
    return Engine().Waiting() &&
           (Engine().PendingKey() == GET_FROSKTEC_MONITOR || Engine().PendingKey() == GET_MODULE_VELTRA_MONITOR);
  });
  sent_.keys.clear();
  prompter_.fileNames = {file};
  prompter_.answers = {kIdOk};
  ASSERT_EQ(session_->ConfigFiles().LoadConfiguration(), LoadOutcome::kSending);
  EXPECT_TRUE(Engine().HasQueuedItem()) << "the first record waits behind the poll";
  RunUntil([this] { return Engine().SequenceState() != SequenceState::kSendingConfiguration; });

  EXPECT_EQ(sent_.keys, (std::vector<Key>{SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG, SET_MODULE_IDEN, SET_MODULE_USER_MIN,
                                          SET_MODULE_USER_MAX, SET_MODULE_USER_SET, SET_MODULE_DEFAULT,
                                          SET_MODULE_VELTRA_USER_MIN, SET_MODULE_VELTRA_USER_MAX,
                                          SET_MODULE_VELTRA_USER_SET, SET_MODULE_VELTRA_DEFAULT, GET_SERVICE_MODE}));
  EXPECT_EQ(prompter_.shown.back(), (Message{"Configuration successfully changed.", 64}));
  EXPECT_EQ(Engine().SequenceState(), SequenceState::kReadServiceMode);
}

}  // namespace
}  // namespace frosk::test
