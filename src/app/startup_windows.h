#pragma once

#include <QList>
#include <memory>

#include "app/firmware_commands.h"
#include "device/device_engine.h"
#include "firmware/firmware_forms.h"

class QWidget;

namespace frosk {

class DiscoveryEngine;
class ProgrammerRunner;
struct Settings;
class TMainForm;
class TStartupForm;
class TEnterValueForm;
class TSelectFirmwareForm;
class TUploadFirmwareForm;
class TViewLogForm;
class TEnterSerialForm;
class TComPortsSelectForm;
class TSettingsForm;

// The nine windows that live from start-up to exit, created in their fixed
// order: the main window first, the settings dialog (which loads the
// settings) last. Destroying them, the settings dialog first, saves the
// settings; main() does it before the application object goes. Every device
// the engine connects or shows gets its device window over `deviceSeams`,
// which outlive these windows; the firmware dialogs and commands take their
// clock, questions and folders from the same seams.
class StartupWindows {
 public:
  StartupWindows(DiscoveryEngine& engine, Settings& settings, const DeviceSeams& deviceSeams);
  ~StartupWindows();
  StartupWindows(const StartupWindows&) = delete;
  StartupWindows& operator=(const StartupWindows&) = delete;

  TMainForm& MainForm() const { return *mainForm_; }
  TStartupForm& StartupForm() const { return *startupForm_; }
  TSettingsForm& SettingsForm() const { return *settingsForm_; }
  // Every window, in the order it was created.
  const QList<QWidget*>& InCreationOrder() const { return creationOrder_; }

 private:
  template <class Form, class... Args>
  std::unique_ptr<Form> Create(Args&&... args);

  QList<QWidget*> creationOrder_;
  // The programming dialog's engine outlives the windows.
  std::unique_ptr<ProgrammerRunner> programmerRunner_;
  std::unique_ptr<TMainForm> mainForm_;
  std::unique_ptr<TStartupForm> startupForm_;
  std::unique_ptr<TEnterValueForm> enterValueForm_;
  std::unique_ptr<TSelectFirmwareForm> selectFirmwareForm_;
  std::unique_ptr<TUploadFirmwareForm> uploadFirmwareForm_;
  std::unique_ptr<TViewLogForm> viewLogForm_;
  std::unique_ptr<TEnterSerialForm> enterSerialForm_;
  std::unique_ptr<TComPortsSelectForm> comPortsSelectForm_;
  std::unique_ptr<TSettingsForm> settingsForm_;
  FirmwareForms firmwareForms_;
  FirmwareCommands firmwareCommands_;
};

}  // namespace frosk
