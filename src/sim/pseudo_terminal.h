#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace frosk {

// A pseudo-terminal pair standing in for a serial port: a program plays the
// device on one side, a client opens ClientPath() as its port.
//
// The client side is raw from the start (no echo, no line editing), and this
// object keeps its own client descriptor open, so a client that closes and
// reopens the port (a scan probe does exactly that) never makes the device
// side read end-of-file or spin.
class PseudoTerminal {
 public:
  static std::unique_ptr<PseudoTerminal> Open();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // The device side: read what the client writes, write what it reads.
  int DeviceFd() const { return deviceFd_; }
  const std::string& ClientPath() const { return clientPath_; }

  // Bytes the device wrote that no client has read yet.
  size_t ClientUnread() const;

  // Closes everything, as a device that vanishes; the client's reads then fail
  // and whatever it had not read yet is lost.
  void Close();

 private:
  PseudoTerminal(int deviceFd, int keptClientFd, std::string clientPath);

  int deviceFd_;
  int keptClientFd_;
  std::string clientPath_;
};

}  // namespace frosk
