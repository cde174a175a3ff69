#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/folders.h"
#include "common/tick_clock.h"
#include "firmware/output_parser.h"
#include "firmware/tool_process.h"
#include "protocol/link.h"

namespace frosk {

// The programming targets:
//   1 QUVA V2 firmware through the controller's bootloader   avrdude, avr109
//   2 QUVA (V1) firmware through the controller's bootloader avrdude, avr109
//   3 KAZ module through the controller                      wsd, after the controller went transparent
//   4 1WIRE memory through the controller                    no tool: always "Internal error!"
//   5 QUVA V2 bootloader through the USB ISP programmer      avrdude, avrispmkii
//   6 QUVA bootloader through the USB ISP programmer         avrdude, avrispmkii

// Where a run stands; it is also the page the programming dialog shows.
enum class ProgrammingState { kReady = 0, kInProgress = 1, kDone = 2, kError = 3 };

// How a target's tool is run: utils/avrdude or else avrdude from the PATH,
// utils/wsd for the module; working folder utils/ when it exists, else the
// programs' folder. The port goes to avrdude as its device path and to the
// module tool as n for COMn, else as its device path. No program for target 4
// or when the tool is missing; the folders looked in are named either way.
ToolCommand ProgrammingCommand(const Folders& folders, int target, const std::string& portName,
                               const std::string& file);

// The target as the service list names it ("QUVA V2 Firmware via Bootloader").
std::string TargetName(int target);
// Targets 1 to 3 reach the controller on its serial port; 5 and 6 use the USB programmer.
bool TargetUsesPort(int target);

// The Ready page: "Instructions:" and one line per step for the target.
std::vector<std::string> InstructionLines(int target);
// The status line while in progress ("Uploading firmware..."), and the error of
// a failed run without its "ERROR: " lead ("Need to repeat programming").
std::string StepStatusText(int step);
std::string StepErrorText(int step);

// Runs one programming target and follows it: the engine of the programming
// dialog and of "froskctl flash". Everything happens on the caller's thread:
// Start and Retry from the buttons, Tick every 100 ms while the run is shown.
// For target 3 the controller is first switched into transparent mode over a
// link of the runner's own, whose answer arrives as an event.
//
// A run can leave a device half-written, so it guards the device: the tool is
// found before anything is sent; while it runs, the port's lock is held, so no
// other FroskManager client talks to the device under it; and a tool that
// stops making progress once writing has begun is ended.
class ProgrammerRunner : public QObject {
  Q_OBJECT

 public:
  // Output read from the tool per tick, at most.
  static constexpr size_t kReadLimit = 10239;
  // A tool that has begun to write and neither prints nor moves on this long
  // is taken for lost: a bootloader that vanished mid-write leaves avrdude
  // waiting for ever. The slowest phase prints a mark every second or so.
  static constexpr uint32_t kNoProgressMs = 60000;

  ProgrammerRunner(const TickClock& clock, const Folders& folders, QObject* parent = nullptr);
  ~ProgrammerRunner() override;

  // What to program. The file is written as given (its default is the caller's choice).
  void SetJob(int target, const std::string& portName, const std::string& file);

  int Target() const { return target_; }
  const std::string& PortName() const { return portName_; }
  const std::string& File() const { return file_; }
  ProgrammingState State() const { return state_; }
  int Step() const { return step_; }
  int Progress() const { return progress_; }
  // Everything the tool printed in this run.
  const std::string& Log() const { return log_; }
  // The status line in progress and "ERROR: " with the error text in Error.
  std::string StatusText() const { return StepStatusText(step_); }
  std::string ErrorText() const { return "ERROR: " + StepErrorText(step_); }
  // What the error text alone does not say: the tool that is missing and the
  // folders looked in, the port that would not open and why, a run ended for
  // want of progress. Empty when the tool's log says it all. Also in the log.
  const std::string& Detail() const { return detail_; }
  // The target and file are no longer those of SetJob: a run found the other
  // bootloader variant and switched them for the next try.
  bool JobSwitched() const { return jobSwitched_; }

  // Stores the state, clears the progress, restarts the state's time and refreshes.
  void SetState(ProgrammingState state);
  void Start();
  // Back to Ready; the next Start takes the target and file as they are now,
  // which a run that found the other bootloader variant has switched.
  void Retry();
  void Tick();

  // A tool that was left to close its session after the run ended is given
  // up to `ms` to end, then ended; the port is free again after it.
  void WaitForTool(int ms);

 signals:
  // Whatever is shown may have changed: state, step, progress, target or file.
  void Changed();

 protected:
  // The controller's answer to the transparent-mode request (event 1026).
  bool event(QEvent* event) override;

 private:
  void Fail(int errorStep, const std::string& detail = {});
  void StartTransparentMode();
  void ReceiveTransparentModeAnswer(const FrameBlock& block);
  bool HoldPort();
  bool Launch();
  std::string LaunchFailure() const;
  void EndToolWithoutProgress();
  void SwitchVariant();
  // Gives the port back once no tool of ours is left on it.
  void ReleasePortIfToolGone();
  uint32_t Elapsed() const { return clock_.Now() - stateTime_; }
  bool Writing() const;

  const TickClock& clock_;
  Folders folders_;
  int target_ = 0;
  std::string portName_;
  std::string file_;
  ProgrammingState state_ = ProgrammingState::kReady;
  int step_ = step::kStarted;
  int progress_ = 0;
  uint32_t stateTime_ = 0;
  std::string log_;
  std::string detail_;
  bool jobSwitched_ = false;
  uint32_t lastActivity_ = 0;  // when the tool last printed or the progress last moved
  ToolCommand command_;        // found at Start, run once the device is ready for it
  std::unique_ptr<ToolProcess> tool_;
  Link* link_ = nullptr;    // open only while waiting for transparent mode
  int portLock_ = kNoPort;  // held while our tool may be on the port
};

}  // namespace frosk
