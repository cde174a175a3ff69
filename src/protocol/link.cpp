#include "protocol/link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "protocol/frame.h"

namespace frosk {

// The port is read by the reader thread and written by the caller's thread;
// everything else is set before the reader starts and torn down after it ends.
struct Link {
  int port = kNoPort;
  int wakeUp = -1;  // an eventfd LinkClose signals
  FrameSink sink;
  std::thread reader;
  bool stalled = false;  // the last write ran out of time; the writer's alone
};

namespace {

void HandOver(const Link* link, std::string_view frame, const FrameSink& sink) {
  std::unique_ptr<FrameBlock> block(new (std::nothrow) FrameBlock);
  if (block == nullptr) return;  // out of memory: the frame is lost like one cut on the line
  block->owner = link;
  block->count = static_cast<uint32_t>(frame.size());
  std::memcpy(block->bytes, frame.data(), frame.size());
  sink(std::move(block));
}

// Waits in poll() on the port and the wake-up, so an idle link costs nothing.
// A port that hangs up (a vanished USB adapter, a closed pseudo-terminal)
// would report itself ready forever; from then on only the wake-up is watched,
// and the receiver hears of the end once.
void ReadUntilWoken(const Link* link) {
  FrameCutter cutter;
  const FrameCutter::Emit emit = [&](std::string_view frame) { HandOver(link, frame, link->sink); };
  pollfd watched[2] = {{link->wakeUp, POLLIN, 0}, {link->port, POLLIN, 0}};
  nfds_t count = 2;
  const auto portEnded = [&] {
    count = 1;
    HandOver(link, {}, link->sink);
  };
  for (;;) {
    if (poll(watched, count, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[0].revents != 0) return;
    if (count < 2) continue;
    const short portEvents = watched[1].revents;
    if ((portEvents & POLLIN) != 0) {
      const ssize_t got = read(link->port, cutter.Tail(), cutter.Room());
      // What a port still holds is read even after it hung up.
      if (got > 0) {
        cutter.Commit(static_cast<size_t>(got), emit);
        continue;
      }
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      // Readable yet nothing to read is how a terminal reports its end.
      portEnded();
      continue;
    }
    if ((portEvents & (POLLERR | POLLHUP | POLLNVAL)) != 0) portEnded();
  }
}

// Waits until the port may take more bytes; false when `deadline` passed
// first. A port that failed meanwhile counts as ready: the next write says so.
bool WaitUntilWritable(int port, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd watched = {port, POLLOUT, 0};
    const int ready = poll(&watched, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

}  // namespace

int LinkOpen(Link** link, const PortSettings& settings, FrameSink sink, PortError* error) {
  if (link == nullptr || !sink) {
    if (error != nullptr) *error = PortError{settings.portName, "open", EINVAL};
    return 1;
  }
  auto opened = std::make_unique<Link>();
  opened->sink = std::move(sink);
  if (PortOpen(&opened->port, settings, error) != 0) return 1;
  // Writes run on the caller's thread and must never block it; the reader
  // waits in poll() and reads only what is there, so it is unaffected.
  const int flags = fcntl(opened->port, F_GETFL);
  if (flags < 0 || fcntl(opened->port, F_SETFL, flags | O_NONBLOCK) != 0) {
    if (error != nullptr) *error = PortError{PortPath(settings.portName), "configure", errno};
    PortClose(&opened->port);
    return 1;
  }
  opened->wakeUp = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (opened->wakeUp < 0) {
    if (error != nullptr) *error = PortError{PortPath(settings.portName), "open", errno};
    PortClose(&opened->port);
    return 1;
  }
  try {
    opened->reader = std::thread(ReadUntilWoken, opened.get());
  } catch (const std::system_error& failure) {
    if (error != nullptr) *error = PortError{PortPath(settings.portName), "open", failure.code().value()};
    close(opened->wakeUp);
    PortClose(&opened->port);
    return 1;
  }
  *link = opened.release();
  return 0;
}

int LinkClose(Link** link) {
  if (link == nullptr || *link == nullptr) return 1;
  Link* closing = *link;
  // Joining itself would never return.
  if (closing->reader.get_id() == std::this_thread::get_id()) return 1;
  const uint64_t one = 1;
  ssize_t signalled;
  do signalled = write(closing->wakeUp, &one, sizeof one);
  while (signalled < 0 && errno == EINTR);
  if (signalled != sizeof one) return 1;
  closing->reader.join();
  close(closing->wakeUp);
  PortClose(&closing->port);
  delete closing;
  *link = nullptr;
  return 0;
}

int LinkKeepPortLock(const Link* link, int* lock) { return link == nullptr ? 1 : PortLockKeep(lock, link->port); }

int LinkSendItem(Link* link, const uint8_t* item) {
  if (link == nullptr || item == nullptr) return 1;
  const std::string frame = FrameEncode(item);
  if (frame.empty()) return 1;
  return LinkWrite(link, frame.data(), frame.size());
}

int LinkWrite(Link* link, const void* bytes, size_t count) {
  if (link == nullptr || link->port < 0 || bytes == nullptr) return 1;
  // A terminal may take a long frame in parts; a frame half written is a frame lost.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLinkWriteWaitMs);
  const auto* next = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    const ssize_t written = write(link->port, next, count);
    if (written > 0) {
      next += written;
      count -= static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return 1;
    if (link->stalled || !WaitUntilWritable(link->port, deadline)) {
      link->stalled = true;
      return kLinkWriteStalled;
    }
  }
  link->stalled = false;
  return 0;
}

}  // namespace frosk
