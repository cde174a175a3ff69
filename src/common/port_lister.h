#pragma once

#include <functional>
#include <string>
#include <vector>

namespace frosk {

// The system's list of serial ports as the dialogs ask for it: appends the
// names to `list` and gives 0, or 1 when the list could not be read. The
// desktop program hands them the discovery engine's list, so a --ports run
// shows its own ports everywhere.
using PortLister = std::function<int(std::vector<std::string>* list)>;

}  // namespace frosk
