// froskmanager itself, ended by a signal as a desktop session or a service
// manager ends it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QSettings>

#include "discovery_fixture.h"
#include "support/event_pump.h"
#include "support/local_http_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::FakeController;
using test::LocalHttpServer;

// The signal arrives once the program is running: its scan has probed the
// device. The settings are then written as at a normal exit, with the values
// the program holds (a hand-edited "false" and "true" come back as 0 and 1,
// ServiceMode stays as it was), and the program ends of itself, asking nothing.
// With the automatic check unticked, the update server never hears from it.
TEST(ProgramEndTest, ASignalSavesTheSettingsAndEndsTheProgram) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    test::TempDir home;
    const std::string file = home.Write("DROV System/FroskManager.conf",
                                        "[Settings]\nUpdatesAutoCheck=false\nUseSpecificPorts=true\nServiceMode=1\n");
    LocalHttpServer server({.reply = "HTTP/1.1 200 OK\r\n\r\n[FroskManager]\r\nBuild=63\r\n"});
    FakeController device("FroskTec A", 111111);
    auto program = test::StartedProgram::Start(test::BinPath("froskmanager"),
                                               {"--ports", device.Port(), "--update-server", server.Address()},
                                               {"XDG_CONFIG_HOME=" + home.Path(), "QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(program);
    ASSERT_TRUE(test::WaitFor(
        [&] {
          device.Service();
          return device.ProbesSeen() > 0;
        },
        20000));

    EXPECT_EQ(program->Stop(signal, 10000), 0);
    QSettings store(QString::fromStdString(file), QSettings::IniFormat);
    EXPECT_EQ(store.value("Settings/UpdatesAutoCheck").toString().toStdString(), "0");
    EXPECT_EQ(store.value("Settings/UseSpecificPorts").toString().toStdString(), "1");
    EXPECT_TRUE(store.contains("Settings/PortsList"));
    EXPECT_EQ(store.value("Settings/ServiceMode").toString().toStdString(), "1");
    EXPECT_EQ(server.Connections(), 0);
  }
}

}  // namespace
}  // namespace frosk
