#pragma once

#include "sim/sim_options.h"

namespace frosk::sim {

// frosk-sim: opens a pseudo-terminal per device, prints the paths clients
// open, and answers until SIGINT or SIGTERM, as controllers or, with
// --bootloader, as controllers in their firmware-update mode. Returns the exit code.
int RunControllers(const SimOptions& options);

}  // namespace frosk::sim
