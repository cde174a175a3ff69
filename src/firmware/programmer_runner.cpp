#include "firmware/programmer_runner.h"

#include <QFileInfo>
#include <charconv>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "common/frame_event.h"
#include "firmware/firmware_files.h"
#include "protocol/frame.h"
#include "protocol/records.h"
#include "protocol/serial_port.h"

namespace frosk {

namespace {

// How long the controller may take to answer the transparent-mode request.
constexpr uint32_t kTransparentModeAnswerMs = 5000;
// How long a tool left to close its previous session may take before the next
// run needs the port.
constexpr int kPreviousToolGraceMs = 2000;

// The module tool takes the number of a COM port; any other port by its path.
std::string ModulePortArgument(const std::string& portName) {
  if (portName.size() > 3 && portName.compare(0, 3, "COM") == 0) {
    unsigned number = 0;
    const char* last = portName.data() + portName.size();
    const auto [end, status] = std::from_chars(portName.data() + 3, last, number);
    if (status == std::errc() && end == last) return portName.substr(3);
  }
  return PortPath(portName);
}

std::string ExecutableIn(const std::string& folder, const std::string& name) {
  const QFileInfo tool(QString::fromStdString(folder + name));
  return tool.isFile() && tool.isExecutable() ? tool.absoluteFilePath().toStdString() : std::string();
}

// The utils folder, then, for a tool a system may have installed, each folder of the PATH.
std::vector<std::string> ToolFolders(const Folders& folders, bool orFromPath) {
  std::vector<std::string> searched = {folders.utils};
  const char* path = orFromPath ? std::getenv("PATH") : nullptr;
  if (path == nullptr) return searched;
  std::istringstream entries(path);
  for (std::string folder; std::getline(entries, folder, ':');) {
    // An empty entry would mean whatever folder we happen to run in: never a place for a tool.
    if (folder.empty()) continue;
    if (folder.back() != '/') folder += '/';
    searched.push_back(folder);
  }
  return searched;
}

void FindTool(ToolCommand& command, const Folders& folders, const std::string& name, bool orFromPath) {
  command.tool = name;
  command.searched = ToolFolders(folders, orFromPath);
  for (const std::string& folder : command.searched) {
    command.program = ExecutableIn(folder, name);
    if (!command.program.empty()) return;
  }
}

std::string MissingToolText(int target, const ToolCommand& command) {
  if (command.tool.empty()) return "no programming tool for " + TargetName(target);
  std::string text = command.tool + " not found; looked in ";
  for (size_t i = 0; i < command.searched.size(); ++i) text += (i == 0 ? "" : ", ") + command.searched[i];
  return text;
}

}  // namespace

ToolCommand ProgrammingCommand(const Folders& folders, int target, const std::string& portName,
                               const std::string& file) {
  ToolCommand command;
  command.workingFolder = QFileInfo(QString::fromStdString(folders.utils)).isDir() ? folders.utils : folders.executable;
  const std::string device = PortPath(portName);
  switch (target) {
    case 1:
      command.arguments = {
          "-p", "x128a4u", "-P", device, "-c", "avr109", "-e", "-b", "57600", "-U", "flash:w:" + file + ":i"};
      break;
    case 2:
      command.arguments = {"-p", "x32a4", "-P", device, "-c", "avr109", "-b", "57600", "-U", "flash:w:" + file + ":i"};
      break;
    case 3:
      FindTool(command, folders, "wsd", false);
      command.arguments = {file, "/c:" + ModulePortArgument(portName), "/r", "/v", "/d"};
      return command;
    case 5:
    case 6:
      command.arguments = {"-p",
                           target == 5 ? "x128a4u" : "atxmega32a4",
                           "-P",
                           "usb",
                           "-c",
                           "avrispmkii",
                           "-e",
                           "-U",
                           "boot:w:" + file + ":i",
                           "-U",
                           "fuse2:w:0xBF:m",
                           "-v"};
      break;
    default: return command;
  }
  FindTool(command, folders, "avrdude", true);
  return command;
}

std::string TargetName(int target) {
  static const char* const kNames[] = {
      "QUVA V2 Firmware via Bootloader", "QUVA Firmware via Bootloader",   "KAZ module via QUVA",
      "1WIRE memory via QUVA",           "QUVA V2 Bootloader via AVR ISP", "QUVA Bootloader via AVR ISP",
  };
  if (target < 1 || target > static_cast<int>(std::size(kNames))) return "target " + std::to_string(target);
  return kNames[target - 1];
}

bool TargetUsesPort(int target) { return target >= 1 && target <= 3; }

std::vector<std::string> InstructionLines(int target) {
  switch (target) {
    case 1:
    case 2:
      return {"Instructions:",
              "1. Turn off your QUVA device.",
              "2. Press FIRMWARE UPDATE button on your QUVA device.",
              "3. Holding FIRMWARE UPDATE button, turn on the device.",
              "4. Click <Start> button below.",
              "5. Wait for complete."};
    case 3:
      return {"Instructions:", "1. Check if your IR set is powered on.",
              "2. Press FIRMWARE UPDATE button on your KAZ device.",
              "3. Holding FIRMWARE UPDATE button, click <Start> below.", "4. Wait for complete."};
    case 4:
      return {"Instructions:",
              "1. Turn off your QUVA device.",
              "2. Connect 1WIRE memory module to QUVA device.",
              "3. Turn on the QUVA device.",
              "4. Click <Start> button below.",
              "5. Wait for complete."};
    case 5:
    case 6:
      return {"Instructions:",
              "1. Connect AVRISP mkII programmer to QUVA ISP port.",
              "2. Connect AVRISP mkII programmer to computer USB port.",
              "3. Turn on the QUVA device.",
              "4. Click <Start> button below.",
              "5. Wait for complete."};
    default: return {"Instructions:"};
  }
}

std::string StepStatusText(int step) {
  switch (step) {
    case step::kWaitingForTransparentMode:
    case step::kStarted: return "Preparing...";
    case step::kConnecting: return "Connecting...";
    case step::kUploading: return "Uploading firmware...";
    case step::kVerifying: return "Verifying data...";
    case step::kFinished: return "Finishing...";
    default: return "";
  }
}

std::string StepErrorText(int step) {
  switch (step) {
    case step::kDeviceNotAvailable: return "Device not available!";
    case step::kRepeatProgramming: return "Need to repeat programming";
    case step::kDeviceNotReady: return "Device not ready or not recognized!";
    case step::kVerifyError: return "Verify error!";
    default: return "Internal error!";
  }
}

ProgrammerRunner::ProgrammerRunner(const TickClock& clock, const Folders& folders, QObject* parent)
    : QObject(parent), clock_(clock), folders_(folders), stateTime_(clock.Now()) {}

ProgrammerRunner::~ProgrammerRunner() {
  LinkClose(&link_);
  tool_.reset();
  PortLockRelease(&portLock_);
}

void ProgrammerRunner::SetJob(int target, const std::string& portName, const std::string& file) {
  target_ = target;
  portName_ = portName;
  file_ = file;
  jobSwitched_ = false;
}

void ProgrammerRunner::SetState(ProgrammingState state) {
  state_ = state;
  progress_ = 0;
  stateTime_ = clock_.Now();
  emit Changed();
}

void ProgrammerRunner::Fail(int errorStep, const std::string& detail) {
  if (!detail.empty()) {
    detail_ = detail;
    if (!log_.empty() && log_.back() != '\n') log_ += '\n';
    log_ += detail + '\n';
  }
  step_ = errorStep;
  ReleasePortIfToolGone();
  SetState(ProgrammingState::kError);
}

void ProgrammerRunner::Start() {
  // The previous run's tool, and its hold on the port, must be gone first.
  WaitForTool(kPreviousToolGraceMs);
  log_.clear();
  detail_.clear();
  // Found before anything is sent: a controller switched to transparent mode
  // for a tool that is not there is left deaf to everyone.
  command_ = ProgrammingCommand(folders_, target_, portName_, file_);
  if (command_.program.empty()) {
    Fail(step::kLaunchFailed, MissingToolText(target_, command_));
    return;
  }
  if (target_ == 3) {
    StartTransparentMode();
    return;
  }
  if (TargetUsesPort(target_) && !HoldPort()) return;
  if (!Launch()) {
    Fail(step::kLaunchFailed, LaunchFailure());
    return;
  }
  step_ = step::kStarted;
  SetState(ProgrammingState::kInProgress);
}

// Another client's requests on the line would corrupt what the tool writes,
// and the tool's bytes would reach the other client as garbage.
bool ProgrammerRunner::HoldPort() {
  PortError error;
  if (PortLockTake(&portLock_, portName_, &error) == 0) return true;
  Fail(step::kDeviceNotAvailable, DescribePortError(error));
  return false;
}

// The module is reached through the controller: asked over a link of our own,
// the controller passes its serial line through to the module, and the module
// tool takes the port over.
void ProgrammerRunner::StartTransparentMode() {
  LinkClose(&link_);
  PortSettings settings;
  settings.portName = portName_;
  PortError error;
  if (LinkOpen(&link_, settings, PostFrameEvents(this, kProgrammingFrameEvent), &error) != 0) {
    Fail(step::kDeviceNotAvailable, DescribePortError(error));
    return;
  }
  // A request that cannot be written goes unanswered: the time-out ends the wait.
  LinkSendItem(link_, RecordRequest(key::SET_TRANSPARENT_MODE, TransparentModeRecord{1}).data());
  step_ = step::kWaitingForTransparentMode;
  SetState(ProgrammingState::kInProgress);
}

bool ProgrammerRunner::event(QEvent* event) {
  if (event->type() != kProgrammingFrameEvent) return QObject::event(event);
  ReceiveTransparentModeAnswer(static_cast<FrameEvent*>(event)->Block());
  return true;
}

void ProgrammerRunner::ReceiveTransparentModeAnswer(const FrameBlock& block) {
  // A late answer, or one from a link already closed, has nobody waiting for it.
  if (link_ == nullptr || block.owner != link_ || state_ != ProgrammingState::kInProgress ||
      step_ != step::kWaitingForTransparentMode)
    return;
  uint8_t item[FrameCutter::kCapacity];
  if (!DecodeItem(item, sizeof item, block.Frame()).ok()) return;
  // Anything but the answer asked for is not an answer: the wait goes on.
  TransparentModeRecord answer{};
  if (!ParseFrom(answer, item)) return;
  // The port passes from our link to the module tool without a moment in
  // which another client could open it.
  if (answer.enable != 0) LinkKeepPortLock(link_, &portLock_);
  LinkClose(&link_);
  if (answer.enable == 0) {
    Fail(step::kDeviceNotReady);
    return;
  }
  if (!Launch()) {
    Fail(step::kLaunchFailed, LaunchFailure() + "; the controller was switched to transparent mode");
    return;
  }
  step_ = step::kUploading;
  // The module tool is judged by how long it ran, so its time starts now,
  // not when the controller was first asked.
  stateTime_ = clock_.Now();
  emit Changed();
}

void ProgrammerRunner::Retry() { SetState(ProgrammingState::kReady); }

bool ProgrammerRunner::Launch() {
  tool_ = std::make_unique<ToolProcess>();
  if (tool_->Start(command_, target_ != 3)) {
    lastActivity_ = clock_.Now();
    return true;
  }
  return false;
}

std::string ProgrammerRunner::LaunchFailure() const {
  return command_.tool + " could not be started: " + (tool_ ? tool_->StartError() : std::string("no tool"));
}

bool ProgrammerRunner::Writing() const {
  return target_ != 3 && (step_ == step::kUploading || step_ == step::kVerifying);
}

void ProgrammerRunner::Tick() {
  if (state_ != ProgrammingState::kInProgress) return;

  if (step_ == step::kWaitingForTransparentMode) {
    if (Elapsed() <= kTransparentModeAnswerMs) return;
    LinkClose(&link_);
    Fail(step::kDeviceNotReady);
    return;
  }

  const size_t logBefore = log_.size();
  const int progressBefore = progress_;
  const bool running = tool_ && (target_ == 3 ? !tool_->HasEnded() : tool_->ReadOutput(log_, kReadLimit));
  if (const auto verdict = ParseProgrammerOutput(log_, Elapsed(), target_, running)) {
    step_ = verdict->step;
    progress_ = verdict->progress;
    if (verdict->endTool && tool_) tool_->End();
  }
  if (log_.size() != logBefore || progress_ != progressBefore) lastActivity_ = clock_.Now();
  if (Writing() && clock_.Now() - lastActivity_ > kNoProgressMs) {
    EndToolWithoutProgress();
    return;
  }

  if (step_ == step::kRepeatProgramming) SwitchVariant();

  if (step_ < step::kFinished) {
    emit Changed();
    return;
  }
  // A tool that has verified still closes its session with the device: it is
  // left to finish, and keeps the port until it has.
  if (tool_ && !tool_->HasEnded()) tool_->LetGo();
  ReleasePortIfToolGone();
  SetState(step_ == step::kFinished ? ProgrammingState::kDone : ProgrammingState::kError);
}

void ProgrammerRunner::EndToolWithoutProgress() {
  if (tool_) tool_->End();
  Fail(step::kDeviceNotAvailable,
       "no progress for " + std::to_string(kNoProgressMs / 1000) + " s; " + command_.tool + " was stopped");
}

// The other bootloader variant answered: the next try programs the firmware made for it.
void ProgrammerRunner::SwitchVariant() {
  const bool toV2 = target_ != 1;
  target_ = toV2 ? 1 : 2;
  file_ = FirmwareFilePath(folders_, toV2 ? 4 : 1);
  jobSwitched_ = true;
}

void ProgrammerRunner::WaitForTool(int ms) {
  if (tool_) tool_->WaitForEnd(ms);
  tool_.reset();
  PortLockRelease(&portLock_);
}

void ProgrammerRunner::ReleasePortIfToolGone() {
  if (tool_ && !tool_->HasEnded()) return;
  tool_.reset();
  PortLockRelease(&portLock_);
}

}  // namespace frosk
