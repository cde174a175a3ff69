// The configurator apart from its widgets: pages by state, Back and Next,
// production defaults, the make-file page's mask and the signatures.
#include "device/configurator_engine.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine_fixture.h"

namespace frosk::test {
namespace {

using namespace key;

class ConfiguratorTest : public EngineTest {
 protected:
  // A controller with this module, read from the start, then the configurator's start page.
  void Start(int moduleType, bool noMemCompatible) {
    engine_.ShowUserView();
    engine_.ReadAgain();
    device_ = std::make_unique<FakeDevice>(moduleType);
    device_->Hold(GET_FROSKTEC_CONFIG, ReplyItem(FroskTecConfigRecord{0, noMemCompatible}));
    RunSequence(*device_);
    engine_.StartConfigurator();
    if (host_.linked) AnswerLast(*device_);
    ASSERT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorStart);
    TakeSentKeys();
  }
  VFroskClass& Field(Group group, Key field) { return *engine_.Holder(group, field); }
  // Puts the configurator on a page, or, for state 23, into the wait for the
  // device identification the first page sent.
  void Enter(uint8_t state) {
    if (state == static_cast<uint8_t>(SequenceState::kWriteDeviceIden)) {
      ASSERT_TRUE(engine_.IsDeviceLinked());
      configurator_.StartWizard();
      configurator_.Next();
      TakeSentKeys();
    } else {
      ASSERT_TRUE(engine_.ShowConfiguratorPage(static_cast<SequenceState>(state))) << int{state};
    }
  }
  uint8_t State() const { return static_cast<uint8_t>(engine_.SequenceState()); }
  std::string TextOf(Group group, Key field) { return Field(group, field).ValueToText(); }

  FixedWallClock wall_{{2026, 3, 14, 9, 0, 0}};
  ConfigFileEngine files_{engine_};
  ConfiguratorEngine configurator_{engine_, files_, wall_};
  std::unique_ptr<FakeDevice> device_;
};

TEST_F(ConfiguratorTest, EachStateShowsItsPageAndItsWayOn) {
  struct Case {
    uint8_t state;
    ConfigPage page;
    bool back, next;
  } cases[] = {
      {20, ConfigPage::kWait, false, false},       {21, ConfigPage::kStart, false, false},
      {22, ConfigPage::kDeviceIden, true, true},   {23, ConfigPage::kWait, false, false},
      {25, ConfigPage::kModuleIden, true, true},   {27, ConfigPage::kModuleParams, true, true},
      {31, ConfigPage::kWait, false, false},       {32, ConfigPage::kModuleIden, true, true},
      {34, ConfigPage::kModuleParams, true, true}, {39, ConfigPage::kVeltraParams, true, true},
      {44, ConfigPage::kWait, false, false},       {45, ConfigPage::kMakeFile, true, false},
      {46, ConfigPage::kReadFile, true, false},    {2, ConfigPage::kWait, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConfigPageOf(static_cast<SequenceState>(c.state)), c.page) << int{c.state};
    EXPECT_EQ(NavigationOf(c.page).back, c.back) << int{c.state};
    EXPECT_EQ(NavigationOf(c.page).next, c.next) << int{c.state};
  }

  // In the configurator the idle state is the start page: "Load Current
  // Configuration" reads the device again and comes back to it.
  Start(3, true);
  engine_.GetConfiguration();
  EXPECT_EQ(configurator_.Page(), ConfigPage::kWait);
  RunSequence(*device_);
  EXPECT_EQ(TakeSentKeys().size(), ReadingSequence(3).size() - 1);
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorStart);
  EXPECT_EQ(configurator_.Page(), ConfigPage::kStart);
}

TEST_F(ConfiguratorTest, BackGoesToThePageBeforeThatApplies) {
  struct Case {
    uint8_t from;
    bool noMemCompatible;
    uint8_t to;
  } cases[] = {
      {22, false, 21}, {25, false, 22}, {27, false, 25}, {32, true, 27},  {32, false, 22},
      {34, false, 32}, {39, false, 34}, {45, false, 21}, {46, false, 21}, {23, false, 23},
  };
  Start(0, false);
  for (const Case& c : cases) {
    engine_.FroskTecConfig().At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).SetFromInt(c.noMemCompatible);
    Enter(c.from);
    configurator_.Back();
    EXPECT_EQ(State(), c.to) << int{c.from} << " " << c.noMemCompatible;
  }
  EXPECT_TRUE(TakeSentKeys().empty()) << "Back sends nothing";
}

TEST_F(ConfiguratorTest, WithoutALinkNextWalksEveryPageAndMakesEachUserSetItsDefaults) {
  host_.linked = false;
  Start(3, false);
  // User limits as wide as the fields go, so every default below passes Next.
  for (ModuleBasicParamsHolders* limits : {&engine_.NoMemUserMin(), &engine_.ModuleUserMin()})
    limits->SetRaw(ModuleBasicParamsRecord{0, 3000, -15000, 0, 0, 0, 0, 100000});
  for (ModuleBasicParamsHolders* limits : {&engine_.NoMemUserMax(), &engine_.ModuleUserMax()})
    limits->SetRaw(ModuleBasicParamsRecord{2, 15000, -3000, 2, 2, 65535, 20475, 400000});
  engine_.VeltraUserMin().SetRaw(ModuleVeltraParamsRecord{});
  engine_.VeltraUserMax().SetRaw(ModuleVeltraParamsRecord{256, 256, 256, 256, 4095, 1, 1, 2});
  engine_.NoMemDefault().SetRaw(ModuleBasicParamsRecord{1, 11000, -11000, 2, 1, 7, 3000, 231000});
  engine_.ModuleDefault().SetRaw(ModuleBasicParamsRecord{2, 13000, -13000, 1, 2, 9, 6000, 232000});
  engine_.VeltraDefault().SetRaw(ModuleVeltraParamsRecord{10, 20, 30, 40, 50, 1, 0, 2});
  configurator_.StartWizard();
  std::vector<int> pages;
  for (int i = 0; i < 10 && engine_.SequenceState() != SequenceState::kConfiguratorStart; ++i) {
    configurator_.Next();
    pages.push_back(State());
  }
  EXPECT_EQ(pages, (std::vector<int>{25, 27, 32, 34, 39, 21}));
  EXPECT_TRUE(TakeSentKeys().empty());
  EXPECT_EQ(engine_.NoMemUserSet().ToRecord(), engine_.NoMemDefault().ToRecord());
  EXPECT_EQ(engine_.ModuleUserSet().ToRecord(), engine_.ModuleDefault().ToRecord());
  EXPECT_EQ(engine_.VeltraUserSet().ToRecord(), engine_.VeltraDefault().ToRecord());
}

TEST_F(ConfiguratorTest, AFieldEditsTheGroupOfThePageTheStateShowsAndNothingElse) {
  using C = ConfigColumn;
  using G = std::optional<Group>;
  struct Case {
    uint8_t state;
    C column;
    G group;
  } cases[] = {
      {22, C::kDeviceIden, Group::kDeviceIden},
      {22, C::kFroskTecConfig, Group::kFroskTecConfig},
      {22, C::kModuleIden, std::nullopt},
      {25, C::kModuleIden, Group::kNoMemModuleIden},
      {32, C::kModuleIden, Group::kModuleIden},
      {27, C::kParamsDefault, Group::kNoMemDefault},
      {27, C::kParamsUserMin, Group::kNoMemUserMin},
      {34, C::kParamsUserMax, Group::kModuleUserMax},
      {34, C::kVeltraDefault, std::nullopt},
      {39, C::kVeltraUserMin, Group::kVeltraUserMin},
      {23, C::kDeviceIden, std::nullopt},
      {21, C::kParamsDefault, std::nullopt},
  };
  Start(0, false);
  for (const Case& c : cases) {
    Enter(c.state);
    EXPECT_EQ(configurator_.GroupOf(c.column), c.group) << int{c.state} << " " << static_cast<int>(c.column);
  }
  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorDeviceIden);
  EXPECT_EQ(configurator_.HolderOf(C::kDeviceIden, DEVICE_IDEN_NAME), &engine_.DeviceIden().At(DEVICE_IDEN_NAME));
  EXPECT_EQ(configurator_.HolderOf(C::kDeviceIden, MODULE_IDEN_NAME), nullptr);
}

TEST_F(ConfiguratorTest, IdentificationDefaultsAreProductionValuesWithTodaysDate) {
  Start(2, true);
  configurator_.StartWizard();
  configurator_.DeviceIdenDefaults();
  EXPECT_EQ(TextOf(Group::kDeviceIden, DEVICE_IDEN_HARD_VER), "1");
  EXPECT_EQ(TextOf(Group::kDeviceIden, DEVICE_IDEN_NAME), "FroskTEC");
  EXPECT_EQ(TextOf(Group::kDeviceIden, DEVICE_IDEN_SERIAL), "000000-00");
  EXPECT_EQ(TextOf(Group::kDeviceIden, DEVICE_IDEN_PROD_DATE), "2026-03-14");
  EXPECT_EQ(Field(Group::kFroskTecConfig, FROSKTEC_CONFIG_VARIANT).GetAsInt(), 0);
  EXPECT_EQ(Field(Group::kFroskTecConfig, FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).GetAsInt(), 0);

  // A memoryless module has no type and no firmware; a 1WIRE module is told
  // what it is; a VELTRA module keeps what it reports.
  struct Case {
    uint8_t state;
    int liveType;
    Group group;
    int type, firmVer;
  } cases[] = {
      {25, 2, Group::kNoMemModuleIden, 0, 0},
      {32, 2, Group::kModuleIden, 2, 1},
      {32, 3, Group::kModuleIden, 3, 5},
  };
  for (const Case& c : cases) {
    Field(c.group, MODULE_IDEN_TYPE).SetFromInt(c.liveType);
    Field(c.group, MODULE_IDEN_FIRM_VER).SetFromInt(5);
    Field(Group::kFroskTecMonitor, FROSKTEC_MONITOR_MODULE_TYPE).SetFromInt(c.liveType);
    Enter(c.state);
    configurator_.ModuleIdenDefaults();
    EXPECT_EQ(Field(c.group, MODULE_IDEN_TYPE).GetAsInt(), c.type) << int{c.state} << " " << c.liveType;
    EXPECT_EQ(Field(c.group, MODULE_IDEN_FIRM_VER).GetAsInt(), c.firmVer) << int{c.state} << " " << c.liveType;
    EXPECT_EQ(TextOf(c.group, MODULE_IDEN_SERIAL), "000000-00");
    EXPECT_EQ(TextOf(c.group, MODULE_IDEN_DET_SERIAL), "000000-00");
    EXPECT_EQ(TextOf(c.group, MODULE_IDEN_NAME), "");
    EXPECT_EQ(TextOf(c.group, MODULE_IDEN_PROD_DATE), "2026-03-14");
    EXPECT_EQ(Field(c.group, MODULE_IDEN_TEC_TYPE).GetAsInt(), 1);
    EXPECT_EQ(Field(c.group, MODULE_IDEN_TH_PARAM4).GetAsFloat(), 0.0);
    EXPECT_EQ(Field(c.group, MODULE_IDEN_COOL_TIME).GetAsInt(), 120);
  }

  wall_.Set({2027, 1, 2, 0, 0, 0});
  configurator_.ModuleProdDateToday();
  EXPECT_EQ(TextOf(Group::kModuleIden, MODULE_IDEN_PROD_DATE), "2027-01-02");
  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorStart);
  configurator_.DeviceProdDateToday();
  configurator_.DeviceIdenDefaults();
  EXPECT_EQ(TextOf(Group::kDeviceIden, DEVICE_IDEN_PROD_DATE), "2026-03-14") << "no page, no change";
  EXPECT_TRUE(TakeSentKeys().empty()) << "defaults are not sent";
}

TEST_F(ConfiguratorTest, ParameterDefaultsFillTheThreeColumnsOfThePageShown) {
  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorModuleParams);
  const ModuleBasicParamsRecord noMemBefore = engine_.NoMemDefault().ToRecord();
  const ModuleBasicParamsRecord userSetBefore = engine_.ModuleUserSet().ToRecord();
  configurator_.ModuleParamsDefaults();
  EXPECT_EQ(engine_.ModuleDefault().ToRecord(), (ModuleBasicParamsRecord{0, 12000, -12000, 0, 0, 0, 5000, 230000}));
  EXPECT_EQ(engine_.ModuleUserMin().ToRecord(), (ModuleBasicParamsRecord{0, 12000, -12000, 0, 0, 0, 5000, 220000}));
  EXPECT_EQ(engine_.ModuleUserMax().ToRecord(), (ModuleBasicParamsRecord{0, 12000, -12000, 0, 0, 0, 5000, 300000}));
  EXPECT_EQ(engine_.ModuleUserSet().ToRecord(), userSetBefore);
  EXPECT_EQ(engine_.NoMemDefault().ToRecord(), noMemBefore);

  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorVeltraParams);
  configurator_.VeltraParamsDefaults();
  EXPECT_EQ(engine_.VeltraDefault().ToRecord(), (ModuleVeltraParamsRecord{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(engine_.VeltraUserMin().ToRecord(), (ModuleVeltraParamsRecord{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(engine_.VeltraUserMax().ToRecord(), (ModuleVeltraParamsRecord{256, 256, 256, 256, 4095, 1, 1, 2}));
}

TEST_F(ConfiguratorTest, ARowIsConsistentWhenEachValueFitsAndTheDefaultLiesWithinTheUserLimits) {
  struct Case {
    int32_t defaults, userMin, userMax;
    bool consistent;
  } cases[] = {
      {230000, 220000, 300000, true},  {220000, 220000, 220000, true},  {210000, 220000, 300000, false},
      {310000, 220000, 300000, false}, {230000, 220000, 400001, false},  // beyond the field's own 400.000 K
      {230000, 99999, 300000, false},
  };
  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorNoMemParams);
  for (const Case& c : cases) {
    engine_.NoMemDefault().At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(c.defaults);
    engine_.NoMemUserMin().At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(c.userMin);
    engine_.NoMemUserMax().At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(c.userMax);
    EXPECT_EQ(configurator_.RowConsistent(MODULE_BASIC_PARAMS_T_DET), c.consistent)
        << c.defaults << " " << c.userMin << " " << c.userMax;
  }
  engine_.ShowConfiguratorPage(SequenceState::kConfiguratorVeltraParams);
  EXPECT_FALSE(configurator_.RowConsistent(MODULE_BASIC_PARAMS_T_DET));
}

TEST_F(ConfiguratorTest, APageWithValuesTheDeviceShouldNotHoldStaysWithAMessageAndSendsNothing) {
  Start(3, true);
  const std::string kRefused = "Values outside their limits, nothing was sent:\r";
  const struct {
    const char* name;
    uint8_t page;
    Group group;
    Key field;
    int32_t raw;
    std::string message;
  } cases[] = {
      {"a red row", 27, Group::kNoMemDefault, MODULE_BASIC_PARAMS_T_DET, 150000,
       kRefused + "NoMemDefault MODULE_BASIC_PARAMS_T_DET 150.000 K is below NoMemUserMin 200.000 K\r" +
           "NoMemUserSet MODULE_BASIC_PARAMS_T_DET 150.000 K is below NoMemUserMin 200.000 K"},
      {"a VELTRA limit beyond its field", 39, Group::kVeltraUserMax, MODULE_VELTRA_PARAMS_GAIN, 300,
       kRefused + "VeltraUserMax MODULE_VELTRA_PARAMS_GAIN 300 is above the field's maximum 256"},
      {"a variant the controller has not", 22, Group::kFroskTecConfig, FROSKTEC_CONFIG_VARIANT, 3,
       kRefused + "FroskTecConfig FROSKTEC_CONFIG_VARIANT 3 is above the field's maximum 2"},
  };
  for (const auto& c : cases) {
    Enter(c.page);
    VFroskClass& value = Field(c.group, c.field);
    const int32_t kept = value.GetAsInt();
    value.SetFromInt(c.raw);
    const ModuleBasicParamsRecord userSet = engine_.NoMemUserSet().ToRecord();
    prompter_.shown.clear();
    configurator_.Next();
    EXPECT_EQ(prompter_.shown, (std::vector<Message>{{c.message, mb::kIconStop}})) << c.name;
    EXPECT_EQ(State(), c.page) << c.name;
    EXPECT_TRUE(TakeSentKeys().empty()) << c.name;
    EXPECT_EQ(engine_.NoMemUserSet().ToRecord(), userSet) << c.name << ": the page was not left";

    // Put right, the page goes.
    value.SetFromInt(kept);
    configurator_.Next();
    EXPECT_EQ(TakeSentKeys().size(), 1u) << c.name;
    EXPECT_TRUE(engine_.Waiting()) << c.name;
    engine_.Break();
  }
}

TEST_F(ConfiguratorTest, AFileReadInTheConfiguratorIsShownApartFromTheDevicesValuesUntilItIsLeft) {
  Start(3, false);
  // A file of another controller with absurd settings, as it was found on a disk.
  FileHolders other;
  CopyRecords(engine_, other);
  other.Holder(Group::kDeviceIden, DEVICE_IDEN_SERIAL)->SetFromText("654321-03");
  other.Holder(Group::kModuleUserSet, MODULE_BASIC_PARAMS_I_TEC_MAX)->SetFromInt(30000);
  other.Holder(Group::kModuleUserSet, MODULE_BASIC_PARAMS_T_DET)->SetFromInt(100);
  const std::string path = dir_.Path() + "other.froskconfig";
  ASSERT_TRUE(files_.WriteConfigFile(path, content::kRecords, other));
  const std::vector<uint8_t> device = BuildConfigRoot(engine_, content::kRecords | content::kSignatures);

  prompter_.fileNames = {path};
  configurator_.ReadFile();
  EXPECT_EQ(configurator_.FileShown(), path);
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorReadFile);
  EXPECT_EQ(BuildConfigRoot(engine_, content::kRecords | content::kSignatures), device)
      << "the holders keep the device's";
  configurator_.StartWizard();
  EXPECT_EQ(configurator_.HolderOf(ConfigColumn::kDeviceIden, DEVICE_IDEN_SERIAL)->ValueToText(), "654321-03");

  // A file made here holds what the pages show, signed for it.
  configurator_.Back();
  configurator_.MakeFile();
  EXPECT_EQ(configurator_.CheckHolder(Signature::kDevice).GetAsInt(),
            SerialSignature(*other.Holder(Group::kDeviceIden, DEVICE_IDEN_SERIAL)));
  const std::string made = dir_.Path() + "made.froskconfig";
  prompter_.fileNames = {made};
  ASSERT_TRUE(configurator_.WriteFile(content::kRecords | content::kDeviceSignature));
  FileHolders reread;
  ContentMask found = 0;
  ASSERT_TRUE(files_.ReadConfigFile(made, content::kEverything, found, reread));
  EXPECT_EQ(BuildConfigRoot(reread, content::kRecords), BuildConfigRoot(other, content::kRecords));
  EXPECT_EQ(BuildConfigRoot(engine_, content::kRecords | content::kSignatures), device);

  // Next sends the page the technician sees.
  configurator_.Back();
  configurator_.StartWizard();
  TakeSentKeys();
  configurator_.Next();
  ASSERT_EQ(TakeSentKeys(), std::vector<Key>{SET_DEVICE_IDEN});
  EXPECT_EQ(host_.sent.back(), ConfigRecordItem(other, *FindConfigRecord(content::kDeviceIden)));
  engine_.Break();

  // Leaving reads the device again, and the file is gone from the pages.
  engine_.ShowUserView();
  EXPECT_FALSE(configurator_.FileShown());
  EXPECT_EQ(TakeSentKeys(), std::vector<Key>{GET_SERVICE_MODE});
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kReadServiceMode);
}

TEST_F(ConfiguratorTest, TheHeadingsNameTheModuleThePageIsFor) {
  struct Case {
    uint8_t state;
    int liveType;
    const char* connected;
    const char* iden;
    const char* params;
  } cases[] = {
      {25, 0, "Not detected", "NOMEM Module Identification Data:", "KAZ Module Basic Params:"},
      {27, 2, "1WIRE", "1WIRE Module Identification Data:", "NOMEM Module Basic Params:"},
      {32, 2, "1WIRE", "1WIRE Module Identification Data:", "1WIRE Module Basic Params:"},
      {34, 3, "VELTRA", "KAZ Module Identification Data:", "KAZ Module Basic Params:"},
  };
  for (const Case& c : cases) {
    Enter(c.state);
    engine_.FroskTecMonitor().At(FROSKTEC_MONITOR_MODULE_TYPE).SetFromInt(c.liveType);
    EXPECT_EQ(configurator_.ConnectedModuleText(), c.connected) << int{c.state};
    EXPECT_EQ(configurator_.ModuleIdenCaption(), c.iden) << int{c.state};
    EXPECT_EQ(configurator_.ModuleParamsCaption(), c.params) << int{c.state};
  }
}

TEST_F(ConfiguratorTest, AllTicksWhatTheDevicesLastReadHoldAndWithoutALinkEveryBoxServes) {
  struct Case {
    int moduleType;
    bool noMemCompatible;
    bool linked;
    ContentMask all;
    ContentMask enabled;
  } cases[] = {
      {0, false, true, 0x0003, 0x40000003}, {1, true, true, 0x007F, 0x4000007F},  {2, false, true, 0x0F83, 0xC0000F83},
      {3, true, true, 0xFFFF, 0xC000FFFF},  {2, true, false, 0x0FFF, 0xC000FFFF},
  };
  for (const Case& c : cases) {
    host_.linked = c.linked;
    Start(c.moduleType, c.noMemCompatible);
    EXPECT_EQ(configurator_.AllMask(), c.all) << c.moduleType;
    EXPECT_EQ(configurator_.EnabledMask(), c.enabled) << c.moduleType;
  }
}

TEST_F(ConfiguratorTest, AGeneratedSignatureSignsTheEnteredSerialAndLeavesTheIdentificationAlone) {
  engine_.DeviceIden().At(DEVICE_IDEN_SERIAL).SetFromText("000001-01");
  VFroskClass entered = engine_.DeviceIden().At(DEVICE_IDEN_SERIAL);
  entered.SetFromText("123456-07");
  configurator_.GenerateSignature(Signature::kDevice, entered);
  EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), 0xB6A9);
  EXPECT_EQ(engine_.DeviceIden().At(DEVICE_IDEN_SERIAL).ValueToText(), "000001-01");

  // The new format's suffix 255 enters the signature.
  entered.SetFromText("123456789");
  configurator_.GenerateSignature(Signature::kModule, entered);
  const int newFormat = engine_.ModuleCheck().At(MODULE_CHECK_VALUE).GetAsInt();
  entered.SetFromText("123456-78");
  configurator_.GenerateSignature(Signature::kModule, entered);
  EXPECT_NE(engine_.ModuleCheck().At(MODULE_CHECK_VALUE).GetAsInt(), newFormat);
  EXPECT_EQ(engine_.ModuleCheck().At(MODULE_CHECK_VALUE).GetAsInt(), SerialSignature(entered));

  // "Make Configuration File" signs the serials the holders have.
  configurator_.MakeFile();
  EXPECT_EQ(engine_.SequenceState(), SequenceState::kConfiguratorMakeFile);
  EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(),
            SerialSignature(engine_.DeviceIden().At(DEVICE_IDEN_SERIAL)));
}

TEST_F(ConfiguratorTest, ATypedSignatureIsHexadecimalOrLeavesTheCheckValueAlone) {
  struct Case {
    const char* text;
    bool taken;
    int value;
  } cases[] = {
      {"0000B6A9", true, 0xB6A9}, {"b6a9", true, 0xB6A9},  {" 12 ", true, 0x12},
      {"0001FFFF", true, 0xFFFF},  // the check value has 16 bits
      {"", false, 0x4242},        {"12G4", false, 0x4242}, {"123456789", false, 0x4242},
      {"-1", false, 0x4242},      {"0x12", false, 0x4242}, {"$12", false, 0x4242},
  };
  for (const Case& c : cases) {
    engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).SetFromInt(0x4242);
    EXPECT_EQ(configurator_.TakeSignatureText(Signature::kDevice, c.text), c.taken) << c.text;
    EXPECT_EQ(engine_.DeviceCheck().At(DEVICE_CHECK_VALUE).GetAsInt(), c.value) << c.text;
  }
}

}  // namespace
}  // namespace frosk::test
