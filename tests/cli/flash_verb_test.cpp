// froskctl flash with Debian's avrdude against the simulated bootloader.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/bootloader_device.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::BinPath;
using test::BootloaderDevice;
using test::RunProgram;

test::ProgramResult Froskctl(const std::vector<std::string>& args) {
  return RunProgram(BinPath("froskctl"), args, {}, 120000);
}

std::string Firmware(const std::string& name) { return BinPath("firmware/" + name); }

// The data bytes of an Intel HEX image without address records, in order.
std::vector<uint8_t> HexData(const std::string& path) {
  std::ifstream file(path);
  std::vector<uint8_t> data;
  std::string line;
  while (std::getline(file, line)) {
    if (line.size() < 11 || line.compare(7, 2, "00") != 0) continue;
    const size_t count = std::stoul(line.substr(1, 2), nullptr, 16);
    for (size_t i = 0; i < count; ++i) data.push_back(static_cast<uint8_t>(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16)));
  }
  return data;
}

// 48 KiB through a line paced at 57600 baud take avrdude about 19 s, far
// past the 5 s a run may take to reach a phase the parser knows.
TEST(FroskctlFlashTest, ARealSizeUploadThroughAPacedLineIsDone) {
  BootloaderDevice device("x128a4u", {.lineRate = 57600});
  const auto result = Froskctl({"flash", "1", "--port", device.Port()});
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
  const std::vector<uint8_t> image = HexData(Firmware("FroskTecV2.hex"));
  ASSERT_EQ(image.size(), 49152u);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), device.Flash().begin()));
}

// The controller has the other bootloader: nothing is written, and the error
// names the retry, which froskctl leaves to the user.
TEST(FroskctlFlashTest, TheOtherBootloaderVariantNamesTheRetry) {
  struct Case {
    const char* target;
    const char* device;
    const char* retry;
  } cases[] = {
      {"1", "x32a4", "2 --port PORT --file " },
      {"2", "x128a4u", "1 --port PORT --file "},
  };
  for (const Case& c : cases) {
    BootloaderDevice device(c.device);
    const auto result = Froskctl({"flash", c.target, "--port", device.Port()});
    EXPECT_EQ(result.exitCode, 1) << c.target;
    const std::string retryFile = Firmware(std::string(c.target) == "1" ? "FroskTec.hex" : "FroskTecV2.hex");
    std::string retry = std::regex_replace(c.retry, std::regex("PORT"), device.Port()) + retryFile;
    EXPECT_EQ(result.err, "ERROR: Need to repeat programming\nA retry programs target " + retry.substr(0, 1) +
                              " with " + retryFile + ":\n  froskctl flash " + retry + "\n");
    EXPECT_EQ(result.out, "Preparing...\n");
    EXPECT_TRUE(std::all_of(device.Flash().begin(), device.Flash().end(), [](uint8_t b) { return b == 0xFF; }));
  }
}

TEST(FroskctlFlashTest, FailuresEndInTheirErrorsWithTheLogKept) {
  test::TempDir dir;
  std::ifstream image(Firmware("FroskTec.hex"));
  std::stringstream content;
  content << image.rdbuf();
  const std::string oddPath = dir.Write("my \"new\" 'fw'/Frosk Tec.hex", content.str());
  struct Case {
    const char* what;
    const char* part;
    BootloaderLine line;
    BootloaderFaults faults;
    std::string file;
    int exitCode;
    std::string err;
    double maxSeconds;
    const char* logged;  // what the tool's printed log shows
  } cases[] = {
      {"a path with blanks and quotes", "x32a4", {}, {}, oddPath, 0, "", 10, "16384 bytes of flash verified"},
      {"read-back differs", "x32a4", {}, {.corruptReadBack = true}, "", 1, "ERROR: Verify error!\n", 10,
       "verification mismatch"},
      // avrdude would wait 50 s for an answer; it says nothing in the 5 s it is given.
      {"a silent controller", "x128a4u", {.silent = true}, {}, "", 1,
       "ERROR: Device not ready or not recognized!\n", 8, ""},
      {"a missing file", "x32a4", {}, {}, dir.Path() + "missing.hex", 1, "ERROR: Internal error!\n", 10,
       "missing.hex is not readable"},
  };
  for (const Case& c : cases) {
    BootloaderDevice device(c.part, c.line, c.faults);
    std::vector<std::string> args = {"flash", c.part == std::string("x32a4") ? "2" : "1", "--port", device.Port(),
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
      {{"flash", "4"}, 1, "ERROR: Internal error!\n"},
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
