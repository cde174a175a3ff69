#pragma once

#include <QApplication>
#include <QTimer>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"

namespace frosk::bench {

// What the benchmarks of device windows share: an offscreen program whose
// every question is answered No, a connection per simulated controller,
// all ticked at the program's 100 ms, and device windows over them.
class DeviceWindows : private Prompter, private Beeper, private ConnectionOwner {
 public:
  DeviceWindows(int& argc, char** argv);
  ~DeviceWindows() override;

  // Opens a connection to each port and starts the tick; false when one
  // does not open.
  bool Connect(const std::vector<std::string>& ports);
  const std::vector<std::unique_ptr<DeviceConnection>>& Connections() const { return connections_; }
  // A window over the connection, not yet shown; the caller lets it go
  // before this object.
  std::unique_ptr<TFroskTecViewForm> NewWindow(DeviceConnection& connection);

 private:
  int ShowMessageBox(const std::string&, unsigned) override { return kIdNo; }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
  void Beep() override {}
  bool ServiceModeSetting() const override { return false; }
  bool DevicesReachable() const override { return true; }
  void CloseRequested(DeviceConnection&, CloseAction) override {}
  void WriteLog(DeviceConnection&, const std::string&) override {}

  QApplication app_;
  SteadyTickClock clock_;
  SystemWallClock wall_;
  Settings settings_;
  LinkLayer links_;
  const Folders folders_;
  TEnterValueForm valueDialog_;
  TEnterSerialForm serialDialog_;
  std::vector<std::unique_ptr<DeviceConnection>> connections_;
  QTimer tick_;
};

// The share of one core the program used while its event loop ran for `ms`.
double CoreShare(int ms);
// Bytes the program's allocations hold, the large blocks malloc maps on
// their own (a window's backing store) included.
size_t HeapInUse();

}  // namespace frosk::bench
