#include "support/read_until.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace frosk::test {

std::string ReadUntil(int fd, const std::function<bool(const std::string& received)>& enough, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  std::string received;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!enough(received)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd watched{fd, POLLIN, 0};
    if (poll(&watched, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

}  // namespace frosk::test
