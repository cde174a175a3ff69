#include "common/program_version.h"

#include <cstdio>

namespace frosk {

// The release number comes from the build (the project's version), so the
// package and every program agree; the About text must not drift from it.
static_assert(ProgramVersionText.starts_with(FROSK_RELEASE " "));

std::string_view ProgramRelease() { return FROSK_RELEASE; }

bool PrintVersionIfAsked(std::string_view program, int argc, char** argv) {
  if (argc < 2 || std::string_view(argv[1]) != "--version") return false;
  std::printf("%.*s %s\n", static_cast<int>(program.size()), program.data(), FROSK_RELEASE);
  return true;
}

}  // namespace frosk
