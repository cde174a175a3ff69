#pragma once

#include "sim/sim_options.h"

namespace frosk::sim {

// frosk-sim's controller mode: opens a pseudo-terminal per device, prints the
// paths clients open, and answers until SIGINT or SIGTERM. Returns the exit code.
int RunControllers(const SimOptions& options);

}  // namespace frosk::sim
