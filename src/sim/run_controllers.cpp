#include "sim/run_controllers.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "sim/bootloader_port.h"
#include "sim/state_file.h"

namespace frosk::sim {

namespace {

int Failure(const std::string& message) {
  std::fprintf(stderr, "frosk-sim: %s\n", message.c_str());
  return 1;
}

}  // namespace

int RunControllers(const SimOptions& options) {
  // A reader of our standard output that goes away must not end the devices.
  signal(SIGPIPE, SIG_IGN);
  // A paced line wakes for each character slice; the kernel's default 50 us
  // of timer slack would add up to milliseconds over a reading sequence.
  if (options.lineRate) prctl(PR_SET_TIMERSLACK, 1UL);
  const int stopFd = TakeStopSignals();
  if (stopFd < 0) return Failure("cannot take the stop signals");

  std::string error;
  std::unique_ptr<FrameLog> log;
  if (!options.logFile.empty() && !(log = FrameLog::Open(options.logFile, &error))) return Failure(error);

  const Clock::time_point now = Clock::now();
  std::vector<std::unique_ptr<LoopDevice>> ports;
  std::vector<std::string> paths;
  for (unsigned index = 0; index < options.count; ++index) {
    std::unique_ptr<PseudoTerminal> pty = PseudoTerminal::Open();
    if (!pty) return Failure("cannot open a pseudo-terminal");
    std::unique_ptr<PublishedLink> link;
    if (!options.linkDir.empty()) {
      const std::string linkPath = (std::filesystem::path(options.linkDir) / DeviceName(index)).string();
      link = PublishedLink::Create(linkPath, pty->ClientPath(), &error);
      if (!link) return Failure(error);
    }
    if (options.bootloader != nullptr) {
      const BootloaderPort::Config config{options.lineRate, options.faults.silent, options.bootloaderFaults};
      auto port = std::make_unique<BootloaderPort>(std::move(pty), std::move(link), *options.bootloader, config);
      paths.push_back(port->ClientPath());
      ports.push_back(std::move(port));
      continue;
    }
    ControllerPort::Config config;
    config.name = DeviceName(index);
    config.lineRate = options.lineRate;
    config.faults = options.faults;
    config.stateFile = StateFileForDevice(options, index);
    config.log = log.get();
    auto port = std::make_unique<ControllerPort>(std::move(pty), std::move(link), SettingsForDevice(options, index),
                                                 config, now);
    if (!config.stateFile.empty()) {
      std::string memory;
      if (ReadStateFile(config.stateFile, &memory, &error)) {
        if (!port->Controller().LoadMemory(memory, &error)) return Failure(config.stateFile + ", " + error);
      } else if (!error.empty()) {
        return Failure(error);
      } else if (!WriteStateFile(config.stateFile, port->Controller().SaveMemory(), &error)) {
        // A device fresh from the factory starts its memory now, so a place
        // that cannot keep it is found before anyone relies on it.
        return Failure(error);
      }
    }
    paths.push_back(port->ClientPath());
    ports.push_back(std::move(port));
  }

  for (const std::string& path : paths) std::printf("%s\n", path.c_str());
  std::fflush(stdout);

  std::vector<LoopDevice*> devices;
  for (const auto& port : ports) devices.push_back(port.get());
  const int code = RunUntilStopped(devices, stopFd);
  close(stopFd);
  return code;
}

}  // namespace frosk::sim
