#include "app/discovery_engine.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <utility>

#include "common/frame_event.h"
#include "protocol/frame.h"
#include "protocol/keys.h"
#include "protocol/port_explanation.h"

namespace frosk {

namespace {

constexpr int kTickMs = 100;

}  // namespace

DeviceCommands CommandsFor(const DeviceEntry* selected) {
  DeviceCommands commands;
  if (selected == nullptr) return commands;
  const bool linked = selected->Linked();
  const bool shown = linked && selected->Window != nullptr && selected->Window->IsVisible();
  commands.connect = !linked;
  commands.disconnect = linked;
  commands.show = linked && !shown;
  commands.hide = shown;
  commands.trends = linked && selected->Window != nullptr;
  return commands;
}

int IconFor(uint16_t type, bool linked) {
  if (IsController(type)) return linked ? 3 : 2;
  return 0;
}

DiscoveryEngine::DiscoveryEngine(Surroundings surroundings, Options options, QObject* parent)
    : QObject(parent),
      surroundings_(surroundings),
      options_(std::move(options)),
      updateCheck_(surroundings.tickClock, options_.updateServer),
      log_(surroundings.wallClock),
      stateTick_(surroundings.tickClock.Now()) {
  connect(&updateCheck_, &UpdateCheck::Finished, this, &DiscoveryEngine::HoldUpdateResult);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &DiscoveryEngine::Timer1Timer);
}

DiscoveryEngine::~DiscoveryEngine() {
  CloseEntry(&probeEntry_);
  for (auto& entry : devices_) CloseEntry(entry.get());
}

void DiscoveryEngine::StartTimer() { timer_.start(); }

void DiscoveryEngine::Timer1Timer() {
  // The check measures its pauses and gives up on this clock; a result it
  // reaches is shown once this tick has returned.
  updateCheck_.Poll();

  const size_t rowCount = devices_.size();
  const uint32_t age = surroundings_.tickClock.Now() - stateTick_;
  ScanState next = scanState_;
  std::string lineText;
  std::string appendText;

  switch (scanState_) {
    case ScanState::StartUp:
      next = ScanState::UpdateCheckDelay;
      lineText = "Initialization ... ";
      break;
    case ScanState::UpdateCheckDelay:
      if (!surroundings_.settings.UpdatesAutoCheck) {
        // Nothing to wait for: the start goes straight on to the scan.
        next = ScanState::ListPorts;
        appendText = "finished.";
        lineText = "Searching for devices ... ";
        break;
      }
      if (age > kUpdateCheckDelayMs) {
        StartUpdateCheck();
        next = ScanState::UpdateCheckWait;
        appendText = "finished.";
        lineText = "Checking for updates ... ";
      }
      break;
    case ScanState::UpdateCheckWait: break;
    case ScanState::ListPorts:
      CloseEntry(&probeEntry_);  // a probe left open by an interrupted scan
      FillPortQueue();
      next = ScanState::NextPort;
      break;
    case ScanState::NextPort:
      if (portQueue_.empty()) {
        appendText = rowCount == 0 ? "NOT FOUND !" : std::to_string(rowCount) + " device(s) found.";
        // A check asked for during the scan has waited for its end; its result follows now.
        const bool checkWaits = UpdateCheckOutstanding();
        next = checkWaits ? ScanState::UpdateCheckWait : ScanState::Ready;
        lineText = checkWaits ? "Checking for updates ... " : "READY";
        break;
      }
      probeEntry_.Port.portName = portQueue_.front();
      if (OpenEntryLink(&probeEntry_)) {
        next = ScanState::SendProbe;
      } else {
        portQueue_.pop_front();
      }
      break;
    case ScanState::SendProbe:
      SendEntryRequest(&probeEntry_, key::GET_DEVICE_IDEN);
      next = ScanState::AwaitProbeReply;
      break;
    case ScanState::AwaitProbeReply:
      if (age > kProbeReplyMs) {
        CloseEntry(&probeEntry_);
        if (!portQueue_.empty()) portQueue_.pop_front();
        next = ScanState::NextPort;
      }
      break;
    case ScanState::Ready: break;
    case ScanState::Exiting:
      HaltScan();
      CloseAllDevices();
      if (mainWindowShown_) {
        mainWindowShown_ = false;
        emit MainWindowShownChanged(false);
      }
      next = ScanState::ExitDelay;
      break;
    case ScanState::ExitDelay:
      if (age <= kExitDelayMs || exitFinished_) break;
      exitFinished_ = true;
      timer_.stop();
      if (downloadRequested_ && IsWebAddress(updateCheck_.Info().infoPage))
        surroundings_.urlOpener.Open(updateCheck_.Info().infoPage);
      emit ExitFinished();
      return;
  }

  // A device's tick may run a nested loop in which rows are closed or cleared:
  // each row is looked up afresh.
  for (size_t i = 0; i < rowCount && i < devices_.size(); ++i)
    if (devices_[i]->Window != nullptr && devices_[i]->Connection != nullptr) devices_[i]->Connection->Tick();

  if (next != scanState_) ChangeState(next, lineText, appendText);
}

// --ports stands for the stored port list too: a run on given ports probes exactly those.
void DiscoveryEngine::FillPortQueue() {
  std::vector<std::string> names;
  if (!options_.ports && surroundings_.settings.UseSpecificPorts) {
    names = PortsListToStrings(surroundings_.settings);
  } else {
    ListSystemPorts(&names);
  }
  portQueue_.assign(names.begin(), names.end());
}

int DiscoveryEngine::ListSystemPorts(std::vector<std::string>* list) {
  if (!options_.ports) return surroundings_.links.EnumeratePorts(list);
  list->insert(list->end(), options_.ports->begin(), options_.ports->end());
  return 0;
}

void DiscoveryEngine::ChangeState(ScanState state, const std::string& lineText, const std::string& appendText) {
  ++stateChanges_;
  scanState_ = state;
  stateTick_ = surroundings_.tickClock.Now();
  if (log_.Write(lineText, appendText)) emit LogChanged();
  if (!lineText.empty()) emit StatusTextChanged(QString::fromStdString(lineText));
  emit StateChanged(state);
  if (state == ScanState::Ready && !mainWindowShown_) {
    mainWindowShown_ = true;
    emit MainWindowShownChanged(true);
  }
  RefreshCommands();
  if (heldResult_ != kUpdateNone && !ScanRunning()) PostUpdateResult();
}

void DiscoveryEngine::RefreshCommands() { emit CommandsRefreshed(); }

void DiscoveryEngine::ReloadDevices() {
  CloseAllDevices();
  ChangeState(ScanState::ListPorts, "Searching for devices ... ", "");
}

void DiscoveryEngine::CheckForUpdates() {
  // A confirmed exit stands: a device window's last request may still arrive.
  if (scanState_ >= ScanState::Exiting) return;
  StartUpdateCheck();
  updateResult_ = kUpdateNone;
  if (ScanRunning()) return;
  ChangeState(ScanState::UpdateCheckWait, "Checking for updates ... ", "");
}

bool DiscoveryEngine::CloseQuery() {
  if (scanState_ == ScanState::ExitDelay) return true;
  if (!downloadRequested_ &&
      surroundings_.prompter.ShowMessageBox("Are you sure ?", mb::kYesNo | mb::kIconQuestion) != kIdYes)
    return false;
  ChangeState(ScanState::Exiting, "Exiting ... ", "");
  return false;
}

void DiscoveryEngine::Connect(DeviceEntry* entry) {
  if (entry == nullptr || entry->Linked()) return;
  if (checkDeviceFirmware_ && !checkDeviceFirmware_(*entry)) return;
  if (OpenEntryLink(entry)) {
    ShowDeviceWindow(entry);
  } else {
    std::string text = "Error opening device !\n" + ExplainPortFailure(surroundings_.links.LastOpenError());
    std::replace(text.begin(), text.end(), '\n', '\r');
    surroundings_.prompter.ShowMessageBox(text, mb::kIconStop);
  }
  RefreshCommands();
}

void DiscoveryEngine::Disconnect(DeviceEntry* entry) {
  if (entry == nullptr || !entry->Linked()) return;
  HideDeviceWindow(entry);
  CloseEntry(entry);
  RefreshCommands();
}

bool DiscoveryEngine::ShowDeviceWindow(DeviceEntry* entry) {
  if (entry == nullptr) return false;
  if (entry->Window != nullptr) {
    entry->Window->Show();
    return true;
  }
  if (!windowFactory_) return false;
  // A window shown for no listed device works offline, on a connection never opened.
  if (entry->Connection == nullptr) entry->Connection = MakeConnection(entry->Port.portName);
  // A window that fails to come up leaves the device linked; "Show" may try again.
  try {
    entry->Window = windowFactory_(*entry->Connection);
  } catch (...) {
    entry->Window = nullptr;
  }
  return entry->Window != nullptr;
}

void DiscoveryEngine::HideDeviceWindow(DeviceEntry* entry) {
  if (entry != nullptr && entry->Window != nullptr) entry->Window->Hide();
}

bool DiscoveryEngine::ShowTrendsWindow(DeviceEntry* entry) {
  if (entry == nullptr || !entry->Linked() || entry->Window == nullptr) return false;
  entry->Window->ShowTrends();
  return true;
}

void DiscoveryEngine::CloseAllDevices() {
  // Unlinked rows may hold a window too ("Show" on a stale menu); it goes the same way.
  for (auto& entry : devices_) CloseEntry(entry.get());
  if (devices_.empty()) return;
  devices_.clear();
  emit DevicesChanged();
}

void DiscoveryEngine::HaltScan() {
  CloseEntry(&probeEntry_);
  portQueue_.clear();
  if (!ScanRunning()) return;
  // Quietly: no "READY" line for a scan that found only part of the list.
  ++stateChanges_;
  scanState_ = ScanState::Ready;
  stateTick_ = surroundings_.tickClock.Now();
}

std::unique_ptr<DeviceConnection> DiscoveryEngine::MakeConnection(const std::string& portName) {
  const Surroundings& s = surroundings_;
  auto connection = std::make_unique<DeviceConnection>(
      portName, s.links, DeviceSeams{s.tickClock, s.prompter, s.beeper, s.folders}, *this);
  DeviceConnection* made = connection.get();
  connect(made, &DeviceConnection::HealthChanged, this,
          [this, made](const LinkHealth& health) { LinkHealthChanged(*made, health); });
  return connection;
}

// The probe's frames come to this engine; a connected device's to its connection.
bool DiscoveryEngine::OpenEntryLink(DeviceEntry* entry) {
  if (entry == nullptr) return false;
  entry->Port.baudRate = kDeviceBaudRate;
  if (entry == &probeEntry_) {
    if (entry->Port.link != nullptr) surroundings_.links.Close(&entry->Port.link);
    return surroundings_.links.Open(&entry->Port.link, entry->Port, PostFrameEvents(this, kMainWindowFrameEvent)) == 0;
  }
  if (entry->Connection == nullptr) entry->Connection = MakeConnection(entry->Port.portName);
  return entry->Connection->Open();
}

void DiscoveryEngine::CloseEntry(DeviceEntry* entry) {
  if (entry == nullptr) return;
  if (entry->Port.link != nullptr) surroundings_.links.Close(&entry->Port.link);
  DeviceConnection::Dispose(std::move(entry->Connection), std::move(entry->Window));
}

bool DiscoveryEngine::SendEntryRequest(DeviceEntry* entry, Key key) {
  const std::vector<uint8_t> request = BareRequest(key);
  return SendItemOnEntry(entry, request.data());
}

bool DiscoveryEngine::SendItemOnEntry(DeviceEntry* entry, const uint8_t* item) {
  if (entry == nullptr || entry->Port.link == nullptr) return false;
  return surroundings_.links.SendItem(entry->Port.link, item) == 0;
}

bool DiscoveryEngine::AddFoundDevice(const DeviceEntry& probe) {
  auto entry = std::make_unique<DeviceEntry>();
  entry->Port.portName = probe.Port.portName;
  entry->Port.baudRate = probe.Port.baudRate;
  entry->Iden = probe.Iden;
  devices_.push_back(std::move(entry));
  emit DevicesChanged();
  return true;
}

bool DiscoveryEngine::ScanRunning() const {
  return scanState_ >= ScanState::ListPorts && scanState_ <= ScanState::AwaitProbeReply;
}

bool DiscoveryEngine::UpdateCheckOutstanding() const { return updateCheck_.Running() || heldResult_ != kUpdateNone; }

// A newer check makes the result of an older one that is still held moot.
bool DiscoveryEngine::StartUpdateCheck() {
  heldResult_ = kUpdateNone;
  return updateCheck_.StartUpdateCheck();
}

// The check finishes inside a tick or a socket's handler. Its box must not
// open there: a box's own event loop never runs the handler it was opened
// from again, so the 100 ms clock would stop for as long as the box stays up.
void DiscoveryEngine::HoldUpdateResult(int code) {
  heldResult_ = code;
  PostUpdateResult();
}

void DiscoveryEngine::PostUpdateResult() {
  QMetaObject::invokeMethod(this, &DiscoveryEngine::DeliverUpdateResult, Qt::QueuedConnection);
}

void DiscoveryEngine::DeliverUpdateResult() {
  // Only one result box at a time, and none while a scan runs: the scan's end delivers it.
  if (heldResult_ == kUpdateNone || reportingResult_ || ScanRunning()) return;
  const int code = std::exchange(heldResult_, kUpdateNone);
  reportingResult_ = true;
  ReportUpdateResult(code);
  reportingResult_ = false;
  // A newer check may have finished while the box was open.
  if (heldResult_ != kUpdateNone) PostUpdateResult();
}

void DiscoveryEngine::ReportUpdateResult(int code) {
  const bool visible = mainWindowShown_;
  updateResult_ = code;
  // A confirmed exit stands: a late answer must neither ask nor start a scan.
  if (scanState_ >= ScanState::Exiting) return;
  const unsigned changesBefore = stateChanges_;
  std::string appendText;
  switch (code) {
    case kUpdateFailed:
      if (visible) surroundings_.prompter.ShowMessageBox("Checking for updates failed !", mb::kIconStop);
      appendText = "CONNECTION FAILED !";
      break;
    case kUpdateAvailable:
      if (surroundings_.prompter.ShowMessageBox("Software update is available.\rDo you want to download it now?",
                                                mb::kYesNo | mb::kIconQuestion) == kIdYes) {
        downloadRequested_ = true;
        CloseQuery();
        return;
      }
      appendText = "update found, ignored.";
      break;
    case kUpToDate:
      if (visible) surroundings_.prompter.ShowMessageBox("Your software is up to date !", mb::kIconInformation);
      appendText = "your software is up to date.";
      break;
    default: break;
  }
  // While the box was open the program moved on (a newer check, a scan, the
  // exit): this result no longer owns the state or the log line.
  if (stateChanges_ != changesBefore) return;
  const ScanState next = visible ? ScanState::Ready : ScanState::ListPorts;
  if (next != scanState_) ChangeState(next, visible ? "READY" : "Searching for devices ... ", appendText);
}

void DiscoveryEngine::CloseRequested(DeviceConnection& connection, CloseAction action) {
  closeRequests_.push_back({&connection, action});
  QCoreApplication::postEvent(this, new QEvent(kDeviceWindowRequestEvent));
}

void DiscoveryEngine::WriteLog(const std::string& line) {
  if (log_.Note(line)) emit LogChanged();
}

bool DiscoveryEngine::event(QEvent* event) {
  if (event->type() == kMainWindowFrameEvent) {
    FrameMessage(static_cast<const FrameEvent*>(event)->Block());
    return true;
  }
  if (event->type() == kDeviceWindowRequestEvent) {
    ProcessCloseRequests();
    return true;
  }
  return QObject::event(event);
}

// Only the probe's link posts here; a connected device's frames go to its connection.
void DiscoveryEngine::FrameMessage(const FrameBlock& block) {
  // Only the port being probed may answer the probe: a reply that a closed
  // probe link read just before it closed names another port.
  if (scanState_ != ScanState::AwaitProbeReply || block.owner != probeEntry_.Port.link) return;
  uint8_t item[FrameCutter::kCapacity];
  if (!DecodeItem(item, sizeof item, block.Frame()).ok() || ItemKey(item) != key::DEVICE_IDEN) return;
  Clear(probeEntry_.Iden);
  if (!ParseFrom(probeEntry_.Iden, item)) return;
  CloseEntry(&probeEntry_);
  AddFoundDevice(probeEntry_);
  if (!portQueue_.empty()) portQueue_.pop_front();
  ChangeState(ScanState::NextPort, "", "");
}

void DiscoveryEngine::WriteLog(DeviceConnection& connection, const std::string& line) {
  WriteLog(DeviceLabel(connection).value_or("") + line);
}

// "NAME (SERIAL) on PORT: ", which every line about a connected device begins with.
std::optional<std::string> DiscoveryEngine::DeviceLabel(const DeviceConnection& connection) const {
  const auto entry = std::find_if(devices_.begin(), devices_.end(),
                                  [&](const auto& candidate) { return candidate->Connection.get() == &connection; });
  if (entry == devices_.end()) return std::nullopt;
  const DeviceIdenRecord& iden = (*entry)->Iden;
  return std::string(iden.name, strnlen(iden.name, sizeof iden.name)) + " (" + SerialToText(iden.serial) + ") on " +
         (*entry)->Port.portName + ": ";
}

void DiscoveryEngine::LinkHealthChanged(DeviceConnection& connection, const LinkHealth& health) {
  const std::optional<std::string> label = DeviceLabel(connection);
  if (!label) return;
  const std::string& device = *label;
  switch (health.state) {
    case LinkState::kNotAnswering:
      WriteLog(device + "not answering since " + FormatTime(health.lastReply));
      emit DevicesChanged();
      break;
    case LinkState::kLive:
      WriteLog(device + "answering again");
      emit DevicesChanged();
      break;
    case LinkState::kLost:
      WriteLog(device + "connection lost");
      // The connection closed its port; the entry goes unlinked as after a
      // device window's close request, once the call that saw the end returns.
      CloseRequested(connection, CloseAction::kClose);
      break;
  }
}

void DiscoveryEngine::ProcessCloseRequests() {
  while (!closeRequests_.empty()) {
    const CloseRequest request = closeRequests_.front();
    closeRequests_.pop_front();
    DeviceWindowRequest(request);
  }
}

void DiscoveryEngine::DeviceWindowRequest(const CloseRequest& request) {
  bool closed = false;
  std::string portName;
  for (auto& entry : devices_) {
    if (request.connection.isNull() || entry->Connection.get() != request.connection) continue;
    portName = entry->Port.portName;
    HideDeviceWindow(entry.get());
    CloseEntry(entry.get());
    RefreshCommands();
    closed = true;
  }
  // A device that was closed meanwhile (a reload, the exit) asks for nothing more.
  if (!closed) return;
  if (request.action == CloseAction::kCloseAndCheckForUpdates) CheckForUpdates();
  if (request.action == CloseAction::kCloseAndProgramModule && programModule_) programModule_(portName);
}

}  // namespace frosk
