#include "sim/device_line.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace frosk::sim {

namespace {

using std::chrono::nanoseconds;

constexpr long long kNanosPerSecond = 1'000'000'000;
// What a client may leave unread before the device's further output is lost,
// as a UART overruns when nobody drains it.
constexpr size_t kMostQueuedBytes = 64 * 1024;
// Paced output is written in slices at most this often: a character is
// 174 us, and waking for each would cost more than it shows.
constexpr auto kSlice = std::chrono::milliseconds(1);
// Long enough for the kernel to have moved written bytes to the client's side.
constexpr auto kHandOver = std::chrono::milliseconds(20);

}  // namespace

DeviceLine::DeviceLine(std::unique_ptr<PseudoTerminal> pty, bool lineRate)
    : pty_(std::move(pty)), clientPath_(pty_->ClientPath()), lineRate_(lineRate) {
  const int flags = fcntl(pty_->DeviceFd(), F_GETFL);
  if (flags >= 0) fcntl(pty_->DeviceFd(), F_SETFL, flags | O_NONBLOCK);
}

int DeviceLine::Fd() const { return broken_ ? -1 : pty_->DeviceFd(); }

Clock::time_point DeviceLine::After(Clock::time_point start, size_t count) const {
  if (!lineRate_) return start;
  return start + nanoseconds(static_cast<long long>(count) * kNanosPerSecond / kCharsPerSecond);
}

void DeviceLine::Read(Clock::time_point now, const Take& take) {
  if (Fd() < 0) return;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(pty_->DeviceFd(), buffer, sizeof buffer);
    if (count > 0) {
      const Clock::time_point start = std::max(inputFree_, now);
      inputFree_ = After(start, static_cast<size_t>(count));
      take(std::string_view(buffer, static_cast<size_t>(count)), start);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // End of file or a real error: the line is gone, and watching it would only spin.
    broken_ = true;
    return;
  }
}

void DeviceLine::Send(std::string bytes, Clock::time_point notBefore, std::function<void()> sent) {
  if (Fd() < 0 || bytes.empty() || queuedBytes_ + bytes.size() > kMostQueuedBytes) return;
  queuedBytes_ += bytes.size();
  queue_.push_back({std::move(bytes), notBefore, std::move(sent)});
}

size_t DeviceLine::CharsBy(const Outgoing& out, Clock::time_point now) const {
  if (!lineRate_) return out.bytes.size();
  if (now <= out.start) return 0;
  const long long elapsed = std::chrono::duration_cast<nanoseconds>(now - out.start).count();
  return std::min(out.bytes.size(), static_cast<size_t>(elapsed * kCharsPerSecond / kNanosPerSecond));
}

void DeviceLine::Pump(Clock::time_point now) {
  while (!queue_.empty() && !blocked_ && Fd() >= 0) {
    Outgoing& out = queue_.front();
    if (!out.started) {
      if (now < out.notBefore) break;
      out.started = true;
      out.start = lineRate_ ? std::max(out.notBefore, outputFree_) : out.notBefore;
    }
    const size_t due = CharsBy(out, now);
    if (due > out.written) {
      const ssize_t count = write(pty_->DeviceFd(), out.bytes.data() + out.written, due - out.written);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        broken_ = true;
        break;
      }
      if (count < 0 || static_cast<size_t>(count) < due - out.written) blocked_ = true;
      if (count > 0) {
        out.written += static_cast<size_t>(count);
        lastWrite_ = now;
      }
    }
    if (out.written < out.bytes.size()) break;
    outputFree_ = After(out.start, out.bytes.size());
    queuedBytes_ -= out.bytes.size();
    const std::function<void()> sent = std::move(out.sent);
    queue_.pop_front();
    if (sent) sent();
  }
  if (broken_) {
    queue_.clear();
    queuedBytes_ = 0;
  }
  PlanNext(now);
}

void DeviceLine::Writable(Clock::time_point now) {
  blocked_ = false;
  Pump(now);
}

void DeviceLine::PlanNext(Clock::time_point now) {
  nextDue_.reset();
  if (queue_.empty() || blocked_ || Fd() < 0) return;
  const Outgoing& out = queue_.front();
  if (!out.started) {
    nextDue_ = out.notBefore;
    return;
  }
  // The last character is always written on time; the ones before it in slices.
  const Clock::time_point last = After(out.start, out.bytes.size());
  const Clock::time_point next = After(out.start, out.written + 1);
  nextDue_ = std::min(last, std::max(next, now + kSlice));
}

bool DeviceLine::Delivered(Clock::time_point now) const {
  return queue_.empty() && now - lastWrite_ >= kHandOver && pty_->ClientUnread() == 0;
}

void DeviceLine::Close() {
  pty_->Close();
  broken_ = true;
  blocked_ = false;
  queue_.clear();
  queuedBytes_ = 0;
  nextDue_.reset();
}

}  // namespace frosk::sim
