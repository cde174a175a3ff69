#include "device/device_engine.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "firmware/firmware_files.h"
#include "protocol/item.h"
#include "protocol/keys.h"

namespace frosk {

using namespace key;

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

// The controller's status codes for a module it cannot work with.
constexpr int kStatusIncompatibleKazModule = 140;
constexpr int kStatusIncompatibleModule = 141;

struct GroupInfo {
  std::string_view name;
  Key container;
};

constexpr GroupInfo kGroups[kGroupCount] = {
    {"ServiceMode", SERVICE_MODE},
    {"DeviceIden", DEVICE_IDEN},
    {"FroskTecConfig", FROSKTEC_CONFIG},
    {"FroskTecMonitor", FROSKTEC_MONITOR},
    {"NoMemModuleIden", MODULE_IDEN},
    {"NoMemDefault", MODULE_BASIC_PARAMS},
    {"NoMemUserSet", MODULE_BASIC_PARAMS},
    {"NoMemUserMin", MODULE_BASIC_PARAMS},
    {"NoMemUserMax", MODULE_BASIC_PARAMS},
    {"ModuleIden", MODULE_IDEN},
    {"ModuleDefault", MODULE_BASIC_PARAMS},
    {"ModuleUserSet", MODULE_BASIC_PARAMS},
    {"ModuleUserMin", MODULE_BASIC_PARAMS},
    {"ModuleUserMax", MODULE_BASIC_PARAMS},
    {"ModuleVeltraMonitor", MODULE_VELTRA_MONITOR},
    {"VeltraDefault", MODULE_VELTRA_PARAMS},
    {"VeltraUserSet", MODULE_VELTRA_PARAMS},
    {"VeltraUserMin", MODULE_VELTRA_PARAMS},
    {"VeltraUserMax", MODULE_VELTRA_PARAMS},
    {"TransparentMode", TRANSPARENT_MODE},
    {"DeviceCheck", DEVICE_CHECK},
    {"ModuleCheck", MODULE_CHECK},
};

constexpr Key kModuleIdenGets[2] = {GET_FROSKTEC_MOD_NO_MEM_IDEN, GET_MODULE_IDEN};
constexpr Key kBasicParamsGets[8] = {
    GET_FROSKTEC_MOD_NO_MEM_DEFAULT,
    GET_FROSKTEC_MOD_NO_MEM_USER_SET,
    GET_FROSKTEC_MOD_NO_MEM_USER_MIN,
    GET_FROSKTEC_MOD_NO_MEM_USER_MAX,
    GET_MODULE_DEFAULT,
    GET_MODULE_USER_SET,
    GET_MODULE_USER_MIN,
    GET_MODULE_USER_MAX,
};
constexpr Key kVeltraParamsGets[4] = {
    GET_MODULE_VELTRA_DEFAULT,
    GET_MODULE_VELTRA_USER_SET,
    GET_MODULE_VELTRA_USER_MIN,
    GET_MODULE_VELTRA_USER_MAX,
};
constexpr int kVeltraUserSetIndex = 1;
// Every SET lies this far above its GET and answers into the same group.
constexpr Key kSetAboveGet = 0x10;

template <size_t N>
int IndexOfRequest(const Key (&gets)[N], Key request) {
  for (size_t i = 0; i < N; ++i)
    if (request == gets[i] || request == gets[i] + kSetAboveGet) return static_cast<int>(i);
  return -1;
}

template <class Record>
void StoreRecord(HolderGroup<Record>& group, const uint8_t* item) {
  Record record;
  Clear(record);
  ParseFrom(record, item);
  group.SetRaw(record);
}

bool WithinOwnLimits(const VFroskClass& holder) {
  const int32_t v = holder.GetAsInt();
  return (!holder.HasMin() || v >= holder.Min()) && (!holder.HasMax() || v <= holder.Max());
}

template <size_t N>
Key GetKeyAt(const Key (&gets)[N], int index) {
  return index >= 0 && static_cast<size_t>(index) < N ? gets[index] : Key{0};
}

}  // namespace

Key ModuleIdenGetKey(int index) { return GetKeyAt(kModuleIdenGets, index); }
Key BasicParamsGetKey(int index) { return GetKeyAt(kBasicParamsGets, index); }
Key VeltraParamsGetKey(int index) { return GetKeyAt(kVeltraParamsGets, index); }

namespace {

Key SetKeyOf(Key get) { return get != 0 ? static_cast<Key>(get + kSetAboveGet) : Key{0}; }

}  // namespace

Key ModuleIdenSetKey(int index) { return SetKeyOf(ModuleIdenGetKey(index)); }
Key BasicParamsSetKey(int index) { return SetKeyOf(BasicParamsGetKey(index)); }
Key VeltraParamsSetKey(int index) { return SetKeyOf(VeltraParamsGetKey(index)); }

std::string_view GroupName(Group group) { return kGroups[static_cast<size_t>(group)].name; }

const ContainerSpec& GroupContainer(Group group) {
  return *FindContainer(kGroups[static_cast<size_t>(group)].container);
}

std::string_view StatusText(int code) {
  switch (code) {
    case 0: return "Temperature locked";
    case 1: return "Cooling in progress";
    case 2: return "Not cooling";
    case 128: return "ERROR: Detector overheat";
    case 129: return "ERROR: Overcurrent";
    case 130: return "ERROR: TEC open circuit";
    case 131: return "ERROR: TEC short circuit";
    case 132: return "ERROR: TH open circuit";
    case 133: return "ERROR: TH short circuit";
    case 134: return "ERROR: Interior overheat";
    case 135: return "ERROR: No module connected";
    case 136: return "ERROR: Data short circuit";
    case 137:
    case 138: return "ERROR: Data error";
    case 139: return "ERROR: EEPROM error";
    case 140: return "ERROR: Incompatible KAZ module";
    case 141: return "ERROR: Incompatible module";
    default: return {};
  }
}

bool UserSetIsValid(const VFroskClass& value, const VFroskClass& min, const VFroskClass& max) {
  return WithinOwnLimits(value) && WithinOwnLimits(min) && WithinOwnLimits(max) && min.GetAsInt() <= value.GetAsInt() &&
         value.GetAsInt() <= max.GetAsInt();
}

DeviceEngine::DeviceEngine(DeviceHost& host, const DeviceSeams& seams) : host_(host), seams_(seams) {}

// --- Request engine ---------------------------------------------------------

bool DeviceEngine::SendItem(const uint8_t* item) {
  if (!waiting_) {
    const bool sent = host_.SendToDevice(*this, item);
    waiting_ = true;
    sentTick_ = seams_.clock.Now();
    pendingKey_ = ItemKey(item);
    if (trafficObserver_ != nullptr && host_.ServiceModeSetting()) trafficObserver_->ItemSent(item);
    Refresh();
    return sent;
  }
  if (queuedItem_.empty()) {
    queuedItem_.assign(item, item + ItemLength(item));
    return true;
  }
  seams_.beeper.Beep();
  return false;
}

bool DeviceEngine::SendRequest(Key command) {
  const std::vector<uint8_t> request = BareRequest(command);
  return SendItem(request.data());
}

template <class Record>
bool DeviceEngine::SendRecord(const HolderGroup<Record>* group, Key command) {
  if (group == nullptr) return false;
  const std::vector<uint8_t> request = RecordRequest(command, group->ToRecord());
  return SendItem(request.data());
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

std::optional<Group> DeviceEngine::StoreReply(const uint8_t* item) {
  switch (ItemKey(item)) {
    case DEVICE_IDEN: StoreRecord(deviceIden_, item); return Group::kDeviceIden;
    case SERVICE_MODE: StoreRecord(serviceMode_, item); return Group::kServiceMode;
    case TRANSPARENT_MODE: StoreRecord(transparentMode_, item); return Group::kTransparentMode;
    case FROSKTEC_CONFIG: StoreRecord(froskTecConfig_, item); return Group::kFroskTecConfig;
    case FROSKTEC_MONITOR: StoreRecord(froskTecMonitor_, item); return Group::kFroskTecMonitor;
    case MODULE_IDEN:
      if (IndexOfRequest(kModuleIdenGets, pendingKey_) == 0) {
        StoreRecord(NoMemModuleIden(), item);
        return Group::kNoMemModuleIden;
      }
      StoreRecord(ModuleIden(), item);
      return Group::kModuleIden;
    case MODULE_BASIC_PARAMS: {
      const int index = IndexOfRequest(kBasicParamsGets, pendingKey_);
      if (index < 0) return std::nullopt;
      StoreRecord(basicParams_[index], item);
      return static_cast<Group>(static_cast<int>(Group::kNoMemDefault) + (index < 4 ? index : index + 1));
    }
    case MODULE_VELTRA_MONITOR: StoreRecord(veltraMonitor_, item); return Group::kModuleVeltraMonitor;
    case MODULE_VELTRA_PARAMS: {
      int index = IndexOfRequest(kVeltraParamsGets, pendingKey_);
      if (pendingKey_ == LOAD_MODULE_VELTRA_PARAMS || pendingKey_ == STORE_MODULE_VELTRA_PARAMS)
        index = kVeltraUserSetIndex;
      if (index < 0) return std::nullopt;
      StoreRecord(veltraParams_[index], item);
      return static_cast<Group>(static_cast<int>(Group::kVeltraDefault) + index);
    }
    default: return std::nullopt;
  }
}

void DeviceEngine::ReceiveItem(const uint8_t* item) {
  waiting_ = false;
  if (const std::optional<Group> group = StoreReply(item)) stored_ |= GroupBit(*group);
  if (trafficObserver_ != nullptr && host_.ServiceModeSetting()) trafficObserver_->ItemReceived(item);
  if (!Advance(ItemKey(item))) Refresh();
}

// The transition table: at most one row per state, and a row applies only to
// its reply key. Rows that end with "return" in the table and rows that fall
// through to the dispatch's own refresh both end in one Refresh, so only the
// row that must refresh before its message says so.
bool DeviceEngine::Advance(Key reply) {
  const auto sequenceStep = [this](Key next, uint8_t state) {
    sequenceState_ = state;
    SendRequest(next);
  };
  switch (sequenceState_) {
    // The reading sequence.
    case 1:
      if (reply == SERVICE_MODE) sequenceStep(GET_DEVICE_IDEN, 2);
      break;
    case 2:
      if (reply == DEVICE_IDEN) sequenceStep(GET_FROSKTEC_CONFIG, 3);
      break;
    case 3:
      if (reply == FROSKTEC_CONFIG) sequenceStep(GET_FROSKTEC_MONITOR, 4);
      break;
    case 4:
      if (reply != FROSKTEC_MONITOR) break;
      moduleTypeSnapshot_ = static_cast<int8_t>(LiveModuleType());
      sequenceStep(GET_FROSKTEC_MOD_NO_MEM_IDEN, 5);
      break;
    case 5:
      if (reply == MODULE_IDEN) sequenceStep(GET_FROSKTEC_MOD_NO_MEM_DEFAULT, 6);
      break;
    case 6:
      if (reply == MODULE_BASIC_PARAMS) sequenceStep(GET_FROSKTEC_MOD_NO_MEM_USER_SET, 7);
      break;
    case 7:
      if (reply == MODULE_BASIC_PARAMS) sequenceStep(GET_FROSKTEC_MOD_NO_MEM_USER_MIN, 8);
      break;
    case 8:
      if (reply == MODULE_BASIC_PARAMS) sequenceStep(GET_FROSKTEC_MOD_NO_MEM_USER_MAX, 9);
      break;
    case 9:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (moduleTypeSnapshot_ >= kModuleWithMemory)
        sequenceStep(GET_MODULE_IDEN, 10);
      else
        sequenceState_ = kIdle;
      break;
    case 10:
      if (reply != MODULE_IDEN) break;
      if (CheckModuleFirmware())
        sequenceStep(GET_MODULE_DEFAULT, 11);
      else
        sequenceState_ = kCheckDeclined;
      break;
    case 11:
      if (reply == MODULE_BASIC_PARAMS) sequenceStep(GET_MODULE_USER_SET, 12);
      break;
    case 12:
      if (reply == MODULE_BASIC_PARAMS) sequenceStep(GET_MODULE_USER_MIN, 13);
      break;
    case 13:
      if (reply == MODULE_BASIC_PARAMS) sequenceStep(GET_MODULE_USER_MAX, 14);
      break;
    case 14:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (moduleTypeSnapshot_ == kVeltraModule)
        sequenceStep(GET_MODULE_VELTRA_MONITOR, 15);
      else
        sequenceState_ = kIdle;
      break;
    case 15:
      if (reply == MODULE_VELTRA_MONITOR) sequenceStep(GET_MODULE_VELTRA_DEFAULT, 16);
      break;
    case 16:
      if (reply == MODULE_VELTRA_PARAMS) sequenceStep(GET_MODULE_VELTRA_USER_SET, 17);
      break;
    case 17:
      if (reply == MODULE_VELTRA_PARAMS) sequenceStep(GET_MODULE_VELTRA_USER_MIN, 18);
      break;
    case 18:
      if (reply == MODULE_VELTRA_PARAMS) sequenceStep(GET_MODULE_VELTRA_USER_MAX, 19);
      break;
    case 19:
      if (reply == MODULE_VELTRA_PARAMS) sequenceState_ = kIdle;
      break;

    // The configurator's write chain.
    case 20:
      if (reply == SERVICE_MODE && ControllerInServiceMode()) sequenceState_ = 21;
      break;
    case 23:
      if (reply != DEVICE_IDEN) break;
      sequenceState_ = 24;
      SendFroskTecConfig(&froskTecConfig_);
      break;
    case 24:
      if (reply != FROSKTEC_CONFIG) break;
      if (froskTecConfig_.At(FROSKTEC_CONFIG_NO_MEM_COMPATIBLE).GetAsInt() != 0) {
        sequenceState_ = 25;
      } else if (LiveModuleType() < kModuleWithMemory) {
        sequenceState_ = 44;
        LeaveServiceMode();
      } else {
        sequenceState_ = 32;
      }
      break;
    case 26:
      if (reply == MODULE_IDEN) sequenceState_ = 27;
      break;
    case 28:
      if (reply != MODULE_BASIC_PARAMS) break;
      sequenceState_ = 29;
      SendModuleBasicParams(&NoMemUserSet(), SET_FROSKTEC_MOD_NO_MEM_USER_SET);
      break;
    case 29:
      if (reply != MODULE_BASIC_PARAMS) break;
      sequenceState_ = 30;
      SendModuleBasicParams(&NoMemUserMin(), SET_FROSKTEC_MOD_NO_MEM_USER_MIN);
      break;
    case 30:
      if (reply != MODULE_BASIC_PARAMS) break;
      sequenceState_ = 31;
      SendModuleBasicParams(&NoMemUserMax(), SET_FROSKTEC_MOD_NO_MEM_USER_MAX);
      break;
    case 31:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (LiveModuleType() < kModuleWithMemory) {
        sequenceState_ = 44;
        LeaveServiceMode();
      } else {
        sequenceState_ = 32;
      }
      break;
    case 33:
      if (reply == MODULE_IDEN) sequenceState_ = 34;
      break;
    case 35:
      if (reply != MODULE_BASIC_PARAMS) break;
      sequenceState_ = 36;
      SendModuleBasicParams(&ModuleUserSet(), SET_MODULE_USER_SET);
      break;
    case 36:
      if (reply != MODULE_BASIC_PARAMS) break;
      sequenceState_ = 37;
      SendModuleBasicParams(&ModuleUserMin(), SET_MODULE_USER_MIN);
      break;
    case 37:
      if (reply != MODULE_BASIC_PARAMS) break;
      sequenceState_ = 38;
      SendModuleBasicParams(&ModuleUserMax(), SET_MODULE_USER_MAX);
      break;
    case 38:
      if (reply != MODULE_BASIC_PARAMS) break;
      if (LiveModuleType() != kVeltraModule) {
        sequenceState_ = 44;
        LeaveServiceMode();
      } else {
        sequenceState_ = 39;
      }
      break;
    case 40:
      if (reply != MODULE_VELTRA_PARAMS) break;
      sequenceState_ = 41;
      SendVeltraParams(&VeltraUserSet(), SET_MODULE_VELTRA_USER_SET);
      break;
    case 41:
      if (reply != MODULE_VELTRA_PARAMS) break;
      sequenceState_ = 42;
      SendVeltraParams(&VeltraUserMin(), SET_MODULE_VELTRA_USER_MIN);
      break;
    case 42:
      if (reply != MODULE_VELTRA_PARAMS) break;
      sequenceState_ = 43;
      SendVeltraParams(&VeltraUserMax(), SET_MODULE_VELTRA_USER_MAX);
      break;
    case 43:
      if (reply != MODULE_VELTRA_PARAMS) break;
      sequenceState_ = 44;
      LeaveServiceMode();
      break;
    case 44:
      if (reply != SERVICE_MODE) break;
      sequenceState_ = 21;
      Refresh();
      Ask(kConfigurationChanged, kInformationMessage);
      return true;

    // Sending a loaded configuration file: monitor replies of polls still under
    // way when the load started do not count as answers.
    case kSendingConfiguration:
      if (reply == FROSKTEC_MONITOR || reply == MODULE_VELTRA_MONITOR) break;
      if (configSender_ != nullptr && configSender_->SendNextConfigItem()) break;
      Ask(kConfigurationChanged, kInformationMessage);
      sequenceStep(GET_SERVICE_MODE, 1);
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
  if (sequenceState_ == 0) {
    sequenceState_ = 1;
    SendRequest(GET_SERVICE_MODE);
  }
  if (waiting_ && seams_.clock.Now() - sentTick_ > kReplyTimeoutMs) {
    waiting_ = false;
    ++timeouts_;
    // The state goes idle before the message: the message box's own event
    // loop keeps ticking, and a second time-out behind it must stay silent.
    if (sequenceState_ != kIdle) {
      sequenceState_ = kIdle;
      Ask("Communication timeout !", kErrorMessage);
    }
    Refresh();
    return;
  }
  if (!waiting_ && !queuedItem_.empty()) {
    const std::vector<uint8_t> item = std::move(queuedItem_);
    queuedItem_.clear();
    SendItem(item.data());
  }
  PollMonitors();
  if (viewPage_ == 1) waitingPanelVisible_ = waiting_ && !waitingPanelVisible_;
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

int DeviceEngine::Ask(const std::string& text, unsigned flags) {
  ++openQuestions_;
  const int answer = seams_.prompter.ShowMessageBox(text, flags);
  --openQuestions_;
  return answer;
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
  bool result = true;
  const auto closeWith = [this, &result](CloseAction action) {
    host_.RequestClose(*this, action);
    result = false;
  };
  // A No closes the window for ordinary users; a technician may go on.
  const auto closeUnlessService = [&]() {
    if (!serviceSetting) closeWith(CloseAction::kClose);
  };

  if (LiveModuleType() == kVeltraModule) {
    // Two early factory batches report a firmware version that no file can be
    // compared with; they always need the update.
    const std::string serial = iden.At(MODULE_IDEN_SERIAL).ValueToText();
    if ((serial == "000301-14" && moduleVersion == 0) || (serial == "000547-13" && moduleVersion == 65535)) {
      if (Ask(kModuleMustBeUpdated, kYesNoWarning) == kIdYes)
        closeWith(CloseAction::kCloseAndProgramModule);
      else
        closeUnlessService();
      return result;
    }
  }

  if (status == kStatusIncompatibleKazModule) {
    const int fileVersion = ModuleFirmwareFileVersion(moduleType);
    if (fileVersion > moduleVersion) {
      if (Ask(kModuleMustBeUpdated, kYesNoWarning) == kIdYes)
        closeWith(CloseAction::kCloseAndProgramModule);
      else
        closeUnlessService();
    } else if (fileVersion < moduleVersion) {
      if (Ask(kSoftwareObsolete, kYesNoError) == kIdYes)
        closeWith(CloseAction::kCloseAndCheckForUpdates);
      else
        closeUnlessService();
    }
  } else if (LiveModuleType() == kVeltraModule && ModuleFirmwareFileVersion(moduleType) > moduleVersion) {
    if (Ask(kOlderModuleFirmware, kYesNoWarning) == kIdYes) closeWith(CloseAction::kCloseAndProgramModule);
  } else if (status == kStatusIncompatibleModule) {
    if (Ask(kModuleNotRecognized, kYesNoError) == kIdYes)
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
  const auto span = [](auto& holders) { return std::span<VFroskClass>(&*holders.begin(), holders.size()); };
  switch (group) {
    case Group::kServiceMode: return span(serviceMode_);
    case Group::kDeviceIden: return span(deviceIden_);
    case Group::kFroskTecConfig: return span(froskTecConfig_);
    case Group::kFroskTecMonitor: return span(froskTecMonitor_);
    case Group::kNoMemModuleIden: return span(moduleIden_[0]);
    case Group::kModuleIden: return span(moduleIden_[1]);
    case Group::kModuleVeltraMonitor: return span(veltraMonitor_);
    case Group::kTransparentMode: return span(transparentMode_);
    case Group::kDeviceCheck: return span(deviceCheck_);
    case Group::kModuleCheck: return span(moduleCheck_);
    case Group::kNoMemDefault:
    case Group::kNoMemUserSet:
    case Group::kNoMemUserMin:
    case Group::kNoMemUserMax:
      return span(basicParams_[static_cast<int>(group) - static_cast<int>(Group::kNoMemDefault)]);
    case Group::kModuleDefault:
    case Group::kModuleUserSet:
    case Group::kModuleUserMin:
    case Group::kModuleUserMax:
      return span(basicParams_[4 + static_cast<int>(group) - static_cast<int>(Group::kModuleDefault)]);
    case Group::kVeltraDefault:
    case Group::kVeltraUserSet:
    case Group::kVeltraUserMin:
    case Group::kVeltraUserMax:
      return span(veltraParams_[static_cast<int>(group) - static_cast<int>(Group::kVeltraDefault)]);
  }
  return {};
}

VFroskClass* DeviceEngine::Holder(Group group, Key field) {
  for (VFroskClass& holder : Holders(group))
    if (holder.ParamKey() == field) return &holder;
  return nullptr;
}

// --- State ----------------------------------------------------------------------

int DeviceEngine::LiveModuleType() const { return froskTecMonitor_.At(FROSKTEC_MONITOR_MODULE_TYPE).GetAsInt(); }

bool DeviceEngine::ControllerInServiceMode() const { return serviceMode_.At(SERVICE_MODE_ENABLE).GetAsInt() != 0; }

bool DeviceEngine::ViewReady() const {
  if (sequenceState_ != kIdle) return false;
  return !waiting_ || pendingKey_ == GET_FROSKTEC_MONITOR || pendingKey_ == GET_MODULE_VELTRA_MONITOR;
}

bool DeviceEngine::ControllerReady() const { return ViewReady() && moduleTypeSnapshot_ >= 1; }

bool DeviceEngine::VeltraReady() const { return ViewReady() && moduleTypeSnapshot_ >= kVeltraModule; }

bool DeviceEngine::TecPresent() const {
  return ControllerReady() && ShownModuleIden().At(MODULE_IDEN_TEC_TYPE).GetAsInt() != 0;
}

bool DeviceEngine::ThermistorPresent() const {
  return ControllerReady() && ShownModuleIden().At(MODULE_IDEN_TH_TYPE).GetAsInt() != 0;
}

// --- Buttons --------------------------------------------------------------------

void DeviceEngine::GetConfiguration() {
  sequenceState_ = 2;
  SendRequest(GET_DEVICE_IDEN);
  Refresh();
}

void DeviceEngine::Break() {
  sequenceState_ = kIdle;
  waiting_ = false;
  Refresh();
}

void DeviceEngine::ShowUserView() {
  viewPage_ = 0;
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
    sequenceState_ = 20;
  } else {
    sequenceState_ = kConfiguratorStart;
  }
  Refresh();
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
