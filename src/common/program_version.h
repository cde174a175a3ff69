#pragma once

#include <string_view>

namespace frosk {

// The program's own version. The update check offers a download only when
// the server names a higher build than this one.
inline constexpr int ProgramBuild = 63;
inline constexpr std::string_view ProgramVersionText = "1.1.8 (build 63)";

}  // namespace frosk
