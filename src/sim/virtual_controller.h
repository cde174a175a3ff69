#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame.h"
#include "protocol/record_slots.h"
#include "protocol/records.h"
#include "sim/cooler.h"

namespace frosk::sim {

// What hangs on the controller; the numbers are the monitor's module type codes.
enum class ModuleKind : uint8_t { kNone = 0, kNoMem = 1, kOneWire = 2, kVeltra = 3 };

// What one simulated controller starts with before its memory (if kept) is loaded.
struct ControllerSettings {
  ModuleKind module = ModuleKind::kVeltra;
  DeviceIdenRecord deviceIden;
  bool noMemCompatible = false;
  // The attached module's identification; its type follows `module`.
  ModuleIdenRecord moduleIden;
  // Replaces the status the regulation would report, e.g. 140 for an incompatible KAZ module.
  std::optional<uint8_t> forcedStatus;
  // A controller that cannot reach its module: it answers a request for
  // transparent mode with transparent mode off.
  bool refuseTransparentMode = false;

  ControllerSettings();
};

// The parameter sets of a module, in the order the protocol numbers them.
enum SetIndex { kDefaultSet = 0, kUserSet = 1, kUserMin = 2, kUserMax = 3 };

// Everything the controller holds: the controller's own memory, the data it
// keeps for a memoryless module, and the attached module's memory.
struct ControllerMemory {
  DeviceIdenRecord deviceIden{};
  ServiceModeRecord serviceMode{};
  TransparentModeRecord transparentMode{};
  FroskTecConfigRecord config{};
  ModuleIdenRecord noMemIden{};
  std::array<ModuleBasicParamsRecord, 4> noMemSets{};
  ModuleIdenRecord moduleIden{};
  std::array<ModuleBasicParamsRecord, 4> moduleSets{};
  std::array<ModuleVeltraParamsRecord, 4> veltraSets{};
  std::array<ModuleVeltraParamsRecord, 4> veltraBanks{};
};

// One virtual controller with its module: it answers every command of the
// catalogue with its data container, stores what a SET carries and answers
// with what it then holds, and reports a detector that cools like a real one.
// Time is given with each request, so tests drive it with any clock.
class VirtualController {
 public:
  VirtualController(const ControllerSettings& settings, Clock::time_point poweredOn);
  // The command table points into the memory, so a controller stays where it was made.
  VirtualController(const VirtualController&) = delete;
  VirtualController& operator=(const VirtualController&) = delete;

  struct Exchange {
    FrameStatus status = FrameStatus::kOk;  // of the request frame
    Key request = 0;                        // the decoded request's key
    std::string reply;                      // the answer frame; empty when the device stays quiet
    Key replyKey = 0;
    bool memoryChanged = false;  // something worth keeping across restarts changed
  };

  // One frame from the line, "$" to "#". A frame with a bad check value or an
  // invalid item is ignored, as is a command the controller does not know.
  Exchange Handle(std::string_view frame, Clock::time_point now);

  // The kept memory as text, one record a line ("NAME FRAME"), and back. Loading
  // replaces the records it names; on failure `error` says which line is wrong
  // and nothing is changed.
  std::string SaveMemory() const;
  bool LoadMemory(std::string_view text, std::string* error);

 private:
  // One record of the memory, seen through its container's field table.
  struct RecordRef {
    const ContainerSpec* container;
    std::span<const FieldSlot> slots;
    void* bytes;
    size_t size;
  };
  // A record the commands read and write.
  struct Slot {
    std::string_view name;  // in the kept-memory text
    Key get;                // 0 when there is no GET
    Key set;
    bool kept;  // survives a restart; the mode switches do not
    RecordRef record;
  };

  template <class Record>
  static RecordRef RefTo(Record& record);
  template <Group kGroup, class Record>
  static RecordRef SlotRecord(Record& record);
  std::optional<RecordRef> MemoryOf(Group group);
  static std::vector<uint8_t> Build(const RecordRef& record);

  std::vector<Slot> MakeSlots();
  // The answer to a decoded item that passed ItemIsValid; empty when not answered.
  std::vector<uint8_t> Answer(const uint8_t* request, Clock::time_point now, bool& memoryChanged);
  std::vector<uint8_t> AnswerBank(Key command, const uint8_t* request, bool& memoryChanged);
  const ModuleBasicParamsRecord& ActiveUserSet() const;
  Cooler::Drive CurrentDrive() const;
  FroskTecMonitorRecord MonitorNow();
  ModuleVeltraMonitorRecord VeltraMonitorNow();
  int Noise(int amplitude);

  ControllerSettings settings_;
  ControllerMemory memory_;
  std::vector<Slot> slots_;
  Cooler cooler_;
  std::minstd_rand noise_;
};

// The text name of a key for logs and messages: its catalogue name, else "0xKKKK".
std::string KeyLabel(Key key);

}  // namespace frosk::sim
