#pragma once

#include <string>

namespace frosk {

// Where the programs find their data: the executable's own folder and the
// firmware and tool folders beside it. Paths end with "/".
struct Folders {
  std::string executable;
  std::string firmware;
  std::string utils;

  static Folders Beside(const std::string& executableFolder);
};

}  // namespace frosk
