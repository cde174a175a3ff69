#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/folders.h"
#include "common/prompter.h"
#include "common/tick_clock.h"
#include "device/device_host.h"
#include "protocol/holders.h"
#include "protocol/records.h"

namespace frosk {

using DeviceIdenHolders = HolderGroup<DeviceIdenRecord>;
using ServiceModeHolder = HolderGroup<ServiceModeRecord>;
using TransparentModeHolder = HolderGroup<TransparentModeRecord>;
using FroskTecConfigHolders = HolderGroup<FroskTecConfigRecord>;
using FroskTecMonitorHolders = HolderGroup<FroskTecMonitorRecord>;
using ModuleIdenHolders = HolderGroup<ModuleIdenRecord>;
using ModuleBasicParamsHolders = HolderGroup<ModuleBasicParamsRecord>;
using ModuleVeltraMonitorHolders = HolderGroup<ModuleVeltraMonitorRecord>;
using ModuleVeltraParamsHolders = HolderGroup<ModuleVeltraParamsRecord>;
using DeviceCheckHolder = HolderGroup<DeviceCheckRecord>;
using ModuleCheckHolder = HolderGroup<ModuleCheckRecord>;

// Every holder group instance of a device, in the order the reading sequence
// fills them; the three that the sequence never reads come last.
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

// "ServiceMode", "NoMemUserSet", ...: the group's name without "Holders".
std::string_view GroupName(Group group);
// The data container whose record the group holds.
const ContainerSpec& GroupContainer(Group group);

// A set of groups, one bit per Group.
using GroupMask = uint32_t;
constexpr GroupMask GroupBit(Group group) { return GroupMask{1} << static_cast<unsigned>(group); }

// The GET request that fills the group of an index of ModuleIdenGroup,
// BasicParamsGroup or VeltraParamsGroup; its SET lies 0x10 above and answers
// into the same group. 0 for an index out of range.
Key ModuleIdenGetKey(int index);
Key BasicParamsGetKey(int index);
Key VeltraParamsGetKey(int index);
Key ModuleIdenSetKey(int index);
Key BasicParamsSetKey(int index);
Key VeltraParamsSetKey(int index);

// Module types of FROSKTEC_MONITOR_MODULE_TYPE (0 none, 1 NOMEM): from 2 on
// the module has a memory of its own, and 3 is a VELTRA module.
inline constexpr int kModuleWithMemory = 2;
inline constexpr int kVeltraModule = 3;

// The monitor's status text for a status code; empty for codes without one.
std::string_view StatusText(int code);

// True when each of the three raw values lies within its own holder's limits
// and min <= value <= max.
bool UserSetIsValid(const VFroskClass& value, const VFroskClass& min, const VFroskClass& max);

// What an engine takes from its surroundings besides its host.
struct DeviceSeams {
  const TickClock& clock;
  Prompter& prompter;
  Beeper& beeper;
  const Folders& folders;
};

// The engine of one device window (TFroskTecViewForm): the value holders, the
// request engine with one request in flight and one queued, the receive
// dispatch with the reading sequence and the configurator's write chain, the
// periodic tick with its time-out and automatic monitoring, and the module
// firmware check. Headless: the device window and froskctl are its faces.
// Everything runs on one thread; the host delivers replies and ticks.
class DeviceEngine {
 public:
  static constexpr uint8_t kIdle = 50;
  static constexpr uint8_t kCheckDeclined = 51;
  static constexpr uint8_t kSendingConfiguration = 48;
  static constexpr uint8_t kConfiguratorStart = 21;
  static constexpr uint8_t kConfiguratorPage = 2;  // ViewPage
  static constexpr uint32_t kReplyTimeoutMs = 5000;

  DeviceEngine(DeviceHost& host, const DeviceSeams& seams);
  DeviceEngine(const DeviceEngine&) = delete;
  DeviceEngine& operator=(const DeviceEngine&) = delete;

  // --- Request engine -------------------------------------------------------
  // Hands a valid encoded item to the link, or queues it behind the one in
  // flight. True when the link took it or it was queued; false (with a beep)
  // when one is in flight and one already queued.
  bool SendItem(const uint8_t* item);
  // A bare GET (or any record-less) request.
  bool SendRequest(Key command);
  // The record senders: the group's record inside a command container. Key 0
  // takes the default SET key; a null group sends nothing and gives false.
  bool SendServiceMode(const ServiceModeHolder* group, Key command = 0);
  bool SendTransparentMode(const TransparentModeHolder* group, Key command = 0);
  bool SendDeviceIden(const DeviceIdenHolders* group, Key command = 0);
  bool SendFroskTecConfig(const FroskTecConfigHolders* group, Key command = 0);
  bool SendModuleIden(const ModuleIdenHolders* group, Key command);
  bool SendModuleBasicParams(const ModuleBasicParamsHolders* group, Key command);
  bool SendVeltraParams(const ModuleVeltraParamsHolders* group, Key command);

  // --- Called by the host ---------------------------------------------------
  // Every item that arrives on this device's link, already decoded and
  // validated (ItemIsValid).
  void ReceiveItem(const uint8_t* item);
  // Every 100 ms.
  void Tick();

  // --- Views ----------------------------------------------------------------
  // Tells every listener that the state may have changed. The mask holds the
  // groups the device replies stored since the last notification, so a view
  // can skip groups it does not show; the mask is a hint, holders edited by
  // the views themselves are not in it.
  using RefreshListener = std::function<void(GroupMask stored)>;
  int AddRefreshListener(RefreshListener listener);
  void RemoveRefreshListener(int id);
  // While the configurator is shown, the idle state is its start page (21).
  void Refresh();
  // A message box through the prompter; automatic polls wait while it is open,
  // so the line is free for whatever the answer sends.
  int Ask(const std::string& text, unsigned flags);
  // The prompter, for the file dialogs of the actions beside the engine.
  Prompter& Questions() { return seams_.prompter; }

  // The module firmware check of the reading sequence. False when the engine
  // has asked to be closed.
  bool CheckModuleFirmware();

  // The index lookups; null for an index out of range.
  ModuleIdenHolders* ModuleIdenGroup(int index);
  ModuleBasicParamsHolders* BasicParamsGroup(int index);
  ModuleVeltraParamsHolders* VeltraParamsGroup(int index);

  // The groups the views show, chosen by ModuleTypeSnapshot: below 2 the
  // controller's memoryless-module copies, else the module's own.
  struct BasicParamsSet {
    ModuleBasicParamsHolders& defaults;
    ModuleBasicParamsHolders& userSet;
    ModuleBasicParamsHolders& userMin;
    ModuleBasicParamsHolders& userMax;
  };
  ModuleIdenHolders& ShownModuleIden();
  const ModuleIdenHolders& ShownModuleIden() const;
  BasicParamsSet ControllerSettings();

  // --- Window state ---------------------------------------------------------
  uint8_t SequenceState() const { return sequenceState_; }
  void SetSequenceState(uint8_t state) { sequenceState_ = state; }
  uint8_t ViewPage() const { return viewPage_; }
  void SetViewPage(uint8_t page) { viewPage_ = page; }
  int8_t ModuleTypeSnapshot() const { return moduleTypeSnapshot_; }
  Key PendingKey() const { return pendingKey_; }
  bool Waiting() const { return waiting_; }
  uint32_t SentTick() const { return sentTick_; }
  bool HasQueuedItem() const { return !queuedItem_.empty(); }
  bool DeviceMonitorAuto() const { return deviceMonitorAuto_; }
  void SetDeviceMonitorAuto(bool on) { deviceMonitorAuto_ = on; }
  bool ModuleMonitorAuto() const { return moduleMonitorAuto_; }
  void SetModuleMonitorAuto(bool on) { moduleMonitorAuto_ = on; }
  // The service view's "Waiting for respone..." panel, blinking at the tick
  // rate while a reply is awaited on that page.
  bool WaitingPanelVisible() const { return waitingPanelVisible_; }
  // How many replies were given up after the time-out, silently or not.
  uint32_t Timeouts() const { return timeouts_; }

  // FROSKTEC_MONITOR_MODULE_TYPE as last received, unlike the snapshot.
  int LiveModuleType() const;
  // SERVICE_MODE_ENABLE as the controller last reported it.
  bool ControllerInServiceMode() const;

  // Derived flags of the views: the user view is live in the idle state while
  // nothing but a monitor poll is awaited.
  bool ViewReady() const;
  bool ControllerReady() const;
  bool VeltraReady() const;
  bool TecPresent() const;
  bool ThermistorPresent() const;
  // The service view's idle: state 50 and nothing in flight.
  bool Idle() const { return sequenceState_ == kIdle && !waiting_; }

  // --- Operations of the window's buttons -----------------------------------
  // GetConfigurationButtonClick, ConfigDeviceLoadButtonClick: the reading
  // sequence again from its second step.
  void GetConfiguration();
  // BreakButtonClick: the request in flight is no longer awaited.
  void Break();
  // UserViewBitBtnClick, ServiceViewBitBtnClick.
  void ShowUserView();
  void ShowServiceView();
  // ConfiguratorBitBtnClick: puts the controller into service mode when linked.
  void StartConfigurator();
  bool IsDeviceLinked() const { return host_.IsDeviceLinked(*this); }

  // Setpoint changes. Clamps the raw value to the field's own limits while the
  // controller is in service mode, else to the user-min and user-max values,
  // and stores it; true when the stored value changed.
  bool ClampAndSet(VFroskClass& field, int32_t value, const VFroskClass& userMin, const VFroskClass& userMax);
  // The write actions of the user view. Each sends one whole record.
  bool WriteControllerSettings();  // DeviceSettingsWriteBitBtnClick
  bool UseControllerDefaults();    // DeviceSettingsDefaultBitBtnClick
  bool WriteModuleSettings();      // ModuleSettingsWriteBitBtnClick
  bool UseModuleDefaults();        // ModuleSettingsDefaultBitBtnClick
  // ModuleUserSetBitBtnClick: bank 0 to 3 (shown as 1 to 4); false without
  // sending for any other bank.
  bool LoadModuleUserSet(int bank);
  bool StoreModuleUserSet(int bank);

  // --- Hooks filled by later parts of the window ----------------------------
  void SetTrafficObserver(TrafficObserver* observer) { trafficObserver_ = observer; }
  void SetConfigSender(ConfigSender* sender) { configSender_ = sender; }

  // --- Holder groups --------------------------------------------------------
  DeviceIdenHolders& DeviceIden() { return deviceIden_; }
  ServiceModeHolder& ServiceMode() { return serviceMode_; }
  TransparentModeHolder& TransparentMode() { return transparentMode_; }
  FroskTecConfigHolders& FroskTecConfig() { return froskTecConfig_; }
  FroskTecMonitorHolders& FroskTecMonitor() { return froskTecMonitor_; }
  ModuleIdenHolders& NoMemModuleIden() { return moduleIden_[0]; }
  ModuleIdenHolders& ModuleIden() { return moduleIden_[1]; }
  ModuleBasicParamsHolders& NoMemDefault() { return basicParams_[0]; }
  ModuleBasicParamsHolders& NoMemUserSet() { return basicParams_[1]; }
  ModuleBasicParamsHolders& NoMemUserMin() { return basicParams_[2]; }
  ModuleBasicParamsHolders& NoMemUserMax() { return basicParams_[3]; }
  ModuleBasicParamsHolders& ModuleDefault() { return basicParams_[4]; }
  ModuleBasicParamsHolders& ModuleUserSet() { return basicParams_[5]; }
  ModuleBasicParamsHolders& ModuleUserMin() { return basicParams_[6]; }
  ModuleBasicParamsHolders& ModuleUserMax() { return basicParams_[7]; }
  ModuleVeltraMonitorHolders& ModuleVeltraMonitor() { return veltraMonitor_; }
  ModuleVeltraParamsHolders& VeltraDefault() { return veltraParams_[0]; }
  ModuleVeltraParamsHolders& VeltraUserSet() { return veltraParams_[1]; }
  ModuleVeltraParamsHolders& VeltraUserMin() { return veltraParams_[2]; }
  ModuleVeltraParamsHolders& VeltraUserMax() { return veltraParams_[3]; }
  DeviceCheckHolder& DeviceCheck() { return deviceCheck_; }
  ModuleCheckHolder& ModuleCheck() { return moduleCheck_; }
  // Any group's holders, for code that walks every field.
  std::span<VFroskClass> Holders(Group group);
  // The holder of a field in a group; null when the group has no such field.
  VFroskClass* Holder(Group group, Key field);

 private:
  template <class Record>
  bool SendRecord(const HolderGroup<Record>* group, Key command);
  // Stores a reply in the group the table gives for its key (and PendingKey).
  std::optional<Group> StoreReply(const uint8_t* item);
  // One row of the transition table; true when the row already refreshed.
  bool Advance(Key reply);
  void LeaveServiceMode();
  void PollMonitors();
  int ModuleFirmwareFileVersion(int moduleType);

  DeviceHost& host_;
  DeviceSeams seams_;
  TrafficObserver* trafficObserver_ = nullptr;
  ConfigSender* configSender_ = nullptr;

  uint8_t sequenceState_ = 0;
  uint8_t viewPage_ = 0;
  int8_t moduleTypeSnapshot_ = 0;
  Key pendingKey_ = 0;
  bool waiting_ = false;
  uint32_t sentTick_ = 0;
  std::vector<uint8_t> queuedItem_;
  bool deviceMonitorAuto_ = true;
  bool moduleMonitorAuto_ = true;
  // Each device takes its own turns, so two devices polling side by side
  // each keep both of their monitors live.
  bool froskTecMonitorNext_ = false;
  bool waitingPanelVisible_ = false;
  uint32_t timeouts_ = 0;
  int openQuestions_ = 0;

  std::vector<std::pair<int, RefreshListener>> listeners_;
  int nextListenerId_ = 1;
  int refreshDepth_ = 0;
  GroupMask stored_ = 0;

  DeviceIdenHolders deviceIden_;
  ServiceModeHolder serviceMode_;
  TransparentModeHolder transparentMode_;
  FroskTecConfigHolders froskTecConfig_;
  FroskTecMonitorHolders froskTecMonitor_;
  std::array<ModuleIdenHolders, 2> moduleIden_;
  std::array<ModuleBasicParamsHolders, 8> basicParams_;
  ModuleVeltraMonitorHolders veltraMonitor_;
  std::array<ModuleVeltraParamsHolders, 4> veltraParams_;
  DeviceCheckHolder deviceCheck_;
  ModuleCheckHolder moduleCheck_;
};

}  // namespace frosk
