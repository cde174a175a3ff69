#pragma once

#include <string>

namespace frosk::test {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes. Path() ends with "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Writes a file below the folder (creating folders on the way) and returns its path.
  std::string Write(const std::string& relative, const std::string& content) const;

 private:
  std::string path_;
};

}  // namespace frosk::test
