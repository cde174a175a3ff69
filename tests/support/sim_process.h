#pragma once

#include <signal.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame_cutter.h"

namespace frosk::test {

// frosk-sim running beside a test: started with an argument list, its printed
// port paths read (within a bounded wait), stopped with SIGTERM at the end.
class SimProcess {
 public:
  // Null when it does not start or does not print `devices` paths within `timeoutMs`.
  static std::unique_ptr<SimProcess> Start(const std::vector<std::string>& args, size_t devices = 1,
                                           int timeoutMs = 10000);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::vector<std::string>& Paths() const { return paths_; }
  const std::string& Path() const { return paths_.front(); }
  pid_t Pid() const { return pid_; }

  // Sends `signal` and waits for the end. The exit code, 128 + signal when
  // killed, or -1 when it is still running after `timeoutMs` (it is then killed).
  int Stop(int signal = SIGTERM, int timeoutMs = 5000);
  // CPU time the process has used so far, in clock ticks.
  long CpuTicks() const;

 private:
  SimProcess(pid_t pid, std::vector<std::string> paths) : pid_(pid), paths_(std::move(paths)) {}
  pid_t pid_;
  std::vector<std::string> paths_;
};

// The client's end of a serial port, opened and set up raw as the program
// opens one. Frames are cut as a link's reader cuts them.
class PortClient {
 public:
  static std::unique_ptr<PortClient> Open(const std::string& path);
  ~PortClient();
  PortClient(const PortClient&) = delete;
  PortClient& operator=(const PortClient&) = delete;

  bool Send(std::string_view bytes);
  // The next complete frame within `timeoutMs`; empty when none comes.
  std::string ReadFrame(int timeoutMs);
  // Send, then ReadFrame.
  std::string Request(std::string_view frame, int timeoutMs = 2000);
  // Every byte received so far, frames and noise alike.
  const std::string& Received() const { return received_; }
  // True once the device side has gone (reads fail or hang up) within `timeoutMs`.
  bool WaitForHangUp(int timeoutMs);

 private:
  explicit PortClient(int fd) : fd_(fd) {}
  // Reads what is there, waiting at most `timeoutMs`; false when the port has hung up.
  bool ReadSome(int timeoutMs);

  int fd_;
  std::string received_;
  std::vector<std::string> frames_;
  FrameCutter cutter_;
};

// CPU time a process has used so far, in clock ticks.
long ProcessCpuTicks(pid_t pid);

// Waits (polling, bounded) until the file holds a line containing every one of `parts`; returns that line.
std::string WaitForLine(const std::string& path, const std::vector<std::string>& parts, int timeoutMs = 5000);

}  // namespace frosk::test
