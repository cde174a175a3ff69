#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/folders.h"
#include "common/prompter.h"
#include "common/tick_clock.h"
#include "device/config_file_engine.h"
#include "device/device_engine.h"
#include "protocol/serial_port.h"

namespace frosk::cli {

// One device engine over one real link, as the main window runs it: frames
// arrive as posted events, a 100 ms timer ticks, close requests are carried
// out after the dispatch that made them. froskctl's device verbs run on it.
class DeviceSession : public QObject, public DeviceHost {
 public:
  struct Options {
    bool answerYes = false;
    bool serviceModeSetting = false;
    // Tests replace the steady clock and the terminal's questions.
    const TickClock* clock = nullptr;
    Prompter* prompter = nullptr;
  };

  DeviceSession(const Folders& folders, Options options);
  ~DeviceSession() override;

  // 0, or froskctl's exit code after saying why the port did not open.
  int Open(const std::string& portName);

  DeviceEngine& Engine() { return *engine_; }
  ConfigFileEngine& ConfigFiles() { return *configFiles_; }

  // Runs the event loop until the engine is idle with nothing in flight or
  // queued. 0; 1 after a time-out or when the engine asked to be closed.
  int RunUntilIdle();
  // Runs the event loop until Stop, SIGINT (0) or a close request (1).
  int Run();
  // Runs the event loop until Stop or a close request (1); SIGINT ends the
  // program as usual.
  int RunUntilStopped();
  void Stop(int exitCode);

  // The groups the device's replies filled since the last TakeStoredGroups,
  // each once, in the order they were first filled.
  std::vector<Group> TakeStoredGroups();

  // Called with every item handed to the link.
  void SetSentListener(std::function<void(const uint8_t* item)> listener) { sentListener_ = std::move(listener); }

  // DeviceHost
  bool SendToDevice(DeviceEngine& device, const uint8_t* item) override;
  bool IsDeviceLinked(const DeviceEngine& device) const override;
  void RequestClose(DeviceEngine& device, CloseAction action) override;
  bool ServiceModeSetting() const override { return options_.serviceModeSetting; }
  // A line on standard error.
  void WriteLog(const std::string& line) override;

 protected:
  bool event(QEvent* event) override;

 private:
  int Loop(bool untilIdle);
  void CheckIdle();
  void OnTick();
  void Close(CloseAction action);

  Options options_;
  SteadyTickClock steadyClock_;
  std::unique_ptr<Prompter> terminalPrompter_;
  std::unique_ptr<Beeper> beeper_;
  Folders folders_;
  MonitorAlternation alternation_;
  std::unique_ptr<DeviceEngine> engine_;
  std::unique_ptr<ConfigFileEngine> configFiles_;
  std::function<void(const uint8_t* item)> sentListener_;
  PortSettings port_;
  std::vector<Group> stored_;
  GroupMask storedMask_ = 0;
  bool untilIdle_ = false;
  uint32_t timeoutsAtStart_ = 0;
  std::optional<int> result_;
};

}  // namespace frosk::cli
