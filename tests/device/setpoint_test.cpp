#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace frosk::test {
namespace {

using namespace key;

TEST_F(EngineTest, ClampAndSetKeepsToTheUserBandUnlessTheControllerIsInServiceMode) {
  struct Case {
    bool serviceMode;
    int32_t current;
    int32_t requested;
    bool changed;
    int32_t stored;
  } cases[] = {
      {false, 8000, 9000, true, 9000},  {false, 8000, 13000, true, 12000},   {false, 8000, 1000, true, 5000},
      {false, 8000, 8000, false, 8000}, {false, 12000, 12001, false, 12000}, {true, 8000, 13000, true, 13000},
      {true, 8000, 16000, true, 15000}, {true, 15000, 15001, false, 15000},  {true, 8000, 2000, true, 3000},
  };
  VFroskClass& field = engine_.ModuleUserSet().At(MODULE_BASIC_PARAMS_U_SUP_PLUS);
  engine_.ModuleUserMin().At(MODULE_BASIC_PARAMS_U_SUP_PLUS).SetFromInt(5000);
  engine_.ModuleUserMax().At(MODULE_BASIC_PARAMS_U_SUP_PLUS).SetFromInt(12000);
  for (const Case& c : cases) {
    engine_.ServiceMode().At(SERVICE_MODE_ENABLE).SetFromInt(c.serviceMode);
    field.SetFromInt(c.current);
    EXPECT_EQ(engine_.ClampAndSet(field, c.requested, engine_.ModuleUserMin().At(MODULE_BASIC_PARAMS_U_SUP_PLUS),
                                  engine_.ModuleUserMax().At(MODULE_BASIC_PARAMS_U_SUP_PLUS)),
              c.changed)
        << c.serviceMode << " " << c.requested;
    EXPECT_EQ(field.GetAsInt(), c.stored) << c.serviceMode << " " << c.requested;
  }
}

TEST_F(EngineTest, AUserSetIsValidWithinItsOwnLimitsAndItsBand) {
  struct Case {
    int32_t value, min, max;
    bool valid;
  } cases[] = {
      {230000, 220000, 300000, true},  {230000, 230000, 230000, true}, {210000, 220000, 300000, false},
      {310000, 220000, 300000, false}, {230000, 50000, 300000, false}, {230000, 220000, 500000, false},
  };
  ModuleBasicParamsHolders value, min, max;
  for (const Case& c : cases) {
    value.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(c.value);
    min.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(c.min);
    max.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(c.max);
    EXPECT_EQ(UserSetIsValid(value.At(MODULE_BASIC_PARAMS_T_DET), min.At(MODULE_BASIC_PARAMS_T_DET),
                             max.At(MODULE_BASIC_PARAMS_T_DET)),
              c.valid)
        << c.value << " " << c.min << " " << c.max;
  }
}

TEST_F(EngineTest, TheWriteButtonsSendTheGroupTheModuleCalls) {
  struct Case {
    int moduleType;
    Key key;
    Group written;
    Group defaults;
  } cases[] = {
      {1, SET_FROSKTEC_MOD_NO_MEM_USER_SET, Group::kNoMemUserSet, Group::kNoMemDefault},
      {2, SET_MODULE_USER_SET, Group::kModuleUserSet, Group::kModuleDefault},
  };
  for (const Case& c : cases) {
    FakeHost host;
    DeviceEngine engine(host, DeviceSeams{clock_, prompter_, beeper_, folders_});
    FakeDevice device(c.moduleType);
    test::RunSequence(engine, host, device);
    engine.ControllerSettings().userSet.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(250000);
    engine.ControllerSettings().defaults.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(230000);

    engine.WriteControllerSettings();
    ASSERT_EQ(ItemKey(host.sent.back().data()), c.key);
    EXPECT_EQ(SentRecord<ModuleBasicParamsRecord>(host.sent.back()).tDet, 250000u);
    engine.ReceiveItem(device.Answer(host.sent.back()).data());

    engine.UseControllerDefaults();
    ASSERT_EQ(ItemKey(host.sent.back().data()), c.key);
    EXPECT_EQ(SentRecord<ModuleBasicParamsRecord>(host.sent.back()).tDet, 230000u);
    EXPECT_EQ(engine.Holders(c.written)[7].GetAsInt(), 250000) << "the user set changes only by the reply";
    engine.ReceiveItem(device.Answer(host.sent.back()).data());
    EXPECT_EQ(engine.Holders(c.written)[7].GetAsInt(), 230000);
    EXPECT_EQ(engine.Holders(c.defaults)[7].GetAsInt(), 230000);
  }
}

TEST_F(EngineTest, TheModuleButtonsSendTheVeltraSetsAndTheBankIndex) {
  FakeDevice device(3);
  RunSequence(device);
  TakeSentKeys();
  engine_.VeltraUserSet().At(MODULE_VELTRA_PARAMS_GAIN).SetFromInt(85);
  engine_.WriteModuleSettings();
  EXPECT_EQ(SentRecord<ModuleVeltraParamsRecord>(host_.sent.back()).gain, 85);
  AnswerLast(device);
  engine_.UseModuleDefaults();
  EXPECT_EQ(SentRecord<ModuleVeltraParamsRecord>(host_.sent.back()), engine_.VeltraDefault().ToRecord());
  AnswerLast(device);
  EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{SET_MODULE_VELTRA_USER_SET, SET_MODULE_VELTRA_USER_SET}));

  // The bank's answer is the working set it loaded or stored.
  device.Hold(GET_MODULE_VELTRA_USER_SET, ReplyItem(ModuleVeltraParamsRecord{7, 7, 93, 7, 7, 1, 1, 1}));
  EXPECT_TRUE(engine_.StoreModuleUserSet(2));
  const uint8_t* bank = ItemFirstChild(host_.sent.back().data());
  EXPECT_EQ(ItemGetUInt8(ItemFindChild(bank, MODULE_USER_SET_BANK_INDEX, false)), 2);
  AnswerLast(device);
  EXPECT_EQ(engine_.VeltraUserSet().At(MODULE_VELTRA_PARAMS_GAIN).GetAsInt(), 93);
  EXPECT_TRUE(engine_.LoadModuleUserSet(0));
  EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{STORE_MODULE_VELTRA_PARAMS, LOAD_MODULE_VELTRA_PARAMS}));
  AnswerLast(device);

  EXPECT_FALSE(engine_.LoadModuleUserSet(4));
  EXPECT_FALSE(engine_.StoreModuleUserSet(-1));
  EXPECT_TRUE(TakeSentKeys().empty());
}

// The user view's controls and froskctl's set go through these: a field's
// setting lies in the groups the module type chooses, a value is clamped to
// the band and says so, and a step or a choice goes out only when it changed.
TEST_F(EngineTest, SettingsFollowTheModuleClampToTheBandAndGoOutOnlyWhenChanged) {
  FakeDevice device(3);
  RunSequence(device);
  TakeSentKeys();
  constexpr Key kSupply = MODULE_BASIC_PARAMS_U_SUP_PLUS;
  EXPECT_EQ(&engine_.UserSetting(kSupply)->value, &engine_.ModuleUserSet().At(kSupply));
  EXPECT_EQ(&engine_.UserSetting(MODULE_VELTRA_PARAMS_GAIN)->userMax,
            &engine_.VeltraUserMax().At(MODULE_VELTRA_PARAMS_GAIN));
  EXPECT_FALSE(engine_.UserSetting(FROSKTEC_MONITOR_T_DET).has_value());

  engine_.ModuleUserMin().At(kSupply).SetFromInt(5000);
  engine_.ModuleUserMax().At(kSupply).SetFromInt(12000);
  struct Case {
    int32_t asked;
    bool changed, clamped;
    int32_t stored;
  } cases[] = {
      {9000, true, false, 9000}, {13000, true, true, 12000}, {12000, false, false, 12000}, {1000, true, true, 5000}};
  for (const Case& c : cases) {
    const DeviceEngine::SettingChange change = engine_.SetSetting(kSupply, c.asked);
    EXPECT_EQ(change.changed, c.changed) << c.asked;
    EXPECT_EQ(change.clamped, c.clamped) << c.asked;
    EXPECT_EQ(engine_.ModuleUserSet().At(kSupply).GetAsInt(), c.stored) << c.asked;
  }
  EXPECT_TRUE(TakeSentKeys().empty()) << "setting alone sends nothing";

  EXPECT_FALSE(engine_.StepSetting(kSupply, -1)) << "already at the user minimum";
  EXPECT_TRUE(engine_.StepSetting(kSupply, +1));
  AnswerLast(device);
  engine_.VeltraUserMin().At(MODULE_VELTRA_PARAMS_GAIN).SetFromInt(48);
  engine_.VeltraUserMax().At(MODULE_VELTRA_PARAMS_GAIN).SetFromInt(99);
  EXPECT_TRUE(engine_.ChooseGain(GainIndexOf(85)));
  AnswerLast(device);
  EXPECT_FALSE(engine_.ChooseGain(GainIndexOf(85))) << "the gain it has";
  EXPECT_FALSE(engine_.ChooseGain(static_cast<int>(std::size(kGainCodes))));
  EXPECT_EQ(TakeSentKeys(), (std::vector<Key>{SET_MODULE_USER_SET, SET_MODULE_VELTRA_USER_SET}));
  EXPECT_EQ(engine_.ModuleUserSet().At(kSupply).GetAsInt(), 5001);
  EXPECT_EQ(engine_.VeltraUserSet().At(MODULE_VELTRA_PARAMS_GAIN).GetAsInt(), 85);
}

TEST_F(EngineTest, TheSupportedContentFollowsTheModuleAndTheControllersNoMemSupport) {
  struct Case {
    int moduleType;
    bool noMemCompatible;
    ContentMask content;
  } cases[] = {
      {0, false, 0x40000003}, {1, true, 0x4000007F},  {2, false, 0xC0000F83},
      {3, true, 0xC000FFFF},  {3, false, 0xC000FF83},
  };
  host_.linked = false;  // offline, nothing was read: the holders are what was entered
  for (const Case& c : cases) {
    engine_.FroskTecMonitor().At(FROSKTEC_MONITOR_MODULE_TYPE).SetFromInt(c.moduleType);
    engine_.FroskTecConfig().At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).SetFromInt(c.noMemCompatible);
    EXPECT_EQ(engine_.SupportedContent(), c.content) << c.moduleType << " " << c.noMemCompatible;
  }
}

}  // namespace
}  // namespace frosk::test
