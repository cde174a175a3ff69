// The station's metrics file: the text format node-exporter's collector reads.
#include "cli/fleet_metrics.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/text_lines.h"

namespace frosk::test {
namespace {

using cli::ControllerMetrics;
using cli::FleetMetricsText;
using cli::LabelValue;

ControllerMetrics Answering() {
  ControllerMetrics c;
  c.serial = "204711-03";
  c.port = "/dev/ttyUSB0";
  c.name = "Bay 4";
  c.up = true;
  c.detectorKelvin = 195.125;
  c.setpointKelvin = 195;
  c.tecAmperes = 1.2345;
  c.tecMaxAmperes = 2.5;
  c.tecVolts = 1.475;
  c.supplyPlusVolts = 11.987;
  c.supplyMinusVolts = -11.988;
  c.statusCode = 0;
  c.coolDownSeconds = 120;
  c.lastReplySeconds = 1796932546.869;
  return c;
}

TEST(FleetMetricsTest, LabelValuesEscapeWhatTheFormatRequiresAndNothingElse) {
  const std::pair<std::string, std::string> cases[] = {
      {"Bay 4", "Bay 4"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\frosk", "C:\\\\frosk"},
      {"two\nlines", "two\\nlines"},
      // Bytes that are not UTF-8 text are written as froskctl writes device text.
      {std::string("\x01\xE9", 2), "\\\\x01\\\\xE9"},
  };
  for (const auto& [text, escaped] : cases) EXPECT_EQ(LabelValue(text), escaped) << text;
}

// Every line is a comment or NAME{LABELS} VALUE; each metric's HELP and TYPE
// come once, before its samples, and its samples stand together.
TEST(FleetMetricsTest, EachMetricIsOneGaugeFamilyWithItsSamplesTogether) {
  ControllerMetrics down;
  down.port = "/dev/ttyUSB1";
  ControllerMetrics odd = Answering();
  odd.port = "/dev/ttyUSB2";
  odd.name = "a \"b\" \\ c";
  odd.statusCode = 1;
  const std::string text = FleetMetricsText("line-3", {Answering(), down, odd});

  const std::regex sample(
      R"re(^([a-z_]+)\{serial="(?:[^"\\]|\\.)*",port="[^"]*",name="(?:[^"\\]|\\.)*",station="line-3"(,rail="(plus|minus)")?\} (-?[0-9.e+]+)$)re");
  std::set<std::string> done;
  std::string current;
  std::map<std::string, int> samples;
  for (const std::string& line : Lines(text)) {
    std::smatch m;
    if (line.rfind("# HELP ", 0) == 0) {
      const std::string name = line.substr(7, line.find(' ', 7) - 7);
      EXPECT_TRUE(done.insert(name).second) << "second HELP for " << name;
      current = name;
      continue;
    }
    if (line.rfind("# TYPE ", 0) == 0) {
      EXPECT_EQ(line, "# TYPE " + current + " gauge");
      continue;
    }
    ASSERT_TRUE(std::regex_match(line, m, sample)) << line;
    EXPECT_EQ(m[1], current) << "a sample away from its family: " << line;
    ++samples[m[1]];
  }
  const std::set<std::string> names = {"frosk_up",
                                       "frosk_detector_temperature_kelvin",
                                       "frosk_detector_setpoint_kelvin",
                                       "frosk_tec_current_amperes",
                                       "frosk_tec_current_max_amperes",
                                       "frosk_tec_voltage_volts",
                                       "frosk_supply_voltage_volts",
                                       "frosk_status_code",
                                       "frosk_temperature_locked",
                                       "frosk_cool_down_seconds",
                                       "frosk_last_reply_timestamp_seconds"};
  EXPECT_EQ(done, names);
  // The controller that never answered shows only that it does not.
  EXPECT_EQ(samples["frosk_up"], 3);
  EXPECT_EQ(samples["frosk_detector_temperature_kelvin"], 2);
  EXPECT_EQ(samples["frosk_supply_voltage_volts"], 4);

  EXPECT_NE(text.find("frosk_up{serial=\"\",port=\"/dev/ttyUSB1\",name=\"\",station=\"line-3\"} 0\n"),
            std::string::npos);
  EXPECT_NE(text.find("name=\"a \\\"b\\\" \\\\ c\""), std::string::npos) << text;
  EXPECT_NE(text.find("frosk_tec_current_amperes{serial=\"204711-03\",port=\"/dev/ttyUSB0\",name=\"Bay "
                      "4\",station=\"line-3\"} 1.2345\n"),
            std::string::npos);
  EXPECT_NE(text.find("frosk_supply_voltage_volts{serial=\"204711-03\",port=\"/dev/ttyUSB0\",name=\"Bay "
                      "4\",station=\"line-3\",rail=\"minus\"} -11.988\n"),
            std::string::npos);
  EXPECT_NE(text.find("frosk_last_reply_timestamp_seconds{serial=\"204711-03\",port=\"/dev/ttyUSB0\",name=\"Bay "
                      "4\",station=\"line-3\"} 1796932546.869\n"),
            std::string::npos);
  // Locked follows the status code: 0 is locked, cooling is not.
  EXPECT_NE(text.find("frosk_temperature_locked{serial=\"204711-03\",port=\"/dev/ttyUSB0\",name=\"Bay "
                      "4\",station=\"line-3\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("frosk_temperature_locked{serial=\"204711-03\",port=\"/dev/ttyUSB2\",name=\"a \\\"b\\\" \\\\ "
                      "c\",station=\"line-3\"} 0\n"),
            std::string::npos);
}

}  // namespace
}  // namespace frosk::test
