#include "sim/event_loop.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>

#include <vector>

namespace frosk::sim {

int TakeStopSignals() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGHUP);
  if (sigprocmask(SIG_BLOCK, &stops, nullptr) != 0) return -1;
  return signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
}

int RunUntilStopped(std::span<LoopDevice* const> devices, int stopFd) {
  std::vector<pollfd> fds;
  std::vector<LoopDevice*> watched;
  for (;;) {
    fds.assign(1, pollfd{stopFd, POLLIN, 0});
    watched.clear();
    std::optional<Clock::time_point> due;
    for (LoopDevice* device : devices) {
      if (device->Fd() >= 0) {
        const short events = static_cast<short>(POLLIN | (device->WantsWritable() ? POLLOUT : 0));
        fds.push_back({device->Fd(), events, 0});
        watched.push_back(device);
      }
      const std::optional<Clock::time_point> next = device->NextDue();
      if (next && (!due || *next < *due)) due = next;
    }
    timespec timeout{};
    if (due) {
      const auto left = std::max(*due - Clock::now(), Clock::duration::zero());
      const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout.tv_sec = static_cast<time_t>(nanos / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
    }
    if (ppoll(fds.data(), fds.size(), due ? &timeout : nullptr, nullptr) < 0 && errno != EINTR) return 1;
    const Clock::time_point now = Clock::now();
    if ((fds[0].revents & POLLIN) != 0) return 0;
    for (size_t i = 1; i < fds.size(); ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) watched[i - 1]->OnReadable(now);
      if ((fds[i].revents & POLLOUT) != 0) watched[i - 1]->OnWritable(now);
    }
    for (LoopDevice* device : devices) {
      const std::optional<Clock::time_point> next = device->NextDue();
      if (next && *next <= now) device->OnDue(now);
    }
  }
}

}  // namespace frosk::sim
