#include "app/program_options.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace frosk {
namespace {

TEST(ProgramOptionsTest, TakesPortsAndUpdateServerAndRejectsTheRest) {
  struct Case {
    QStringList arguments;
    bool ok;
    std::optional<std::vector<std::string>> ports;
    std::string host = "updates.froskmanager.invalid";
    uint16_t port = 80;
  };
  const Case cases[] = {
      {{}, true, std::nullopt},
      {{"--ports", ",COM3,,pts/4,"}, true, std::vector<std::string>{"COM3", "pts/4"}},
      {{"--ports="}, true, std::vector<std::string>{}},
      {{"--update-server", "127.0.0.1:8080", "--ports=/dev/pts/7"},
       true,
       std::vector<std::string>{"/dev/pts/7"},
       "127.0.0.1",
       8080},
      {{"--update-server=localhost"}, true, std::nullopt, "localhost", 80},
      {{"--update-server", "host:99999"}, false, std::nullopt},
      {{"--update-server"}, false, std::nullopt},
      {{"--ports"}, false, std::nullopt},
      {{"--port", "COM1"}, false, std::nullopt},
      {{"COM1"}, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    ProgramOptions options;
    std::string error;
    ASSERT_EQ(ParseProgramOptions(QStringList{"froskmanager"} + c.arguments, options, error), c.ok);
    EXPECT_EQ(error.empty(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(options.engine.ports, c.ports);
    EXPECT_EQ(options.engine.updateServer.host, c.host);
    EXPECT_EQ(options.engine.updateServer.port, c.port);
  }
}

}  // namespace
}  // namespace frosk
