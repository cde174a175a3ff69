#include "firmware/output_parser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace frosk {
namespace {

struct Expected {
  int step;
  int progress;
  bool endTool = false;
};

void ExpectVerdict(const std::optional<ParserVerdict>& verdict, const Expected& expected, const std::string& what) {
  ASSERT_TRUE(verdict.has_value()) << what;
  EXPECT_EQ(verdict->step, expected.step) << what;
  EXPECT_EQ(verdict->progress, expected.progress) << what;
  EXPECT_EQ(verdict->endTool, expected.endTool) << what;
}

std::string Transcript(const std::string& name) {
  std::ifstream file(std::string(FROSK_SOURCE_DIR) + "/tests/firmware/avrdude/" + name + ".log", std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_FALSE(text.str().empty()) << name;
  return text.str();
}

std::string Marks(int count) { return std::string(static_cast<size_t>(count), '#'); }

// Debian's avrdude against the simulated bootloader, each case as it printed it.
TEST(OutputParserTest, RecordedAvrdudeRunsEndInTheirSteps) {
  struct Case {
    const char* transcript;
    int target;
    uint32_t elapsedMs;
    Expected expected;
  } cases[] = {
      {"success_x128a4u_48k_paced", 1, 19000, {step::kFinished, 100}},
      {"success_x32a4", 2, 1100, {step::kFinished, 100}},
      {"signature_x128a4u_on_x32a4", 1, 1000, {step::kRepeatProgramming, 0}},
      {"signature_x32a4_on_x128a4u", 2, 1000, {step::kRepeatProgramming, 0}},
      {"verification_mismatch", 2, 1100, {step::kVerifyError, 100}},
      // A bootloader that never answers: avrdude waits 50 s; the run is ended at 5 s.
      {"silent_bootloader", 1, 5001, {step::kDeviceNotReady, 0, true}},
      {"missing_port", 1, 50, {step::kDeviceNotAvailable, 0}},
      {"not_a_port", 2, 50, {step::kDeviceNotAvailable, 0}},
      {"no_usb_programmer_target5", 5, 300, {step::kDeviceNotAvailable, 0}},
      {"no_usb_programmer_target6", 6, 300, {step::kDeviceNotAvailable, 0}},
  };
  for (const Case& c : cases)
    ExpectVerdict(ParseProgrammerOutput(Transcript(c.transcript), c.elapsedMs, c.target, true), c.expected,
                  c.transcript);
}

TEST(OutputParserTest, AToolThatEndsUnrecognisedHasFailed) {
  const std::string log = Transcript("missing_file");
  EXPECT_EQ(ParseProgrammerOutput(log, 300, 1, true), std::nullopt);
  ExpectVerdict(ParseProgrammerOutput(log, 300, 1, false), {step::kToolFailed, 0}, "missing file");
}

// The log is read as it grows: a cut anywhere in a successful run, mid-bar
// included, never reads as a failure, and the progress only climbs. Before the
// upload begins the run is young; once it is uploading, time no longer counts.
TEST(OutputParserTest, ASuccessfulRunReadAtEveryCutOnlyMovesForward) {
  for (const auto& [name, target] : {std::pair{"success_x128a4u_48k_paced", 1}, std::pair{"success_x32a4", 2}}) {
    const std::string log = Transcript(name);
    const size_t writing = log.find("writing ");
    ASSERT_NE(writing, std::string::npos);
    int lastStep = step::kStarted;
    int lastProgress = 0;
    for (size_t cut = 0; cut <= log.size(); ++cut) {
      const uint32_t elapsed = cut <= writing + 40 ? 1500 : 60000;
      const auto verdict = ParseProgrammerOutput(std::string_view(log).substr(0, cut), elapsed, target, true);
      if (!verdict) continue;
      ASSERT_FALSE(verdict->endTool) << name << " cut at " << cut;
      ASSERT_LE(verdict->step, step::kFinished) << name << " cut at " << cut;
      ASSERT_GE(verdict->step, lastStep) << name << " cut at " << cut;
      ASSERT_GE(verdict->progress, lastProgress) << name << " cut at " << cut;
      lastStep = verdict->step;
      lastProgress = verdict->progress;
    }
    EXPECT_EQ(lastStep, step::kFinished) << name;
  }
}

TEST(OutputParserTest, ProgressFollowsTheBarsMarks) {
  const std::string writing = "avrdude: writing flash (1000 bytes):\n\nWriting | ";
  const std::string reading = "avrdude: 1000 bytes of flash written\navrdude: verifying flash memory against f.hex\n"
                              "avrdude: reading on-chip flash data:\n\nReading | ";
  struct Case {
    std::string log;
    Expected expected;
  } cases[] = {
      {writing + Marks(25), {step::kUploading, 31}},
      {writing, {step::kUploading, 10}},
      {writing + Marks(1), {step::kUploading, 10}},
      {writing + Marks(50) + " | 100% 0.50s\n\n", {step::kUploading, 55}},
      // The phase has begun but its bar is not drawn yet.
      {"avrdude: writing 49152 bytes flash ...\n\n", {step::kUploading, 10}},
      {writing + Marks(50) + " | 100%\n\n" + reading + Marks(11), {step::kVerifying, 64}},
      {writing + Marks(50) + " | 100%\n\n" + reading + Marks(50) + " | 100%\n", {step::kVerifying, 100}},
  };
  for (const Case& c : cases) ExpectVerdict(ParseProgrammerOutput(c.log, 100, 1, true), c.expected, c.log);
}

// The texts of older avrdude releases and the order the rules are tried in.
TEST(OutputParserTest, RulesAreTriedInOrderOverOlderAndCurrentTexts) {
  struct Case {
    const char* log;
    int target;
    uint32_t elapsedMs;
    std::optional<Expected> expected;
  } cases[] = {
      {"avrdude: verification error, first mismatch at byte 0x0000\navrdude: reading on-chip flash data:\n", 1, 100,
       Expected{step::kVerifyError, 100}},
      {"avrdude: 1000 bytes of flash verified\navrdude: verification error\n", 2, 100, Expected{step::kFinished, 100}},
      {"avrdude: error: buffered memory access not supported. Maybe it isn't\n", 1, 100,
       Expected{step::kDeviceNotReady, 0}},
      {"avrdude: Expected signature for ATxmega32A4 is 1E 95 41\n", 2, 100, Expected{step::kRepeatProgramming, 0}},
      {"avrdude: ser_open(): can't open device \"\\\\.\\COM3\"\n", 1, 100, Expected{step::kDeviceNotAvailable, 0}},
      {"Connecting to programmer: .\n", 1, 5000, Expected{step::kConnecting, 0}},
      {"Connecting to programmer: .\n", 1, 5001, Expected{step::kDeviceNotReady, 0, true}},
      {"avrdude: AVR device initialized\n", 1, 5000, std::nullopt},
      {"avrdude: AVR device initialized\n", 1, 5001, Expected{step::kDeviceNotReady, 0, true}},
      {"", 2, 5001, Expected{step::kDeviceNotReady, 0, true}},
      // Targets 5 and 6 are done only when the bootloader and the fuse are both verified.
      {"avrdude: reading on-chip boot data:\n\nReading | " "##################################################"
       " | 100%\n\navrdude: 4096 bytes of boot verified\n",
       5, 100, Expected{step::kVerifying, 100}},
      {"avrdude: 4096 bytes of boot verified\navrdude: 1 byte of fuse2 verified\n", 6, 100,
       Expected{step::kFinished, 100}},
      {"avrdude: writing boot (4096 bytes):\n\nWriting | ##########", 5, 9000, Expected{step::kUploading, 18}},
      {"avrdude: writing 4096 bytes boot ...\n", 6, 9000, Expected{step::kUploading, 10}},
      {"avrdude: stk500v2_command(): error in CMD_XPROG: Failed\n", 5, 100, Expected{step::kDeviceNotReady, 0}},
      {"avrdude: stk500v2_getsync(): found AVRISP mkII programmer\n", 5, 200, Expected{step::kConnecting, 0}},
      {"Found AVRISP mkII\n", 6, 5001, Expected{step::kDeviceNotReady, 0, true}},
      {"avrdude: writing flash (10 bytes):\n", 5, 5001, Expected{step::kDeviceNotReady, 0, true}},
      // The bootloader's texts mean nothing for the ISP targets and the other way round.
      {"did not find any USB device\n", 1, 100, std::nullopt},
      {"avrdude: writing 12 bytes flash\n", 3, 60000, std::nullopt},
      {"avrdude: writing  bytes flash\n", 1, 100, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto verdict = ParseProgrammerOutput(c.log, c.elapsedMs, c.target, true);
    if (!c.expected) {
      EXPECT_EQ(verdict, std::nullopt) << c.log;
      continue;
    }
    ExpectVerdict(verdict, *c.expected, c.log);
  }
}

// The module tool prints nothing to follow; only how long it ran tells.
TEST(OutputParserTest, TheModuleToolIsJudgedByItsRunTime) {
  struct Case {
    uint32_t elapsedMs;
    int step;
  } cases[] = {{3000, step::kDeviceNotReady}, {10000, step::kDeviceNotReady}, {10001, step::kFinished},
               {12000, step::kFinished}};
  for (const Case& c : cases) ExpectVerdict(ParseProgrammerOutput("", c.elapsedMs, 3, false), {c.step, 0}, "");
  EXPECT_EQ(ParseProgrammerOutput("flash verified", 60000, 3, true), std::nullopt);
  ExpectVerdict(ParseProgrammerOutput("flash verified", 100, 1, false), {step::kToolFailed, 0}, "");
}

}  // namespace
}  // namespace frosk
