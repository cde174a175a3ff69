// The check of the values a write leaves in a device, before anything is sent.
#include "device/value_check.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "protocol/holders.h"

namespace frosk::test {
namespace {

using namespace key;

constexpr ModuleBasicParamsRecord kBasicDefault{0, 12000, -12000, 0, 0, 0, 5000, 230000};
constexpr ModuleBasicParamsRecord kBasicMin{0, 5000, -15000, 0, 0, 0, 1000, 200000};
constexpr ModuleBasicParamsRecord kBasicMax{2, 15000, -5000, 2, 2, 65535, 12000, 300000};
constexpr ModuleVeltraParamsRecord kVeltraDefault{128, 128, 85, 128, 2048, 0, 1, 1};
constexpr ModuleVeltraParamsRecord kVeltraMin{};
constexpr ModuleVeltraParamsRecord kVeltraMax{256, 256, 256, 256, 4095, 1, 1, 2};

template <class Record>
void Put(FileHolders& holders, Group group, const Record& record) {
  StoreHoldersItem(GroupContainer(group), holders.Holders(group), ReplyItem(record).data());
}

// A device as a factory leaves it: every set of four consistent.
FileHolders ConsistentDevice() {
  FileHolders holders;
  for (const Group first : {Group::kNoMemDefault, Group::kModuleDefault}) {
    const auto group = [first](int offset) { return static_cast<Group>(static_cast<int>(first) + offset); };
    Put(holders, group(0), kBasicDefault);
    Put(holders, group(1), kBasicDefault);
    Put(holders, group(2), kBasicMin);
    Put(holders, group(3), kBasicMax);
  }
  Put(holders, Group::kVeltraDefault, kVeltraDefault);
  Put(holders, Group::kVeltraUserSet, kVeltraDefault);
  Put(holders, Group::kVeltraUserMin, kVeltraMin);
  Put(holders, Group::kVeltraUserMax, kVeltraMax);
  return holders;
}

struct Edit {
  Group group;
  Key field;
  int64_t raw;
};

constexpr ContentMask Bit(Group group) { return SlotOf(group).bit; }

TEST(ValueCheckTest, EveryValueAWriteLeavesIsJudgedAgainstTheLimitsThatWillHold) {
  const ContentMask module = content::kModuleRecords;
  const struct {
    const char* name;
    std::vector<Edit> edits;
    ContentMask written;
    ContentMask held;
    std::vector<std::string> violations;
  } cases[] = {
      {"consistent records pass", {}, content::kRecords, content::kRecords, {}},
      {"a value below its field's range",
       {{Group::kModuleUserSet, MODULE_BASIC_PARAMS_U_SUP_PLUS, -32768}},
       module,
       0,
       {"ModuleUserSet MODULE_BASIC_PARAMS_U_SUP_PLUS -32.768 V is below the field's minimum 3.000 V",
        "ModuleUserSet MODULE_BASIC_PARAMS_U_SUP_PLUS -32.768 V is below ModuleUserMin 5.000 V"}},
      {"a uint32 beyond 2^31 is large, not negative",
       {{Group::kModuleUserSet, MODULE_BASIC_PARAMS_T_DET, 4294967295}},
       module,
       0,
       {"ModuleUserSet MODULE_BASIC_PARAMS_T_DET 4294967.295 K is above the field's maximum 400.000 K",
        "ModuleUserSet MODULE_BASIC_PARAMS_T_DET 4294967.295 K is above ModuleUserMax 300.000 K"}},
      {"a user maximum written alone below the device's values",
       {{Group::kModuleUserMax, MODULE_BASIC_PARAMS_T_DET, 150000}},
       Bit(Group::kModuleUserMax),
       module,
       {"ModuleDefault MODULE_BASIC_PARAMS_T_DET 230.000 K is above ModuleUserMax 150.000 K",
        "ModuleUserSet MODULE_BASIC_PARAMS_T_DET 230.000 K is above ModuleUserMax 150.000 K",
        "ModuleUserMin MODULE_BASIC_PARAMS_T_DET 200.000 K is above ModuleUserMax 150.000 K"}},
      {"a user set written alone within the device's limits",
       {{Group::kModuleUserSet, MODULE_BASIC_PARAMS_I_TEC_MAX, 12000}},
       Bit(Group::kModuleUserSet),
       module,
       {}},
      {"a user set written alone above the device's user maximum",
       {{Group::kModuleUserSet, MODULE_BASIC_PARAMS_I_TEC_MAX, 15000}},
       Bit(Group::kModuleUserSet),
       module,
       {"ModuleUserSet MODULE_BASIC_PARAMS_I_TEC_MAX 1.5000 A is above ModuleUserMax 1.2000 A"}},
      {"limits the device does not hold bind nothing",
       {{Group::kModuleUserSet, MODULE_BASIC_PARAMS_I_TEC_MAX, 15000}},
       Bit(Group::kModuleUserSet),
       0,
       {}},
      {"records of the device the write leaves alone are not judged",
       {{Group::kNoMemDefault, MODULE_BASIC_PARAMS_T_DET, 350000},
        {Group::kFroskTecConfig, FROSKTEC_CONFIG_VARIANT, 3}},
       content::kFroskTecConfig,
       content::kRecords,
       {"FroskTecConfig FROSKTEC_CONFIG_VARIANT 3 is above the field's maximum 2"}},
      {"the VELTRA set is judged as the others",
       {{Group::kVeltraUserSet, MODULE_VELTRA_PARAMS_GAIN, 300}},
       content::kVeltraRecords,
       0,
       {"VeltraUserSet MODULE_VELTRA_PARAMS_GAIN 300 is above the field's maximum 256",
        "VeltraUserSet MODULE_VELTRA_PARAMS_GAIN 300 is above VeltraUserMax 256"}},
  };
  for (const auto& c : cases) {
    FileHolders after = ConsistentDevice();
    for (const Edit& edit : c.edits) after.Holder(edit.group, edit.field)->SetFromInt(static_cast<int32_t>(edit.raw));
    std::vector<std::string> texts;
    for (const ValueViolation& violation : CheckValues(c.written, c.held, after))
      texts.push_back(ViolationText(violation));
    EXPECT_EQ(texts, c.violations) << c.name;
  }
}

TEST_F(EngineTest, ARefusalNamesItsViolationsAndTheLongestListsInFullInTheLog) {
  FileHolders after = ConsistentDevice();
  for (const Group group : {Group::kModuleDefault, Group::kModuleUserSet})
    for (VFroskClass& value : after.Holders(group)) value.SetFromInt(-1);
  const std::vector<ValueViolation> violations = CheckValues(content::kModuleRecords, 0, after);
  ASSERT_GT(violations.size(), 12u);

  RefuseValues(engine_, {violations.begin(), violations.begin() + 2});
  EXPECT_EQ(prompter_.shown,
            (std::vector<Message>{{"Values outside their limits, nothing was sent:\r" + ViolationText(violations[0]) +
                                       "\r" + ViolationText(violations[1]),
                                   mb::kIconStop}}));
  EXPECT_TRUE(host_.logged.empty());

  prompter_.shown.clear();
  RefuseValues(engine_, violations);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  const std::string& text = prompter_.shown[0].text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 13) << "twelve of them, then how many more";
  EXPECT_TRUE(text.ends_with("\r... and " + std::to_string(violations.size() - 12) + " more (see the log)")) << text;
  ASSERT_EQ(host_.logged.size(), violations.size());
  EXPECT_EQ(host_.logged.back(), "Value outside its limits: " + ViolationText(violations.back()));
  EXPECT_TRUE(host_.sent.empty());
}

}  // namespace
}  // namespace frosk::test
