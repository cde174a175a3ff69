#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sim/cooler.h"
#include "sim/pseudo_terminal.h"

namespace frosk::sim {

// The device's end of a serial line, on a pseudo-terminal. With the line rate
// on, both directions take as long as a 57600-baud 8N1 line: a character is
// ten bit times, so what the client writes at once is taken as arriving one
// character after another, and what the device sends leaves at that pace.
// Without it, everything moves as fast as the pseudo-terminal does.
//
// Nothing here blocks: reads and writes return at once, and output the
// client is not reading waits for the descriptor to become writable.
class DeviceLine {
 public:
  static constexpr long kCharsPerSecond = 57600 / 10;

  DeviceLine(std::unique_ptr<PseudoTerminal> pty, bool lineRate);

  // The descriptor to watch; -1 once the line is closed or broken.
  int Fd() const;
  const std::string& ClientPath() const { return clientPath_; }

  // When the last of `count` characters that began at `start` has crossed the line.
  Clock::time_point After(Clock::time_point start, size_t count) const;

  // Hands over everything the client has written, in chunks, each with the
  // time its first character began to arrive.
  using Take = std::function<void(std::string_view bytes, Clock::time_point start)>;
  void Read(Clock::time_point now, const Take& take);

  // Queues bytes to leave no earlier than `notBefore`, after what is already
  // queued; `sent` runs once the last of them is on the line. Pump sends them.
  void Send(std::string bytes, Clock::time_point notBefore, std::function<void()> sent = {});
  // Writes whatever is due by now.
  void Pump(Clock::time_point now);
  void Writable(Clock::time_point now);
  bool WantsWritable() const { return blocked_; }
  // When Pump next has something to write; none while idle or blocked.
  std::optional<Clock::time_point> NextDue() const { return nextDue_; }
  bool Idle() const { return queue_.empty(); }
  // Everything sent has been read by the client. The kernel hands written
  // bytes to the client's side a moment later, so this is only trusted a
  // little while after the last write.
  bool Delivered(Clock::time_point now) const;

  // Closes the pseudo-terminal, as a device that vanishes: the client's reads fail.
  void Close();

 private:
  struct Outgoing {
    std::string bytes;
    Clock::time_point notBefore;
    std::function<void()> sent;
    bool started = false;
    Clock::time_point start{};
    size_t written = 0;
  };

  size_t CharsBy(const Outgoing& out, Clock::time_point now) const;
  void PlanNext(Clock::time_point now);

  std::unique_ptr<PseudoTerminal> pty_;
  std::string clientPath_;
  bool lineRate_;
  bool broken_ = false;
  bool blocked_ = false;
  Clock::time_point inputFree_{};
  Clock::time_point outputFree_{};
  Clock::time_point lastWrite_{};
  size_t queuedBytes_ = 0;
  std::deque<Outgoing> queue_;
  std::optional<Clock::time_point> nextDue_;
};

}  // namespace frosk::sim
