#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace frosk {

struct DeviceEntry;

// What the discovery engine calls on the window of a connected device. The
// engine owns it through its DeviceEntry and destroys it when the device's
// link closes; destroying it closes it.
class DeviceWindow {
 public:
  virtual ~DeviceWindow() = default;
  // Every item received on the device's link, decoded and validated. The
  // item lives until the call returns.
  virtual void ReceiveItem(const uint8_t* item) = 0;
  // Every 100 ms.
  virtual void Tick() = 0;
  // A window shown on screen overrides these; a headless one needs none.
  virtual void Show() {}  // shows it if hidden and gives it the focus
  virtual void Hide() {}
  virtual bool IsVisible() const { return false; }
};

// What a device window asks of the engine that owns it, naming itself.
class DeviceWindowHost {
 public:
  // False once the program is exiting, and for a window of no linked device.
  virtual bool IsDeviceLinked(const DeviceWindow* window) const = 0;
  // Frames the item and writes it on the window's link; false as above or
  // when the write fails.
  virtual bool SendToDevice(const DeviceWindow* window, const uint8_t* item) = 0;
  // Closes the window and its link once the current dispatch (ReceiveItem or
  // Tick, nested event loops included) has returned, then acts on `action`:
  // 0 nothing more, 1 check for updates, 2 program the module through the
  // controller.
  virtual void RequestClose(const DeviceWindow* window, int action) = 0;
  // Adds a line of a window's own to the program's log.
  virtual void WriteLog(const std::string& line) = 0;

 protected:
  ~DeviceWindowHost() = default;
};

// Creates the window of a device being connected or shown. It may return
// none or throw; the device then stays linked without a window.
using DeviceWindowFactory =
    std::function<std::unique_ptr<DeviceWindow>(DeviceWindowHost& host, const DeviceEntry& entry)>;

}  // namespace frosk
