#include "support/fake_sysfs.h"

#include <filesystem>

namespace frosk::test {

namespace fs = std::filesystem;

FakeSysfs::FakeSysfs() { fs::create_directories(fs::path(Root()) / "class" / "tty"); }

void FakeSysfs::Add(const std::string& name, bool device, const char* type, bool driver) {
  const std::string entry = "class/tty/" + name;
  fs::create_directories(fs::path(Root()) / entry);
  if (device) fs::create_directories(fs::path(Root()) / entry / "device");
  if (driver) fs::create_directories(fs::path(Root()) / entry / "device" / "driver");
  if (type != nullptr) folder_.Write(entry + "/type", std::string(type) + "\n");
}

}  // namespace frosk::test
