#include "device/device_engine_window.h"

namespace frosk {

EngineDeviceWindow::EngineDeviceWindow(DeviceWindowHost& host, const Settings& settings, const DeviceSeams& seams)
    : host_(host), settings_(settings), engine_(*this, seams) {}

DeviceWindowFactory EngineDeviceWindowFactory(const Settings& settings, DeviceSeams seams) {
  return [&settings, seams](DeviceWindowHost& host, const DeviceEntry&) -> std::unique_ptr<DeviceWindow> {
    return std::make_unique<EngineDeviceWindow>(host, settings, seams);
  };
}

}  // namespace frosk
