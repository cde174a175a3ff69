#include "device/device_engine.h"

#include <algorithm>
#include <climits>
#include <type_traits>
#include <utility>

#include "firmware/firmware_files.h"
#include "protocol/item.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;
using enum SequenceState;

namespace {

constexpr unsigned kErrorMessage = mb::kOk | mb::kIconStop;               // 16
constexpr unsigned kInformationMessage = mb::kOk | mb::kIconInformation;  // 64
constexpr unsigned kYesNoWarning = mb::kYesNo | mb::kIconWarning;         // 52
constexpr unsigned kYesNoError = mb::kYesNo | mb::kIconStop;              // 20

constexpr const char* kModuleMustBeUpdated = "Your detection module has to be updated!\rDo you want to do it now?";
constexpr const char* kSoftwareObsolete = "Your software is probably obsolete!\rDo you want to check for updates?";
constexpr const char* kOlderModuleFirmware =
    "Older firmware version detected in the module.\rDo you want to upgrade it now?";
constexpr const char* kModuleNotRecognized =
    "Detection module not recognized!\rMaybe your software is obsolete...\rDo you want to check for updates?";
constexpr const char* kConfigurationChanged = "Configuration successfully changed.";
constexpr const char* kTimeout = "Communication timeout !";
constexpr const char* kServiceModeLeft = "Service mode switched off.";
constexpr const char* kMayStillBeInServiceMode = "The device did not answer; it may still be in service mode.";

std::string KeyList(const std::vector<Key>& keys) {
  std::string list;
  for (const Key key : keys) list += (list.empty() ? "" : ", ") + std::string(AnyKeyName(key));
  return list;
}

// "Written: SET_DEVICE_IDEN, SET_FROSKTEC_CONFIG. No reply to SET_MODULE_IDEN.":
// what the device took, and the one record whose fate is unknown.
std::string StoppedChainText(const ChainRecords& chain) {
  std::string text = "Written: " + (chain.written.empty() ? std::string("nothing") : KeyList(chain.written)) +
                     ". No reply to " + std::string(AnyKeyName(chain.inFlight)) + ".";
  if (!chain.notSent.empty()) text += "\rNot sent: " + KeyList(chain.notSent) + ".";
  return text;
}

// True when the reply carried every field of the record.
template <class Record>
bool StoreRecord(HolderGroup<Record>& group, const uint8_t* item) {
  Record record;
  Clear(record);
  bool complete = false;
  ParseFrom(record, item, &complete);
  group.SetRaw(record);
  return complete;
}

// A request carrying a record changes what the device holds; a bare one reads.
bool IsWrite(const uint8_t* item) { return ItemLength(item) > 4; }

// The SETs are the requests a newer one of the same key makes moot.
bool IsSet(Key command) {
  const RecordSlot* slot = SlotOfRequest(command);
  return slot != nullptr && slot->set == command;
}

// A reply answers a request when it is the container the request answers
// with; a request the catalogue does not know takes any reply.
bool Answers(Key request, Key reply) {
  const CommandSpec* command = FindCommand(request);
  return command == nullptr || command->answer == reply;
}

// The group a request reads or writes: its slot's, and the VELTRA user set
// for the bank commands, which answer with it.
std::optional<Group> RequestGroup(Key request) {
  if (request == LOAD_MODULE_VELTRA_PARAMS || request == STORE_MODULE_VELTRA_PARAMS) return Group::kVeltraUserSet;
  if (const RecordSlot* slot = SlotOfRequest(request)) return slot->id;
  return std::nullopt;
}

bool WithinOwnLimits(const VFroskClass& holder) {
  const int32_t v = holder.GetAsInt();
  return (!holder.HasMin() || v >= holder.Min()) && (!holder.HasMax() || v <= holder.Max());
}

}  // namespace

std::string_view GroupName(Group group) { return SlotOf(group).name; }

const ContainerSpec& GroupContainer(Group group) { return *FindContainer(SlotOf(group).container); }

bool IsConfiguratorPage(SequenceState state) {
  switch (state) {
    case kConfiguratorStart:
    case kConfiguratorDeviceIden:
    case kConfiguratorNoMemModuleIden:
    case kConfiguratorNoMemParams:
    case kConfiguratorModuleIden:
    case kConfiguratorModuleParams:
    case kConfiguratorVeltraParams:
    case kConfiguratorMakeFile:
    case kConfiguratorReadFile: return true;
    default: return false;
  }
}

bool UserSetIsValid(const VFroskClass& value, const VFroskClass& min, const VFroskClass& max) {
  return WithinOwnLimits(value) && WithinOwnLimits(min) && WithinOwnLimits(max) && min.GetAsInt() <= value.GetAsInt() &&
         value.GetAsInt() <= max.GetAsInt();
}

DeviceEngine::DeviceEngine(DeviceHost& host, const DeviceSeams& seams) : host_(host), seams_(seams) {}

namespace {

// The engine keeps each slot's holders in a group of the slot's record: the
// record's container and the slot's must be one.
template <Group kGroup, class Holders>
Holders& Slot(Holders& holders) {
  static_assert(RecordTraits<typename Holders::RecordType>::kContainerKey == SlotOf(kGroup).container);
  return holders;
}

}  // namespace

template <class Visitor>
decltype(auto) DeviceEngine::Visit(Group group, Visitor&& visit) {
  switch (group) {
    case Group::kServiceMode: return visit(Slot<Group::kServiceMode>(serviceMode_));
    case Group::kDeviceIden: return visit(Slot<Group::kDeviceIden>(deviceIden_));
    case Group::kFroskTecConfig: return visit(Slot<Group::kFroskTecConfig>(froskTecConfig_));
    case Group::kFroskTecMonitor: return visit(Slot<Group::kFroskTecMonitor>(froskTecMonitor_));
    case Group::kNoMemModuleIden: return visit(Slot<Group::kNoMemModuleIden>(moduleIden_[0]));
    case Group::kNoMemDefault: return visit(Slot<Group::kNoMemDefault>(basicParams_[0]));
    case Group::kNoMemUserSet: return visit(Slot<Group::kNoMemUserSet>(basicParams_[1]));
    case Group::kNoMemUserMin: return visit(Slot<Group::kNoMemUserMin>(basicParams_[2]));
    case Group::kNoMemUserMax: return visit(Slot<Group::kNoMemUserMax>(basicParams_[3]));
    case Group::kModuleIden: return visit(Slot<Group::kModuleIden>(moduleIden_[1]));
    case Group::kModuleDefault: return visit(Slot<Group::kModuleDefault>(basicParams_[4]));
    case Group::kModuleUserSet: return visit(Slot<Group::kModuleUserSet>(basicParams_[5]));
    case Group::kModuleUserMin: return visit(Slot<Group::kModuleUserMin>(basicParams_[6]));
    case Group::kModuleUserMax: return visit(Slot<Group::kModuleUserMax>(basicParams_[7]));
    case Group::kModuleVeltraMonitor: return visit(Slot<Group::kModuleVeltraMonitor>(veltraMonitor_));
    case Group::kVeltraDefault: return visit(Slot<Group::kVeltraDefault>(veltraParams_[0]));
    case Group::kVeltraUserSet: return visit(Slot<Group::kVeltraUserSet>(veltraParams_[1]));
    case Group::kVeltraUserMin: return visit(Slot<Group::kVeltraUserMin>(veltraParams_[2]));
    case Group::kVeltraUserMax: return visit(Slot<Group::kVeltraUserMax>(veltraParams_[3]));
    case Group::kTransparentMode: return visit(Slot<Group::kTransparentMode>(transparentMode_));
    case Group::kDeviceCheck: return visit(Slot<Group::kDeviceCheck>(deviceCheck_));
    case Group::kModuleCheck: return visit(Slot<Group::kModuleCheck>(moduleCheck_));
  }
  return visit(serviceMode_);
}

// --- Request engine ---------------------------------------------------------

bool DeviceEngine::SendItem(const uint8_t* item) {
  if (!waiting_ && queue_.empty()) return Transmit(item);
  const Key command = ItemKey(item);
  // The newer SET goes to the back: moving it up would let it overtake
  // requests made before it.
  if (IsSet(command))
    std::erase_if(queue_, [command](const std::vector<uint8_t>& queued) { return ItemKey(queued.data()) == command; });
  if (queue_.size() < kQueueDepth) {
    queue_.emplace_back(item, item + ItemLength(item));
    return true;
  }
  seams_.beeper.Beep();
  Report(command, IsWrite(item), false);
  return false;
}

bool DeviceEngine::Transmit(const uint8_t* item) {
  const bool sent = host_.SendToDevice(*this, item);
  waiting_ = true;
  sentTick_ = seams_.clock.Now();
  pendingKey_ = ItemKey(item);
  pendingWrite_ = IsWrite(item);
  if (trafficObserver_ != nullptr && host_.ServiceModeSetting()) trafficObserver_->ItemSent(item);
  Refresh();
  return sent;
}

void DeviceEngine::Report(Key command, bool write, bool answered) {
  if (requestListener_ && (write || !answered)) requestListener_({command, write, answered});
}

// Whether the device took a write that got no reply is unknown: its group no
// longer holds what the device holds.
void DeviceEngine::EndUnanswered() {
  waiting_ = false;
  if (pendingWrite_)
    if (const std::optional<Group> group = RequestGroup(pendingKey_)) readGroups_ &= ~GroupBit(*group);
  Report(pendingKey_, pendingWrite_, false);
  if (trafficObserver_ != nullptr && host_.ServiceModeSetting()) trafficObserver_->NoReply(pendingKey_);
}

bool DeviceEngine::RefuseUnread(const VFroskClass* firstHolder, Key command) {
  for (size_t i = 0; i < kGroupCount; ++i) {
    const auto group = static_cast<Group>(i);
    if (Holders(group).data() != firstHolder) continue;
    if (MaySend(group)) return false;
    ++refusals_;
    WriteLog(std::string(KeyName(command)) + " not sent: " + std::string(GroupName(group)) +
             " was never read from the device");
    Report(command, true, false);
    return true;
  }
  return false;  // holders of the caller's own, not the device's
}

bool DeviceEngine::WriteQueued(Group group) const {
  const Key set = SlotOf(group).set;
  return set != 0 && std::any_of(queue_.begin(), queue_.end(),
                                 [set](const std::vector<uint8_t>& queued) { return ItemKey(queued.data()) == set; });
}

bool DeviceEngine::SendRequest(Key command) {
  const std::vector<uint8_t> request = BareRequest(command);
  return SendItem(request.data());
}

template <class Record>
bool DeviceEngine::SendRecord(const HolderGroup<Record>* group, Key command) {
  if (group == nullptr || RefuseUnread(&(*group)[0], command)) return false;
  const std::vector<uint8_t> request = RecordRequest(command, group->ToRecord());
  return SendItem(request.data());
}

bool DeviceEngine::ReadGroup(Group group) {
  const Key get = SlotOf(group).get;
  return get != 0 && SendRequest(get);
}

bool DeviceEngine::WriteGroup(Group group) {
  const Key set = SlotOf(group).set;
  return set != 0 && Visit(group, [this, set](const auto& holders) {
           using Record = typename std::remove_cvref_t<decltype(holders)>::RecordType;
           if constexpr (RecordTraits<Record>::kBuild) return SendRecord(&holders, set);
           return false;
         });
}

bool DeviceEngine::SendServiceMode(const ServiceModeHolder* group, Key command) {
  return SendRecord(group, command != 0 ? command : SET_SERVICE_MODE);
}

bool DeviceEngine::SendTransparentMode(const TransparentModeHolder* group, Key command) {
  return SendRecord(group, command != 0 ? command : SET_TRANSPARENT_MODE);
}

bool DeviceEngine::SendDeviceIden(const DeviceIdenHolders* group, Key command) {
  return SendRecord(group, command != 0 ? command : SET_DEVICE_IDEN);
}

bool DeviceEngine::SendFroskTecConfig(const FroskTecConfigHolders* group, Key command) {
  return SendRecord(group, command != 0 ? command : SET_FROSKTEC_CONFIG);
}

bool DeviceEngine::SendModuleIden(const ModuleIdenHolders* group, Key command) { return SendRecord(group, command); }

bool DeviceEngine::SendModuleBasicParams(const ModuleBasicParamsHolders* group, Key command) {
  return SendRecord(group, command);
}

bool DeviceEngine::SendVeltraParams(const ModuleVeltraParamsHolders* group, Key command) {
  return SendRecord(group, command);
}

// --- Receive dispatch ---------------------------------------------------------

// The group a reply fills: the one its request names, else the one slot of
// its container that requests fill. A MODULE_IDEN answers into the module's
// own group unless the memoryless module's was asked for; the bank commands
// answer with the VELTRA user set; a basic-parameters reply to no request of
// its own is not stored, nor are the check values, which no request reads.
std::optional<Group> DeviceEngine::ReplyGroup(Key container) const {
  const std::optional<Group> requested = RequestGroup(pendingKey_);
  if (requested && SlotOf(*requested).container == container) return requested;
  switch (container) {
    case MODULE_IDEN: return Group::kModuleIden;
    case MODULE_BASIC_PARAMS:
    case MODULE_VELTRA_PARAMS: return std::nullopt;
    default: break;
  }
  for (const RecordSlot& slot : kRecordSlots)
    if (slot.container == container && (slot.get != 0 || slot.set != 0)) return slot.id;
  return std::nullopt;
}

std::optional<Group> DeviceEngine::StoreReply(const uint8_t* item) {
  const std::optional<Group> group = ReplyGroup(ItemKey(item));
  // A newer write of the group waits in the queue: the holders hold what the
  // user chose since, which a reply about the device's older state must not
  // undo (the next step would start from it).
  if (!group || WriteQueued(*group)) return std::nullopt;
  const bool complete = Visit(*group, [item](auto& holders) {
    using Record = typename std::remove_cvref_t<decltype(holders)>::RecordType;
    if constexpr (RecordTraits<Record>::kClear && RecordTraits<Record>::kParse) return StoreRecord(holders, item);
    return false;
  });
  // A partial reply leaves zeros where fields were missing: not the device's values.
  if (complete)
    readGroups_ |= GroupBit(*group);
  else
    readGroups_ &= ~GroupBit(*group);
  return group;
}

void DeviceEngine::ReceiveItem(const uint8_t* item) {
  const Key reply = ItemKey(item);
  // A reply ends the wait only for the request it answers: a device that
  // answers something else, or a reply late for an earlier request, leaves
  // the request in flight to its time-out, which stops a sequence that
  // would otherwise wait forever for a reply that is not coming.
  const bool answered = waiting_ && Answers(pendingKey_, reply);
  if (answered) waiting_ = false;
  if (const std::optional<Group> group = StoreReply(item)) stored_ |= GroupBit(*group);
  if (trafficObserver_ != nullptr && host_.ServiceModeSetting()) trafficObserver_->ItemReceived(item);
  if (answered) Report(pendingKey_, pendingWrite_, true);
  if (!Advance(reply)) Refresh();
}

void DeviceEngine::SendAndAwait(Key request, frosk::SequenceState state) {
  sequenceState_ = state;
  SendRequest(request);
}

// The transition table: at most one row per state, and a row applies only to
// its reply key. Rows that end with "return" in the table and rows that fall
// through to the dispatch's own refresh both end in one Refresh, so only the
// row that must refresh before its message says so.
bool DeviceEngine::Advance(Key reply) {
  // A write-chain row: on its reply, `record` goes out and `next` awaits its
  // answer. A record of an unread group is not sent, and the chain, which
  // would wait for a reply to nothing, goes back to the configurator's start.
  const auto chainStep = [this, reply](Key expected, frosk::SequenceState next, const std::function<void()>& record) {
    if (reply != expected) return;
    sequenceState_ = next;
    const uint32_t refusals = refusals_;
    record();
    if (refusals_ != refusals) sequenceState_ = kConfiguratorStart;
  };
  switch (sequenceState_) {
    // The reading sequence.
    case kReadServiceMode:
      if (reply == SERVICE_MODE) SendAndAwait(GET_DEVICE_IDEN, kReadDeviceIden);
      break;
    case kReadDeviceIden:
      if (reply == DEVICE_IDEN) SendAndAwait(GET_FROSKTEC_CONFIG, kReadFroskTecConfig);
      break;
    case kReadFroskTecConfig:
      if (reply == FROSKTEC_CONFIG) SendAndAwait(GET_FROSKTEC_MONITOR, kReadFroskTecMonitor);
      break;
    case kReadFroskTecMonitor:
      if (reply != FROSKTEC_MONITOR) break;
      moduleTypeSnapshot_ = static_cast<int8_t>(LiveModuleType());
      SendAndAwait(GET_FROSKTEC_MOD_NO_MEM_IDEN, kReadNoMemModuleIden);
      break;
    case kReadNoMemModuleIden:
      if (reply == MODULE_IDEN) SendAndAwait(GET_FROSKTEC_MOD_NO_MEM_DEFAULT, kReadNoMemDefault);
      break;
    case kReadNoMemDefault:
      if (reply == MODULE_BASIC_PARAMS) SendAndAwait(GET_FROSKTEC_MOD_NO_MEM_USER_SET, kReadNoMemUserSet);
      break;
    case kReadNoMemUserSet:
      if (reply == MODULE_BASIC_PARAMS) SendAndAwait(GET_FROSKTEC_MOD_NO_MEM_USER_MIN, kReadNoMemUserMin);
      break;
    case kReadNoMemUserMin:
      if (reply == MODULE_BASIC_PARAMS) SendAndAwait(GET_FROSKTEC_MOD_NO_MEM_USER_MAX, kReadNoMemUserMax);
      break;
    case kReadNoMemUserMax:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (moduleTypeSnapshot_ >= kModuleWithMemory)
        SendAndAwait(GET_MODULE_IDEN, kReadModuleIden);
      else
        sequenceState_ = kIdle;
      break;
    case kReadModuleIden:
      if (reply != MODULE_IDEN) break;
      if (CheckModuleFirmware())
        SendAndAwait(GET_MODULE_DEFAULT, kReadModuleDefault);
      else
        sequenceState_ = kCheckDeclined;
      break;
    case kReadModuleDefault:
      if (reply == MODULE_BASIC_PARAMS) SendAndAwait(GET_MODULE_USER_SET, kReadModuleUserSet);
      break;
    case kReadModuleUserSet:
      if (reply == MODULE_BASIC_PARAMS) SendAndAwait(GET_MODULE_USER_MIN, kReadModuleUserMin);
      break;
    case kReadModuleUserMin:
      if (reply == MODULE_BASIC_PARAMS) SendAndAwait(GET_MODULE_USER_MAX, kReadModuleUserMax);
      break;
    case kReadModuleUserMax:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (moduleTypeSnapshot_ == kVeltraModule)
        SendAndAwait(GET_MODULE_VELTRA_MONITOR, kReadVeltraMonitor);
      else
        sequenceState_ = kIdle;
      break;
    case kReadVeltraMonitor:
      if (reply == MODULE_VELTRA_MONITOR) SendAndAwait(GET_MODULE_VELTRA_DEFAULT, kReadVeltraDefault);
      break;
    case kReadVeltraDefault:
      if (reply == MODULE_VELTRA_PARAMS) SendAndAwait(GET_MODULE_VELTRA_USER_SET, kReadVeltraUserSet);
      break;
    case kReadVeltraUserSet:
      if (reply == MODULE_VELTRA_PARAMS) SendAndAwait(GET_MODULE_VELTRA_USER_MIN, kReadVeltraUserMin);
      break;
    case kReadVeltraUserMin:
      if (reply == MODULE_VELTRA_PARAMS) SendAndAwait(GET_MODULE_VELTRA_USER_MAX, kReadVeltraUserMax);
      break;
    case kReadVeltraUserMax:
      if (reply == MODULE_VELTRA_PARAMS) sequenceState_ = kIdle;
      break;

    // The configurator's write chain.
    case kConfiguratorServiceMode:
      if (reply == SERVICE_MODE && ControllerInServiceMode()) sequenceState_ = kConfiguratorStart;
      break;
    case kWriteDeviceIden:
      chainStep(DEVICE_IDEN, kWriteFroskTecConfig, [this] { SendFroskTecConfig(&froskTecConfig_); });
      break;
    case kWriteFroskTecConfig:
      if (reply != FROSKTEC_CONFIG) break;
      if (froskTecConfig_.At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).GetAsInt() != 0) {
        sequenceState_ = kConfiguratorNoMemModuleIden;
      } else if (LiveModuleType() < kModuleWithMemory) {
        sequenceState_ = kLeaveServiceMode;
        LeaveServiceMode();
      } else {
        sequenceState_ = kConfiguratorModuleIden;
      }
      break;
    case kWriteNoMemModuleIden:
      if (reply == MODULE_IDEN) sequenceState_ = kConfiguratorNoMemParams;
      break;
    case kWriteNoMemDefault:
      chainStep(MODULE_BASIC_PARAMS, kWriteNoMemUserSet,
                [this] { SendModuleBasicParams(&NoMemUserSet(), SET_FROSKTEC_MOD_NO_MEM_USER_SET); });
      break;
    case kWriteNoMemUserSet:
      chainStep(MODULE_BASIC_PARAMS, kWriteNoMemUserMin,
                [this] { SendModuleBasicParams(&NoMemUserMin(), SET_FROSKTEC_MOD_NO_MEM_USER_MIN); });
      break;
    case kWriteNoMemUserMin:
      chainStep(MODULE_BASIC_PARAMS, kWriteNoMemUserMax,
                [this] { SendModuleBasicParams(&NoMemUserMax(), SET_FROSKTEC_MOD_NO_MEM_USER_MAX); });
      break;
    case kWriteNoMemUserMax:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (LiveModuleType() < kModuleWithMemory) {
        sequenceState_ = kLeaveServiceMode;
        LeaveServiceMode();
      } else {
        sequenceState_ = kConfiguratorModuleIden;
      }
      break;
    case kWriteModuleIden:
      if (reply == MODULE_IDEN) sequenceState_ = kConfiguratorModuleParams;
      break;
    case kWriteModuleDefault:
      chainStep(MODULE_BASIC_PARAMS, kWriteModuleUserSet,
                [this] { SendModuleBasicParams(&ModuleUserSet(), SET_MODULE_USER_SET); });
      break;
    case kWriteModuleUserSet:
      chainStep(MODULE_BASIC_PARAMS, kWriteModuleUserMin,
                [this] { SendModuleBasicParams(&ModuleUserMin(), SET_MODULE_USER_MIN); });
      break;
    case kWriteModuleUserMin:
      chainStep(MODULE_BASIC_PARAMS, kWriteModuleUserMax,
                [this] { SendModuleBasicParams(&ModuleUserMax(), SET_MODULE_USER_MAX); });
      break;
    case kWriteModuleUserMax:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (LiveModuleType() != kVeltraModule) {
        sequenceState_ = kLeaveServiceMode;
        LeaveServiceMode();
      } else {
        sequenceState_ = kConfiguratorVeltraParams;
      }
      break;
    case kWriteVeltraDefault:
      chainStep(MODULE_VELTRA_PARAMS, kWriteVeltraUserSet,
                [this] { SendVeltraParams(&VeltraUserSet(), SET_MODULE_VELTRA_USER_SET); });
      break;
    case kWriteVeltraUserSet:
      chainStep(MODULE_VELTRA_PARAMS, kWriteVeltraUserMin,
                [this] { SendVeltraParams(&VeltraUserMin(), SET_MODULE_VELTRA_USER_MIN); });
      break;
    case kWriteVeltraUserMin:
      chainStep(MODULE_VELTRA_PARAMS, kWriteVeltraUserMax,
                [this] { SendVeltraParams(&VeltraUserMax(), SET_MODULE_VELTRA_USER_MAX); });
      break;
    case kWriteVeltraUserMax: chainStep(MODULE_VELTRA_PARAMS, kLeaveServiceMode, [this] { LeaveServiceMode(); }); break;
    case kLeaveServiceMode:
      if (reply != SERVICE_MODE) break;
      sequenceState_ = kConfiguratorStart;
      Refresh();
      Ask(kConfigurationChanged, kInformationMessage);
      return true;
    case kLeaveServiceModeAfterTimeout:
      if (reply != SERVICE_MODE) break;
      sequenceState_ = kIdle;
      Refresh();
      Ask(kServiceModeLeft, kInformationMessage);
      return true;

    // Sending a loaded configuration file: monitor replies of polls still under
    // way when the load started do not count as answers.
    case kSendingConfiguration:
      if (reply == FROSKTEC_MONITOR || reply == MODULE_VELTRA_MONITOR) break;
      if (configSender_ != nullptr && configSender_->SendNextConfigItem()) break;
      Ask(kConfigurationChanged, kInformationMessage);
      ReadAgain();
      break;
    default: break;
  }
  return false;
}

void DeviceEngine::LeaveServiceMode() {
  serviceMode_.At(SERVICE_MODE_ENABLE).SetFromInt(0);
  SendServiceMode(&serviceMode_);
}

// --- Tick ---------------------------------------------------------------------

void DeviceEngine::Tick() {
  if (heldQuestion_) return;
  if (sequenceState_ == kStart) SendAndAwait(GET_SERVICE_MODE, kReadServiceMode);
  if (waiting_ && seams_.clock.Now() - sentTick_ > kReplyTimeoutMs) {
    ++timeouts_;
    EndUnanswered();
    // What the device made of the write is read back, behind what waits.
    if (const std::optional<Group> group = RequestGroup(pendingKey_);
        pendingWrite_ && group && SlotOf(*group).get != 0 && queue_.size() < kQueueDepth)
      queue_.push_back(BareRequest(SlotOf(*group).get));
    if (sequenceState_ == kLeaveServiceModeAfterTimeout) {
      sequenceState_ = kIdle;
      heldQuestion_ = TickQuestion{kMayStillBeInServiceMode, kErrorMessage};
    } else if (const std::optional<ChainRecords> chain = StoppedChain()) {
      StopChainOnTimeout(*chain);
    } else if (sequenceState_ != kIdle) {
      sequenceState_ = kIdle;
      heldQuestion_ = TickQuestion{kTimeout, kErrorMessage};
    }
    Refresh();
    return;
  }
  if (!waiting_ && !queue_.empty()) {
    const std::vector<uint8_t> item = std::move(queue_.front());
    queue_.pop_front();
    Transmit(item.data());
  }
  PollMonitors();
  if (viewPage_ == 1) waitingPanelVisible_ = waiting_ && !waitingPanelVisible_;
}

std::optional<ChainRecords> DeviceEngine::StoppedChain() const {
  for (const WriteChain* chain : {static_cast<const WriteChain*>(configSender_), wizardChain_})
    if (chain != nullptr)
      if (std::optional<ChainRecords> records = chain->Records()) return records;
  return std::nullopt;
}

// A device that went silent mid-chain is half written and may still be in
// service mode, where it stays until told otherwise. The switch goes out
// first, once the box is closed (the held question keeps the line until
// then), and its reply or time-out says how the device was left.
void DeviceEngine::StopChainOnTimeout(const ChainRecords& chain) {
  heldQuestion_ = TickQuestion{std::string(kTimeout) + "\r" + StoppedChainText(chain), kErrorMessage};
  sequenceState_ = kLeaveServiceModeAfterTimeout;
  serviceMode_.At(SERVICE_MODE_ENABLE).SetFromInt(0);
  std::erase_if(queue_, [](const std::vector<uint8_t>& queued) { return ItemKey(queued.data()) == SET_SERVICE_MODE; });
  queue_.push_front(RecordRequest(SET_SERVICE_MODE, serviceMode_.ToRecord()));
}

void DeviceEngine::AskHeldQuestion() {
  if (!heldQuestion_ || askingHeld_) return;
  askingHeld_ = true;
  Ask(heldQuestion_->text, heldQuestion_->flags);
  askingHeld_ = false;
  heldQuestion_.reset();
  Refresh();
}

void DeviceEngine::PollMonitors() {
  const bool device = deviceMonitorAuto_;
  const bool module = moduleMonitorAuto_ && LiveModuleType() >= kVeltraModule;
  // While a question of this engine is open, the line stays free for the
  // request that follows the answer.
  if (waiting_ || viewPage_ != 0 || openQuestions_ > 0 || !(device || module)) return;
  if (device && module) {
    const Key request = froskTecMonitorNext_ ? GET_FROSKTEC_MONITOR : GET_MODULE_VELTRA_MONITOR;
    froskTecMonitorNext_ = !froskTecMonitorNext_;
    SendRequest(request);
    return;
  }
  SendRequest(device ? GET_FROSKTEC_MONITOR : GET_MODULE_VELTRA_MONITOR);
}

// --- Views --------------------------------------------------------------------

int DeviceEngine::AddRefreshListener(RefreshListener listener) {
  listeners_.emplace_back(nextListenerId_, std::move(listener));
  return nextListenerId_++;
}

void DeviceEngine::RemoveRefreshListener(int id) {
  for (auto& [listenerId, listener] : listeners_)
    if (listenerId == id) listener = nullptr;
}

void DeviceEngine::Refresh() {
  // A reading sequence started from the configurator ends on its start page.
  if (viewPage_ == kConfiguratorPage && sequenceState_ == kIdle) sequenceState_ = kConfiguratorStart;
  const GroupMask stored = std::exchange(stored_, 0);
  // A listener may call back into the engine, which refreshes again, or remove
  // itself: walk by index over a copy of each entry and prune only at the top.
  ++refreshDepth_;
  for (size_t i = 0; i < listeners_.size(); ++i) {
    if (!listeners_[i].second) continue;
    const RefreshListener listener = listeners_[i].second;
    listener(stored);
  }
  if (--refreshDepth_ == 0) std::erase_if(listeners_, [](const auto& entry) { return !entry.second; });
}

template <class Question>
int DeviceEngine::Asking(Question ask) {
  ++openQuestions_;
  const int answer = ask(seams_.prompter);
  --openQuestions_;
  return answer;
}

int DeviceEngine::Ask(const std::string& text, unsigned flags) {
  return Asking([&](Prompter& prompter) { return prompter.ShowMessageBox(text, flags); });
}

// --- Module firmware check ------------------------------------------------------

// The KAZ module's info file stands for a VELTRA module (type 3). A missing or
// unreadable file is named to the user and counts as version 0, so the
// sequence goes on instead of stalling in state 10.
int DeviceEngine::ModuleFirmwareFileVersion(int moduleType) {
  if (const std::optional<int> version = FirmwareFileVersion(seams_.folders, moduleType)) return *version;
  Ask(UnreadableInfoFileMessage(InfoFilePath(seams_.folders, moduleType)), kErrorMessage);
  return 0;
}

bool DeviceEngine::CheckModuleFirmware() {
  ModuleIdenHolders& iden = ModuleIden();
  const int moduleType = iden.At(MODULE_IDEN_TYPE).GetAsInt();
  const int moduleVersion = iden.At(MODULE_IDEN_FIRM_VER).GetAsInt();
  const int status = froskTecMonitor_.At(FROSKTEC_MONITOR_STATUS).GetAsInt();
  const bool serviceSetting = host_.ServiceModeSetting();
  const std::string serial = iden.At(MODULE_IDEN_SERIAL).ValueToText();
  bool result = true;
  const auto closeWith = [this, &result](CloseAction action) {
    host_.RequestClose(*this, action);
    result = false;
  };
  // A No closes the window for ordinary users; a technician may go on.
  const auto closeUnlessService = [&]() {
    if (!serviceSetting) closeWith(CloseAction::kClose);
  };
  // A Yes closes the window to program the module with the folder's firmware.
  const auto offerUpdate = [&](const char* text, std::optional<int> available) {
    const FirmwareOffer offer{"detection module " + serial, "", moduleVersion, available, kModuleTarget};
    return Asking([&](Prompter& prompter) { return prompter.AskToProgramFirmware(text, kYesNoWarning, offer); }) ==
           kIdYes;
  };
  const auto offerUpdateCheck = [&](const char* text) {
    return Asking([&](Prompter& prompter) { return prompter.AskToCheckForUpdates(text, kYesNoError); }) == kIdYes;
  };

  if (LiveModuleType() == kVeltraModule) {
    // Two early factory batches report a firmware version that no file can be
    // compared with; they always need the update.
    if ((serial == "000301-14" && moduleVersion == 0) || (serial == "000547-13" && moduleVersion == 65535)) {
      if (offerUpdate(kModuleMustBeUpdated, FirmwareFileVersion(seams_.folders, moduleType)))
        closeWith(CloseAction::kCloseAndProgramModule);
      else
        closeUnlessService();
      return result;
    }
  }

  if (status == kStatusIncompatibleKazModule) {
    const int fileVersion = ModuleFirmwareFileVersion(moduleType);
    if (fileVersion > moduleVersion) {
      if (offerUpdate(kModuleMustBeUpdated, fileVersion))
        closeWith(CloseAction::kCloseAndProgramModule);
      else
        closeUnlessService();
    } else if (fileVersion < moduleVersion) {
      if (offerUpdateCheck(kSoftwareObsolete))
        closeWith(CloseAction::kCloseAndCheckForUpdates);
      else
        closeUnlessService();
    }
  } else if (const int fileVersion = LiveModuleType() == kVeltraModule ? ModuleFirmwareFileVersion(moduleType) : 0;
             LiveModuleType() == kVeltraModule && fileVersion > moduleVersion) {
    if (offerUpdate(kOlderModuleFirmware, fileVersion)) closeWith(CloseAction::kCloseAndProgramModule);
  } else if (status == kStatusIncompatibleModule) {
    if (offerUpdateCheck(kModuleNotRecognized))
      closeWith(CloseAction::kCloseAndCheckForUpdates);
    else
      closeUnlessService();
  }
  return result;
}

// --- Groups ---------------------------------------------------------------------

ModuleIdenHolders* DeviceEngine::ModuleIdenGroup(int index) {
  return index >= 0 && index < 2 ? &moduleIden_[index] : nullptr;
}

ModuleBasicParamsHolders* DeviceEngine::BasicParamsGroup(int index) {
  return index >= 0 && index < 8 ? &basicParams_[index] : nullptr;
}

ModuleVeltraParamsHolders* DeviceEngine::VeltraParamsGroup(int index) {
  return index >= 0 && index < 4 ? &veltraParams_[index] : nullptr;
}

ModuleIdenHolders& DeviceEngine::ShownModuleIden() {
  return moduleIden_[moduleTypeSnapshot_ >= kModuleWithMemory ? 1 : 0];
}

const ModuleIdenHolders& DeviceEngine::ShownModuleIden() const {
  return moduleIden_[moduleTypeSnapshot_ >= kModuleWithMemory ? 1 : 0];
}

DeviceEngine::BasicParamsSet DeviceEngine::ControllerSettings() {
  const int first = moduleTypeSnapshot_ >= kModuleWithMemory ? 4 : 0;
  return {basicParams_[first], basicParams_[first + 1], basicParams_[first + 2], basicParams_[first + 3]};
}

std::span<VFroskClass> DeviceEngine::Holders(Group group) {
  return Visit(group, [](auto& holders) { return std::span<VFroskClass>(&*holders.begin(), holders.size()); });
}

// --- State ----------------------------------------------------------------------

int DeviceEngine::LiveModuleType() const { return froskTecMonitor_.At(FROSKTEC_MONITOR_MODULE_TYPE).GetAsInt(); }

bool DeviceEngine::ControllerInServiceMode() const { return serviceMode_.At(SERVICE_MODE_ENABLE).GetAsInt() != 0; }

bool DeviceEngine::ViewReady() const {
  if (sequenceState_ != kIdle) return false;
  return !waiting_ || pendingKey_ == GET_FROSKTEC_MONITOR || pendingKey_ == GET_MODULE_VELTRA_MONITOR;
}

bool DeviceEngine::ControllerReady() const {
  return ViewReady() && moduleTypeSnapshot_ >= 1 && SettingsRead(MODULE_BASIC_PARAMS);
}

bool DeviceEngine::VeltraReady() const {
  return ViewReady() && moduleTypeSnapshot_ >= kVeltraModule && SettingsRead(MODULE_VELTRA_PARAMS);
}

GroupMask DeviceEngine::UnreadGroups() const {
  GroupMask readable = 0;
  for (const RecordSlot& slot : kRecordSlots)
    if (slot.get != 0) readable |= GroupBit(slot.id);
  return readable & ~readGroups_;
}

bool DeviceEngine::MaySend(Group group) const {
  return (readGroups_ & GroupBit(group)) != 0 || SlotOf(group).get == 0 || group == Group::kServiceMode;
}

// The default, user set, minimum and maximum of a user-set container, as
// UserSetting picks them, all read.
bool DeviceEngine::SettingsRead(Key container) const {
  std::span<const Group> groups;
  if (container == MODULE_VELTRA_PARAMS)
    groups = kVeltraParamsGroups;
  else if (container == MODULE_BASIC_PARAMS)
    groups = std::span<const Group>(kBasicParamsGroups).subspan(moduleTypeSnapshot_ >= kModuleWithMemory ? 4 : 0, 4);
  else
    return false;
  GroupMask mask = 0;
  for (const Group group : groups) mask |= GroupBit(group);
  return (readGroups_ & mask) == mask;
}

bool DeviceEngine::TecPresent() const {
  return ControllerReady() && ShownModuleIden().At(MODULE_IDEN_TEC_TYPE).GetAsInt() != 0;
}

bool DeviceEngine::ThermistorPresent() const {
  return ControllerReady() && ShownModuleIden().At(MODULE_IDEN_TH_TYPE).GetAsInt() != 0;
}

// --- Buttons --------------------------------------------------------------------

void DeviceEngine::GetConfiguration() {
  SendAndAwait(GET_DEVICE_IDEN, kReadDeviceIden);
  Refresh();
}

void DeviceEngine::ReadAgain() { SendAndAwait(GET_SERVICE_MODE, kReadServiceMode); }

void DeviceEngine::Break() {
  sequenceState_ = kIdle;
  if (waiting_) EndUnanswered();
  Refresh();
}

void DeviceEngine::ShowUserView() {
  // The configurator edits the holders the user view shows, with values that
  // may never have gone out: leaving it reads the device again.
  const bool leavingConfigurator = viewPage_ == kConfiguratorPage;
  viewPage_ = 0;
  if (leavingConfigurator && IsDeviceLinked())
    ReadAgain();
  else
    sequenceState_ = kIdle;
  Refresh();
}

void DeviceEngine::ShowServiceView() {
  viewPage_ = 1;
  Refresh();
}

void DeviceEngine::StartConfigurator() {
  viewPage_ = kConfiguratorPage;
  serviceMode_.At(SERVICE_MODE_ENABLE).SetFromInt(1);
  if (IsDeviceLinked()) {
    SendServiceMode(&serviceMode_);
    sequenceState_ = kConfiguratorServiceMode;
  } else {
    sequenceState_ = kConfiguratorStart;
  }
  Refresh();
}

// --- Configurator and files ----------------------------------------------------------

bool DeviceEngine::ShowConfiguratorPage(frosk::SequenceState page) {
  if (!IsConfiguratorPage(page)) return false;
  sequenceState_ = page;
  Refresh();
  return true;
}

void DeviceEngine::LeaveConfiguratorPage(frosk::SequenceState waiting, frosk::SequenceState next,
                                         const std::function<void()>& send) {
  // The state goes first: the send refreshes the view, which then shows the wait page.
  const bool linked = IsDeviceLinked();
  const frosk::SequenceState page = sequenceState_;
  sequenceState_ = linked ? waiting : next;
  if (!linked) return;
  const uint32_t refusals = refusals_;
  send();
  // An unread group was not sent: the page stays, rather than wait for a reply to nothing.
  if (refusals_ == refusals) return;
  sequenceState_ = page;
  Refresh();
}

void DeviceEngine::StartSendingConfiguration() { sequenceState_ = kSendingConfiguration; }

ContentMask DeviceEngine::SupportedContent() const {
  const int moduleType = LiveModuleType();
  ContentMask mask = content::kDeviceIden | content::kFroskTecConfig | content::kDeviceSignature;
  if (froskTecConfig_.At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).GetAsInt() != 0) mask |= content::kNoMemRecords;
  if (moduleType >= kModuleWithMemory) mask |= content::kModuleRecords | content::kModuleSignature;
  if (moduleType == kVeltraModule) mask |= content::kVeltraRecords;
  // Linked, a record never read from the device would go into a file as
  // zeros; offline, the holders are what the technician entered.
  if (IsDeviceLinked())
    for (const RecordSlot& slot : kRecordSlots)
      if (!MaySend(slot.id)) mask &= ~slot.bit;
  return mask;
}

// --- Settings -------------------------------------------------------------------

std::optional<DeviceEngine::Setting> DeviceEngine::UserSetting(Key field) {
  const ContainerSpec* container = nullptr;
  if (FindField(field, &container) == nullptr) return std::nullopt;
  if (container->key == MODULE_BASIC_PARAMS) {
    const BasicParamsSet set = ControllerSettings();
    return Setting{set.userSet.At(field), set.defaults.At(field), set.userMin.At(field), set.userMax.At(field)};
  }
  if (container->key == MODULE_VELTRA_PARAMS)
    return Setting{VeltraUserSet().At(field), VeltraDefault().At(field), VeltraUserMin().At(field),
                   VeltraUserMax().At(field)};
  return std::nullopt;
}

DeviceEngine::SettingChange DeviceEngine::SetSetting(Key field, int32_t raw) {
  const std::optional<Setting> setting = UserSetting(field);
  const ContainerSpec* container = nullptr;
  // Limits never read are zeros: clamping to them would store a value that was never chosen.
  if (!setting || FindField(field, &container) == nullptr || !SettingsRead(container->key)) return {};
  const bool changed = ClampAndSet(setting->value, raw, setting->userMin, setting->userMax);
  return {changed, setting->value.GetAsInt() != raw};
}

bool DeviceEngine::WriteSetting(Key field) {
  const ContainerSpec* container = nullptr;
  if (FindField(field, &container) == nullptr) return false;
  if (container->key == MODULE_BASIC_PARAMS) return WriteControllerSettings();
  if (container->key == MODULE_VELTRA_PARAMS) return WriteModuleSettings();
  return false;
}

bool DeviceEngine::StepSetting(Key field, int step) {
  const std::optional<Setting> setting = UserSetting(field);
  if (!setting) return false;
  const auto next =
      static_cast<int32_t>(std::clamp<int64_t>(int64_t{setting->value.GetAsInt()} + step, INT32_MIN, INT32_MAX));
  return SetSetting(field, next).changed && WriteSetting(field);
}

bool DeviceEngine::ChooseSetting(Key field, int32_t choice) {
  return SetSetting(field, choice).changed && WriteSetting(field);
}

bool DeviceEngine::ChooseGain(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kGainCodes))) return false;
  return ChooseSetting(MODULE_VELTRA_PARAMS_GAIN, kGainCodes[index].code);
}

bool DeviceEngine::SwitchServiceMode(bool on) {
  serviceMode_.At(SERVICE_MODE_ENABLE).SetFromInt(on ? 1 : 0);
  return SendServiceMode(&serviceMode_);
}

bool DeviceEngine::SwitchTransparentMode(bool on) {
  transparentMode_.At(TRANSPARENT_MODE_ENABLE).SetFromInt(on ? 1 : 0);
  return SendTransparentMode(&transparentMode_);
}

bool DeviceEngine::ClampAndSet(VFroskClass& field, int32_t value, const VFroskClass& userMin,
                               const VFroskClass& userMax) {
  int32_t low = userMin.GetAsInt();
  int32_t high = userMax.GetAsInt();
  if (ControllerInServiceMode()) {
    low = field.HasMin() ? field.Min() : INT32_MIN;
    high = field.HasMax() ? field.Max() : INT32_MAX;
  }
  value = std::min(std::max(value, low), high);
  if (value == field.GetAsInt()) return false;
  field.SetFromInt(value);
  return true;
}

bool DeviceEngine::WriteControllerSettings() {
  const bool withMemory = moduleTypeSnapshot_ >= kModuleWithMemory;
  return SendModuleBasicParams(&ControllerSettings().userSet,
                               withMemory ? SET_MODULE_USER_SET : SET_FROSKTEC_MOD_NO_MEM_USER_SET);
}

// The defaults go out as the new user set; the reply stores them in the user
// set, so the holders in memory are left alone here.
bool DeviceEngine::UseControllerDefaults() {
  const bool withMemory = moduleTypeSnapshot_ >= kModuleWithMemory;
  return SendModuleBasicParams(&ControllerSettings().defaults,
                               withMemory ? SET_MODULE_USER_SET : SET_FROSKTEC_MOD_NO_MEM_USER_SET);
}

bool DeviceEngine::WriteModuleSettings() { return SendVeltraParams(&VeltraUserSet(), SET_MODULE_VELTRA_USER_SET); }

bool DeviceEngine::UseModuleDefaults() { return SendVeltraParams(&VeltraDefault(), SET_MODULE_VELTRA_USER_SET); }

namespace {

std::optional<std::vector<uint8_t>> BankRequest(Key command, int bank) {
  if (bank < 0 || bank > 3) return std::nullopt;
  return RecordRequest(command, ModuleUserSetBankRecord{static_cast<uint8_t>(bank)});
}

}  // namespace

bool DeviceEngine::LoadModuleUserSet(int bank) {
  const auto request = BankRequest(LOAD_MODULE_VELTRA_PARAMS, bank);
  return request && SendItem(request->data());
}

bool DeviceEngine::StoreModuleUserSet(int bank) {
  const auto request = BankRequest(STORE_MODULE_VELTRA_PARAMS, bank);
  return request && SendItem(request->data());
}

}  // namespace frosk
