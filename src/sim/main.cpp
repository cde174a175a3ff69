// frosk-sim: virtual controllers on pseudo-terminals, for demos, tests and training.
#include <iostream>
#include <string>
#include <vector>

#include "common/program_version.h"
#include "sim/run_controllers.h"
#include "sim/sim_options.h"

int main(int argc, char** argv) {
  if (frosk::PrintVersionIfAsked("frosk-sim", argc, argv)) return 0;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const frosk::sim::CommandLine line = frosk::sim::ParseCommandLine(args);
  if (!line.error.empty()) {
    std::cerr << "frosk-sim: " << line.error << "\nTry 'frosk-sim --help'.\n";
    return 2;
  }
  if (line.help) {
    std::cout << frosk::sim::Usage();
    return 0;
  }
  return frosk::sim::RunControllers(line.options);
}
