#pragma once

#include <filesystem>
#include <string>

namespace frosk::test {

// A sysfs tree of terminals in a temporary folder, removed with the object.
class FakeSysfs {
 public:
  FakeSysfs();
  ~FakeSysfs();
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  // A terminal under class/tty; with a device, optionally bound to a driver,
  // optionally with the serial core's type attribute.
  void Add(const std::string& name, bool device = false, const char* type = nullptr, bool driver = false);

  std::string Root() const { return root_.string(); }

 private:
  std::filesystem::path root_;
};

}  // namespace frosk::test
