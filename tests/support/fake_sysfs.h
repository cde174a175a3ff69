#pragma once

#include <string>

#include "support/temp_dir.h"

namespace frosk::test {

// A sysfs tree of terminals in a temporary folder, removed with the object.
class FakeSysfs {
 public:
  FakeSysfs();

  // A terminal under class/tty; with a device, optionally bound to a driver,
  // optionally with the serial core's type attribute.
  void Add(const std::string& name, bool device = false, const char* type = nullptr, bool driver = false);

  const std::string& Root() const { return folder_.Path(); }

 private:
  TempDir folder_;
};

}  // namespace frosk::test
