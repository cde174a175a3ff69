#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace frosk {

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open() {
  const int device = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (device < 0) return nullptr;
  if (grantpt(device) != 0 || unlockpt(device) != 0) {
    close(device);
    return nullptr;
  }
  char name[128];
  if (ptsname_r(device, name, sizeof name) != 0) {
    close(device);
    return nullptr;
  }
  const int client = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (client < 0) {
    close(device);
    return nullptr;
  }
  termios settings{};
  if (tcgetattr(client, &settings) == 0) {
    cfmakeraw(&settings);
    cfsetispeed(&settings, B57600);
    cfsetospeed(&settings, B57600);
    tcsetattr(client, TCSANOW, &settings);
  }
  return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(device, client, name));
}

PseudoTerminal::PseudoTerminal(int deviceFd, int keptClientFd, std::string clientPath)
    : deviceFd_(deviceFd), keptClientFd_(keptClientFd), clientPath_(std::move(clientPath)) {}

PseudoTerminal::~PseudoTerminal() { Close(); }

size_t PseudoTerminal::ClientUnread() const {
  int count = 0;
  if (keptClientFd_ < 0 || ioctl(keptClientFd_, FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<size_t>(count);
}

void PseudoTerminal::Close() {
  if (keptClientFd_ >= 0) close(keptClientFd_);
  if (deviceFd_ >= 0) close(deviceFd_);
  keptClientFd_ = deviceFd_ = -1;
}

}  // namespace frosk
