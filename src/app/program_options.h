#pragma once

#include <string>

#include "app/discovery_engine.h"

namespace frosk {

// froskmanager's command line, after Qt has taken its own options:
//   --ports LIST            probe exactly these ports this run (comma-separated)
//   --update-server HOST[:PORT]
// main() answers --help before Qt starts.
struct ProgramOptions {
  DiscoveryEngine::Options engine;
};

// False with the reason in `error` for an unknown option or a bad value.
bool ParseProgramOptions(const QStringList& arguments, ProgramOptions& options, std::string& error);

extern const char kProgramUsage[];

}  // namespace frosk
