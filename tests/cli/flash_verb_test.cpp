// froskctl flash with Debian's avrdude against the simulated bootloader.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "protocol/serial_port.h"
#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::BinPath;
using test::ProcessEnded;
using test::RunProgram;
using test::ScopedEnv;
using test::SimProcess;

// frosk-sim as a controller in its firmware-update mode.
std::unique_ptr<SimProcess> Bootloader(const std::string& part, std::vector<std::string> options = {}) {
  options.insert(options.begin(), {"--bootloader", part});
  auto sim = SimProcess::Start(options);
  EXPECT_TRUE(sim) << part;
  return sim;
}

test::ProgramResult Froskctl(const std::vector<std::string>& args) {
  return RunProgram(BinPath("froskctl"), args, {}, 120000);
}

std::string Firmware(const std::string& name) { return BinPath("firmware/" + name); }

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// Polls what another process does, never longer than `timeoutMs`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Whether a program runs whose command line holds `word` (a port's path).
bool AvrdudeRunsOn(const std::string& word) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string cmdline = ReadFile(entry.path().string() + "/cmdline");
    const std::string program = std::filesystem::path(cmdline.substr(0, cmdline.find('\0'))).filename();
    if (program == "avrdude" && cmdline.find(word + '\0') != std::string::npos) return true;
  }
  return false;
}

// A copy of froskctl in a folder of its own, with whatever tools a test puts in its utils/.
class FroskctlCopy {
 public:
  FroskctlCopy() { std::filesystem::copy_file(BinPath("froskctl"), Path()); }
  std::string Path() const { return dir_.Path() + "froskctl"; }
  std::string Folder() const { return dir_.Path(); }
  void Tool(const std::string& name, const std::string& script) const {
    const std::string path = dir_.Write("utils/" + name, "#!/bin/sh\n" + script + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }

 private:
  test::TempDir dir_;
};

// 48 KiB through a line paced at 57600 baud take avrdude about 19 s, far
// past the 5 s a run may take to reach a phase the parser knows.
// While it runs, no other FroskManager client gets the port.
TEST(FroskctlFlashTest, ARealSizeUploadThroughAPacedLineIsDone) {
  const auto device = Bootloader("x128a4u", {"--line-rate"});
  ASSERT_TRUE(device);
  test::ProgramResult result;
  std::thread flash([&] { result = Froskctl({"flash", "1", "--port", device->Path()}); });
  const bool started = WaitUntil([&] { return AvrdudeRunsOn(device->Path()); }, 10000);
  const auto other = Froskctl({"request", device->Path(), "GET_DEVICE_IDEN"});
  flash.join();
  ASSERT_TRUE(started);
  EXPECT_EQ(other.exitCode, 1);
  EXPECT_EQ(other.err, "cannot open " + device->Path() + ": in use by another program\n");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  std::istringstream lines(result.out);
  std::vector<std::string> statuses;
  int lastProgress = 0, progressLines = 0;
  const std::regex percent("([0-9]+)%");
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_match(line, match, percent)) {
      EXPECT_GE(std::stoi(match[1]), lastProgress) << line;
      lastProgress = std::stoi(match[1]);
      ++progressLines;
    } else {
      statuses.push_back(line);
    }
  }
  EXPECT_EQ(statuses, (std::vector<std::string>{"Preparing...", "Uploading firmware...", "Verifying data...",
                                                "Congratulations! Your device has been upgraded."}));
  EXPECT_GT(progressLines, 40);
  EXPECT_EQ(result.out.find('\r'), std::string::npos);
}

// The controller has the other bootloader: nothing is written, and the error
// names the retry, which froskctl leaves to the user.
TEST(FroskctlFlashTest, TheOtherBootloaderVariantNamesTheRetry) {
  struct Case {
    const char* target;
    const char* device;
    const char* retry;
  } cases[] = {
      {"1", "x32a4", "2 --port PORT --file "},
      {"2", "x128a4u", "1 --port PORT --file "},
  };
  for (const Case& c : cases) {
    const auto device = Bootloader(c.device);
    ASSERT_TRUE(device);
    const auto result = Froskctl({"flash", c.target, "--port", device->Path()});
    EXPECT_EQ(result.exitCode, 1) << c.target;
    const std::string retryFile = Firmware(std::string(c.target) == "1" ? "FroskTec.hex" : "FroskTecV2.hex");
    std::string retry = std::regex_replace(c.retry, std::regex("PORT"), device->Path()) + retryFile;
    EXPECT_EQ(result.err, "ERROR: Need to repeat programming\nA retry programs target " + retry.substr(0, 1) +
                              " with " + retryFile + ":\n  froskctl flash " + retry + "\n");
    EXPECT_EQ(result.out, "Preparing...\n");
  }
}

TEST(FroskctlFlashTest, FailuresEndInTheirErrorsWithTheLogKept) {
  test::TempDir dir;
  std::ifstream image(Firmware("FroskTec.hex"));
  std::stringstream content;
  content << image.rdbuf();
  // Named relative to where froskctl is started, as a user would.
  const std::string oddPath =
      std::filesystem::relative(dir.Write("my \"new\" 'fw'/Frosk Tec.hex", content.str())).string();
  struct Case {
    const char* what;
    const char* part;
    std::vector<std::string> options;
    std::string file;
    int exitCode;
    std::string err;
    double maxSeconds;
    const char* logged;  // what the tool's printed log shows
  } cases[] = {
      {"a relative path with blanks and quotes", "x32a4", {}, oddPath, 0, "", 10, "16384 bytes of flash verified"},
      {"read-back differs", "x32a4", {"--corrupt-readback"}, "", 1, "ERROR: Verify error!\n", 10,
       "verification mismatch"},
      // avrdude would wait 50 s for an answer; it says nothing in the 5 s it is given.
      {"a silent controller", "x128a4u", {"--silent"}, "", 1, "ERROR: Device not ready or not recognized!\n", 8, ""},
      {"a missing file", "x32a4", {}, dir.Path() + "missing.hex", 1, "ERROR: Internal error!\n", 10,
       "missing.hex is not readable"},
  };
  for (const Case& c : cases) {
    const auto device = Bootloader(c.part, c.options);
    ASSERT_TRUE(device);
    std::vector<std::string> args = {"flash", c.part == std::string("x32a4") ? "2" : "1", "--port", device->Path(),
                                     "--log"};
    if (!c.file.empty()) args.insert(args.end(), {"--file", c.file});
    const auto started = std::chrono::steady_clock::now();
    const auto result = Froskctl(args);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.what << "\n" << result.out << result.err;
    EXPECT_EQ(result.err, c.err) << c.what;
    EXPECT_LT(took.count(), c.maxSeconds) << c.what;
    EXPECT_NE(result.out.find(c.logged), std::string::npos) << c.what << ": the log is printed";
  }
}

// Target 3 against frosk-sim in controller mode, with a stand-in module tool
// beside a copy of froskctl that runs the given time. The tool prints nothing;
// how long it ran is all there is to judge.
TEST(FroskctlFlashTest, TheModuleIsProgrammedThroughTheControllersTransparentMode) {
  test::TempDir dir;
  const std::string froskctl = dir.Path() + "froskctl";
  std::filesystem::copy_file(BinPath("froskctl"), froskctl);
  struct Case {
    const char* what;
    std::vector<std::string> simOptions;
    const char* toolRuns;
    int exitCode;
    std::string out;
    std::string err;
    double minSeconds, maxSeconds;
  } cases[] = {
      {"granted, the tool runs 10.5 s", {}, "10.5", 0,
       "Preparing...\nUploading firmware...\nCongratulations! Your device has been upgraded.\n", "", 10.4, 14},
      {"granted, the tool ends after 1 s", {}, "1", 1, "Preparing...\nUploading firmware...\n",
       "ERROR: Device not ready or not recognized!\n", 0.9, 4},
      {"refused", {"--refuse-transparent"}, "0", 1, "Preparing...\n", "ERROR: Device not ready or not recognized!\n", 0,
       3},
      {"never answered", {"--silent"}, "0", 1, "Preparing...\n", "ERROR: Device not ready or not recognized!\n", 5,
       8},
  };
  for (const Case& c : cases) {
    const std::string wsd = dir.Write("utils/wsd", std::string("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"") +
                                                      dir.Path() + "args\"\nexec sleep " + c.toolRuns + "\n");
    std::filesystem::permissions(wsd, std::filesystem::perms::owner_all);
    std::filesystem::remove(dir.Path() + "args");
    const auto controller = SimProcess::Start(c.simOptions);
    ASSERT_TRUE(controller);
    const auto started = std::chrono::steady_clock::now();
    const auto result = RunProgram(froskctl, {"flash", "3", "--port", controller->Path()}, {}, 60000);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.what;
    EXPECT_EQ(result.out, c.out) << c.what;
    EXPECT_EQ(result.err, c.err) << c.what;
    EXPECT_GE(took.count(), c.minSeconds) << c.what;
    EXPECT_LT(took.count(), c.maxSeconds) << c.what;
    std::ifstream args(dir.Path() + "args");
    std::stringstream tool;
    tool << args.rdbuf();
    const bool toolRan = c.out.find("Uploading") != std::string::npos;
    EXPECT_EQ(tool.str(), toolRan ? dir.Path() + "firmware/Kaz.hex\n/c:" + controller->Path() + "\n/r\n/v\n/d\n" : "")
        << c.what;
  }
}

// A tool that is not there, or a port another client holds: the error says
// which, and the controller never hears of it.
TEST(FroskctlFlashTest, AFlashThatCannotBeginSendsNothing) {
  test::TempDir dir;
  const FroskctlCopy froskctl;
  const ScopedEnv path("PATH", dir.Path() + "bin");
  const auto controller = SimProcess::Start({"--log", dir.Path() + "frames.log"});
  ASSERT_TRUE(controller);
  int held = kNoPort;
  PortSettings settings;
  settings.portName = controller->Path();
  struct Case {
    const char* target;
    bool portHeld;
    std::string err;
  } cases[] = {
      {"1", false,
       "ERROR: Internal error!\navrdude not found; looked in " + froskctl.Folder() + "utils/, " + dir.Path() +
           "bin/\n"},
      {"3", false, "ERROR: Internal error!\nwsd not found; looked in " + froskctl.Folder() + "utils/\n"},
      {"2", true, "ERROR: Device not available!\n" + controller->Path() + ": in use by another program\n"},
  };
  for (const Case& c : cases) {
    if (c.portHeld) {
      ASSERT_EQ(PortOpen(&held, settings), 0);
      froskctl.Tool("avrdude", "echo ran > '" + dir.Path() + "ran'");
    }
    const auto result = RunProgram(froskctl.Path(), {"flash", c.target, "--port", controller->Path()});
    EXPECT_EQ(result.exitCode, 1) << c.target;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
  PortClose(&held);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "ran"));
  EXPECT_EQ(Froskctl({"request", controller->Path(), "GET_DEVICE_IDEN"}).exitCode, 0);
  test::WaitForLine(dir.Path() + "frames.log", {"GET_DEVICE_IDEN"});
  EXPECT_EQ(ReadFile(dir.Path() + "frames.log").find("TRANSPARENT"), std::string::npos);
}

// However froskctl ends mid-write, the tool does not write on.
TEST(FroskctlFlashTest, TheToolEndsWithFroskctl) {
  test::TempDir dir;
  const FroskctlCopy froskctl;
  froskctl.Tool("avrdude", "echo \"$$ $PPID\" > '" + dir.Path() + "pids.tmp'\nmv '" + dir.Path() + "pids.tmp' '" +
                               dir.Path() + "pids'\necho 'avrdude: writing 49152 bytes flash ...'\nexec sleep 600");
  const auto device = Bootloader("x128a4u");
  ASSERT_TRUE(device);
  struct Case {
    int signal;
    int exitCode;
    std::string err;
  } cases[] = {
      {SIGTERM, 128 + SIGTERM, "froskctl: interrupted"},
      {SIGINT, 130, "froskctl: interrupted"},
      {SIGKILL, 128 + SIGKILL, ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir.Path() + "pids");
    test::ProgramResult result;
    std::thread flash([&] { result = RunProgram(froskctl.Path(), {"flash", "1", "--port", device->Path()}); });
    pid_t tool = 0, parent = 0;
    if (WaitUntil([&] { return std::filesystem::exists(dir.Path() + "pids"); }, 10000)) {
      std::istringstream(ReadFile(dir.Path() + "pids")) >> tool >> parent;
      kill(parent, c.signal);
    }
    flash.join();
    ASSERT_GT(tool, 0) << c.signal;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.signal;
    // Whether the run had seen the tool write by then is a matter of timing.
    EXPECT_EQ(result.err.substr(0, c.err.size()), c.err) << c.signal;
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(tool); }, 5000)) << c.signal;
  }
}

TEST(FroskctlFlashTest, TargetsAndPortsAreChecked) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } cases[] = {
      {{"flash"}, 2, "froskctl: flash takes one TARGET (1 to 6)\n"},
      {{"flash", "7", "--port", "COM3"}, 2, "froskctl: TARGET must be 1 to 6\n"},
      {{"flash", "3"}, 2, "froskctl: target 3 needs --port\n"},
      {{"flash", "5", "--port", "COM3"}, 2,
       "froskctl: target 5 programs through the USB programmer and takes no --port\n"},
      {{"flash", "4"}, 1, "ERROR: Internal error!\nno programming tool for 1WIRE memory via QUVA\n"},
      {{"flash", "6"}, 1, "ERROR: Device not available!\n"},
  };
  for (const Case& c : cases) {
    const auto result = Froskctl(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.size();
    EXPECT_EQ(result.err, c.err);
  }
}

}  // namespace
}  // namespace frosk
