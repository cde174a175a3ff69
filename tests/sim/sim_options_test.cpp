#include "sim/sim_options.h"

#include <gtest/gtest.h>

namespace frosk::sim {
namespace {

CommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(SimOptionsTest, OptionsSetTheDeviceTheyName) {
  // clang-format off
  const CommandLine line = Parse({
      "--module", "nomem", "--device-type=1", "--firmware", "13", "--name", "Bench",
      "--serial", "123456789", "--prod-date", "2024-02-29", "--nomem-compatible", "--status", "141",
      "--module-serial", "000301-14", "--module-firmware", "0",
      "--count", "3", "--link", "/tmp/x", "--state", "/tmp/s", "--log", "/tmp/l", "--line-rate",
      "--reply-delay", "250", "--drop-every", "2", "--corrupt-every", "3", "--garbage-every", "4",
      "--overlong-every", "5", "--silent", "--vanish-after", "6", "--refuse-transparent",
      "--bootloader", "x32a4", "--corrupt-readback"});
  // clang-format on
  ASSERT_EQ(line.error, "");
  const SimOptions& o = line.options;
  EXPECT_EQ(o.controller.module, ModuleKind::kNoMem);
  EXPECT_EQ(o.controller.deviceIden.type, 1);
  EXPECT_EQ(o.controller.deviceIden.firmVer, 13);
  EXPECT_STREQ(o.controller.deviceIden.name, "Bench");
  EXPECT_EQ(SerialToText(o.controller.deviceIden.serial), "123456789");
  EXPECT_EQ(DateToText(o.controller.deviceIden.prodDate), "2024-02-29");
  EXPECT_TRUE(o.controller.noMemCompatible);
  EXPECT_EQ(o.controller.forcedStatus, 141);
  EXPECT_EQ(SerialToText(o.controller.moduleIden.serial), "000301-14");
  EXPECT_EQ(o.controller.moduleIden.firmVer, 0);
  EXPECT_EQ(o.count, 3u);
  EXPECT_EQ(o.linkDir, "/tmp/x");
  EXPECT_EQ(o.stateFile, "/tmp/s");
  EXPECT_EQ(o.logFile, "/tmp/l");
  EXPECT_TRUE(o.lineRate);
  EXPECT_EQ(o.faults.replyDelay.count(), 250);
  EXPECT_EQ(o.faults.dropEvery, 2u);
  EXPECT_EQ(o.faults.corruptEvery, 3u);
  EXPECT_EQ(o.faults.garbageEvery, 4u);
  EXPECT_EQ(o.faults.overlongEvery, 5u);
  EXPECT_TRUE(o.faults.silent);
  EXPECT_EQ(o.faults.vanishAfter, 6u);
  EXPECT_TRUE(o.controller.refuseTransparentMode);
  ASSERT_NE(o.bootloader, nullptr);
  EXPECT_STREQ(o.bootloader->name, "x32a4");
  EXPECT_TRUE(o.bootloaderFaults.corruptReadBack);
  EXPECT_EQ(Parse({}).options.bootloader, nullptr);
}

TEST(SimOptionsTest, RefusesWhatItCannotUse) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--frobnicate"}, "unknown option --frobnicate"},
      {{"stray"}, "unexpected argument"},
      {{"--count"}, "--count needs N"},
      {{"--count", "0"}, "--count needs a whole number from 1 to 64"},
      {{"--module", "usb"}, "--module takes none, nomem, 1wire or veltra"},
      {{"--serial", "12-34"}, "is not a serial number"},
      {{"--prod-date", "2025-13-01"}, "is not a date"},
      {{"--name", std::string(40, 'x')}, "longer than 31 characters"},
      {{"--firmware", "70000"}, "--firmware needs a whole number from 0 to 65535"},
      {{"--status", "256"}, "--status needs a whole number from 0 to 255"},
      {{"--silent=yes"}, "--silent takes no value"},
      {{"--drop-every", "-1"}, "--drop-every needs a whole number"},
      {{"--bootloader", "atmega328p"}, "--bootloader takes x128a4u|x32a4, not \"atmega328p\""},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_NE(line.error.find(c.says), std::string::npos) << c.args.front() << ": " << line.error;
  }
}

TEST(SimOptionsTest, CountedDevicesDifferOnlyInSerialAndMemory) {
  const CommandLine line = Parse({"--count", "3", "--state", "/tmp/mem"});
  ASSERT_EQ(line.error, "");
  const char* serials[] = {"123456-07", "123457-07", "123458-07"};
  for (unsigned i = 0; i < 3; ++i) {
    const ControllerSettings settings = SettingsForDevice(line.options, i);
    EXPECT_EQ(SerialToText(settings.deviceIden.serial), serials[i]);
    EXPECT_STREQ(settings.deviceIden.name, "FroskTEC");
    EXPECT_EQ(StateFileForDevice(line.options, i), "/tmp/mem." + std::to_string(i));
  }
  EXPECT_EQ(StateFileForDevice(Parse({"--state", "/tmp/mem"}).options, 0), "/tmp/mem");
}

}  // namespace
}  // namespace frosk::sim
