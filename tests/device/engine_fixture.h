#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "common/frame_event.h"
#include "common/tick_clock.h"
#include "device/device_connection.h"
#include "device/device_engine.h"
#include "protocol/frame.h"
#include "protocol/item.h"
#include "protocol/keys.h"
#include "settings/settings_store.h"
#include "support/reading_sequence.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"

namespace frosk::test {

// A record's data container as a device sends it, monitors included.
template <class Record>
std::vector<uint8_t> ReplyItem(const Record& record) {
  const ContainerSpec& container = RecordTraits<Record>::Layout();
  std::vector<uint8_t> item(EncodedSize(container));
  BuildRecordBytes(container, RecordTraits<Record>::kSlots, &record, item.data(), item.size());
  return item;
}

// The record a request carries.
template <class Record>
Record SentRecord(const std::vector<uint8_t>& request) {
  Record record{};
  ParseFrom(record, ItemFirstChild(request.data()));
  return record;
}

// Answers every request as a controller does: a GET with the record it holds
// for that request, a SET by keeping and echoing the record it carries, LOAD
// and STORE with the working VELTRA user set.
class FakeDevice {
 public:
  explicit FakeDevice(int moduleType);

  std::vector<uint8_t> Answer(const std::vector<uint8_t>& request);
  void Hold(Key getKey, std::vector<uint8_t> reply) { replies_[getKey] = std::move(reply); }
  void SetMonitor(int moduleType, int status);
  void SetModuleIden(const std::string& serial, uint16_t firmVer);

  FroskTecMonitorRecord monitor{};
  ModuleIdenRecord moduleIden{};

 private:
  std::map<Key, std::vector<uint8_t>> replies_;
};

class FakeHost : public DeviceHost {
 public:
  bool SendToDevice(DeviceEngine&, const uint8_t* item) override {
    sent.emplace_back(item, item + ItemLength(item));
    return linked;
  }
  bool IsDeviceLinked(const DeviceEngine&) const override { return linked; }
  void RequestClose(DeviceEngine&, CloseAction action) override { closeRequests.push_back(action); }
  bool ServiceModeSetting() const override { return serviceMode; }
  void WriteLog(const std::string& line) override { logged.push_back(line); }

  std::vector<Key> SentKeys() const;

  std::vector<std::vector<uint8_t>> sent;
  std::vector<CloseAction> closeRequests;
  std::vector<std::string> logged;
  bool linked = true;
  bool serviceMode = false;
};

// A connection in a test: links that go nowhere (an open gives a
// link that is never followed, every item sent is kept) and an owner that
// keeps the close requests and tells the time by a clock the test sets.
class FakeConnectionHost : public LinkLayer, public ConnectionOwner {
 public:
  explicit FakeConnectionHost(const Settings& settings) : settings_(settings) {}

  int Open(Link** link, const PortSettings&, FrameSink) override {
    *link = FakeLink();
    return 0;
  }
  int Close(Link** link) override {
    *link = nullptr;
    return 0;
  }
  int SendItem(Link*, const uint8_t* item) override {
    sent.emplace_back(item, item + ItemLength(item));
    return 0;
  }
  bool ServiceModeSetting() const override { return settings_.ServiceMode; }
  bool DevicesReachable() const override { return linked; }
  void CloseRequested(DeviceConnection&, CloseAction action) override {
    closeRequests.push_back(static_cast<int>(action));
  }
  void WriteLog(DeviceConnection&, const std::string& line) override { logged.push_back(line); }
  const WallClock& Calendar() const override { return wall; }

  // Hands an item to the connection as its link does: as a frame event.
  static void Deliver(DeviceConnection& connection, const uint8_t* item) {
    FrameEvent event(kMainWindowFrameEvent, Block(item));
    QCoreApplication::sendEvent(&connection, &event);
  }
  // The frame of an item as the link hands it over; no item: the port's end.
  static std::unique_ptr<FrameBlock> Block(const uint8_t* item) {
    auto block = std::make_unique<FrameBlock>();
    block->owner = FakeLink();
    const std::string frame = item != nullptr ? FrameEncode(item) : std::string();
    block->count = static_cast<uint32_t>(frame.size());
    std::memcpy(block->bytes, frame.data(), frame.size());
    return block;
  }
  static Link* FakeLink() {
    static char stand;
    return reinterpret_cast<Link*>(&stand);
  }

  std::vector<std::vector<uint8_t>> sent;
  std::vector<int> closeRequests;
  std::vector<std::string> logged;
  bool linked = true;
  FixedWallClock wall{{2026, 3, 14, 9, 0, 0}};

 private:
  const Settings& settings_;
};

// Ticks `engine` and answers as `device` until it is idle with nothing in
// flight or queued, or at most `limit` requests, with the automatic polls off:
// a reading sequence run to its end fills every group the module has.
void RunSequence(DeviceEngine& engine, FakeHost& host, FakeDevice& device, int limit = 40);

using Message = ScriptedPrompter::Shown;

class CountingBeeper : public Beeper {
 public:
  void Beep() override { ++beeps; }
  int beeps = 0;
};

// One engine over a fake host, a manual clock and a firmware folder holding
// Kaz.info with version 5.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest();

  // Answers what the engine sent last and hands the reply to the engine.
  void AnswerLast(FakeDevice& device);
  // Ticks and answers until the engine is idle with nothing in flight, or at
  // most `limit` requests.
  void RunSequence(FakeDevice& device, int limit = 40);
  // The keys sent since the last call.
  std::vector<Key> TakeSentKeys();
  void Receive(const std::vector<uint8_t>& item) { engine_.ReceiveItem(item.data()); }

  TempDir dir_;
  Folders folders_;
  ManualTickClock clock_{1000};
  ScriptedPrompter prompter_;
  CountingBeeper beeper_;
  FakeHost host_;
  DeviceEngine engine_;
  size_t taken_ = 0;
};

}  // namespace frosk::test
