#include "sim/controller_port.h"

#include <cstdio>

#include "sim/state_file.h"

namespace frosk::sim {

namespace {

constexpr size_t kNoiseBytes = 32;
// Longer than any receiver's 1024-character buffer.
constexpr size_t kOverlongChars = 1100;
// A vanishing device waits this long at most for the client to read its last reply.
constexpr auto kLastReplyGrace = std::chrono::seconds(1);
constexpr auto kDeliveryCheck = std::chrono::milliseconds(10);

std::string_view Refusal(FrameStatus status) {
  switch (status) {
    case FrameStatus::kBadCheck: return "bad check value, ignored";
    case FrameStatus::kInvalidItem: return "invalid item, ignored";
    default: return "not a frame, ignored";
  }
}

// Bytes as a disturbed line delivers them, but never a "$" or "#": a sound
// reader drops them and still gets the frame that follows.
std::string LineNoise(uint32_t& seed) {
  std::string noise;
  while (noise.size() < kNoiseBytes) {
    seed = seed * 1664525u + 1013904223u;
    const char byte = static_cast<char>(seed >> 24);
    if (byte != '$' && byte != '#') noise += byte;
  }
  return noise;
}

// A frame start and hex digits, more than a receive buffer holds, and no end.
std::string OverlongFrame() {
  std::string frame = "$";
  while (frame.size() < kOverlongChars) frame += "0123456789ABCDEF";
  frame.resize(kOverlongChars);
  return frame;
}

bool IsEvery(unsigned count, unsigned every) { return every != 0 && count % every == 0; }

// Changes the last digit of the check value, so the frame stays well formed but fails its check.
void CorruptCheckValue(std::string& frame) {
  char& digit = frame[frame.size() - 2];
  digit = digit == '0' ? '1' : '0';
}

}  // namespace

ControllerPort::ControllerPort(std::unique_ptr<PseudoTerminal> pty, std::unique_ptr<PublishedLink> link,
                               const ControllerSettings& settings, Config config, Clock::time_point now)
    : config_(std::move(config)),
      line_(std::move(pty), config_.lineRate),
      link_(std::move(link)),
      controller_(settings, now) {}

std::string ControllerPort::ClientPath() const { return link_ ? link_->Path() : line_.ClientPath(); }

void ControllerPort::OnReadable(Clock::time_point now) {
  line_.Read(now, [&](std::string_view bytes, Clock::time_point start) {
    // Each frame is complete when its "#" has arrived, which on a paced line
    // is some characters after the chunk began.
    size_t from = 0;
    while (from < bytes.size()) {
      const size_t hash = bytes.find('#', from);
      const size_t end = hash == std::string_view::npos ? bytes.size() : hash + 1;
      const Clock::time_point arrived = line_.After(start, end);
      cutter_.Feed(reinterpret_cast<const uint8_t*>(bytes.data() + from), end - from, [&](std::string_view frame) {
        // A device on its way out takes no more requests.
        if (!vanishing_) requests_.push_back({arrived, std::string(frame)});
      });
      from = end;
    }
  });
  OnDue(now);
}

void ControllerPort::OnWritable(Clock::time_point now) {
  line_.Writable(now);
  OnDue(now);
}

std::optional<Clock::time_point> ControllerPort::NextDue() const {
  std::optional<Clock::time_point> due = line_.NextDue();
  if (!requests_.empty() && (!due || requests_.front().arrived < *due)) due = requests_.front().arrived;
  if (vanishCheck_ && (!due || *vanishCheck_ < *due)) due = vanishCheck_;
  return due;
}

void ControllerPort::OnDue(Clock::time_point now) {
  while (!requests_.empty() && requests_.front().arrived <= now) {
    const Request request = std::move(requests_.front());
    requests_.pop_front();
    Process(request);
  }
  line_.Pump(now);
  // After the reply has gone out: keeping the memory waits for the disk.
  if (memoryChanged_) KeepMemory();
  if (vanishing_) VanishWhenDelivered(now);
}

// Closing the pseudo-terminal throws away what the client has not read, so
// the device goes once its last reply has been read, or after a grace time
// when nobody reads it.
void ControllerPort::VanishWhenDelivered(Clock::time_point now) {
  vanishCheck_.reset();
  if (vanished_ || !line_.Idle()) return;
  if (vanishDeadline_ == Clock::time_point{}) vanishDeadline_ = now + kLastReplyGrace;
  if (!line_.Delivered(now) && now < vanishDeadline_) {
    vanishCheck_ = now + kDeliveryCheck;
    return;
  }
  line_.Close();
  link_.reset();
  vanished_ = true;
  Log("gone", "-", "-", "closed the port after " + std::to_string(requestCount_) + " requests");
}

void ControllerPort::Process(const Request& request) {
  const VirtualController::Exchange exchange = controller_.Handle(request.frame, request.arrived);
  if (exchange.status != FrameStatus::kOk) {
    Log("in", request.frame, "-", Refusal(exchange.status));
    return;
  }
  ++requestCount_;
  const std::string key = KeyLabel(exchange.request);
  if (config_.faults.silent) {
    Log("in", request.frame, key, "silent");
  } else if (exchange.reply.empty()) {
    Log("in", request.frame, key, "unknown command, not answered");
  } else {
    Log("in", request.frame, key);
    SendReply(exchange, request.arrived + config_.faults.replyDelay);
  }
  memoryChanged_ = memoryChanged_ || exchange.memoryChanged;
  if (config_.faults.vanishAfter != 0 && requestCount_ >= config_.faults.vanishAfter) {
    vanishing_ = true;
    requests_.clear();
  }
}

void ControllerPort::SendReply(const VirtualController::Exchange& exchange, Clock::time_point notBefore) {
  const LineFaults& faults = config_.faults;
  ++replyCount_;
  if (IsEvery(replyCount_, faults.garbageEvery))
    SendNoise(LineNoise(noiseSeed_), std::to_string(kNoiseBytes) + " bytes of line noise", notBefore);
  if (IsEvery(replyCount_, faults.overlongEvery))
    SendNoise(OverlongFrame(), "an unfinished frame of " + std::to_string(kOverlongChars) + " characters", notBefore);
  const std::string key = KeyLabel(exchange.replyKey);
  if (IsEvery(replyCount_, faults.dropEvery)) {
    Log("drop", exchange.reply, key);
    return;
  }
  std::string frame = exchange.reply;
  std::string note;
  if (IsEvery(replyCount_, faults.corruptEvery)) {
    CorruptCheckValue(frame);
    note = "check value corrupted";
  }
  line_.Send(frame, notBefore, [this, frame, key, note] { Log("out", frame, key, note); });
}

void ControllerPort::SendNoise(std::string bytes, std::string note, Clock::time_point notBefore) {
  line_.Send(std::move(bytes), notBefore, [this, note = std::move(note)] { Log("noise", "-", "-", note); });
}

void ControllerPort::KeepMemory() {
  memoryChanged_ = false;
  if (config_.stateFile.empty()) return;
  std::string error;
  if (!WriteStateFile(config_.stateFile, controller_.SaveMemory(), &error))
    std::fprintf(stderr, "frosk-sim: %s\n", error.c_str());
}

void ControllerPort::Log(std::string_view direction, std::string_view frame, std::string_view key,
                         std::string_view note) {
  if (config_.log != nullptr) config_.log->Write(config_.name, direction, frame, key, note);
}

}  // namespace frosk::sim
