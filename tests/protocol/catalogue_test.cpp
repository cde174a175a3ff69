#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/holders.h"
#include "protocol/item.h"
#include "protocol/records.h"

namespace frosk {
namespace {

TEST(CatalogueTest, NameLookupsSplitTheIdentificationGroup) {
  EXPECT_EQ(KeyName(0x0020), "");
  EXPECT_EQ(DeviceIdenKeyName(0x0020), "GET_DEVICE_IDEN");
  EXPECT_EQ(KeyName(0x2813), "MODULE_USER_SET_BANK_INDEX");
  EXPECT_EQ(DeviceIdenKeyName(0x2813), "");
  EXPECT_EQ(KeyName(0x0040), "");
  EXPECT_EQ(DeviceIdenKeyName(0x0040), "");
  EXPECT_EQ(DeviceIdenKeyName(0x0215), "DEVICE_CHECK_VALUE");
  EXPECT_EQ(KeyName(0x2215), "MODULE_CHECK_VALUE");

  int named = 0;
  int identification = 0;
  std::set<std::string_view> names;
  for (unsigned k = 0; k <= 0xFFFF; ++k) {
    const std::string_view plain = KeyName(static_cast<Key>(k));
    const std::string_view iden = DeviceIdenKeyName(static_cast<Key>(k));
    EXPECT_TRUE(plain.empty() || iden.empty());
    if (!plain.empty() || !iden.empty()) ++named;
    if (!iden.empty()) ++identification;
    if (!plain.empty()) names.insert(plain);
    if (!iden.empty()) names.insert(iden);
  }
  EXPECT_EQ(named, 125);
  EXPECT_EQ(identification, 11);
  EXPECT_EQ(names.size(), 125u);
}

TEST(CatalogueTest, EveryFieldLiesAboveItsContainerAndCarriesItsName) {
  for (const ContainerSpec& container : catalogue::kContainers) {
    EXPECT_EQ(container.key & 0xFF, 0) << container.name;
    for (const FieldSpec& field : container.fields) {
      EXPECT_TRUE(field.key > container.key && field.key < container.key + 0x200) << field.name;
      EXPECT_EQ(field.name.substr(0, container.name.size()), container.name) << field.name;
      EXPECT_EQ(field.Type() == kCStr, field.cstrSize == 32) << field.name;
    }
  }
  for (const CommandSpec& command : catalogue::kCommands) {
    EXPECT_EQ(command.key & 15, kContainer) << command.name;
    EXPECT_TRUE(command.key >= 0x0020 && command.key <= 0x0B50) << command.name;
    EXPECT_NE(FindContainer(command.answer), nullptr) << command.name;
  }
}

TEST(CatalogueTest, EncodedSizesMatchTheProtocol) {
  EXPECT_EQ(EncodedSize<DeviceIdenRecord>(), 78u);
  EXPECT_EQ(EncodedSize<DeviceCheckRecord>(), 10u);
  EXPECT_EQ(EncodedSize<ServiceModeRecord>(), 9u);
  EXPECT_EQ(EncodedSize<TransparentModeRecord>(), 9u);
  EXPECT_EQ(EncodedSize<FroskTecConfigRecord>(), 14u);
  EXPECT_EQ(EncodedSize<ModuleIdenRecord>(), 201u);
  EXPECT_EQ(EncodedSize<ModuleCheckRecord>(), 10u);
  EXPECT_EQ(EncodedSize<ModuleBasicParamsRecord>(), 51u);
  EXPECT_EQ(EncodedSize<ModuleUserSetBankRecord>(), 9u);
  EXPECT_EQ(EncodedSize<ModuleVeltraParamsRecord>(), 49u);

  const auto deviceIden = RecordRequest(key::SET_DEVICE_IDEN, DeviceIdenRecord{});
  EXPECT_EQ(deviceIden.size(), 82u);
  EXPECT_EQ(FrameSize(deviceIden.data()), 170);
  const auto moduleIden = RecordRequest(key::SET_MODULE_IDEN, ModuleIdenRecord{});
  EXPECT_EQ(moduleIden.size(), 205u);
  EXPECT_EQ(FrameSize(moduleIden.data()), 416);
  uint8_t reply[201];
  ASSERT_EQ(BuildInto(ModuleIdenRecord{}, reply, sizeof reply), 201u);
  EXPECT_EQ(FrameSize(reply), 408);
  EXPECT_EQ(BareRequest(key::GET_FROSKTEC_MONITOR), (std::vector<uint8_t>{0x05, 0x20, 0x00, 0x04}));
}

TEST(RecordTest, BuildIntoNeedsTheWholeSize) {
  ModuleBasicParamsRecord record{};
  uint8_t buffer[51];
  EXPECT_EQ(BuildInto(record, buffer, 50), 0u);
  ASSERT_EQ(BuildInto(record, buffer, 51), 51u);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4), (std::vector<uint8_t>{0x24, 0x00, 0x00, 0x33}));
  int children = 0;
  for (const uint8_t* c = ItemFirstChild(buffer); c != nullptr; c = ItemNextChild(buffer, c)) ++children;
  EXPECT_EQ(children, 8);
}

TEST(RecordTest, OmittedFieldsStayCleared) {
  uint8_t reply[64];
  size_t n = ItemPutContainer(reply, key::FROSKTEC_MONITOR, 12);
  n += ItemPutInt32(reply + n, key::FROSKTEC_MONITOR_T_DET, 230500);
  FroskTecMonitorRecord monitor;
  std::memset(&monitor, 0x5A, sizeof monitor);
  Clear(monitor);
  ASSERT_TRUE(ParseFrom(monitor, reply));
  FroskTecMonitorRecord expected{};
  expected.tDet = 230500;
  EXPECT_EQ(monitor, expected);
}

TEST(RecordTest, ParseRefusesAnotherContainerAndLeavesTheRecord) {
  uint8_t item[51];
  BuildInto(ModuleBasicParamsRecord{}, item, sizeof item);
  ModuleVeltraParamsRecord veltra{};
  veltra.gain = 85;
  EXPECT_FALSE(ParseFrom(veltra, item));
  EXPECT_EQ(+veltra.gain, 85);
}

TEST(RecordTest, FirstOccurrenceOfAFieldWinsAndUnknownChildrenAreIgnored) {
  uint8_t item[64];
  size_t n = ItemPutContainer(item, key::SERVICE_MODE, 19);
  n += ItemPutUInt16(item + n, 0x1015, 7);
  n += ItemPutBool(item + n, key::SERVICE_MODE_ENABLE, true);
  n += ItemPutBool(item + n, key::SERVICE_MODE_ENABLE, false);
  ServiceModeRecord record{};
  ASSERT_TRUE(ParseFrom(record, item));
  EXPECT_EQ(record.enable, 1);
}

template <class Record>
void ExpectRoundTrip(const Record& original) {
  uint8_t item[256];
  ASSERT_EQ(BuildInto(original, item, sizeof item), EncodedSize<Record>());
  ASSERT_TRUE(ItemIsValid(item, EncodedSize<Record>()));
  Record parsed{};
  ASSERT_TRUE(ParseFrom(parsed, item));
  EXPECT_TRUE(parsed == original);

  HolderGroup<Record> holders;
  holders.SetRaw(original);
  EXPECT_TRUE(holders.ToRecord() == original);
}

TEST(RecordTest, EveryBuildableRecordRoundTripsThroughItemsAndHolders) {
  DeviceIdenRecord iden{};
  iden.type = 4;
  iden.firmVer = 12;
  iden.hardVer = 2;
  std::strcpy(iden.name, "FroskTEC");
  iden.serial = {255, 123456789};
  iden.prodDate = {0x0102, {3, 4, 5}, 5, 3, 124};
  ExpectRoundTrip(iden);

  ModuleIdenRecord module{};
  module.type = 3;
  module.firmVer = 65535;
  std::strcpy(module.name, "KAZ-7");
  std::strcpy(module.detName, "KD-4T-105");
  module.serial = {14, 301};
  module.detSerial = {255, 999999999};
  module.tecParam3 = 0.1f;
  module.thParam4 = -273.15f;
  module.coolTime = 120;
  ExpectRoundTrip(module);

  ExpectRoundTrip(ModuleBasicParamsRecord{2, 12000, -12000, 1, 0, 65535, 5000, 230000});
  ExpectRoundTrip(ModuleVeltraParamsRecord{256, 3, 85, 128, 4095, 1, 1, 2});
  ExpectRoundTrip(FroskTecConfigRecord{2, 1});
  ExpectRoundTrip(ServiceModeRecord{1});
  ExpectRoundTrip(TransparentModeRecord{1});
  ExpectRoundTrip(DeviceCheckRecord{0xB6A9});
  ExpectRoundTrip(ModuleCheckRecord{0x1234});
}

TEST(HolderTest, HoldersTakeTheirAttributesFromTheCatalogue) {
  HolderGroup<ModuleBasicParamsRecord> basic;
  const VFroskClass& tDet = basic.At(key::MODULE_BASIC_PARAMS_T_DET);
  EXPECT_EQ(tDet.Min(), 100000);
  EXPECT_EQ(tDet.Max(), 400000);
  EXPECT_EQ(tDet.Decimals(), 3);
  EXPECT_STREQ(tDet.Unit(), "K");
  EXPECT_EQ(basic[0].ChoiceNames(), (std::vector<std::string_view>{"AUTO", "OFF", "ON"}));
  EXPECT_EQ(basic.At(key::MODULE_BASIC_PARAMS_PWM).Decimals(), kUndefined);
  EXPECT_EQ(basic.Find(key::DEVICE_IDEN_NAME), nullptr);

  HolderGroup<DeviceIdenRecord> iden;
  EXPECT_EQ(iden.At(key::DEVICE_IDEN_NAME).CStrSize(), 32);
  EXPECT_EQ(HolderGroup<FroskTecMonitorRecord>::size(), 15u);
  EXPECT_EQ(HolderGroup<ModuleIdenRecord>::size(), 19u);
  EXPECT_EQ(HolderGroup<ModuleVeltraMonitorRecord>::size(), 11u);
}

TEST(HolderTest, TextReachesTheRecordThroughTheHolder) {
  HolderGroup<ModuleBasicParamsRecord> basic;
  basic.At(key::MODULE_BASIC_PARAMS_T_DET).SetFromText("230");
  basic.At(key::MODULE_BASIC_PARAMS_U_SUP_MINUS).SetFromText("-12.5");
  const ModuleBasicParamsRecord record = basic.ToRecord();
  EXPECT_EQ(record.tDet, 230000u);
  EXPECT_EQ(record.uSupMinus, -12500);
}

}  // namespace
}  // namespace frosk
