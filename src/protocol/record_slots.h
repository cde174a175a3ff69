#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/catalogue.h"

namespace frosk {

// Every record a controller holds for itself and its module, one slot each:
// a program keeps one holder group per slot, a configuration file one bit,
// frosk-sim one record of its memory. Several slots share a data container;
// the request that filled a slot tells them apart.
enum class Group : uint8_t {
  kServiceMode,
  kDeviceIden,
  kFroskTecConfig,
  kFroskTecMonitor,
  kNoMemModuleIden,
  kNoMemDefault,
  kNoMemUserSet,
  kNoMemUserMin,
  kNoMemUserMax,
  kModuleIden,
  kModuleDefault,
  kModuleUserSet,
  kModuleUserMin,
  kModuleUserMax,
  kModuleVeltraMonitor,
  kVeltraDefault,
  kVeltraUserSet,
  kVeltraUserMin,
  kVeltraUserMax,
  kTransparentMode,
  kDeviceCheck,
  kModuleCheck,
};
inline constexpr size_t kGroupCount = 22;

// A set of slots, one bit per Group.
using GroupMask = uint32_t;
constexpr GroupMask GroupBit(Group group) { return GroupMask{1} << static_cast<unsigned>(group); }

// Which records a configuration file holds, one bit per slot that a file can
// carry: the same bits name what a caller asks to write, what it asks to
// read, what a read found and which records of a loaded file are still to be
// sent. Stored files carry these bits: they never change.
using ContentMask = uint32_t;

// What must be connected for a slot to mean something.
enum class SlotFamily : uint8_t {
  kController,    // the controller's own records
  kNoMemModule,   // the controller's copies for a memoryless module
  kModule,        // a module with a memory of its own
  kVeltraModule,  // a VELTRA module
};

struct RecordSlot {
  Group id;
  std::string_view name;  // "NoMemUserSet": the holder group's name
  Key container;          // the data container of its record
  Key get;                // the request that reads it; 0 for none
  Key set;                // the request that writes it; 0 for none
  ContentMask bit;        // its bit in a configuration file; 0 when no file holds it
  SlotFamily family;
};

inline constexpr ContentMask kDeviceSignatureBit = 0x40000000;
inline constexpr ContentMask kModuleSignatureBit = 0x80000000;

// In Group order.
inline constexpr RecordSlot kRecordSlots[] = {
    {Group::kServiceMode, "ServiceMode", key::SERVICE_MODE, key::GET_SERVICE_MODE, key::SET_SERVICE_MODE, 0,
     SlotFamily::kController},
    {Group::kDeviceIden, "DeviceIden", key::DEVICE_IDEN, key::GET_DEVICE_IDEN, key::SET_DEVICE_IDEN, 0x00000001,
     SlotFamily::kController},
    {Group::kFroskTecConfig, "FroskTecConfig", key::FROSKTEC_CONFIG, key::GET_FROSKTEC_CONFIG, key::SET_FROSKTEC_CONFIG,
     0x00000002, SlotFamily::kController},
    {Group::kFroskTecMonitor, "FroskTecMonitor", key::FROSKTEC_MONITOR, key::GET_FROSKTEC_MONITOR, 0, 0,
     SlotFamily::kController},
    {Group::kNoMemModuleIden, "NoMemModuleIden", key::MODULE_IDEN, key::GET_FROSKTEC_MOD_NO_MEM_IDEN,
     key::SET_FROSKTEC_MOD_NO_MEM_IDEN, 0x00000004, SlotFamily::kNoMemModule},
    {Group::kNoMemDefault, "NoMemDefault", key::MODULE_BASIC_PARAMS, key::GET_FROSKTEC_MOD_NO_MEM_DEFAULT,
     key::SET_FROSKTEC_MOD_NO_MEM_DEFAULT, 0x00000008, SlotFamily::kNoMemModule},
    {Group::kNoMemUserSet, "NoMemUserSet", key::MODULE_BASIC_PARAMS, key::GET_FROSKTEC_MOD_NO_MEM_USER_SET,
     key::SET_FROSKTEC_MOD_NO_MEM_USER_SET, 0x00000010, SlotFamily::kNoMemModule},
    {Group::kNoMemUserMin, "NoMemUserMin", key::MODULE_BASIC_PARAMS, key::GET_FROSKTEC_MOD_NO_MEM_USER_MIN,
     key::SET_FROSKTEC_MOD_NO_MEM_USER_MIN, 0x00000020, SlotFamily::kNoMemModule},
    {Group::kNoMemUserMax, "NoMemUserMax", key::MODULE_BASIC_PARAMS, key::GET_FROSKTEC_MOD_NO_MEM_USER_MAX,
     key::SET_FROSKTEC_MOD_NO_MEM_USER_MAX, 0x00000040, SlotFamily::kNoMemModule},
    {Group::kModuleIden, "ModuleIden", key::MODULE_IDEN, key::GET_MODULE_IDEN, key::SET_MODULE_IDEN, 0x00000080,
     SlotFamily::kModule},
    {Group::kModuleDefault, "ModuleDefault", key::MODULE_BASIC_PARAMS, key::GET_MODULE_DEFAULT, key::SET_MODULE_DEFAULT,
     0x00000100, SlotFamily::kModule},
    {Group::kModuleUserSet, "ModuleUserSet", key::MODULE_BASIC_PARAMS, key::GET_MODULE_USER_SET,
     key::SET_MODULE_USER_SET, 0x00000200, SlotFamily::kModule},
    {Group::kModuleUserMin, "ModuleUserMin", key::MODULE_BASIC_PARAMS, key::GET_MODULE_USER_MIN,
     key::SET_MODULE_USER_MIN, 0x00000400, SlotFamily::kModule},
    {Group::kModuleUserMax, "ModuleUserMax", key::MODULE_BASIC_PARAMS, key::GET_MODULE_USER_MAX,
     key::SET_MODULE_USER_MAX, 0x00000800, SlotFamily::kModule},
    {Group::kModuleVeltraMonitor, "ModuleVeltraMonitor", key::MODULE_VELTRA_MONITOR, key::GET_MODULE_VELTRA_MONITOR, 0,
     0, SlotFamily::kVeltraModule},
    {Group::kVeltraDefault, "VeltraDefault", key::MODULE_VELTRA_PARAMS, key::GET_MODULE_VELTRA_DEFAULT,
     key::SET_MODULE_VELTRA_DEFAULT, 0x00001000, SlotFamily::kVeltraModule},
    {Group::kVeltraUserSet, "VeltraUserSet", key::MODULE_VELTRA_PARAMS, key::GET_MODULE_VELTRA_USER_SET,
     key::SET_MODULE_VELTRA_USER_SET, 0x00002000, SlotFamily::kVeltraModule},
    {Group::kVeltraUserMin, "VeltraUserMin", key::MODULE_VELTRA_PARAMS, key::GET_MODULE_VELTRA_USER_MIN,
     key::SET_MODULE_VELTRA_USER_MIN, 0x00004000, SlotFamily::kVeltraModule},
    {Group::kVeltraUserMax, "VeltraUserMax", key::MODULE_VELTRA_PARAMS, key::GET_MODULE_VELTRA_USER_MAX,
     key::SET_MODULE_VELTRA_USER_MAX, 0x00008000, SlotFamily::kVeltraModule},
    {Group::kTransparentMode, "TransparentMode", key::TRANSPARENT_MODE, 0, key::SET_TRANSPARENT_MODE, 0,
     SlotFamily::kController},
    // A file carries a signature as its check item itself, not inside a SET.
    {Group::kDeviceCheck, "DeviceCheck", key::DEVICE_CHECK, 0, 0, kDeviceSignatureBit, SlotFamily::kController},
    {Group::kModuleCheck, "ModuleCheck", key::MODULE_CHECK, 0, 0, kModuleSignatureBit, SlotFamily::kModule},
};

constexpr const RecordSlot& SlotOf(Group group) { return kRecordSlots[static_cast<size_t>(group)]; }
// The slot whose GET or SET this request is; null for any other.
const RecordSlot* SlotOfRequest(Key request);
// The slot of a file's bit; null for a bit that carries nothing.
const RecordSlot* SlotOfBit(ContentMask bit);

constexpr bool SlotsFollowGroupOrder() {
  if (std::size(kRecordSlots) != kGroupCount) return false;
  for (size_t i = 0; i < kGroupCount; ++i)
    if (static_cast<size_t>(kRecordSlots[i].id) != i) return false;
  return true;
}
static_assert(SlotsFollowGroupOrder(), "one slot per Group, in its order");

// Every GET and SET is a command of the catalogue, and answers with the
// slot's container. (Keys are compared, not pointers: GCC's undefined-behaviour
// sanitizer cannot evaluate a pointer comparison at compile time.)
constexpr bool AnswersWith(Key request, Key container) {
  for (const CommandSpec& command : catalogue::kCommands)
    if (command.key == request) return command.answer == container;
  return false;
}

constexpr bool SlotsMatchCatalogue() {
  for (const RecordSlot& slot : kRecordSlots) {
    bool known = false;
    for (const ContainerSpec& container : catalogue::kContainers) known = known || container.key == slot.container;
    if (!known) return false;
    for (const Key request : {slot.get, slot.set})
      if (request != 0 && !AnswersWith(request, slot.container)) return false;
  }
  return true;
}
static_assert(SlotsMatchCatalogue());

// The file bits of the slots of one family.
constexpr ContentMask FileBits(SlotFamily family) {
  ContentMask bits = 0;
  for (const RecordSlot& slot : kRecordSlots)
    if (slot.family == family) bits |= slot.bit;
  return bits;
}

namespace content {
inline constexpr ContentMask kDeviceSignature = kDeviceSignatureBit;
inline constexpr ContentMask kModuleSignature = kModuleSignatureBit;
inline constexpr ContentMask kSignatures = kDeviceSignature | kModuleSignature;
inline constexpr ContentMask kDeviceIden = SlotOf(Group::kDeviceIden).bit;
inline constexpr ContentMask kFroskTecConfig = SlotOf(Group::kFroskTecConfig).bit;
// Identification, default, user set, minimum and maximum.
inline constexpr ContentMask kNoMemRecords = FileBits(SlotFamily::kNoMemModule);
inline constexpr ContentMask kModuleRecords = FileBits(SlotFamily::kModule) & ~kSignatures;
inline constexpr ContentMask kVeltraRecords = FileBits(SlotFamily::kVeltraModule);
// What the controller's signature guards.
inline constexpr ContentMask kControllerRecords = (FileBits(SlotFamily::kController) & ~kSignatures) | kNoMemRecords;
// What a load needs connected besides the module's signature: the module's
// records and the VELTRA default need a module with memory, the VELTRA user
// records a VELTRA (KAZ) module.
inline constexpr ContentMask kNeedsModuleWithMemory = kModuleRecords | SlotOf(Group::kVeltraDefault).bit;
inline constexpr ContentMask kNeedsVeltraModule = kVeltraRecords & ~SlotOf(Group::kVeltraDefault).bit;
inline constexpr ContentMask kRecords = kControllerRecords | kModuleRecords | kVeltraRecords;
inline constexpr ContentMask kEverything = 0xFFFFFFFF;
// What the configurator reads from a file: every record, no signature.
inline constexpr ContentMask kConfiguratorRead = 0x00FFFFFF;
// How many records a mask names, its signatures not counted.
constexpr int RecordCount(ContentMask mask) { return std::popcount(mask & kRecords); }
}  // namespace content

// The bits stored files carry.
static_assert(content::kNoMemRecords == 0x0000007C && content::kControllerRecords == 0x0000007F &&
              content::kModuleRecords == 0x00000F80 && content::kVeltraRecords == 0x0000F000 &&
              content::kNeedsModuleWithMemory == 0x00001F80 && content::kNeedsVeltraModule == 0x0000E000 &&
              content::kRecords == 0x0000FFFF);

}  // namespace frosk
