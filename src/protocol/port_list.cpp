// The serial ports present, from sysfs. Opening a port to find out whether it
// exists is not an option: Linux raises DTR and RTS on every open, which
// resets many controllers.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <tuple>

#include "protocol/serial_port.h"

namespace frosk {

namespace fs = std::filesystem;

namespace {

// A name such as "ttyUSB10" split at its number, so that ttyUSB2 sorts before ttyUSB10.
struct TtyName {
  std::string prefix;
  unsigned number = 0;
  bool operator<(const TtyName& other) const { return std::tie(prefix, number) < std::tie(other.prefix, other.number); }
};

bool SplitName(std::string_view name, std::string_view prefix, TtyName& split) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
  const char* last = name.data() + name.size();
  const auto [end, status] = std::from_chars(name.data() + prefix.size(), last, split.number);
  if (status != std::errc() || end != last) return false;
  split.prefix = prefix;
  return true;
}

// The kernel creates a ttyS for every UART it could drive, most of them
// phantoms. The serial core sets a port's type once it has found a UART
// there; 0 is its "unknown". Drivers outside the serial core have no type
// attribute and count when a driver is bound to the device.
bool IsPresentOnBoardPort(const fs::path& entry) {
  std::error_code ec;
  if (!fs::exists(entry / "device", ec)) return false;
  std::ifstream typeFile(entry / "type");
  if (!typeFile) return fs::exists(entry / "device" / "driver", ec);
  int type = 0;
  return static_cast<bool>(typeFile >> type) && type != 0;
}

}  // namespace

int EnumerateComPorts(std::vector<std::string>* list, const std::string& sysfsRoot) {
  if (list == nullptr) return 0;
  std::vector<TtyName> onBoard;
  std::vector<TtyName> adapters;
  std::error_code ec;
  fs::directory_iterator entries(fs::path(sysfsRoot) / "class" / "tty", ec);
  bool complete = !ec;
  while (complete && entries != fs::directory_iterator()) {
    const fs::path entry = entries->path();
    const std::string name = entry.filename().string();
    TtyName split;
    if (SplitName(name, "ttyS", split)) {
      if (IsPresentOnBoardPort(entry)) onBoard.push_back(split);
    } else if (SplitName(name, "ttyUSB", split) || SplitName(name, "ttyACM", split)) {
      adapters.push_back(split);
    }
    entries.increment(ec);
    complete = !ec;
  }
  std::sort(onBoard.begin(), onBoard.end());
  std::sort(adapters.begin(), adapters.end());
  for (const TtyName& port : onBoard) list->push_back("COM" + std::to_string(port.number + 1));
  for (const TtyName& port : adapters) list->push_back(port.prefix + std::to_string(port.number));
  return complete ? 0 : 1;
}

}  // namespace frosk
