// The desktop program's device windows over the discovery engine, on the one
// device of a frosk-sim: the seams are the test's, the firmware folder the
// build's, and the test is the 100 ms timer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/discovery_engine.h"
#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"
#include "engine_fixture.h"
#include "support/event_pump.h"
#include "support/sim_process.h"

namespace frosk::test {

class SimulatedProgram {
 public:
  // Starts frosk-sim with these arguments and scans its port.
  explicit SimulatedProgram(const std::vector<std::string>& simArgs, bool serviceModeSetting = false)
      : sim_(SimProcess::Start(simArgs)) {
    settings_.ServiceMode = serviceModeSetting;
    if (sim_ == nullptr) return;
    discovery_ = std::make_unique<DiscoveryEngine>(
        DiscoveryEngine::Surroundings{clock_, wall_, prompter, opener_, settings_, links_, beeper_, folders_},
        DiscoveryEngine::Options{std::vector{sim_->Path()}, {}});
    discovery_->SetDeviceWindowFactory(FroskTecViewFormFactory({valueDialog_, serialDialog_, wall_, settings_}));
    discovery_->ReloadDevices();
    RunUntil([this] { return discovery_->State() == ScanState::Ready; });
  }

  // The device the scan found, or none.
  DeviceEntry* Device() const {
    return discovery_ != nullptr && discovery_->Devices().size() == 1 ? discovery_->Devices().front().get() : nullptr;
  }
  // Connects the device and gives its window; none when there is no device.
  TFroskTecViewForm* Connect() {
    if (Device() == nullptr) return nullptr;
    discovery_->Connect(Device());
    return dynamic_cast<TFroskTecViewForm*>(Device()->Window.get());
  }
  void Disconnect() {
    if (Device() != nullptr) discovery_->Disconnect(Device());
  }
  // Ticks until `done` holds (true) or 300 ticks have gone (false).
  bool RunUntil(const std::function<bool()>& done) {
    return DriveTicks(
        clock_, [this] { discovery_->Timer1Timer(); }, done, 300);
  }

  ScriptedPrompter prompter;

 private:
  std::unique_ptr<SimProcess> sim_;
  ManualTickClock clock_;
  FixedWallClock wall_{{2026, 3, 14, 9, 0, 0}};
  CountingBeeper beeper_;
  struct : UrlOpener {
    void Open(const std::string&) override {}
  } opener_;
  const Folders folders_ = Folders::Beside(FROSK_BIN_DIR);
  Settings settings_;
  LinkLayer links_;
  TEnterValueForm valueDialog_{prompter};
  TEnterSerialForm serialDialog_;
  std::unique_ptr<DiscoveryEngine> discovery_;
};

}  // namespace frosk::test
