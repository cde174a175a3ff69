#include "support/fake_sysfs.h"

#include <stdlib.h>

#include <fstream>

namespace frosk::test {

namespace fs = std::filesystem;

FakeSysfs::FakeSysfs() {
  std::string pattern = (fs::temp_directory_path() / "frosk-sysfs-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
  fs::create_directories(root_ / "class" / "tty");
}

FakeSysfs::~FakeSysfs() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void FakeSysfs::Add(const std::string& name, bool device, const char* type, bool driver) {
  const fs::path entry = root_ / "class" / "tty" / name;
  fs::create_directories(entry);
  if (device) fs::create_directories(entry / "device");
  if (driver) fs::create_directories(entry / "device" / "driver");
  if (type != nullptr) std::ofstream(entry / "type") << type << "\n";
}

}  // namespace frosk::test
