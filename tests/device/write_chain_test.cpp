#include <gtest/gtest.h>

#include "device/configurator_engine.h"
#include "engine_fixture.h"

namespace frosk::test {
namespace {

using namespace key;

struct ChainCase {
  bool noMemCompatible;
  int moduleType;
  std::vector<Key> writes;
  std::vector<uint8_t> pages;
};

// A device window of its own with its configurator, on a controller with
// this module, read, and NOMEM compatible or not.
struct WizardWindow {
  WizardWindow(const TickClock& clock, Beeper& beeper, const Folders& folders, int moduleType, bool noMemCompatible)
      : engine(host, DeviceSeams{clock, prompter, beeper, folders}), device(moduleType) {
    test::RunSequence(engine, host, device);
    engine.FroskTecConfig().At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).SetFromInt(noMemCompatible);
  }
  void Answer() { engine.ReceiveItem(device.Answer(host.sent.back()).data()); }

  FakeHost host;
  ScriptedPrompter prompter;
  DeviceEngine engine;
  FixedWallClock wall{{2026, 3, 14, 9, 0, 0}};
  ConfigFileEngine files{engine};
  ConfiguratorEngine configurator{engine, files, wall};
  FakeDevice device;
};

TEST_F(EngineTest, TheWriteChainVisitsThePagesThatApplyAndLeavesServiceMode) {
  const std::vector<Key> controller = {SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG};
  const std::vector<Key> noMem = {SET_FROSKTEC_MOD_NO_MEM_IDEN, SET_FROSKTEC_MOD_NO_MEM_DEFAULT,
                                  SET_FROSKTEC_MOD_NO_MEM_USER_SET, SET_FROSKTEC_MOD_NO_MEM_USER_MIN,
                                  SET_FROSKTEC_MOD_NO_MEM_USER_MAX};
  const std::vector<Key> module = {SET_MODULE_IDEN, SET_MODULE_DEFAULT, SET_MODULE_USER_SET, SET_MODULE_USER_MIN,
                                   SET_MODULE_USER_MAX};
  const std::vector<Key> veltra = {SET_MODULE_VELTRA_DEFAULT, SET_MODULE_VELTRA_USER_SET, SET_MODULE_VELTRA_USER_MIN,
                                   SET_MODULE_VELTRA_USER_MAX};
  const auto concat = [](std::initializer_list<std::vector<Key>> parts) {
    std::vector<Key> keys = {SET_SERVICE_MODE};
    for (const auto& part : parts) keys.insert(keys.end(), part.begin(), part.end());
    keys.push_back(SET_SERVICE_MODE);
    return keys;
  };
  const ChainCase cases[] = {
      {false, 0, concat({controller}), {22}},
      {true, 1, concat({controller, noMem}), {22, 25, 27}},
      {false, 2, concat({controller, module}), {22, 32, 34}},
      {true, 3, concat({controller, noMem, module, veltra}), {22, 25, 27, 32, 34, 39}},
  };
  for (const ChainCase& c : cases) {
    WizardWindow w(clock_, beeper_, folders_, c.moduleType, c.noMemCompatible);
    w.host.sent.clear();

    w.engine.StartConfigurator();
    ASSERT_EQ(w.engine.SequenceState(), SequenceState::kConfiguratorServiceMode);
    w.Answer();
    ASSERT_EQ(w.engine.SequenceState(), SequenceState::kConfiguratorStart) << "the controller confirmed service mode";
    w.configurator.StartWizard();
    std::vector<uint8_t> pages;
    std::vector<ChainProgress> progress;
    for (int step = 0; step < 30 && w.engine.SequenceState() != SequenceState::kConfiguratorStart; ++step) {
      if (!w.engine.Waiting()) {
        pages.push_back(static_cast<uint8_t>(w.engine.SequenceState()));
        // Parameters never read are zeros, which no device takes: the pages
        // go out with their production defaults.
        w.configurator.ModuleParamsDefaults();
        w.configurator.VeltraParamsDefaults();
        w.configurator.Next();
        ASSERT_TRUE(w.engine.Waiting()) << "a linked page goes to the device: " << int{pages.back()};
      }
      if (const std::optional<ChainProgress> now = w.configurator.Progress()) progress.push_back(*now);
      w.Answer();
    }
    EXPECT_EQ(w.host.SentKeys(), c.writes) << c.moduleType;
    // Each record is named as it is written, counted among all the wizard writes.
    const std::vector<Key> records(c.writes.begin() + 1, c.writes.end() - 1);
    ASSERT_EQ(progress.size(), records.size()) << c.moduleType;
    for (size_t i = 0; i < records.size(); ++i)
      EXPECT_EQ(progress[i], (ChainProgress{static_cast<int>(i) + 1, static_cast<int>(records.size()), records[i]}))
          << c.moduleType << " " << i;
    EXPECT_EQ(pages, c.pages) << c.moduleType;
    EXPECT_FALSE(w.engine.ControllerInServiceMode());
    EXPECT_EQ(w.prompter.shown, (std::vector<Message>{{"Configuration successfully changed.", 64}}));
  }
}

// A controller without module: the wizard writes its two records, then
// switches service mode off. Wherever the controller falls silent, the box
// names what it took, and service mode is switched off once more.
TEST_F(EngineTest, AWizardStoppedByATimeOutNamesWhatTheControllerTook) {
  const struct {
    int answered;  // replies before the silence, after service mode on
    const char* message;
  } cases[] = {
      {0, "Communication timeout !\rWritten: nothing. No reply to SET_DEVICE_IDEN.\rNot sent: SET_FROSKTEC_CONFIG."},
      {1, "Communication timeout !\rWritten: SET_DEVICE_IDEN. No reply to SET_FROSKTEC_CONFIG."},
      {2, "Communication timeout !\rWritten: SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG. No reply to SET_SERVICE_MODE."},
  };
  for (const auto& c : cases) {
    WizardWindow w(clock_, beeper_, folders_, 0, false);
    w.engine.StartConfigurator();
    w.Answer();
    w.configurator.StartWizard();
    w.configurator.Next();
    for (int i = 0; i < c.answered; ++i) w.Answer();
    const size_t sent = w.host.sent.size();

    clock_.Advance(DeviceEngine::kReplyTimeoutMs + 1);
    w.engine.Tick();
    w.engine.AskHeldQuestion();
    w.engine.Tick();
    EXPECT_EQ(w.prompter.shown, (std::vector<Message>{{c.message, 16}})) << c.answered;
    ASSERT_EQ(w.host.sent.size(), sent + 1) << c.answered;
    EXPECT_EQ(ItemKey(w.host.sent.back().data()), SET_SERVICE_MODE);
    EXPECT_EQ(SentRecord<ServiceModeRecord>(w.host.sent.back()).enable, 0);
    w.Answer();
    EXPECT_EQ(w.prompter.shown.back(), (Message{"Service mode switched off.", 64})) << c.answered;
    EXPECT_EQ(w.engine.SequenceState(), SequenceState::kConfiguratorStart) << c.answered;
  }
}

TEST_F(EngineTest, TheConfiguratorWaitsForTheControllerToConfirmServiceMode) {
  engine_.StartConfigurator();
  Receive(ReplyItem(ServiceModeRecord{0}));
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorServiceMode);
  Receive(ReplyItem(ServiceModeRecord{1}));
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorStart);

  host_.linked = false;
  engine_.StartConfigurator();
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorStart)
      << "unlinked: straight to the start page, nothing sent";
  EXPECT_EQ(host_.sent.size(), 1u);
}

class ScriptedConfigSender : public ConfigSender {
 public:
  explicit ScriptedConfigSender(DeviceEngine& engine, std::vector<Key> records)
      : engine_(engine), records_(std::move(records)) {}
  bool SendNextConfigItem() override {
    if (records_.empty()) return false;
    const Key next = records_.front();
    records_.erase(records_.begin());
    return engine_.SendRequest(next);
  }

 private:
  DeviceEngine& engine_;
  std::vector<Key> records_;
};

TEST_F(EngineTest, ALoadedConfigurationIsSentRecordByRecordThenReadBack) {
  FakeDevice device(0);
  RunSequence(device);
  TakeSentKeys();
  ScriptedConfigSender sender(engine_, {GET_FROSKTEC_CONFIG, GET_FROSKTEC_MOD_NO_MEM_USER_SET});
  engine_.SetConfigSender(&sender);
  sender.SendNextConfigItem();
  engine_.StartSendingConfiguration();

  Receive(ReplyItem(device.monitor));  // a poll's late answer is no answer to the file
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_FROSKTEC_CONFIG});
  AnswerLast(device);
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_FROSKTEC_MOD_NO_MEM_USER_SET});
  EXPECT_TRUE(prompter_.shown.empty());
  AnswerLast(device);
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Configuration successfully changed.", 64}}));
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_SERVICE_MODE});
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kReadServiceMode);
}

TEST_F(EngineTest, WithoutAConfigSenderStateFortyEightHasNothingLeftToSend) {
  engine_.StartSendingConfiguration();
  Receive(ReplyItem(ServiceModeRecord{1}));
  EXPECT_EQ(prompter_.shown, (std::vector<Message>{{"Configuration successfully changed.", 64}}));
  EXPECT_EQ(host_.SentKeys(), std::vector<Key>{GET_SERVICE_MODE});
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kReadServiceMode);
}

}  // namespace
}  // namespace frosk::test
