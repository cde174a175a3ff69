#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/status_log.h"
#include "common/link_layer.h"
#include "common/prompter.h"
#include "common/tick_clock.h"
#include "common/wall_clock.h"
#include "device/device_connection.h"
#include "protocol/records.h"
#include "settings/settings_store.h"
#include "updates/update_check.h"

namespace frosk {

// The states of the scan that the 100 ms tick advances, in their stored values.
enum class ScanState : uint8_t {
  StartUp = 0,
  UpdateCheckDelay = 1,
  UpdateCheckWait = 2,
  ListPorts = 3,
  NextPort = 4,
  SendProbe = 5,
  AwaitProbeReply = 6,
  Ready = 7,
  Exiting = 8,
  ExitDelay = 9,
};

// One device found on a port. A connected device's link is its
// connection's, open exactly while the device is connected; the probe entry
// keeps the link of the port being probed in its port settings.
struct DeviceEntry {
  PortSettings Port;
  DeviceIdenRecord Iden{};
  // Declared before the window, which shows it and so must go first.
  std::unique_ptr<DeviceConnection> Connection;
  std::unique_ptr<DeviceWindow> Window;

  bool Linked() const { return Port.link != nullptr || (Connection != nullptr && Connection->IsOpen()); }
};

// Which device commands the main window offers for the selected entry (none
// when no row is selected).
struct DeviceCommands {
  bool connect = false;
  bool disconnect = false;
  bool show = false;
  bool hide = false;
  bool reload = true;
  bool trends = false;  // a connected device with its window
};
DeviceCommands CommandsFor(const DeviceEntry* selected);
// The device list's image index for a device type.
int IconFor(uint16_t type, bool linked);

// The device window request event, posted to the engine by CloseRequested.
inline constexpr QEvent::Type kDeviceWindowRequestEvent = static_cast<QEvent::Type>(1026);

// The main window's engine: start-up, the update check, the port scan, the
// list of devices found, connecting and disconnecting them (one
// DeviceConnection each, with its window), ticking them, and the deferred
// exit. The desktop program and froskctl share it; neither the engine nor its
// tests wait on real time.
class DiscoveryEngine : public QObject, public ConnectionOwner {
  Q_OBJECT

 public:
  struct Surroundings {
    const TickClock& tickClock;
    const WallClock& wallClock;
    Prompter& prompter;
    UrlOpener& urlOpener;
    const Settings& settings;  // the program's record, read at every scan
    LinkLayer& links;
    // What the connected devices' engines take besides the clock and the prompter.
    Beeper& beeper;
    const Folders& folders;
  };
  struct Options {
    // --ports: replaces the system's list and the stored port list for this run.
    std::optional<std::vector<std::string>> ports;
    UpdateServer updateServer;
  };

  static constexpr uint32_t kProbeReplyMs = 500;
  static constexpr uint32_t kUpdateCheckDelayMs = 500;
  static constexpr uint32_t kExitDelayMs = 1000;

  DiscoveryEngine(Surroundings surroundings, Options options, QObject* parent = nullptr);
  ~DiscoveryEngine() override;

  // Starts the 100 ms timer that calls Timer1Timer.
  void StartTimer();
  void Timer1Timer();

  // The one way to change the state: also writes the log and refreshes the commands.
  void ChangeState(ScanState state, const std::string& lineText, const std::string& appendText);

  // The main window's commands.
  void ReloadDevices();
  // A check asked for during a scan runs under it; its result waits for the
  // scan's end, so it can neither cut the scan short nor change what it found.
  void CheckForUpdates();
  // Asked on every attempt to close the main window: true when it may close
  // now; otherwise the exit sequence may have started.
  bool CloseQuery();
  void Connect(DeviceEntry* entry);
  void Disconnect(DeviceEntry* entry);
  bool ShowDeviceWindow(DeviceEntry* entry);
  void HideDeviceWindow(DeviceEntry* entry);
  // The trends of a connected device; false, showing nothing, for any other entry.
  bool ShowTrendsWindow(DeviceEntry* entry);
  void CloseAllDevices();
  // Releases the port being probed and ends a scan without a result; the
  // caller starts the next one.
  void HaltScan();

  bool OpenEntryLink(DeviceEntry* entry);
  void CloseEntry(DeviceEntry* entry);
  bool SendEntryRequest(DeviceEntry* entry, Key key);
  bool SendItemOnEntry(DeviceEntry* entry, const uint8_t* item);
  bool AddFoundDevice(const DeviceEntry& probe);

  bool StartUpdateCheck();
  // Shows a result and moves on from the check. It may ask the user, so it
  // runs only from the event loop, never inside a tick: the clock goes on
  // under its box.
  void ReportUpdateResult(int code);

  // The system's list of serial ports, or the --ports list that replaces it
  // for this run. 0 when the list was read, 1 when it could not be.
  int ListSystemPorts(std::vector<std::string>* list);

  // ConnectionOwner. A device's close request unlinks it (and, for action 2,
  // programs its module) from an event of this engine. Each change of a
  // device's link health is a log line; a lost link unlinks the device.
  bool ServiceModeSetting() const override { return surroundings_.settings.ServiceMode; }
  bool DevicesReachable() const override { return scanState_ <= ScanState::Ready; }
  void CloseRequested(DeviceConnection& connection, CloseAction action) override;
  // Behind the name of the device it is about, as several may be connected.
  void WriteLog(DeviceConnection& connection, const std::string& line) override;
  void WriteLog(const std::string& line);

  void SetDeviceWindowFactory(DeviceWindowFactory factory) { windowFactory_ = std::move(factory); }
  // The firmware version check run before a device is connected; until one is
  // installed every device passes.
  void SetCheckDeviceFirmware(std::function<bool(DeviceEntry&)> check) { checkDeviceFirmware_ = std::move(check); }
  // Programs the module behind the controller on `portName`, as a device
  // window asks with action 2 once its device is closed; until one is
  // installed the request only closes the device.
  void SetProgramModule(std::function<void(const std::string& portName)> program) {
    programModule_ = std::move(program);
  }

  ScanState State() const { return scanState_; }
  // The devices found, in the order found: the rows of the device list.
  const std::vector<std::unique_ptr<DeviceEntry>>& Devices() const { return devices_; }
  const std::deque<std::string>& PortQueue() const { return portQueue_; }
  const DeviceEntry& ProbeEntry() const { return probeEntry_; }
  const StatusLog& Log() const { return log_; }
  int UpdateResult() const { return updateResult_; }
  const UpdateInfo& LastUpdateInfo() const { return updateCheck_.Info(); }
  bool DownloadRequested() const { return downloadRequested_; }
  bool MainWindowShown() const { return mainWindowShown_; }
  // The program's wall clock, for the windows that show today's date and the
  // times of link health.
  const WallClock& Calendar() const override { return surroundings_.wallClock; }

 signals:
  void StateChanged(frosk::ScanState state);
  void LogChanged();
  // The text of the newest log line, for the splash window.
  void StatusTextChanged(const QString& lineText);
  // A device was found, the list emptied, or a device stopped or began
  // answering again.
  void DevicesChanged();
  // The commands and the selected row's icon are to be brought in line.
  void CommandsRefreshed();
  // The first scan's end shows the main window (and hides the splash); the
  // exit hides it.
  void MainWindowShownChanged(bool shown);
  // The exit sequence is over: close the main window, ending the program.
  void ExitFinished();

 protected:
  bool event(QEvent* event) override;

 private:
  struct CloseRequest {
    QPointer<DeviceConnection> connection;
    CloseAction action;
  };

  void RefreshCommands();
  void FrameMessage(const FrameBlock& block);
  void DeviceWindowRequest(const CloseRequest& request);
  void ProcessCloseRequests();
  void LinkHealthChanged(DeviceConnection& connection, const LinkHealth& health);
  std::optional<std::string> DeviceLabel(const DeviceConnection& connection) const;
  std::unique_ptr<DeviceConnection> MakeConnection(const std::string& portName);
  void FillPortQueue();
  bool ScanRunning() const;
  bool UpdateCheckOutstanding() const;
  void HoldUpdateResult(int code);
  void PostUpdateResult();
  void DeliverUpdateResult();

  Surroundings surroundings_;
  const Options options_;
  UpdateCheck updateCheck_;
  StatusLog log_;
  QTimer timer_;

  ScanState scanState_ = ScanState::StartUp;
  uint32_t stateTick_;
  std::deque<std::string> portQueue_;
  DeviceEntry probeEntry_;
  std::vector<std::unique_ptr<DeviceEntry>> devices_;
  int updateResult_ = kUpdateNone;
  // A result not yet shown: it waits for the tick to return and for a scan to end.
  int heldResult_ = kUpdateNone;
  bool reportingResult_ = false;
  // Counts state changes, so that a result whose box was open meanwhile can
  // tell that the program has moved on without it.
  unsigned stateChanges_ = 0;
  bool downloadRequested_ = false;
  bool mainWindowShown_ = false;
  bool exitFinished_ = false;

  DeviceWindowFactory windowFactory_;
  std::function<bool(DeviceEntry&)> checkDeviceFirmware_;
  std::function<void(const std::string&)> programModule_;
  std::deque<CloseRequest> closeRequests_;
};

}  // namespace frosk
