#include "engine_fixture.h"

#include <cstring>

namespace frosk::test {

using namespace key;

namespace {

SerialRecord Serial(const std::string& text) {
  VFroskClass holder;
  holder.Init(MODULE_IDEN_SERIAL, kUndefined, kUndefined, kUndefined, nullptr, nullptr, kUndefined);
  holder.SetFromText(text);
  SerialRecord serial;
  holder.GetRaw(&serial);
  return serial;
}

// Distinct values per group, so a reply stored in the wrong group shows, and
// in each set of four (default, user set, user minimum, user maximum) the
// minimum lowest and the maximum highest, as a device keeps them.
int Tag(int group) {
  constexpr int kOrder[] = {1, 2, 0, 3};
  return kOrder[group % 4] + 4 * (group / 4);
}

ModuleBasicParamsRecord BasicParams(int group) {
  const int tag = Tag(group);
  return ModuleBasicParamsRecord{1,    static_cast<int16_t>(5000 + tag),   -5000, 1, 0, 0,
                                 1000, static_cast<uint32_t>(200000 + tag)};
}

ModuleVeltraParamsRecord VeltraParams(int group) {
  return ModuleVeltraParamsRecord{static_cast<uint16_t>(Tag(group)), 0, 56, 128, 100, 0, 1, 2};
}

}  // namespace

FakeDevice::FakeDevice(int moduleType) {
  DeviceIdenRecord iden{};
  iden.type = 4;
  iden.firmVer = 12;
  std::strcpy(iden.name, "FroskTEC");
  iden.serial = Serial("123456-07");
  Hold(GET_DEVICE_IDEN, ReplyItem(iden));
  Hold(GET_SERVICE_MODE, ReplyItem(ServiceModeRecord{0}));
  Hold(GET_FROSKTEC_CONFIG, ReplyItem(FroskTecConfigRecord{0, 1}));
  ModuleIdenRecord noMem{};
  noMem.type = 1;
  noMem.tecType = 1;
  noMem.thType = 1;
  Hold(GET_FROSKTEC_MOD_NO_MEM_IDEN, ReplyItem(noMem));
  for (int i = 0; i < 8; ++i) Hold(SlotOf(kBasicParamsGroups[i]).get, ReplyItem(BasicParams(i)));
  for (int i = 0; i < 4; ++i) Hold(SlotOf(kVeltraParamsGroups[i]).get, ReplyItem(VeltraParams(i)));
  Hold(GET_MODULE_VELTRA_MONITOR, ReplyItem(ModuleVeltraMonitorRecord{}));
  moduleIden.type = static_cast<uint8_t>(moduleType);
  moduleIden.firmVer = 5;
  moduleIden.tecType = 1;
  moduleIden.thType = 1;
  moduleIden.serial = Serial("000100-01");
  SetMonitor(moduleType, 0);
}

void FakeDevice::SetMonitor(int moduleType, int status) {
  monitor.moduleType = static_cast<uint8_t>(moduleType);
  monitor.status = static_cast<uint8_t>(status);
  monitor.tDet = 230000;
}

void FakeDevice::SetModuleIden(const std::string& serial, uint16_t firmVer) {
  moduleIden.serial = Serial(serial);
  moduleIden.firmVer = firmVer;
}

std::vector<uint8_t> FakeDevice::Answer(const std::vector<uint8_t>& request) {
  const Key command = ItemKey(request.data());
  if (command == GET_FROSKTEC_MONITOR) return ReplyItem(monitor);
  if (command == GET_MODULE_IDEN) return ReplyItem(moduleIden);
  if (command == LOAD_MODULE_VELTRA_PARAMS || command == STORE_MODULE_VELTRA_PARAMS)
    return replies_[GET_MODULE_VELTRA_USER_SET];
  if (ItemLength(request.data()) > 4) {
    // A SET: keep the record it carries under its GET key and echo it.
    const uint8_t* record = ItemFirstChild(request.data());
    std::vector<uint8_t> reply(record, record + ItemLength(record));
    replies_[command - 0x10] = reply;
    if (command == SET_MODULE_IDEN) ParseFrom(moduleIden, record);
    return reply;
  }
  return replies_.at(command);
}

std::vector<Key> FakeHost::SentKeys() const {
  std::vector<Key> keys;
  for (const auto& item : sent) keys.push_back(ItemKey(item.data()));
  return keys;
}

EngineTest::EngineTest()
    : folders_((dir_.Write("firmware/Kaz.info", "FirmVer=5\n"), Folders::Beside(dir_.Path()))),
      engine_(host_, DeviceSeams{clock_, prompter_, beeper_, folders_}) {}

void EngineTest::AnswerLast(FakeDevice& device) {
  ASSERT_FALSE(host_.sent.empty());
  clock_.Advance(10);
  Receive(device.Answer(host_.sent.back()));
}

void RunSequence(DeviceEngine& engine, FakeHost& host, FakeDevice& device, int limit) {
  engine.SetDeviceMonitorAuto(false);
  engine.SetModuleMonitorAuto(false);
  for (int i = 0; i < limit; ++i) {
    engine.Tick();
    if (!engine.Waiting()) {
      if (!engine.HasQueuedItem()) return;
      continue;
    }
    engine.ReceiveItem(device.Answer(host.sent.back()).data());
  }
}

void EngineTest::RunSequence(FakeDevice& device, int limit) { test::RunSequence(engine_, host_, device, limit); }

std::vector<Key> EngineTest::TakeSentKeys() {
  std::vector<Key> keys = host_.SentKeys();
  keys.erase(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(taken_));
  taken_ = host_.sent.size();
  return keys;
}

}  // namespace frosk::test
