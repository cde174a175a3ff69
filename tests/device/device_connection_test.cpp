// A device's connection: its engine's close request waits for the call that
// made it, a connection ended during one of its calls outlives the call, its
// link's health is watched, and no box of one device stops the others.
#include "device/device_connection.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include "engine_fixture.h"
#include "sim/pseudo_terminal.h"
#include "support/counted_window.h"
#include "support/event_pump.h"

namespace frosk::test {
namespace {

using namespace key;

class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() {
    EnsureCoreApplication();
    connection_->Open();
  }

  // Ticks and answers as `device` until the engine waits for nothing, or a
  // question closed the way.
  void Read(FakeDevice& device) {
    connection_->Engine().SetDeviceMonitorAuto(false);
    for (int i = 0; i < 40 && !connection_->Engine().Idle(); ++i) {
      connection_->Tick();
      if (!connection_->Engine().Waiting()) break;
      clock_.Advance(10);
      host_.Deliver(*connection_, device.Answer(host_.sent.back()).data());
    }
  }

  TempDir dir_;
  Folders folders_ = (dir_.Write("firmware/Kaz.info", "FirmVer=5\n"), Folders::Beside(dir_.Path()));
  ManualTickClock clock_{1000};
  ScriptedPrompter prompter_;
  CountingBeeper beeper_;
  Settings settings_;
  FakeConnectionHost host_{settings_};
  std::unique_ptr<DeviceConnection> connection_ =
      std::make_unique<DeviceConnection>("ttyFAKE0", host_, DeviceSeams{clock_, prompter_, beeper_, folders_}, host_);
};

// The module check asks inside the dispatch of the module's identification
// and then asks to be closed; a frame arriving while the question is open is
// dispatched on its own, and the owner hears of the close after the dispatch.
TEST_F(ConnectionTest, ACloseRequestReachesTheOwnerOnlyOnceTheDispatchThatAskedHasReturned) {
  FakeDevice device(3);
  device.SetModuleIden("000547-13", 65535);
  prompter_.answers = {kIdYes};
  prompter_.whileOpen = [&] {
    EXPECT_TRUE(connection_->InCall());
    host_.Deliver(*connection_, ReplyItem(device.monitor).data());
  };
  std::vector<size_t> requestsInDispatch;
  connection_->Engine().AddRefreshListener([&](GroupMask) {
    if (connection_->Engine().SequenceState() == SequenceState::kCheckDeclined)
      requestsInDispatch.push_back(host_.closeRequests.size());
  });
  Read(device);
  ASSERT_FALSE(requestsInDispatch.empty());
  EXPECT_EQ(requestsInDispatch.front(), 0u) << "the first refresh in state 51 ends the dispatch";
  EXPECT_EQ(host_.closeRequests, std::vector<int>{static_cast<int>(CloseAction::kCloseAndProgramModule)});
  EXPECT_FALSE(connection_->InCall());
}

TEST_F(ConnectionTest, AConnectionEndedDuringItsQuestionGoesWithItsWindowOnceTheCallReturns) {
  int windowsDestroyed = 0;
  auto window = std::make_unique<CountedWindow>(&windowsDestroyed);
  CountedWindow* shown = window.get();
  DeviceConnection* raw = connection_.get();
  const QPointer<DeviceConnection> alive(raw);
  prompter_.whileOpen = [&] {
    DeviceConnection::Dispose(std::move(connection_), std::move(window));
    EXPECT_FALSE(shown->visible);
    EXPECT_EQ(windowsDestroyed, 0);
    EXPECT_FALSE(raw->IsOpen());
    EXPECT_FALSE(raw->Engine().IsDeviceLinked());
    PumpEvents(20);
    EXPECT_FALSE(alive.isNull()) << "gone while its question was open";
  };
  raw->Tick();  // the reading sequence's first request, never answered
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  raw->Tick();
  EXPECT_TRUE(prompter_.shown.empty()) << "asked inside the tick";
  EXPECT_TRUE(WaitFor([&] { return alive.isNull(); }));
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  EXPECT_EQ(windowsDestroyed, 1);
}

// The states a connection went through, with the time of the last reply each carried.
struct HealthChanges {
  explicit HealthChanges(DeviceConnection& connection) {
    QObject::connect(&connection, &DeviceConnection::HealthChanged, [this](const LinkHealth& health) {
      states.push_back(health.state);
      since.push_back(FormatTime(health.lastReply));
    });
  }
  std::vector<LinkState> states;
  std::vector<std::string> since;
};

TEST_F(ConnectionTest, LinkHealthFollowsTheRepliesAndTheEndOfThePort) {
  FakeDevice device(0);
  Read(device);
  HealthChanges changes(*connection_);
  connection_->Engine().SetDeviceMonitorAuto(true);
  host_.wall.Set({2026, 3, 14, 9, 0, 5});
  connection_->Tick();
  host_.Deliver(*connection_, device.Answer(host_.sent.back()).data());
  host_.wall.Set({2026, 3, 14, 9, 1, 0});

  // Silent from here: its poll goes out and is never answered.
  uint32_t silentMs = 0;
  while (silentMs < 3 * DeviceEngine::kReplyTimeoutMs) {
    clock_.Advance(100);
    silentMs += 100;
    connection_->Tick();
    if (silentMs == DeviceEngine::kReplyTimeoutMs) {
      EXPECT_TRUE(changes.states.empty()) << "5 s are not more than 5 s";
    }
  }
  EXPECT_EQ(changes.states, std::vector<LinkState>{LinkState::kNotAnswering}) << "once per change";
  EXPECT_EQ(changes.since, std::vector<std::string>{"09:00:05"});
  EXPECT_TRUE(prompter_.shown.empty()) << "idle, a lost poll asks nothing";

  connection_->Tick();
  host_.Deliver(*connection_, device.Answer(host_.sent.back()).data());
  EXPECT_EQ(connection_->Health().state, LinkState::kLive);
  EXPECT_EQ(changes.since.back(), "09:01:00");

  FrameEvent end(kMainWindowFrameEvent, FakeConnectionHost::Block(nullptr));
  QCoreApplication::sendEvent(connection_.get(), &end);
  EXPECT_EQ(changes.states, (std::vector<LinkState>{LinkState::kNotAnswering, LinkState::kLive, LinkState::kLost}));
  EXPECT_FALSE(connection_->IsOpen()) << "a port that hung up is closed";
  EXPECT_FALSE(connection_->Engine().IsDeviceLinked());
}

// The owner's clock is one QTimer whose handler ticks every device. A box
// opened inside that handler would run its event loop there, and the timer
// never fires again while its handler runs: every other device would stop.
TEST_F(ConnectionTest, ABoxOfOneDeviceStopsNeitherTheClockNorTheOtherDevice) {
  // A answers every request at once, through the event loop as a link does.
  struct AnsweringHost : FakeConnectionHost {
    using FakeConnectionHost::FakeConnectionHost;
    int SendItem(Link* link, const uint8_t* item) override {
      FakeConnectionHost::SendItem(link, item);
      QCoreApplication::postEvent(connection,
                                  new FrameEvent(kMainWindowFrameEvent, Block(device.Answer(sent.back()).data())));
      return 0;
    }
    DeviceConnection* connection = nullptr;
    FakeDevice device{3};
  } answering(settings_);
  FakeConnectionHost& silent = host_;
  DeviceConnection a("ttyFAKE1", answering, DeviceSeams{clock_, prompter_, beeper_, folders_}, answering);
  answering.connection = &a;
  DeviceConnection& b = *connection_;
  a.Open();
  a.Tick();
  b.Tick();
  ASSERT_TRUE(WaitFor([&] { return a.Engine().Idle(); })) << "A read everything";
  clock_.Advance(DeviceEngine::kReplyTimeoutMs);  // B's first request times out at the next tick

  QTimer timer;
  timer.setInterval(100);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    clock_.Advance(100);
    a.Tick();
    b.Tick();
  });
  size_t aSent = 0, bSent = 0;
  int aTicks = 0;
  uint32_t boxOpenMs = 0;
  prompter_.whileOpen = [&] {
    const size_t aBefore = answering.sent.size(), bBefore = silent.sent.size();
    const uint32_t openedAt = clock_.Now();
    QEventLoop box;
    const auto counter = QObject::connect(&a, &DeviceConnection::Ticked, [&] {
      if (++aTicks == 10) box.quit();
    });
    QTimer::singleShot(3000, &box, &QEventLoop::quit);  // a stopped clock gives up here
    box.exec();
    QObject::disconnect(counter);
    aSent = answering.sent.size() - aBefore;
    bSent = silent.sent.size() - bBefore;
    boxOpenMs = clock_.Now() - openedAt;
  };
  timer.start();
  ASSERT_TRUE(WaitFor([&] { return !prompter_.shown.empty(); }));
  timer.stop();

  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  EXPECT_EQ(aTicks, 10);
  EXPECT_EQ(boxOpenMs, 1000u);
  EXPECT_EQ(aSent, 10u) << "A polled at 10 requests/s under B's box";
  EXPECT_EQ(bSent, 0u) << "B's own line is held while its box is open";
  EXPECT_EQ(a.Health().state, LinkState::kLive);
}

// A port whose other side stopped reading takes bytes until its buffer is
// full, then none: a write waits at most a second once, never again while
// the port stays full, and the device is seen not answering.
TEST_F(ConnectionTest, APortNobodyReadsNeverFreezesTheProgramAndTheDeviceIsNotAnswering) {
  const auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  const int filler = open(pty->ClientPath().c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(filler, 0);
  // The terminal moves bytes on behind the writer's back: full is when it
  // takes nothing more for a while.
  const std::string chunk(4096, 'x');
  for (pollfd port{filler, POLLOUT, 0}; poll(&port, 1, 200) > 0;)
    while (write(filler, chunk.data(), chunk.size()) > 0) {
    }
  close(filler);

  LinkLayer links;
  DeviceConnection connection(pty->ClientPath(), links, DeviceSeams{clock_, prompter_, beeper_, folders_}, host_);
  HealthChanges changes(connection);
  ASSERT_TRUE(connection.Open());
  QElapsedTimer tick;
  const auto timedTick = [&] {
    tick.start();
    connection.Tick();
    return tick.elapsed();
  };
  const qint64 firstWait = timedTick();
  EXPECT_GE(firstWait, kLinkWriteWaitMs - 100) << "the port was not full";
  EXPECT_LT(firstWait, 1500) << "the first frame waits a second at most";
  EXPECT_EQ(changes.states, std::vector<LinkState>{LinkState::kNotAnswering}) << "at the stall, not a time-out later";
  EXPECT_EQ(changes.since, std::vector<std::string>{"09:00:00"}) << "no reply ever: since the port opened";
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  EXPECT_LT(timedTick(), 500);
  EXPECT_EQ(changes.states, std::vector<LinkState>{LinkState::kNotAnswering});
  ASSERT_TRUE(WaitFor([&] { return !prompter_.shown.empty(); }));
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  for (int i = 0; i < 5; ++i) EXPECT_LT(timedTick(), 500) << "a full port costs no more waits";
  EXPECT_TRUE(connection.IsOpen());

  pty->Close();  // the adapter is pulled
  ASSERT_TRUE(WaitFor([&] { return !connection.IsOpen(); }));
  EXPECT_EQ(changes.states, (std::vector<LinkState>{LinkState::kNotAnswering, LinkState::kLost}));
}

}  // namespace
}  // namespace frosk::test
