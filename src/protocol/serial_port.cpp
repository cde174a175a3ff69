#include "protocol/serial_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace frosk {

namespace {

bool BaudSpeed(uint32_t baudRate, speed_t& speed) {
  static constexpr struct {
    uint32_t rate;
    speed_t speed;
  } kSpeeds[] = {
      {1200, B1200},   {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
  };
  for (const auto& entry : kSpeeds) {
    if (entry.rate != baudRate) continue;
    speed = entry.speed;
    return true;
  }
  return false;
}

// Raw 8N1 without flow control. HUPCL is cleared so that closing the port does
// not drop DTR back and forth; VMIN and VTIME of 0 make a read return at once
// with whatever is waiting.
bool Configure(int fd, speed_t speed) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0) return false;
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// A pseudo-terminal has no modem lines: that is no failure.
bool LowerDtrAndRts(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(fd, TIOCMBIC, &lines) == 0) return true;
  return errno == ENOTTY || errno == EINVAL;
}

// The exclusive flag outlives our descriptor while anyone else holds the
// terminal open (a simulator keeps its own), so it is given back explicitly
// or the next open by an ordinary user fails with EBUSY.
void Release(int fd) {
  ioctl(fd, TIOCNXCL);
  close(fd);
}

int Fail(PortError* error, const std::string& path, const char* step, int errorNumber) {
  if (error != nullptr) *error = PortError{path, step, errorNumber};
  return 1;
}

// The advisory lock every FroskManager client takes on a port it uses, so
// that two of them never share a line. Closes the port when another holds it.
bool TakeLock(int fd, const std::string& path, PortError* error) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  const int why = errno;
  close(fd);
  Fail(error, path, "lock", why);
  return false;
}

}  // namespace

bool PortError::PermissionDenied() const { return errorNumber == EACCES || errorNumber == EPERM; }

bool PortError::InUse() const { return errorNumber == EBUSY || errorNumber == EWOULDBLOCK; }

std::string DescribePortError(const PortError& error) {
  std::string text = error.path.empty() ? std::string("no port") : error.path;
  text += ": ";
  if (error.InUse()) return text + "in use by another program";
  if (error.step == "configure" && error.errorNumber == ENOTTY) return text + "not a serial port";
  return text + std::strerror(error.errorNumber);
}

std::string PortPath(const std::string& portName) {
  if (portName.empty() || portName.size() > PortSettings::kMaxPortName) return {};
  if (portName.front() == '/') return portName;
  if (portName.size() > 3 && portName.compare(0, 3, "COM") == 0) {
    unsigned number = 0;
    const char* first = portName.data() + 3;
    const char* last = portName.data() + portName.size();
    const auto [end, status] = std::from_chars(first, last, number);
    if (status == std::errc() && end == last && *first != '0') return "/dev/ttyS" + std::to_string(number - 1);
    if (status == std::errc() && end == last) return {};
  }
  return "/dev/" + portName;
}

int PortOpen(int* handle, const PortSettings& settings, PortError* error) {
  if (handle == nullptr) return Fail(error, {}, "open", EINVAL);
  *handle = kNoPort;
  const std::string path = PortPath(settings.portName);
  if (path.empty()) return Fail(error, settings.portName, "open", EINVAL);
  speed_t speed;
  if (!BaudSpeed(settings.baudRate, speed)) return Fail(error, path, "configure", EINVAL);

  // Non-blocking so that a port waiting for carrier cannot hold the open;
  // CLOCAL below makes blocking I/O safe afterwards.
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(error, path, "open", errno);
  if (!TakeLock(fd, path, error)) return 1;
  if (ioctl(fd, TIOCEXCL) != 0) {
    const int why = errno;
    close(fd);
    return Fail(error, path, why == ENOTTY ? "configure" : "lock", why);
  }
  if (!Configure(fd, speed) || !LowerDtrAndRts(fd)) {
    const int why = errno;
    Release(fd);
    return Fail(error, path, "configure", why);
  }
  // Whatever the line delivered before we opened it answers someone else's
  // request (a late reply to an abandoned probe): it must not reach us.
  tcflush(fd, TCIFLUSH);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int why = errno;
    Release(fd);
    return Fail(error, path, "configure", why);
  }
  *handle = fd;
  return 0;
}

int PortClose(int* handle) {
  if (handle == nullptr || *handle < 0) return 1;
  Release(*handle);
  *handle = kNoPort;
  return 0;
}

int PortLockTake(int* lock, const std::string& portName, PortError* error) {
  if (lock == nullptr) return Fail(error, {}, "open", EINVAL);
  *lock = kNoPort;
  const std::string path = PortPath(portName);
  if (path.empty()) return Fail(error, portName, "open", EINVAL);
  // Read-only and non-blocking: the lock needs no more, and the tool sets the line up itself.
  const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(error, path, "open", errno);
  if (!TakeLock(fd, path, error)) return 1;
  *lock = fd;
  return 0;
}

// A lock taken with flock belongs to the open file, not to one descriptor of
// it: a second descriptor holds it on after the first is closed.
int PortLockKeep(int* lock, int portHandle) {
  if (lock == nullptr || portHandle < 0) return 1;
  *lock = fcntl(portHandle, F_DUPFD_CLOEXEC, 0);
  return *lock < 0 ? 1 : 0;
}

int PortLockRelease(int* lock) {
  if (lock == nullptr || *lock < 0) return 1;
  close(*lock);
  *lock = kNoPort;
  return 0;
}

}  // namespace frosk
