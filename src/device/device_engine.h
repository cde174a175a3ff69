#pragma once

#include <array>
#include <cstdint>
#include <deque>
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
#include "device/holder_set.h"
#include "protocol/device_codes.h"
#include "protocol/holders.h"
#include "protocol/record_slots.h"
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

// "ServiceMode", "NoMemUserSet", ...: the group's name without "Holders".
std::string_view GroupName(Group group);
// The data container whose record the group holds.
const ContainerSpec& GroupContainer(Group group);

// The groups of the index lookups ModuleIdenGroup, BasicParamsGroup and
// VeltraParamsGroup, in index order.
inline constexpr Group kModuleIdenGroups[] = {Group::kNoMemModuleIden, Group::kModuleIden};
inline constexpr Group kBasicParamsGroups[] = {Group::kNoMemDefault,  Group::kNoMemUserSet,  Group::kNoMemUserMin,
                                               Group::kNoMemUserMax,  Group::kModuleDefault, Group::kModuleUserSet,
                                               Group::kModuleUserMin, Group::kModuleUserMax};
inline constexpr Group kVeltraParamsGroups[] = {Group::kVeltraDefault, Group::kVeltraUserSet, Group::kVeltraUserMin,
                                                Group::kVeltraUserMax};

// The steps of the reading sequence, the configurator's pages and write
// chain, the sending of a loaded file, and idle. The values are the system's
// own numbers; the engine's named operations are the only way to change them.
enum class SequenceState : uint8_t {
  kStart = 0,  // a new device: the first tick starts the reading sequence
  // The reading sequence: each state awaits the reply to its request.
  kReadServiceMode = 1,
  kReadDeviceIden = 2,
  kReadFroskTecConfig = 3,
  kReadFroskTecMonitor = 4,
  kReadNoMemModuleIden = 5,
  kReadNoMemDefault = 6,
  kReadNoMemUserSet = 7,
  kReadNoMemUserMin = 8,
  kReadNoMemUserMax = 9,
  kReadModuleIden = 10,
  kReadModuleDefault = 11,
  kReadModuleUserSet = 12,
  kReadModuleUserMin = 13,
  kReadModuleUserMax = 14,
  kReadVeltraMonitor = 15,
  kReadVeltraDefault = 16,
  kReadVeltraUserSet = 17,
  kReadVeltraUserMin = 18,
  kReadVeltraUserMax = 19,
  // The configurator: its pages, and the write chain's waits between them.
  kConfiguratorServiceMode = 20,
  kConfiguratorStart = 21,
  kConfiguratorDeviceIden = 22,
  kWriteDeviceIden = 23,
  kWriteFroskTecConfig = 24,
  kConfiguratorNoMemModuleIden = 25,
  kWriteNoMemModuleIden = 26,
  kConfiguratorNoMemParams = 27,
  kWriteNoMemDefault = 28,
  kWriteNoMemUserSet = 29,
  kWriteNoMemUserMin = 30,
  kWriteNoMemUserMax = 31,
  kConfiguratorModuleIden = 32,
  kWriteModuleIden = 33,
  kConfiguratorModuleParams = 34,
  kWriteModuleDefault = 35,
  kWriteModuleUserSet = 36,
  kWriteModuleUserMin = 37,
  kWriteModuleUserMax = 38,
  kConfiguratorVeltraParams = 39,
  kWriteVeltraDefault = 40,
  kWriteVeltraUserSet = 41,
  kWriteVeltraUserMin = 42,
  kWriteVeltraUserMax = 43,
  kLeaveServiceMode = 44,
  kConfiguratorMakeFile = 45,
  kConfiguratorReadFile = 46,
  // A chain stopped on a time-out: switching service mode off, and saying
  // whether the device answered.
  kLeaveServiceModeAfterTimeout = 47,
  kSendingConfiguration = 48,  // a loaded file's records go out one by one
  kIdle = 50,
  kCheckDeclined = 51,  // the module firmware check was declined
};
// True for the states that show a page of the configurator.
bool IsConfiguratorPage(SequenceState state);

// True when each of the three raw values lies within its own holder's limits
// and min <= value <= max.
bool UserSetIsValid(const VFroskClass& value, const VFroskClass& min, const VFroskClass& max);

// How a request ended: every write, and every request that got no reply.
struct RequestOutcome {
  Key command = 0;        // GET_..., SET_..., LOAD_..., STORE_...
  bool write = false;     // it carried a record, to change what the device holds
  bool answered = false;  // its reply came; for a write, the write was applied
  bool operator==(const RequestOutcome&) const = default;
};

// What an engine takes from its surroundings besides its host.
struct DeviceSeams {
  const TickClock& clock;
  Prompter& prompter;
  Beeper& beeper;
  const Folders& folders;
};

// The engine of one device window (TFroskTecViewForm): the value holders, the
// request engine with one request in flight and the others queued in order,
// the receive dispatch with the reading sequence and the configurator's write
// chain, the periodic tick with its time-out and automatic monitoring, and the
// module firmware check. Headless: the device window and froskctl are its
// faces. Everything runs on one thread; the host delivers replies and ticks.
//
// What the faces observe besides the holders:
// - Unread groups. A group is read once a reply carrying every field of its
//   record filled it. A group never read (a reading sequence that stopped
//   early, a partial reply, a write whose outcome is unknown) is unread:
//   no operation sends it, the Ready flags keep its controls disabled, until a
//   reply fills it; ReadAgain reruns the reading sequence.
// - Request outcomes (SetRequestListener): each write applied or not
//   applied, and each request that got no reply.
// - A question the tick raised (QuestionHeld), which the host asks after the
//   tick has returned.
class DeviceEngine : public HolderSet {
 public:
  static constexpr uint8_t kConfiguratorPage = 2;  // ViewPage
  static constexpr uint32_t kReplyTimeoutMs = 5000;
  // Requests waiting behind the one in flight. A newer SET replaces a queued
  // one of its key, so a row of clicks on one setting takes one place; the
  // room is for distinct requests made at once (both Write buttons, a bank, the
  // service view's buttons), and a request beyond it is refused with a beep
  // rather than sent many seconds late to a device that has stopped answering.
  static constexpr size_t kQueueDepth = 8;

  DeviceEngine(DeviceHost& host, const DeviceSeams& seams);
  DeviceEngine(const DeviceEngine&) = delete;
  DeviceEngine& operator=(const DeviceEngine&) = delete;

  // --- Request engine -------------------------------------------------------
  // Hands a valid encoded item to the link when nothing is in flight or
  // queued, else queues it behind the others: requests go out in the order
  // they were made. A SET replaces a queued SET of the same key, which goes
  // out no more (its outcome is the newer one's). True when the link took it
  // or it was queued; false, with a beep, when the queue is full.
  bool SendItem(const uint8_t* item);
  // A bare GET (or any record-less) request.
  bool SendRequest(Key command);
  // A slot's GET, or its holders inside its SET: the service view's buttons.
  // False, sending nothing, for a slot without one.
  bool ReadGroup(Group group);
  bool WriteGroup(Group group);
  // The record senders: the group's record inside a command container. Key 0
  // takes the default SET key; a null group sends nothing and gives false, and
  // so does an unread group, with a line in the host's log (MaySend).
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
  // Every 100 ms. It never asks a question itself: a box's event loop would
  // run inside the program's one clock, which then stops for every device.
  void Tick();
  // A question the tick raised ("Communication timeout !") waits here until
  // the host calls AskHeldQuestion once the tick has returned. From the
  // moment it is raised until the box is closed, the tick holds this
  // device's line (nothing sent, no time-out), as the stopped clock did.
  bool QuestionHeld() const { return heldQuestion_.has_value(); }
  void AskHeldQuestion();

  // Told how every write ended and of every request that got no reply: its
  // time-out, Break, a full queue, an unread group. A write whose reply did
  // not come leaves its group unread, and after a time-out the engine reads
  // that group again. One listener; none to stop.
  void SetRequestListener(std::function<void(const RequestOutcome&)> listener) {
    requestListener_ = std::move(listener);
  }

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
  // The clock the engine's time-outs run on, for faces that time what it receives.
  const TickClock& Clock() const { return seams_.clock; }
  // A line in the host's log.
  void WriteLog(const std::string& line) { host_.WriteLog(line); }

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
  frosk::SequenceState SequenceState() const { return sequenceState_; }
  uint8_t ViewPage() const { return viewPage_; }
  int8_t ModuleTypeSnapshot() const { return moduleTypeSnapshot_; }
  Key PendingKey() const { return pendingKey_; }
  bool Waiting() const { return waiting_; }
  uint32_t SentTick() const { return sentTick_; }
  bool HasQueuedItem() const { return !queue_.empty(); }
  size_t QueuedItems() const { return queue_.size(); }
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

  // Groups a reply filled whole (see the class comment), and those of the
  // groups that a request can read which are not.
  GroupMask ReadGroups() const { return readGroups_; }
  GroupMask UnreadGroups() const;
  // True when the group may be sent: it was read, or nothing can read it and
  // its operation sets it whole (the service and transparent mode switches).
  bool MaySend(Group group) const;

  // Derived flags of the views: the user view is live in the idle state while
  // nothing but a monitor poll is awaited; the controller's settings and the
  // VELTRA module's are ready only once their groups are read.
  bool ViewReady() const;
  bool ControllerReady() const;
  bool VeltraReady() const;
  bool TecPresent() const;
  bool ThermistorPresent() const;
  // The service view's idle: state 50, nothing in flight and no question of
  // the tick waiting to be asked.
  bool Idle() const { return sequenceState_ == SequenceState::kIdle && !waiting_ && !heldQuestion_; }

  // --- Operations of the window's buttons -----------------------------------
  // GetConfigurationButtonClick, ConfigDeviceLoadButtonClick: the reading
  // sequence again from its second step.
  void GetConfiguration();
  // "Read again": the reading sequence again from its first step, as after a
  // load. The groups it fills become read.
  void ReadAgain();
  // BreakButtonClick: the request in flight is no longer awaited.
  void Break();
  // UserViewBitBtnClick, ServiceViewBitBtnClick. Back from the configurator
  // the user view waits for the device to be read again.
  void ShowUserView();
  void ShowServiceView();
  // ConfiguratorBitBtnClick: puts the controller into service mode when linked.
  void StartConfigurator();
  bool IsDeviceLinked() const { return host_.IsDeviceLinked(*this); }

  // --- The configurator and configuration files ------------------------------
  // Shows a page of the configurator (IsConfiguratorPage); false, changing
  // nothing, for any other state.
  bool ShowConfiguratorPage(frosk::SequenceState page);
  // Leaves a page by sending what it edits: linked, `send` goes out and the
  // chain waits in `waiting` for its reply; unlinked, nothing is sent and
  // `next` shows at once.
  void LeaveConfiguratorPage(frosk::SequenceState waiting, frosk::SequenceState next,
                             const std::function<void()>& send);
  // A loaded file's first record has gone out: the config sender sends the
  // rest, one per reply.
  void StartSendingConfiguration();
  // The records the connected devices hold, as last read, with the signatures
  // that guard them: the controller's always, the NOMEM records for a
  // NOMEM-compatible controller, the module's and its signature for a module
  // with memory, the VELTRA records for a VELTRA module; while linked, none
  // of an unread group.
  ContentMask SupportedContent() const;

  // --- Settings of the user view (and froskctl set) ---------------------------
  // The setting a control shows: a field of the controller's user set
  // (MODULE_BASIC_PARAMS_..., in the groups the module type chooses) or of the
  // VELTRA module's (MODULE_VELTRA_PARAMS_...), with the default, the user
  // minimum and the user maximum that go with it. None for any other field.
  struct Setting {
    VFroskClass& value;
    VFroskClass& defaults;
    VFroskClass& userMin;
    VFroskClass& userMax;
  };
  std::optional<Setting> UserSetting(Key field);
  // Stores a new raw value, clamped to the field's own limits while the
  // controller is in service mode, else to the user band. Nothing is sent,
  // and nothing changes while the setting's groups are unread.
  struct SettingChange {
    bool changed = false;  // the stored value is another now
    bool clamped = false;  // the value stored is not the one asked for
  };
  SettingChange SetSetting(Key field, int32_t raw);
  // Sends the whole record the field belongs to, as its area's Write does.
  bool WriteSetting(Key field);
  // One unit up (+1) or down (-1), clamped, and sent when it changed.
  bool StepSetting(Key field, int step);
  // A choice of a field with choices, clamped, and sent when it changed.
  bool ChooseSetting(Key field, int32_t choice);
  // An entry of kGainCodes as the VELTRA module's gain, as ChooseSetting.
  bool ChooseGain(int index);
  // Clamps as SetSetting does, for any field and band; true when the stored value changed.
  bool ClampAndSet(VFroskClass& field, int32_t value, const VFroskClass& userMin, const VFroskClass& userMax);
  // The controller's service and transparent modes: the holder takes the
  // value and goes to the controller, whose reply then stands.
  bool SwitchServiceMode(bool on);
  bool SwitchTransparentMode(bool on);
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
  // The configurator's wizard, asked where it stands when it stops on a time-out.
  void SetWizardChain(const WriteChain* chain) { wizardChain_ = chain; }

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
  std::span<VFroskClass> Holders(Group group) override;

 private:
  struct TickQuestion {
    std::string text;
    unsigned flags;
  };

  template <class Record>
  bool SendRecord(const HolderGroup<Record>* group, Key command);
  // Hands an item to the host as the one in flight.
  bool Transmit(const uint8_t* item);
  void Report(Key command, bool write, bool answered);
  // The request in flight ended without its reply.
  void EndUnanswered();
  // Refuses a record of an unread group; false when it may go.
  bool RefuseUnread(const VFroskClass* firstHolder, Key command);
  bool WriteQueued(Group group) const;
  bool SettingsRead(Key container) const;
  void SendAndAwait(Key request, frosk::SequenceState state);
  std::optional<Group> ReplyGroup(Key container) const;
  // Stores a reply in the group the table gives for its key (and PendingKey).
  std::optional<Group> StoreReply(const uint8_t* item);
  // Calls `visit` with the typed holders of a group.
  template <class Visitor>
  decltype(auto) Visit(Group group, Visitor&& visit);
  // One row of the transition table; true when the row already refreshed.
  bool Advance(Key reply);
  void LeaveServiceMode();
  // The chain of records that was running, if any, as its time-out stopped it.
  std::optional<ChainRecords> StoppedChain() const;
  // After a time-out: a chain's records, then service mode off first of what waits.
  void StopChainOnTimeout(const ChainRecords& chain);
  void PollMonitors();
  // Runs one question through the prompter; automatic polls wait meanwhile.
  template <class Question>
  int Asking(Question ask);
  int ModuleFirmwareFileVersion(int moduleType);

  DeviceHost& host_;
  DeviceSeams seams_;
  TrafficObserver* trafficObserver_ = nullptr;
  ConfigSender* configSender_ = nullptr;
  const WriteChain* wizardChain_ = nullptr;

  frosk::SequenceState sequenceState_ = frosk::SequenceState::kStart;
  uint8_t viewPage_ = 0;
  int8_t moduleTypeSnapshot_ = 0;
  Key pendingKey_ = 0;
  bool pendingWrite_ = false;
  bool waiting_ = false;
  uint32_t sentTick_ = 0;
  std::deque<std::vector<uint8_t>> queue_;
  GroupMask readGroups_ = 0;
  uint32_t refusals_ = 0;
  std::optional<TickQuestion> heldQuestion_;
  bool askingHeld_ = false;
  std::function<void(const RequestOutcome&)> requestListener_;
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
