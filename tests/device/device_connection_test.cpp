// A device's connection: its engine's close request waits for the call that
// made it, and a connection ended during one of its calls outlives the call.
#include "device/device_connection.h"

#include <gtest/gtest.h>

#include <QPointer>

#include "engine_fixture.h"
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
  };
  raw->Tick();  // the reading sequence's first request, never answered
  clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
  raw->Tick();
  ASSERT_EQ(prompter_.shown, (std::vector<Message>{{"Communication timeout !", 16}}));
  EXPECT_FALSE(alive.isNull()) << "gone while its tick still ran";
  EXPECT_TRUE(WaitFor([&] { return alive.isNull(); }));
  EXPECT_EQ(windowsDestroyed, 1);
}

}  // namespace
}  // namespace frosk::test
