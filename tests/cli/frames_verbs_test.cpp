#include <gtest/gtest.h>

#include "support/run_program.h"

namespace frosk {
namespace {

using test::BinPath;
using test::RunProgram;

test::ProgramResult Froskctl(const std::vector<std::string>& args, const std::string& input = {}) {
  return RunProgram(BinPath("froskctl"), args, input);
}

TEST(FroskctlFramesTest, DecodePrintsTheTreeIndentedByDepth) {
  const auto result = Froskctl({"decode", "$0410000D10000009101B0005016F96#"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out,
            "SET_SERVICE_MODE (container)\n"
            "  SERVICE_MODE (container)\n"
            "    SERVICE_MODE_ENABLE (bool: TRUE)\n");
  EXPECT_EQ(result.err, "");
}

TEST(FroskctlFramesTest, DecodeReadsAFrameFromStandardInput) {
  const auto result = Froskctl({"decode", "-"}, "  \n$0000000E0200000A02150006123475DE#\r\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, " (container)\n  DEVICE_CHECK (container)\n    DEVICE_CHECK_VALUE (uint16: 4660)\n");
}

TEST(FroskctlFramesTest, DecodeNamesWhatFailed) {
  struct Case {
    const char* frame;
    const char* message;
  } cases[] = {
      {"0410000D10000009101B0005016F96#", "missing \"$\" at the start of the frame"},
      {"$0410000D10000009101B0005016F96", "missing \"#\" at the end of the frame"},
      {"$0410000D10000009101B0005016F97#", "check value expected 6F97, computed 6F96"},
      {"$0410000C10000000101B0005C745#", "invalid item: child 0x1000 of 0x0410 declares length 0, below 4"},
  };
  for (const Case& c : cases) {
    const auto result = Froskctl({"decode", c.frame});
    EXPECT_EQ(result.exitCode, 2) << c.frame;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  const auto tooLong = Froskctl({"decode", "$" + std::string(2 * 10241, '0') + "0000#"});
  EXPECT_EQ(tooLong.exitCode, 2);
  EXPECT_NE(tooLong.err.find("too long"), std::string::npos);

  // An endless input is refused once it holds more than any frame, not read whole.
  const auto endless =
      RunProgram("/bin/sh", {"-c", "exec \"$0\" decode - < /dev/zero", test::BinPath("froskctl")}, {}, 10000);
  EXPECT_EQ(endless.exitCode, 2);
  EXPECT_EQ(endless.out, "");
  EXPECT_NE(endless.err.find("standard input holds more than one frame can"), std::string::npos) << endless.err;
}

TEST(FroskctlFramesTest, DecodeEscapesDeviceText) {
  // DEVICE_IDEN_NAME with a tab, a backslash and a byte above 0x7E.
  const auto result = Froskctl({"decode", "$01410009410942905C4B3B#"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "DEVICE_IDEN_NAME (cstr: A\\x09B\\x90\\\\)\n");
}

TEST(FroskctlFramesTest, EncodeBuildsRequests) {
  struct Case {
    std::vector<std::string> args;
    const char* frame;
  } cases[] = {
      {{"encode", "GET_FROSKTEC_MONITOR"}, "$05200004C500#\n"},
      {{"encode", "0x0520"}, "$05200004C500#\n"},
      {{"encode", "SET_SERVICE_MODE", "SERVICE_MODE_ENABLE=TRUE"}, "$0410000D10000009101B0005016F96#\n"},
      {{"encode", "SET_SERVICE_MODE"}, "$0410000D10000009101B000500AF57#\n"},
  };
  for (const Case& c : cases) {
    const auto result = Froskctl(c.args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, c.frame);
  }
}

TEST(FroskctlFramesTest, EncodeScalesValuesAndTakesChoiceNames) {
  const auto encoded =
      Froskctl({"encode", "SET_MODULE_USER_SET", "MODULE_BASIC_PARAMS_T_DET=230", "MODULE_BASIC_PARAMS_SUP_CTRL=on"});
  ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
  const auto decoded = Froskctl({"decode", "-"}, encoded.out);
  EXPECT_NE(decoded.out.find("MODULE_BASIC_PARAMS_T_DET (uint32: 230000)"), std::string::npos);
  EXPECT_NE(decoded.out.find("MODULE_BASIC_PARAMS_SUP_CTRL (uint8: 2)"), std::string::npos);
  EXPECT_NE(decoded.out.find("MODULE_BASIC_PARAMS_PWM (uint16: 0)"), std::string::npos);

  // The limits themselves, and what rounds onto them, are within.
  for (const char* value : {"100", "400", "399.9996", "99.9995"}) {
    const auto atLimit = Froskctl({"encode", "SET_MODULE_USER_SET", std::string("MODULE_BASIC_PARAMS_T_DET=") + value});
    EXPECT_EQ(atLimit.exitCode, 0) << value << atLimit.err;
  }
}

TEST(FroskctlFramesTest, EncodeRefusesWhatItCannotBuild) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"encode", "GET_NOTHING"}, "unknown command \"GET_NOTHING\""},
      {{"encode", "0x0040"}, "unknown command \"0x0040\""},
      {{"encode", "GET_DEVICE_IDEN", "DEVICE_IDEN_TYPE=1"}, "GET_DEVICE_IDEN takes no fields"},
      {{"encode", "SET_SERVICE_MODE", "ENABLE=1"}, "unknown field \"ENABLE\" for SET_SERVICE_MODE"},
      {{"encode", "SET_SERVICE_MODE", "SERVICE_MODE_ENABLE=1", "SERVICE_MODE_ENABLE=0"},
       "field SERVICE_MODE_ENABLE given twice"},
      {{"encode", "SET_SERVICE_MODE", "SERVICE_MODE_ENABLE=maybe"}, "SERVICE_MODE_ENABLE: \"maybe\""},
      {{"encode", "SET_DEVICE_IDEN", "DEVICE_IDEN_PROD_DATE=2024-02"}, "DEVICE_IDEN_PROD_DATE: \"2024-02\""},
      {{"encode", "SET_MODULE_USER_SET", "MODULE_BASIC_PARAMS_T_DET=99999999999999999999"},
       "MODULE_BASIC_PARAMS_T_DET: \"99999999999999999999\" is outside the field's limits 100.000 K to 400.000 K"},
      {{"encode", "SET_MODULE_USER_SET", "MODULE_BASIC_PARAMS_T_DET=400.001"}, "\"400.001\" is outside"},
      {{"encode", "SET_MODULE_USER_SET", "MODULE_BASIC_PARAMS_T_DET=99.9994"}, "\"99.9994\" is outside"},
      {{"encode", "SET_MODULE_USER_SET", "MODULE_BASIC_PARAMS_PWM=65536"},
       "MODULE_BASIC_PARAMS_PWM: \"65536\" is outside the field's limits 0 to 65535"},
      {{"encode", "SET_MODULE_USER_SET", "MODULE_BASIC_PARAMS_SUP_CTRL=3"}, "outside the field's limits 0 to 2"},
      {{"encode"}, "encode needs a COMMAND"},
      {{"frobnicate"}, "unknown verb \"frobnicate\""},
      {{"decode", "--verbose", "x"}, "unknown option --verbose"},
  };
  for (const Case& c : cases) {
    const auto result = Froskctl(c.args);
    EXPECT_EQ(result.exitCode, 2) << c.message;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
}

TEST(FroskctlFramesTest, HelpGoesToStandardOutput) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"encode", "--help"}}) {
    const auto result = Froskctl(args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("usage: froskctl"), std::string::npos);
  }
}

}  // namespace
}  // namespace frosk
