#include "common/program_version.h"

#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"

namespace frosk {
namespace {

TEST(ProgramVersionTest, EachProgramNamesItsVersionWithoutADisplayOrDevice) {
  const std::string release(ProgramRelease());
  for (const std::string program : {"froskmanager", "froskctl", "frosk-sim"}) {
    // No display: the desktop program must answer before it looks for one.
    const test::ProgramResult result = test::RunProgram(
        "/usr/bin/env",
        {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb", test::BinPath(program), "--version"});
    EXPECT_EQ(result.exitCode, 0) << program << result.err;
    EXPECT_EQ(result.out, program + " " + release + "\n");
    EXPECT_EQ(result.err, "");
  }
}

}  // namespace
}  // namespace frosk
