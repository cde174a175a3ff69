#include "firmware/programmer_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "firmware/firmware_files.h"
#include "protocol/frame.h"
#include "protocol/records.h"
#include "sim/pseudo_terminal.h"
#include "support/event_pump.h"
#include "support/read_until.h"
#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::ProcessEnded;
using test::ScopedEnv;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string TranscriptPath(const std::string& name) {
  return std::string(FROSK_SOURCE_DIR) + "/tests/firmware/avrdude/" + name + ".log";
}

// Neither running nor left as a zombie.
bool ProcessGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

class ProgrammerRunnerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureCoreApplication(); }

  // A stand-in for a programming tool in utils/. It writes its arguments, one
  // a line, and then its pid beside itself before it does what `body` says.
  void Tool(const std::string& name, const std::string& body) {
    const std::string path = dir_.Write("utils/" + name,
                                        "#!/bin/sh\n"
                                        "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
                                        "echo $$ > \"$(dirname \"$0\")/pid\"\n" +
                                            body + "\n");
    chmod(path.c_str(), 0755);
  }

  pid_t ToolPid() {
    WaitFor([&] { return ReadFile(dir_.Path() + "utils/pid").find('\n') != std::string::npos; });
    return static_cast<pid_t>(std::stoi(ReadFile(dir_.Path() + "utils/pid")));
  }
  std::string ToolArguments() { return ReadFile(dir_.Path() + "utils/args"); }

  // Waits for something a child process does, delivering events, never longer than 10 s.
  void WaitFor(const std::function<bool()>& done) { ASSERT_TRUE(test::WaitFor(done, 10000)) << "timed out"; }

  // Ticks, the clock standing still, until the run has ended.
  void TickUntilSettled() {
    WaitFor([&] {
      runner_.Tick();
      return runner_.State() != ProgrammingState::kInProgress;
    });
  }

  void StartTarget(int target, const std::string& file = "/fw/FroskTec.hex") {
    runner_.SetJob(target, port_->ClientPath(), file);
    runner_.Start();
  }

  // Whether another FroskManager client could open the port now.
  static bool PortIsFree(const std::string& path) {
    int handle = kNoPort;
    PortSettings settings;
    settings.portName = path;
    if (PortOpen(&handle, settings) != 0) return false;
    PortClose(&handle);
    return true;
  }

  std::unique_ptr<PseudoTerminal> port_ = PseudoTerminal::Open();
  test::TempDir dir_;
  Folders folders_ = Folders::Beside(dir_.Path());
  ManualTickClock clock_{1000};
  ProgrammerRunner runner_{clock_, folders_};
};

TEST_F(ProgrammerRunnerTest, CommandsFollowTheTargetTable) {
  Tool("avrdude", "");
  Tool("wsd", "");
  const std::string avrdude = dir_.Path() + "utils/avrdude";
  const std::string file = "/fw/a b \"c\" 'd'.hex";
  struct Case {
    int target;
    const char* port;
    std::string program;
    std::vector<std::string> arguments;
  } cases[] = {
      {1, "COM3", avrdude,
       {"-p", "x128a4u", "-P", "/dev/ttyS2", "-c", "avr109", "-e", "-b", "57600", "-U", "flash:w:" + file + ":i"}},
      {2, "ttyUSB0", avrdude,
       {"-p", "x32a4", "-P", "/dev/ttyUSB0", "-c", "avr109", "-b", "57600", "-U", "flash:w:" + file + ":i"}},
      {3, "COM12", dir_.Path() + "utils/wsd", {file, "/c:12", "/r", "/v", "/d"}},
      {3, "/dev/pts/7", dir_.Path() + "utils/wsd", {file, "/c:/dev/pts/7", "/r", "/v", "/d"}},
      {5, "", avrdude,
       {"-p", "x128a4u", "-P", "usb", "-c", "avrispmkii", "-e", "-U", "boot:w:" + file + ":i", "-U",
        "fuse2:w:0xBF:m", "-v"}},
      {6, "COM1", avrdude,
       {"-p", "atxmega32a4", "-P", "usb", "-c", "avrispmkii", "-e", "-U", "boot:w:" + file + ":i", "-U",
        "fuse2:w:0xBF:m", "-v"}},
  };
  for (const Case& c : cases) {
    const ToolCommand command = ProgrammingCommand(folders_, c.target, c.port, file);
    EXPECT_EQ(command.program, c.program) << c.target;
    EXPECT_EQ(command.arguments, c.arguments) << c.target;
    EXPECT_EQ(command.workingFolder, dir_.Path() + "utils/") << c.target;
  }
  EXPECT_EQ(ProgrammingCommand(folders_, 4, "COM3", "").program, "");
}

TEST_F(ProgrammerRunnerTest, AvrdudeComesFromTheUtilsFolderElseFromThePath) {
  ToolCommand command = ProgrammingCommand(folders_, 1, "COM3", "f.hex");
  EXPECT_EQ(command.program, "/usr/bin/avrdude");
  EXPECT_EQ(command.workingFolder, dir_.Path());
  EXPECT_EQ(ProgrammingCommand(folders_, 3, "COM3", "f.hex").program, "") << "wsd is never taken from the path";
  {
    const ScopedEnv noPath("PATH", dir_.Path());
    EXPECT_EQ(ProgrammingCommand(folders_, 5, "", "f.hex").program, "");
  }
  dir_.Write("utils/avrdude", "not executable");
  EXPECT_EQ(ProgrammingCommand(folders_, 2, "COM3", "f.hex").program, "/usr/bin/avrdude");
}

TEST_F(ProgrammerRunnerTest, TheDialogsTextsComeWithTheEngine) {
  EXPECT_EQ(InstructionLines(1).size(), 6u);
  EXPECT_EQ(InstructionLines(2)[2], "2. Press FIRMWARE UPDATE button on your QUVA device.");
  EXPECT_EQ(InstructionLines(3)[3], "3. Holding FIRMWARE UPDATE button, click <Start> below.");
  EXPECT_EQ(InstructionLines(3).back(), "4. Wait for complete.");
  EXPECT_EQ(InstructionLines(4)[2], "2. Connect 1WIRE memory module to QUVA device.");
  EXPECT_EQ(InstructionLines(6)[1], "1. Connect AVRISP mkII programmer to QUVA ISP port.");
  const std::pair<int, const char*> statuses[] = {{0, "Preparing..."},        {1, "Preparing..."},
                                                  {2, "Connecting..."},       {3, "Uploading firmware..."},
                                                  {4, "Verifying data..."},   {1000, "Finishing..."}};
  for (const auto& [step, text] : statuses) EXPECT_EQ(StepStatusText(step), text);
  const std::pair<int, const char*> errors[] = {{2000, "Device not available!"},
                                                {2001, "Need to repeat programming"},
                                                {2002, "Device not ready or not recognized!"},
                                                {2003, "Verify error!"},
                                                {2004, "Internal error!"},
                                                {2005, "Internal error!"},
                                                {2017, "Internal error!"}};
  for (const auto& [step, text] : errors) EXPECT_EQ(StepErrorText(step), text);
}

TEST_F(ProgrammerRunnerTest, ARecordedSuccessEndsDoneWithItsLogKept) {
  Tool("avrdude", "cat '" + TranscriptPath("success_x32a4") + "'");
  int changes = 0;
  QObject::connect(&runner_, &ProgrammerRunner::Changed, [&] { ++changes; });
  StartTarget(2);
  EXPECT_EQ(runner_.State(), ProgrammingState::kInProgress);
  EXPECT_EQ(runner_.StatusText(), "Preparing...");
  TickUntilSettled();
  EXPECT_EQ(runner_.State(), ProgrammingState::kDone);
  EXPECT_EQ(runner_.Step(), step::kFinished);
  EXPECT_EQ(runner_.Log(), ReadFile(TranscriptPath("success_x32a4")));
  EXPECT_GE(changes, 2);
  const pid_t pid = ToolPid();
  runner_.WaitForTool(5000);
  EXPECT_TRUE(ProcessGone(pid));
}

// The other bootloader variant answered: the error names it, and a retry
// programs the other variant with its own firmware.
TEST_F(ProgrammerRunnerTest, AnAnswerFromTheOtherVariantSwitchesTargetAndFileForTheRetry) {
  struct Case {
    int target;
    const char* transcript;
    int retryTarget;
    std::string retryFile;
    const char* retryPart;
  } cases[] = {
      {2, "signature_x32a4_on_x128a4u", 1, FirmwareFilePath(folders_, 4), "x128a4u"},
      {1, "signature_x128a4u_on_x32a4", 2, FirmwareFilePath(folders_, 1), "x32a4"},
  };
  for (const Case& c : cases) {
    Tool("avrdude", "cat '" + TranscriptPath(c.transcript) + "'");
    StartTarget(c.target);
    TickUntilSettled();
    EXPECT_EQ(runner_.State(), ProgrammingState::kError);
    EXPECT_EQ(runner_.ErrorText(), "ERROR: Need to repeat programming");
    EXPECT_EQ(runner_.Target(), c.retryTarget);
    EXPECT_EQ(runner_.File(), c.retryFile);
    runner_.Retry();
    EXPECT_EQ(runner_.State(), ProgrammingState::kReady);
    EXPECT_EQ(runner_.Target(), c.retryTarget);
    std::remove((dir_.Path() + "utils/pid").c_str());
    runner_.Start();
    ToolPid();
    const std::string arguments = ToolArguments();
    EXPECT_NE(arguments.find(std::string("-p\n") + c.retryPart + "\n"), std::string::npos) << arguments;
    EXPECT_NE(arguments.find("flash:w:" + c.retryFile + ":i\n"), std::string::npos) << arguments;
    TickUntilSettled();
    std::remove((dir_.Path() + "utils/pid").c_str());
  }
}

TEST_F(ProgrammerRunnerTest, AFilePathWithBlanksAndQuotesReachesTheToolAsOneArgument) {
  Tool("avrdude", "");
  const std::string file = dir_.Path() + "my \"new\" 'firmware' $HOME;.hex";
  StartTarget(1, file);
  ToolPid();
  EXPECT_NE(ToolArguments().find("\nflash:w:" + file + ":i\n"), std::string::npos) << ToolArguments();
  TickUntilSettled();
  EXPECT_EQ(runner_.ErrorText(), "ERROR: Internal error!") << "a tool that ends saying nothing has failed";
}

TEST_F(ProgrammerRunnerTest, AHungToolIsEndedAfterFiveSecondsAndCollected) {
  Tool("avrdude", "echo 'avrdude: AVR device initialized'\nexec sleep 600");
  StartTarget(1);
  const pid_t pid = ToolPid();
  WaitFor([&] {
    runner_.Tick();
    return !runner_.Log().empty();
  });
  clock_.Advance(5000);
  runner_.Tick();
  EXPECT_EQ(runner_.State(), ProgrammingState::kInProgress);
  EXPECT_FALSE(ProcessGone(pid));
  clock_.Advance(1);
  runner_.Tick();
  EXPECT_EQ(runner_.State(), ProgrammingState::kError);
  EXPECT_EQ(runner_.Step(), step::kDeviceNotReady);
  EXPECT_EQ(runner_.Log(), "avrdude: AVR device initialized\n");
  EXPECT_TRUE(ProcessGone(pid));
}

TEST_F(ProgrammerRunnerTest, AFloodingToolIsReadInBoundedSlicesAndEnded) {
  Tool("avrdude", "exec yes 'no phase here'");
  StartTarget(2);
  const pid_t pid = ToolPid();
  for (int tick = 1; tick <= 20; ++tick) {
    WaitFor([&] {
      runner_.Tick();
      return runner_.Log().size() >= static_cast<size_t>(tick) * ProgrammerRunner::kReadLimit;
    });
    EXPECT_EQ(runner_.Log().size(), static_cast<size_t>(tick) * ProgrammerRunner::kReadLimit);
  }
  clock_.Advance(5001);
  runner_.Tick();
  EXPECT_EQ(runner_.Step(), step::kDeviceNotReady);
  EXPECT_EQ(runner_.State(), ProgrammingState::kError);
  EXPECT_TRUE(ProcessGone(pid));
}

// A bootloader that vanishes mid-write leaves avrdude waiting for ever,
// printing nothing. Output that still comes keeps the run going; a minute
// without any ends it, the tool and what it started with it.
TEST_F(ProgrammerRunnerTest, AToolThatStopsMakingProgressWhileWritingIsEndedAfterAMinute) {
  const std::string waitForGo = "while [ ! -f '" + dir_.Path() + "go' ]; do sleep 0.05; done\n";
  Tool("avrdude", "printf 'avrdude: writing 49152 bytes flash ...\\n\\nWriting | ###'\n" + waitForGo +
                      "printf '##'\nsleep 600 &\necho $! > \"$(dirname \"$0\")/child\"\nwait");
  StartTarget(1);
  const pid_t pid = ToolPid();
  WaitFor([&] {
    runner_.Tick();
    return runner_.Step() == step::kUploading;
  });
  EXPECT_EQ(runner_.Progress(), 11);
  clock_.Advance(ProgrammerRunner::kNoProgressMs - 1000);
  runner_.Tick();
  dir_.Write("go", "");
  WaitFor([&] {
    runner_.Tick();
    return runner_.Progress() == 13;
  });
  WaitFor([&] { return ReadFile(dir_.Path() + "utils/child").find('\n') != std::string::npos; });
  const pid_t child = static_cast<pid_t>(std::stoi(ReadFile(dir_.Path() + "utils/child")));

  clock_.Advance(ProgrammerRunner::kNoProgressMs);
  runner_.Tick();
  EXPECT_EQ(runner_.State(), ProgrammingState::kInProgress) << "a minute since the last mark";
  EXPECT_EQ(runner_.StatusText(), "Uploading firmware...");
  EXPECT_FALSE(PortIsFree(port_->ClientPath()));
  clock_.Advance(1);
  runner_.Tick();
  EXPECT_EQ(runner_.State(), ProgrammingState::kError);
  EXPECT_EQ(runner_.ErrorText(), "ERROR: Device not available!");
  EXPECT_EQ(runner_.Detail(), "no progress for 60 s; avrdude was stopped");
  EXPECT_EQ(runner_.Log(),
            "avrdude: writing 49152 bytes flash ...\n\nWriting | #####\nno progress for 60 s; avrdude was stopped\n");
  EXPECT_TRUE(ProcessGone(pid));
  EXPECT_TRUE(test::WaitFor([&] { return ProcessEnded(child); }, 5000)) << "the tool's own child goes with it";
  EXPECT_TRUE(PortIsFree(port_->ClientPath()));
}

// A programmer that has verified still ends its session with the device: it
// is left to finish, then collected.
TEST_F(ProgrammerRunnerTest, DoneComesWithTheVerdictAndTheToolIsLeftToFinish) {
  Tool("avrdude", "echo 'avrdude: 600 bytes of flash verified'\nsleep 0.3\necho 'avrdude done.  Thank you.'");
  StartTarget(1);
  const pid_t pid = ToolPid();
  TickUntilSettled();
  EXPECT_EQ(runner_.State(), ProgrammingState::kDone);
  EXPECT_FALSE(ProcessGone(pid));
  runner_.WaitForTool(5000);
  EXPECT_TRUE(ProcessGone(pid));
}

// Nothing is sent for a tool that is not there; the message names the
// folders looked in, in the order they were looked in.
TEST_F(ProgrammerRunnerTest, WhatCannotBeLaunchedIsAnInternalErrorThatNamesTheTool) {
  const ScopedEnv noPath("PATH", dir_.Path() + "bin::/nowhere/");
  struct Case {
    int target;
    std::string detail;
  } cases[] = {
      {4, "no programming tool for 1WIRE memory via QUVA"},
      {1, "avrdude not found; looked in " + dir_.Path() + "utils/, " + dir_.Path() + "bin/, /nowhere/"},
      {3, "wsd not found; looked in " + dir_.Path() + "utils/"},
  };
  for (const Case& c : cases) {
    StartTarget(c.target);
    EXPECT_EQ(runner_.State(), ProgrammingState::kError) << c.target;
    EXPECT_EQ(runner_.ErrorText(), "ERROR: Internal error!") << c.target;
    EXPECT_EQ(runner_.Detail(), c.detail);
    EXPECT_EQ(runner_.Log(), c.detail + "\n");
    EXPECT_TRUE(PortIsFree(port_->ClientPath())) << c.target;
  }
  EXPECT_EQ(test::ReadUntil(
                port_->DeviceFd(), [](const std::string&) { return false; }, 200),
            "")
      << "nothing was sent to the controller";

  const std::string broken = dir_.Write("utils/avrdude", "#!/nonexistent/interpreter\n");
  chmod(broken.c_str(), 0755);
  StartTarget(2);
  EXPECT_EQ(runner_.Step(), step::kLaunchFailed) << "an avrdude that cannot start";
  EXPECT_EQ(runner_.Detail().rfind("avrdude could not be started: ", 0), 0u) << runner_.Detail();
  EXPECT_TRUE(PortIsFree(port_->ClientPath()));
}

// While the tool runs no other FroskManager client can open the port, yet the
// tool can: the terminal is not made exclusive. A port another client holds,
// or one that is not there, fails before the tool starts.
TEST_F(ProgrammerRunnerTest, ThePortIsHeldForTheToolWhileItRuns) {
  Tool("avrdude", "( : < \"$4\" ) && echo opened > \"$(dirname \"$0\")/opened\"\nexec sleep 600");
  StartTarget(1);
  const pid_t pid = ToolPid();
  WaitFor([&] { return ReadFile(dir_.Path() + "utils/opened") == "opened\n"; });
  PortError error;
  int handle = kNoPort;
  PortSettings settings;
  settings.portName = port_->ClientPath();
  EXPECT_EQ(PortOpen(&handle, settings, &error), 1);
  EXPECT_TRUE(error.InUse()) << DescribePortError(error);
  int exclusive = 1;
  const int fd = open(port_->ClientPath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
  close(fd);
  EXPECT_EQ(exclusive, 0);
  runner_.WaitForTool(0);
  EXPECT_TRUE(ProcessGone(pid));
  EXPECT_TRUE(PortIsFree(port_->ClientPath()));

  ASSERT_EQ(PortOpen(&handle, settings), 0);
  std::remove((dir_.Path() + "utils/pid").c_str());
  struct Case {
    std::string port;
    std::string detail;
  } cases[] = {
      {port_->ClientPath(), port_->ClientPath() + ": in use by another program"},
      {dir_.Path() + "gone", dir_.Path() + "gone: No such file or directory"},
  };
  for (const Case& c : cases) {
    runner_.SetJob(2, c.port, "/fw/FroskTec.hex");
    runner_.Start();
    EXPECT_EQ(runner_.ErrorText(), "ERROR: Device not available!");
    EXPECT_EQ(runner_.Detail(), c.detail);
    EXPECT_EQ(ReadFile(dir_.Path() + "utils/pid"), "") << "the tool never started";
  }
  PortClose(&handle);
}

// Debian's avrdude itself, for a failure that needs no device.
TEST_F(ProgrammerRunnerTest, TheRealAvrdudeNamesAMissingFile) {
  const auto device = test::SimProcess::Start({"--bootloader", "x128a4u"});
  ASSERT_TRUE(device);
  runner_.SetJob(1, device->Path(), dir_.Path() + "missing.hex");
  runner_.Start();
  TickUntilSettled();
  EXPECT_EQ(runner_.ErrorText(), "ERROR: Internal error!");
  EXPECT_EQ(runner_.Detail(), "");
  EXPECT_NE(runner_.Log().find("missing.hex"), std::string::npos) << runner_.Log();
}

// Target 3: the runner asks the controller, played here on a pseudo-terminal,
// for transparent mode over a link of its own before the module tool runs.
class TransparentModeTest : public ProgrammerRunnerTest {
 protected:
  void SetUp() override {
    Tool("wsd", "port=${2#/c:}\n( : < \"$port\" ) && echo opened > \"$(dirname \"$0\")/opened\"\nexit 0");
    runner_.SetJob(3, controller_->ClientPath(), "/fw/Kaz.hex");
    runner_.Start();
  }

  // The request as it arrives on the controller's side of the line.
  std::string Request() {
    return test::ReadUntil(controller_->DeviceFd(), [](const std::string& got) { return got.find('#') != got.npos; });
  }

  void Answer(const std::string& frame) {
    ASSERT_EQ(write(controller_->DeviceFd(), frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
  }

  static std::string TransparentModeFrame(bool enable) {
    uint8_t item[EncodedSize<TransparentModeRecord>()];
    BuildInto(TransparentModeRecord{static_cast<uint8_t>(enable)}, item, sizeof item);
    return FrameEncode(item);
  }

  // Delivers what the link received until the step moves on from waiting.
  void DeliverAnswer() {
    WaitFor([&] { return runner_.Step() != step::kWaitingForTransparentMode; });
  }

  bool PortIsFree() { return ProgrammerRunnerTest::PortIsFree(controller_->ClientPath()); }

  std::unique_ptr<PseudoTerminal> controller_ = PseudoTerminal::Open();
};

TEST_F(TransparentModeTest, TheRequestAsksForTransparentModeInOneFrame) {
  const std::string request = Request();
  EXPECT_EQ(request.size(), 32u);
  uint8_t item[64];
  ASSERT_TRUE(DecodeItem(item, sizeof item, request).ok()) << request;
  EXPECT_EQ(ItemKey(item), key::SET_TRANSPARENT_MODE);
  EXPECT_EQ(ItemLength(item), 13);
  TransparentModeRecord asked{};
  ASSERT_TRUE(ParseFrom(asked, item + 4));
  EXPECT_EQ(asked.enable, 1);
  EXPECT_EQ(runner_.State(), ProgrammingState::kInProgress);
  EXPECT_EQ(runner_.StatusText(), "Preparing...");
}

// The module tool prints nothing to follow; a run under 10 s is a refusal. Its
// time counts from its start, not from the request.
TEST_F(TransparentModeTest, WhenGrantedTheModuleToolIsJudgedByItsRunTime) {
  struct Case {
    uint32_t answeredAfterMs;
    uint32_t toolRanMs;
    ProgrammingState state;
    const char* text;
  } cases[] = {
      {100, 3000, ProgrammingState::kError, "ERROR: Device not ready or not recognized!"},
      {100, 12000, ProgrammingState::kDone, ""},
      {4000, 7000, ProgrammingState::kError, "ERROR: Device not ready or not recognized!"},
      {100, 10000, ProgrammingState::kError, "ERROR: Device not ready or not recognized!"},
      {100, 10001, ProgrammingState::kDone, ""},
  };
  for (const Case& c : cases) {
    std::remove((dir_.Path() + "utils/pid").c_str());
    if (runner_.State() != ProgrammingState::kInProgress) runner_.Start();
    Request();
    clock_.Advance(c.answeredAfterMs);
    Answer(TransparentModeFrame(true));
    DeliverAnswer();
    EXPECT_EQ(runner_.Step(), step::kUploading);
    EXPECT_EQ(runner_.StatusText(), "Uploading firmware...");
    EXPECT_FALSE(PortIsFree()) << "the port passed from our link to the tool";
    const pid_t pid = ToolPid();
    WaitFor([&] { return ReadFile(dir_.Path() + "utils/opened") == "opened\n"; });
    EXPECT_EQ(ToolArguments(), "/fw/Kaz.hex\n/c:" + controller_->ClientPath() + "\n/r\n/v\n/d\n");
    WaitFor([&] { return ProcessEnded(pid); });
    clock_.Advance(c.toolRanMs);
    TickUntilSettled();
    EXPECT_EQ(runner_.State(), c.state) << c.toolRanMs;
    if (c.state == ProgrammingState::kError) {
      EXPECT_EQ(runner_.ErrorText(), c.text);
    }
    EXPECT_TRUE(ProcessGone(pid));
    EXPECT_TRUE(PortIsFree());
    runner_.Retry();
  }
}

TEST_F(TransparentModeTest, ARefusalEndsTheRunAtOnce) {
  Request();
  Answer(TransparentModeFrame(false));
  DeliverAnswer();
  EXPECT_EQ(runner_.State(), ProgrammingState::kError);
  EXPECT_EQ(runner_.Step(), step::kDeviceNotReady);
  EXPECT_TRUE(PortIsFree());
  EXPECT_EQ(ReadFile(dir_.Path() + "utils/pid"), "") << "the module tool never started";
}

TEST_F(TransparentModeTest, WithoutAnAnswerTheWaitEndsAfterFiveSeconds) {
  Request();
  // Neither a frame that fails its check nor another record is the answer.
  std::string wrongCheck = TransparentModeFrame(true);
  wrongCheck[wrongCheck.size() - 2] = wrongCheck[wrongCheck.size() - 2] == '0' ? '1' : '0';
  uint8_t other[EncodedSize<ServiceModeRecord>()];
  BuildInto(ServiceModeRecord{1}, other, sizeof other);
  Answer(wrongCheck + FrameEncode(other));
  test::PumpEvents(200);
  clock_.Advance(5000);
  runner_.Tick();
  EXPECT_EQ(runner_.Step(), step::kWaitingForTransparentMode);
  EXPECT_FALSE(PortIsFree());
  clock_.Advance(1);
  runner_.Tick();
  EXPECT_EQ(runner_.State(), ProgrammingState::kError);
  EXPECT_EQ(runner_.ErrorText(), "ERROR: Device not ready or not recognized!");
  EXPECT_TRUE(PortIsFree());
  // An answer after the wait has ended changes nothing.
  Answer(TransparentModeFrame(true));
  test::PumpEvents(100);
  EXPECT_EQ(runner_.State(), ProgrammingState::kError);
}

TEST_F(TransparentModeTest, APortThatCannotBeOpenedFailsNamingIt) {
  runner_.SetJob(3, dir_.Path() + "no-such-port", "/fw/Kaz.hex");
  runner_.Start();
  EXPECT_EQ(runner_.ErrorText(), "ERROR: Device not available!");
  EXPECT_EQ(runner_.Detail(), dir_.Path() + "no-such-port: No such file or directory");
}

}  // namespace
}  // namespace frosk
