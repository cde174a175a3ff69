#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include "protocol/frame_cutter.h"
#include "sim/device_line.h"
#include "sim/event_loop.h"
#include "sim/frame_log.h"
#include "sim/published_link.h"
#include "sim/virtual_controller.h"

namespace frosk::sim {

// Misbehaviour on demand, for testing how clients cope. Counts run per device
// and start at 1, so "every 3rd" hits the 3rd, 6th, ... reply.
struct LineFaults {
  std::chrono::milliseconds replyDelay{0};
  unsigned dropEvery = 0;      // this reply is never sent
  unsigned corruptEvery = 0;   // this reply's check value is wrong
  unsigned garbageEvery = 0;   // a burst of noise (no "$", no "#") before this reply
  unsigned overlongEvery = 0;  // a "$" and more hex than any receive buffer, no "#", before this reply
  bool silent = false;         // reads and discards, never answers
  unsigned vanishAfter = 0;    // closes the port once this many requests are answered
};

// One virtual controller on its pseudo-terminal: cuts the client's bytes into
// frames, lets the controller answer them at the time they arrive, applies
// the faults, logs every frame and keeps the controller's memory in its file.
class ControllerPort final : public LoopDevice {
 public:
  struct Config {
    std::string name;  // in the log: frosk0, frosk1, ...
    bool lineRate = false;
    LineFaults faults;
    std::string stateFile;    // empty: the memory is not kept
    FrameLog* log = nullptr;  // may be null
  };

  ControllerPort(std::unique_ptr<PseudoTerminal> pty, std::unique_ptr<PublishedLink> link,
                 const ControllerSettings& settings, Config config, Clock::time_point now);

  // The path a client opens: the published link if there is one, else the pseudo-terminal.
  std::string ClientPath() const;
  VirtualController& Controller() { return controller_; }

  int Fd() const override { return line_.Fd(); }
  bool WantsWritable() const override { return line_.WantsWritable(); }
  void OnReadable(Clock::time_point now) override;
  void OnWritable(Clock::time_point now) override;
  std::optional<Clock::time_point> NextDue() const override;
  void OnDue(Clock::time_point now) override;

 private:
  struct Request {
    Clock::time_point arrived;
    std::string frame;
  };

  void Process(const Request& request);
  void SendReply(const VirtualController::Exchange& exchange, Clock::time_point notBefore);
  void SendNoise(std::string bytes, std::string note, Clock::time_point notBefore);
  void KeepMemory();
  void VanishWhenDelivered(Clock::time_point now);
  void Log(std::string_view direction, std::string_view frame, std::string_view key, std::string_view note = {});

  Config config_;
  DeviceLine line_;
  std::unique_ptr<PublishedLink> link_;
  VirtualController controller_;
  FrameCutter cutter_;
  std::deque<Request> requests_;
  unsigned requestCount_ = 0;
  unsigned replyCount_ = 0;
  uint32_t noiseSeed_ = 0x2545F491;
  bool memoryChanged_ = false;
  bool vanishing_ = false;
  bool vanished_ = false;
  std::optional<Clock::time_point> vanishCheck_;
  Clock::time_point vanishDeadline_{};
};

}  // namespace frosk::sim
