// Device connections kept by the discovery engine: a connected frosk-sim gets
// a connection, whose engine sends on its link and asks the discovery engine
// to close it.
#include <gtest/gtest.h>

#include "app/discovery_engine.h"
#include "protocol/item.h"
#include "support/counted_window.h"
#include "support/event_pump.h"
#include "support/reading_sequence.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"

namespace frosk::test {
namespace {

using namespace key;

class SentKeys : public TrafficObserver {
 public:
  void ItemSent(const uint8_t* item) override { keys.push_back(ItemKey(item)); }
  void ItemReceived(const uint8_t*) override {}
  std::vector<Key> keys;
};

class SilentBeeper : public Beeper {
 public:
  void Beep() override {}
};

class NoUrlOpener : public UrlOpener {
 public:
  void Open(const std::string&) override {}
};

// The discovery engine over real links, with a window of no widgets for every
// connected device; one manual clock times both engines.
class DeviceWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureCoreApplication(); }

  // Starts frosk-sim with `args`, scans its port and connects the device found.
  DeviceConnection* Connect(const std::vector<std::string>& args) {
    sim_ = SimProcess::Start(args);
    if (sim_ == nullptr) return nullptr;
    DiscoveryEngine::Options options{std::vector<std::string>{sim_->Path()}, {}};
    discovery_ = std::make_unique<DiscoveryEngine>(
        DiscoveryEngine::Surroundings{clock_, wall_, prompter_, opener_, settings_, links_, beeper_, folders_},
        std::move(options));
    discovery_->SetDeviceWindowFactory([](DeviceConnection&) { return std::make_unique<CountedWindow>(); });
    discovery_->ReloadDevices();
    if (!RunUntil([this] { return discovery_->State() == ScanState::Ready; }) || discovery_->Devices().empty())
      return nullptr;
    entry_ = discovery_->Devices().front().get();
    discovery_->Connect(entry_);
    DeviceConnection* connection = entry_->Connection.get();
    if (connection != nullptr) connection->Engine().SetTrafficObserver(&sent_);
    return connection;
  }

  bool RunUntil(const std::function<bool()>& done) {
    return DriveTicks(
        clock_, [this] { discovery_->Timer1Timer(); }, done, 300);
  }

  ManualTickClock clock_;
  FixedWallClock wall_{{2026, 12, 10, 9, 0, 0}};
  ScriptedPrompter prompter_;
  SilentBeeper beeper_;
  NoUrlOpener opener_;
  Folders folders_ = Folders::Beside(FROSK_BIN_DIR);
  Settings settings_;
  LinkLayer links_;
  SentKeys sent_;
  std::unique_ptr<SimProcess> sim_;
  std::unique_ptr<DiscoveryEngine> discovery_;
  DeviceEntry* entry_ = nullptr;
};

TEST_F(DeviceWindowTest, AConnectedDeviceIsReadThroughTheMainWindowsEngine) {
  settings_.ServiceMode = true;  // the traffic reaches the observer
  DeviceConnection* connection = Connect({"--module", "veltra"});
  ASSERT_NE(connection, nullptr);
  DeviceEngine& engine = connection->Engine();
  engine.SetDeviceMonitorAuto(false);
  engine.SetModuleMonitorAuto(false);
  ASSERT_TRUE(RunUntil([&] { return engine.Idle(); }));
  EXPECT_EQ(sent_.keys, ReadingSequence(3));
  EXPECT_EQ(engine.DeviceIden().At(DEVICE_IDEN_SERIAL).ValueToText(), "123456-07");
  EXPECT_TRUE(engine.IsDeviceLinked());

  // Linked, the configurator asks the controller into service mode.
  engine.StartConfigurator();
  EXPECT_EQ(engine.SequenceState(), SequenceState::kConfiguratorServiceMode);
  ASSERT_TRUE(RunUntil([&] { return engine.SequenceState() == SequenceState::kConfiguratorStart; }));
}

TEST_F(DeviceWindowTest, TheModuleChecksCloseRequestUnlinksTheDeviceAfterItsDispatch) {
  prompter_.answers = {kIdYes};
  DeviceConnection* connection =
      Connect({"--module", "veltra", "--module-serial", "000547-13", "--module-firmware", "65535"});
  ASSERT_NE(connection, nullptr);
  connection->Engine().SetDeviceMonitorAuto(false);
  ASSERT_TRUE(RunUntil([this] { return !entry_->Linked(); }));
  EXPECT_EQ(entry_->Window, nullptr);
  EXPECT_EQ(entry_->Connection, nullptr);
  EXPECT_EQ(prompter_.shown, (std::vector<ScriptedPrompter::Shown>{
                                 {"Your detection module has to be updated!\rDo you want to do it now?", 52}}));
  EXPECT_EQ(discovery_->Devices().size(), 1u) << "the device stays listed";
}

}  // namespace
}  // namespace frosk::test
