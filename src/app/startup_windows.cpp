#include "app/startup_windows.h"

#include "app/discovery_engine.h"
#include "app/main_form.h"
#include "app/startup_form.h"
#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"
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

StartupWindows::StartupWindows(DiscoveryEngine& engine, Settings& settings, const DeviceSeams& deviceSeams)
    : mainForm_(Create<TMainForm>(engine, settings)),
      startupForm_(Create<TStartupForm>()),
      enterValueForm_(Create<TEnterValueForm>()),
      selectFirmwareForm_(Create<TSelectFirmwareForm>()),
      uploadFirmwareForm_(Create<TUploadFirmwareForm>()),
      viewLogForm_(Create<TViewLogForm>()),
      enterSerialForm_(Create<TEnterSerialForm>()),
      comPortsSelectForm_(Create<TComPortsSelectForm>()),
      settingsForm_(Create<TSettingsForm>(settings)) {
  mainForm_->SetStartupForm(startupForm_.get());
  engine.SetDeviceWindowFactory(FroskTecViewFormFactory(settings, deviceSeams, *enterValueForm_));
}

// Members go in reverse order: the settings dialog first, the main window last.
StartupWindows::~StartupWindows() = default;

}  // namespace frosk
