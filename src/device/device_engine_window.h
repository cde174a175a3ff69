#pragma once

#include "app/device_window.h"
#include "device/config_file_engine.h"
#include "device/device_engine.h"
#include "settings/settings_store.h"

namespace frosk {

// A connected device's engine as the main window's engine sees it: the
// discovery engine routes replies and ticks to it and it sends, asks whether
// it is linked and asks to be closed through the discovery engine. The
// desktop program's device window builds its widgets on it; froskctl and the
// tests use it as it is, headless.
class EngineDeviceWindow : public DeviceWindow, private DeviceHost {
 public:
  // `settings` is the program's record: its ServiceMode is read at every use.
  EngineDeviceWindow(DeviceWindowHost& host, const Settings& settings, const DeviceSeams& seams);

  DeviceEngine& Engine() { return engine_; }
  ConfigFileEngine& ConfigFiles() { return configFiles_; }

  void ReceiveItem(const uint8_t* item) override { engine_.ReceiveItem(item); }
  void Tick() override { engine_.Tick(); }

 private:
  bool SendToDevice(DeviceEngine&, const uint8_t* item) override { return host_.SendToDevice(this, item); }
  bool IsDeviceLinked(const DeviceEngine&) const override { return host_.IsDeviceLinked(this); }
  void RequestClose(DeviceEngine&, CloseAction action) override {
    host_.RequestClose(this, static_cast<int>(action));
  }
  bool ServiceModeSetting() const override { return settings_.ServiceMode; }
  void WriteLog(const std::string& line) override { host_.WriteLog(line); }

  DeviceWindowHost& host_;
  const Settings& settings_;
  DeviceEngine engine_;
  ConfigFileEngine configFiles_{engine_};
};

// Makes a headless engine window for every device the discovery engine
// connects. The seams, the monitor alternation included, are the program's
// and outlive the factory.
DeviceWindowFactory EngineDeviceWindowFactory(const Settings& settings, DeviceSeams seams);

}  // namespace frosk
