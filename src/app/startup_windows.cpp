#include "app/startup_windows.h"

#include "app/discovery_engine.h"
#include "app/main_form.h"
#include "app/startup_form.h"
#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"
#include "firmware/programmer_runner.h"
#include "firmware/select_firmware_form.h"
#include "firmware/upload_firmware_form.h"
#include "firmware/view_log_form.h"
#include "settings/com_ports_select_form.h"
#include "settings/settings_form.h"

namespace frosk {

template <class Form, class... Args>
std::unique_ptr<Form> StartupWindows::Create(Args&&... args) {
  auto form = std::make_unique<Form>(std::forward<Args>(args)...);
  creationOrder_ << form.get();
  return form;
}

namespace {

// The dialogs offer the ports the scan would probe: --ports replaces the system's list there too.
PortLister PortsOf(DiscoveryEngine& engine) {
  return [&engine](std::vector<std::string>* list) { return engine.ListSystemPorts(list); };
}

}  // namespace

StartupWindows::StartupWindows(DiscoveryEngine& engine, Settings& settings, const DeviceSeams& deviceSeams)
    : programmerRunner_(std::make_unique<ProgrammerRunner>(deviceSeams.clock, deviceSeams.folders)),
      mainForm_(Create<TMainForm>(engine, settings)),
      startupForm_(Create<TStartupForm>()),
      enterValueForm_(Create<TEnterValueForm>(deviceSeams.prompter)),
      selectFirmwareForm_(Create<TSelectFirmwareForm>(PortsOf(engine), deviceSeams.prompter)),
      uploadFirmwareForm_(Create<TUploadFirmwareForm>(*programmerRunner_, settings)),
      viewLogForm_(Create<TViewLogForm>()),
      enterSerialForm_(Create<TEnterSerialForm>()),
      comPortsSelectForm_(Create<TComPortsSelectForm>(PortsOf(engine))),
      settingsForm_(Create<TSettingsForm>(settings, *comPortsSelectForm_)),
      firmwareForms_(*selectFirmwareForm_, *uploadFirmwareForm_),
      firmwareCommands_({engine, deviceSeams.prompter, settings, deviceSeams.folders, firmwareForms_}) {
  mainForm_->SetStartupForm(startupForm_.get());
  mainForm_->SetDialogs(settingsForm_.get(), uploadFirmwareForm_.get(), &firmwareCommands_);
  uploadFirmwareForm_->SetViewLogForm(viewLogForm_.get());
  engine.SetDeviceWindowFactory(
      FroskTecViewFormFactory({*enterValueForm_, *enterSerialForm_, engine.Calendar(), settings}));
}

// Members go in reverse order: the firmware commands, then the settings
// dialog, the main window last.
StartupWindows::~StartupWindows() = default;

}  // namespace frosk
