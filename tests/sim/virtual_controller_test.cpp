#include "sim/virtual_controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "protocol/catalogue.h"
#include "protocol/holders.h"
#include "protocol/item.h"
#include "protocol/records.h"

namespace frosk::sim {
namespace {

using std::chrono::seconds;

const Clock::time_point kPowerOn{};

std::vector<uint8_t> DecodeReply(const std::string& frame) {
  std::vector<uint8_t> item(1024);
  const FrameDecodeResult result = DecodeItem(item.data(), item.size(), frame);
  if (!result.ok()) return {};
  item.resize(result.itemLength);
  return item;
}

// A command container around a data item.
std::vector<uint8_t> Wrap(Key command, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> request(4 + data.size());
  ItemPutContainer(request.data(), command, static_cast<uint16_t>(request.size()));
  std::memcpy(request.data() + 4, data.data(), data.size());
  return request;
}

// A container's item with every field zero.
std::vector<uint8_t> ZeroRecordItem(const ContainerSpec& container) {
  const std::vector<uint8_t> record(PackedRecordSize(container));
  std::vector<uint8_t> item(EncodedSize(container));
  BuildRecordBytes(container, PackedSlots(container), record.data(), item.data(), item.size());
  return item;
}

// A controller the test talks to in frames, on the test's own clock.
struct Device {
  explicit Device(const ControllerSettings& settings = {}) : controller(settings, kPowerOn) {}

  std::vector<uint8_t> Ask(const std::vector<uint8_t>& request, Clock::duration at = {}) {
    return DecodeReply(controller.Handle(FrameEncode(request.data()), kPowerOn + at).reply);
  }
  template <class Record>
  Record Parse(const std::vector<uint8_t>& reply) {
    Record record{};
    EXPECT_TRUE(!reply.empty() && ParseFrom(record, reply.data()));
    return record;
  }
  template <class Record>
  Record Get(Key command, Clock::duration at = {}) {
    return Parse<Record>(Ask(BareRequest(command), at));
  }
  template <class Record>
  Record Set(Key command, const Record& record, Clock::duration at = {}) {
    return Parse<Record>(Ask(RecordRequest(command, record), at));
  }
  // LOAD or STORE of a bank: the answer is the bank's parameters.
  ModuleVeltraParamsRecord Bank(Key command, uint8_t index) {
    return Parse<ModuleVeltraParamsRecord>(Ask(RecordRequest(command, ModuleUserSetBankRecord{index})));
  }
  FroskTecMonitorRecord Monitor(Clock::duration at) {
    return Get<FroskTecMonitorRecord>(key::GET_FROSKTEC_MONITOR, at);
  }

  VirtualController controller;
};

TEST(VirtualControllerTest, AnswersEveryCommandOfTheCatalogueWithItsDataContainer) {
  Device device;
  for (const CommandSpec& command : catalogue::kCommands) {
    const std::vector<uint8_t> request = command.carries == 0
                                             ? BareRequest(command.key)
                                             : Wrap(command.key, ZeroRecordItem(*FindContainer(command.carries)));
    const std::vector<uint8_t> reply = device.Ask(request);
    ASSERT_FALSE(reply.empty()) << command.name;
    EXPECT_EQ(ItemKey(reply.data()), command.answer) << command.name;
    EXPECT_EQ(reply.size(), EncodedSize(*FindContainer(command.answer))) << command.name;
  }
}

TEST(VirtualControllerTest, StartsWithTheFixedIdentification) {
  Device device;
  const auto iden = device.Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN);
  EXPECT_EQ(iden.type, 4);
  EXPECT_EQ(iden.firmVer, 12);
  EXPECT_EQ(iden.hardVer, 2);
  EXPECT_STREQ(iden.name, "FroskTEC");
  EXPECT_EQ(SerialToText(iden.serial), "123456-07");
  EXPECT_EQ(DateToText(iden.prodDate), "2025-03-14");

  const auto config = device.Get<FroskTecConfigRecord>(key::GET_FROSKTEC_CONFIG);
  EXPECT_EQ(config.variant, 0);
  EXPECT_EQ(config.noMemCompatible, 0);
  EXPECT_EQ(device.Get<ServiceModeRecord>(key::GET_SERVICE_MODE).enable, 0);

  const auto module = device.Get<ModuleIdenRecord>(key::GET_MODULE_IDEN);
  EXPECT_EQ(module.type, 3);
  EXPECT_EQ(module.firmVer, 5);
  EXPECT_EQ(module.hardVer, 1);
  EXPECT_STREQ(module.name, "KAZ-7");
  EXPECT_EQ(SerialToText(module.serial), "000412-25");
  EXPECT_STREQ(module.detName, "KD-4T-105");
  EXPECT_EQ(SerialToText(module.detSerial), "250117-03");
  EXPECT_EQ(DateToText(module.prodDate), "2025-01-17");
  EXPECT_EQ(module.tecType, 1);
  EXPECT_EQ(module.thType, 1);
  EXPECT_EQ(module.coolTime, 120);
  EXPECT_EQ(device.Get<ModuleIdenRecord>(key::GET_FROSKTEC_MOD_NO_MEM_IDEN).type, 1);
}

// User min <= default and user set <= user max, all inside the catalogue's limits.
template <class Record>
void ExpectSetsWithinTheirBands(Device& device, const std::array<Key, 4>& gets) {
  std::array<HolderGroup<Record>, 4> sets;
  for (size_t i = 0; i < sets.size(); ++i) sets[i].SetRaw(device.Get<Record>(gets[i]));
  for (size_t f = 0; f < HolderGroup<Record>::kCount; ++f) {
    const VFroskClass& field = sets[0][f];
    const int32_t value = sets[1][f].GetAsInt();
    const int32_t low = sets[2][f].GetAsInt();
    const int32_t high = sets[3][f].GetAsInt();
    SCOPED_TRACE(AnyKeyName(static_cast<Key>(field.ParamKey())));
    EXPECT_LE(field.Min(), low);
    EXPECT_LE(low, field.GetAsInt());
    EXPECT_LE(field.GetAsInt(), high);
    EXPECT_LE(low, value);
    EXPECT_LE(value, high);
    EXPECT_LE(high, field.Max());
  }
}

TEST(VirtualControllerTest, FactorySetsLieWithinTheirBands) {
  using namespace key;
  Device device;
  ExpectSetsWithinTheirBands<ModuleBasicParamsRecord>(
      device, {GET_FROSKTEC_MOD_NO_MEM_DEFAULT, GET_FROSKTEC_MOD_NO_MEM_USER_SET, GET_FROSKTEC_MOD_NO_MEM_USER_MIN,
               GET_FROSKTEC_MOD_NO_MEM_USER_MAX});
  ExpectSetsWithinTheirBands<ModuleBasicParamsRecord>(
      device, {GET_MODULE_DEFAULT, GET_MODULE_USER_SET, GET_MODULE_USER_MIN, GET_MODULE_USER_MAX});
  ExpectSetsWithinTheirBands<ModuleVeltraParamsRecord>(
      device,
      {GET_MODULE_VELTRA_DEFAULT, GET_MODULE_VELTRA_USER_SET, GET_MODULE_VELTRA_USER_MIN, GET_MODULE_VELTRA_USER_MAX});
  EXPECT_EQ(device.Get<ModuleBasicParamsRecord>(GET_MODULE_USER_SET).tDet, 230000u);
}

// Every SET answers with the record it carried, and every GET then returns
// its own record: no two commands share a store.
TEST(VirtualControllerTest, SetStoresItsRecordAndAnswersWhatItHolds) {
  Device device;
  std::map<Key, std::vector<uint8_t>> written;  // by the command that reads it back
  for (const CommandSpec& command : catalogue::kCommands) {
    if (command.carries == 0 || command.carries != command.answer) continue;
    const CommandSpec* get = FindCommand(static_cast<Key>(command.key - 0x10));
    const bool readable = get != nullptr && get->carries == 0 && get->answer == command.answer;
    std::vector<uint8_t> record =
        readable ? device.Ask(BareRequest(get->key)) : ZeroRecordItem(*FindContainer(command.carries));
    record.back() ^= 1;  // the last byte of the last field
    EXPECT_EQ(device.Ask(Wrap(command.key, record)), record) << command.name;
    written[readable ? get->key : command.key] = record;
  }
  for (const auto& [command, record] : written) {
    if (FindCommand(command)->carries != 0) continue;
    EXPECT_EQ(device.Ask(BareRequest(command)), record) << AnyKeyName(command);
  }
}

TEST(VirtualControllerTest, TransparentModeIsGrantedUnlessTheControllerRefusesIt) {
  Device granting;
  EXPECT_EQ(granting.Set(key::SET_TRANSPARENT_MODE, TransparentModeRecord{1}).enable, 1);
  ControllerSettings settings;
  settings.refuseTransparentMode = true;
  Device refusing(settings);
  EXPECT_EQ(refusing.Set(key::SET_TRANSPARENT_MODE, TransparentModeRecord{1}).enable, 0);
}

TEST(VirtualControllerTest, SetWithSomeFieldsChangesOnlyThoseAndLeavesNoOldText) {
  Device device;
  std::vector<uint8_t> setpoint(12);
  ItemPutContainer(setpoint.data(), key::MODULE_BASIC_PARAMS, 12);
  ItemPutUInt32(setpoint.data() + 4, key::MODULE_BASIC_PARAMS_T_DET, 250000);
  const auto set = device.Parse<ModuleBasicParamsRecord>(device.Ask(Wrap(key::SET_MODULE_USER_SET, setpoint)));
  EXPECT_EQ(set.tDet, 250000u);
  EXPECT_EQ(set.uSupPlus, 12000);

  std::vector<uint8_t> name(11);
  ItemPutContainer(name.data(), key::DEVICE_IDEN, 11);
  ItemPutCStr(name.data() + 4, key::DEVICE_IDEN_NAME, "ABC", 3);
  const std::vector<uint8_t> reply = device.Ask(Wrap(key::SET_DEVICE_IDEN, name));
  const uint8_t* field = ItemFindChild(reply.data(), key::DEVICE_IDEN_NAME, false);
  ASSERT_NE(field, nullptr);
  std::string expected(32, '\0');
  expected.replace(0, 3, "ABC");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ItemPayload(field)), ItemPayloadLength(field)), expected);
  EXPECT_EQ(device.Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN).firmVer, 12);
}

TEST(VirtualControllerTest, LoadAndStoreMoveBanksThroughTheWorkingSet) {
  using namespace key;
  Device device;
  auto bank = [&](Key command, uint8_t index) { return device.Bank(command, index).gain; };
  auto working = [&] { return device.Get<ModuleVeltraParamsRecord>(GET_MODULE_VELTRA_USER_SET).gain; };

  EXPECT_EQ(bank(LOAD_MODULE_VELTRA_PARAMS, 1), 64);
  EXPECT_EQ(working(), 64);

  ModuleVeltraParamsRecord changed = device.Get<ModuleVeltraParamsRecord>(GET_MODULE_VELTRA_USER_SET);
  changed.gain = 93;
  device.Set(SET_MODULE_VELTRA_USER_SET, changed);
  EXPECT_EQ(bank(STORE_MODULE_VELTRA_PARAMS, 3), 93);
  EXPECT_EQ(bank(LOAD_MODULE_VELTRA_PARAMS, 0), 85);
  EXPECT_EQ(working(), 85);
  EXPECT_EQ(bank(LOAD_MODULE_VELTRA_PARAMS, 3), 93);

  // There is no fifth bank: nothing moves and the answer is the working set.
  const auto exchange = device.controller.Handle(
      FrameEncode(RecordRequest(LOAD_MODULE_VELTRA_PARAMS, ModuleUserSetBankRecord{4}).data()), kPowerOn);
  EXPECT_EQ(device.Parse<ModuleVeltraParamsRecord>(DecodeReply(exchange.reply)).gain, 93);
  EXPECT_FALSE(exchange.memoryChanged);
}

TEST(VirtualControllerTest, IgnoresFramesThatAreNotSoundRequests) {
  std::string badCheck = FrameEncode(BareRequest(key::GET_DEVICE_IDEN).data());
  badCheck[badCheck.size() - 2] = badCheck[badCheck.size() - 2] == '0' ? '1' : '0';
  // The child declares ten bytes inside a parent of nine: the check value is right, the item is not.
  const uint8_t overrun[] = {0x04, 0x10, 0x00, 0x09, 0x10, 0x00, 0x00, 0x0A, 0x01};
  const struct {
    const char* what;
    std::string frame;
    FrameStatus status;
  } cases[] = {
      {"bad check value", badCheck, FrameStatus::kBadCheck},
      {"invalid item", FrameEncode(overrun), FrameStatus::kInvalidItem},
      {"no end", "$002000040900", FrameStatus::kNoEnd},
      {"unknown command", FrameEncode(BareRequest(0x0040).data()), FrameStatus::kOk},
  };
  Device device;
  for (const auto& c : cases) {
    const VirtualController::Exchange exchange = device.controller.Handle(c.frame, kPowerOn);
    EXPECT_EQ(exchange.status, c.status) << c.what;
    EXPECT_TRUE(exchange.reply.empty()) << c.what;
  }

  DeviceIdenRecord renamed = device.Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN);
  std::strcpy(renamed.name, "Renamed");
  std::string damagedSet = FrameEncode(RecordRequest(key::SET_DEVICE_IDEN, renamed).data());
  damagedSet[10] = damagedSet[10] == 'A' ? 'B' : 'A';
  EXPECT_TRUE(device.controller.Handle(damagedSet, kPowerOn).reply.empty());
  EXPECT_STREQ(device.Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN).name, "FroskTEC");
}

TEST(CoolingTest, DetectorCoolsToTheSetpointAndLocks) {
  Device device;
  const FroskTecMonitorRecord first = device.Monitor(seconds(0));
  EXPECT_NEAR(first.tDet / 1000.0, 295.0, 0.5);
  EXPECT_EQ(first.status, 1);
  EXPECT_EQ(device.Monitor(seconds(5)).iTec, 5000) << "pulls down at the 0.5 A limit";

  double previous = first.tDet / 1000.0;
  int lockedAt = 0;
  for (int s = 6; s <= 90; ++s) {
    const FroskTecMonitorRecord monitor = device.Monitor(seconds(s));
    const double kelvin = monitor.tDet / 1000.0;
    if (lockedAt == 0 && monitor.status == 0) lockedAt = s;
    if (lockedAt == 0) {
      EXPECT_EQ(monitor.status, 1) << s;
      EXPECT_LT(kelvin, previous + 0.05) << s;
    } else {
      EXPECT_EQ(monitor.status, 0) << s;
      EXPECT_NEAR(kelvin, 230.0, 0.12) << s;
    }
    previous = kelvin;
  }
  EXPECT_GE(lockedAt, 30);
  EXPECT_LE(lockedAt, 60);
  const FroskTecMonitorRecord holding = device.Monitor(seconds(91));
  EXPECT_GT(holding.iTec, 0);
  EXPECT_LT(holding.iTec, 5000);
}

TEST(CoolingTest, FollowsANewSetpointAndWarmsWhenTheTecIsOff) {
  Device device;
  ASSERT_EQ(device.Monitor(seconds(90)).status, 0);
  ModuleBasicParamsRecord set = device.Get<ModuleBasicParamsRecord>(key::GET_MODULE_USER_SET, seconds(90));
  set.tDet = 250000;
  device.Set(key::SET_MODULE_USER_SET, set, seconds(90));
  EXPECT_EQ(device.Monitor(seconds(91)).status, 1);
  const FroskTecMonitorRecord relocked = device.Monitor(seconds(150));
  EXPECT_EQ(relocked.status, 0);
  EXPECT_NEAR(relocked.tDet / 1000.0, 250.0, 0.12);

  set.tecCtrl = 1;  // OFF
  device.Set(key::SET_MODULE_USER_SET, set, seconds(150));
  const FroskTecMonitorRecord off = device.Monitor(seconds(210));
  EXPECT_EQ(off.status, 2);
  EXPECT_EQ(off.iTec, 0);
  EXPECT_GT(off.tDet / 1000.0, 285.0);
}

// The monitor reports the attached module, and the regulation follows the
// user set of whoever holds the module's data: the controller for a
// memoryless module, the module itself otherwise.
TEST(CoolingTest, MonitorFollowsTheAttachedModule) {
  const struct {
    ModuleKind module;
    uint8_t type;
    uint8_t status;
    double kelvin;
    Key otherUserSet;
  } cases[] = {
      {ModuleKind::kNone, 0, 135, 0.0, key::SET_MODULE_USER_SET},
      {ModuleKind::kNoMem, 1, 0, 230.0, key::SET_MODULE_USER_SET},
      {ModuleKind::kOneWire, 2, 0, 230.0, key::SET_FROSKTEC_MOD_NO_MEM_USER_SET},
      {ModuleKind::kVeltra, 3, 0, 230.0, key::SET_FROSKTEC_MOD_NO_MEM_USER_SET},
  };
  for (const auto& c : cases) {
    ControllerSettings settings;
    settings.module = c.module;
    Device device(settings);
    ModuleBasicParamsRecord other = device.Get<ModuleBasicParamsRecord>(key::GET_MODULE_USER_SET);
    other.tDet = 260000;
    device.Set(c.otherUserSet, other);
    const FroskTecMonitorRecord monitor = device.Monitor(seconds(90));
    EXPECT_EQ(monitor.moduleType, c.type) << int{c.type};
    EXPECT_EQ(monitor.status, c.status) << int{c.type};
    EXPECT_NEAR(monitor.tDet / 1000.0, c.kelvin, 0.12) << int{c.type};
  }
}

TEST(CoolingTest, ForcedStatusIsReportedWhateverTheTemperature) {
  ControllerSettings settings;
  settings.forcedStatus = 140;
  Device device(settings);
  EXPECT_EQ(device.Monitor(seconds(0)).status, 140);
  EXPECT_EQ(device.Monitor(seconds(90)).status, 140);
}

TEST(MonitorTest, SupplyAndFanFollowTheirControls) {
  const struct {
    uint8_t supCtrl, fanCtrl, supOn, fanOn;
  } cases[] = {{0, 0, 1, 1}, {1, 2, 0, 1}, {2, 1, 1, 0}};  // AUTO 0, OFF 1, ON 2
  for (const auto& c : cases) {
    Device device;
    ModuleBasicParamsRecord set = device.Get<ModuleBasicParamsRecord>(key::GET_MODULE_USER_SET);
    set.supCtrl = c.supCtrl;
    set.fanCtrl = c.fanCtrl;
    set.uSupPlus = 9000;
    device.Set(key::SET_MODULE_USER_SET, set);
    const FroskTecMonitorRecord monitor = device.Monitor(seconds(1));
    SCOPED_TRACE(::testing::Message() << "SUP_CTRL " << int{c.supCtrl} << " FAN_CTRL " << int{c.fanCtrl});
    EXPECT_EQ(monitor.supOn, c.supOn);
    EXPECT_EQ(monitor.fanOn, c.fanOn);
    if (c.supOn != 0) {
      EXPECT_NEAR(monitor.uSupPlus, 9000, 30);
      EXPECT_NEAR(monitor.uSupMinus, -12000, 30);
      EXPECT_GT(monitor.iSupPlus, 0);
    } else {
      EXPECT_EQ(monitor.uSupPlus, 0);
      EXPECT_EQ(monitor.iSupPlus, 0);
    }
    EXPECT_EQ(monitor.iFanPlus > 0, c.fanOn != 0);
  }
}

TEST(MonitorTest, VeltraReadingsStayInTheirRangesAndMoveSlightly) {
  Device device;
  HolderGroup<ModuleVeltraMonitorRecord> readings[2];
  for (int i = 0; i < 2; ++i)
    readings[i].SetRaw(device.Get<ModuleVeltraMonitorRecord>(key::GET_MODULE_VELTRA_MONITOR, seconds(10 + i)));
  bool moved = false;
  for (size_t f = 0; f < readings[0].size(); ++f) {
    for (const auto& reading : readings) {
      EXPECT_GE(reading[f].GetAsInt(), reading[f].Min()) << AnyKeyName(static_cast<Key>(reading[f].ParamKey()));
      EXPECT_LE(reading[f].GetAsInt(), reading[f].Max()) << AnyKeyName(static_cast<Key>(reading[f].ParamKey()));
    }
    moved = moved || readings[0][f].GetAsInt() != readings[1][f].GetAsInt();
  }
  EXPECT_TRUE(moved);
}

TEST(MemoryTest, KeptRecordsSurviveARestartAndTheModeSwitchesDoNot) {
  Device before;
  DeviceIdenRecord iden = before.Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN);
  std::strcpy(iden.name, "Bench 3");
  before.Set(key::SET_DEVICE_IDEN, iden);
  ModuleBasicParamsRecord set = before.Get<ModuleBasicParamsRecord>(key::GET_MODULE_USER_SET);
  set.tDet = 240000;
  before.Set(key::SET_MODULE_USER_SET, set);
  before.Bank(key::STORE_MODULE_VELTRA_PARAMS, 2);
  before.Set(key::SET_SERVICE_MODE, ServiceModeRecord{1});

  Device after;
  std::string error;
  ASSERT_TRUE(after.controller.LoadMemory(before.controller.SaveMemory(), &error)) << error;
  EXPECT_STREQ(after.Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN).name, "Bench 3");
  EXPECT_EQ(after.Get<ModuleBasicParamsRecord>(key::GET_MODULE_USER_SET).tDet, 240000u);
  EXPECT_EQ(after.Bank(key::LOAD_MODULE_VELTRA_PARAMS, 2).gain, 85);
  EXPECT_EQ(after.Get<ServiceModeRecord>(key::GET_SERVICE_MODE).enable, 0);
}

TEST(MemoryTest, RefusesAMemoryWithABadLineAndKeepsWhatItHeld) {
  DeviceIdenRecord renamed = Device().Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN);
  std::strcpy(renamed.name, "Changed");
  std::vector<uint8_t> item(EncodedSize<DeviceIdenRecord>());
  BuildInto(renamed, item.data(), item.size());
  const std::string goodLine = "DEVICE_IDEN " + FrameEncode(item.data()) + "\n";
  const struct {
    const char* what;
    std::string badLine;
  } cases[] = {
      {"unknown record", "NO_SUCH_RECORD $002000040900#"},
      {"damaged frame", "MODULE_IDEN $002000040901#"},
      {"wrong container", "MODULE_IDEN " + FrameEncode(item.data())},
  };
  for (const auto& c : cases) {
    Device device;
    std::string error;
    EXPECT_FALSE(device.controller.LoadMemory(goodLine + c.badLine + "\n", &error)) << c.what;
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << c.what << ": " << error;
    EXPECT_STREQ(device.Get<DeviceIdenRecord>(key::GET_DEVICE_IDEN).name, "FroskTEC") << c.what;
  }
}

}  // namespace
}  // namespace frosk::sim
