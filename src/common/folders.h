#pragma once

#include <string>

namespace frosk {

// Where the programs find their data: the executable's own folder and the
// firmware and tool folders. Paths end with "/".
struct Folders {
  std::string executable;
  std::string firmware;
  std::string utils;

  // Each data folder beside the executable.
  static Folders Beside(const std::string& executableFolder);
  // Each data folder beside the executable when it is there (a build tree, an
  // unpacked archive), else the one in ../share/froskmanager relative to it
  // (an installed package), else beside, so messages name the usual place.
  // Always relative to the executable, so a tree works wherever it is put.
  static Folders ForExecutable(const std::string& executableFolder);
};

}  // namespace frosk
