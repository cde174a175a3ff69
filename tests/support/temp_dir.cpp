#include "support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace frosk::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "frosk-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) pattern.clear();
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
  const std::filesystem::path file = std::filesystem::path(path_) / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
  return file.string();
}

}  // namespace frosk::test
