#pragma once

#include <string_view>

namespace frosk {

// The program's own version. The update check offers a download only when
// the server names a higher build than this one.
inline constexpr int ProgramBuild = 63;
inline constexpr std::string_view ProgramVersionText = "1.1.8 (build 63)";

// The release number the build and the package carry ("1.1.8").
std::string_view ProgramRelease();

// Answers "PROGRAM --version" with "PROGRAM RELEASE" on standard output. True
// when it answered, so the caller exits with 0 before needing a display or a
// device.
bool PrintVersionIfAsked(std::string_view program, int argc, char** argv);

}  // namespace frosk
