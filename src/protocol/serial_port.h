#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frosk {

struct Link;

// Every controller speaks at this rate.
inline constexpr uint32_t kDeviceBaudRate = 57600;

// What a caller fills before opening a port, and where it keeps the link
// opened with it (none while closed).
struct PortSettings {
  static constexpr size_t kMaxPortName = 1023;

  std::string portName;  // "COM3", "ttyUSB0" or "/dev/pts/7"
  uint32_t baudRate = kDeviceBaudRate;
  Link* link = nullptr;
};

// A port handle is a file descriptor; none is -1.
inline constexpr int kNoPort = -1;

// Why a port did not open, for the edge where a person reads it.
struct PortError {
  std::string path;     // the device path tried
  std::string step;     // "open", "lock", "configure"
  int errorNumber = 0;  // errno of the failed step
  bool PermissionDenied() const;
  bool InUse() const;
};

// "/dev/ttyUSB0: Permission denied", "/dev/ttyS2: in use by another program".
std::string DescribePortError(const PortError& error);

// The device path of a port name: "COMn" is /dev/ttyS(n-1), an absolute path
// stays as it is, any other name lives under /dev. Empty when the name cannot
// name a port (empty, too long, "COM0").
std::string PortPath(const std::string& portName);

// Opens the port for this process alone, raw 8N1 at the baud rate without flow
// control, DTR and RTS off, reads returning at once. 0 on success; 1 with
// nothing left open, and the reason in `error` when given.
int PortOpen(int* handle, const PortSettings& settings, PortError* error = nullptr);
// Closes the handle and sets it to kNoPort. 1 when there was none.
int PortClose(int* handle);

// A port held for a programming tool. The lock is the advisory one PortOpen
// takes, so no FroskManager client opens the port meanwhile; the terminal's
// exclusive flag stays off, or the tool itself could not open it.
// Takes the lock on the named port without setting it up. 0 on success; 1
// with nothing held, the reason in `error` when given.
int PortLockTake(int* lock, const std::string& portName, PortError* error = nullptr);
// Keeps the lock of a port open with PortOpen after that port is closed, so
// the port is never free in between. 0 on success.
int PortLockKeep(int* lock, int portHandle);
// Gives the lock back and sets it to kNoPort. 1 when none was held.
int PortLockRelease(int* lock);

// Appends the serial ports present, read from sysfs under `sysfsRoot` without
// opening any (Linux raises DTR and RTS on every open): on-board ports as
// "COM<n+1>" for ttyS<n>, in number order, then USB adapters (ttyACM*,
// ttyUSB*) by device name in natural order. 0 on success; 1 when the system's
// list cannot be read, keeping what was appended. No list: 0 at once.
int EnumerateComPorts(std::vector<std::string>* list, const std::string& sysfsRoot = "/sys");

}  // namespace frosk
