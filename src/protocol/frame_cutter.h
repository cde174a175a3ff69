#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace frosk {

// Cuts "$"..."#" frames out of a byte stream as a link's reader receives it.
// It never looks inside a frame: a "$" inside an unfinished frame stays part
// of it, and the receiver's decoder rejects such a frame.
class FrameCutter {
 public:
  static constexpr size_t kCapacity = 1024;
  using Emit = std::function<void(std::string_view frame)>;

  // Where the next read may put up to Room() bytes.
  uint8_t* Tail() { return buffer_ + held_; }
  size_t Room() const { return kCapacity - held_; }
  size_t Held() const { return held_; }

  // Takes `count` bytes just read into Tail() and emits every complete frame in order.
  void Commit(size_t count, const Emit& emit);
  // Copies bytes in (as many reads as they need) and cuts.
  void Feed(const uint8_t* data, size_t count, const Emit& emit);

 private:
  uint8_t buffer_[kCapacity];
  size_t held_ = 0;
};

}  // namespace frosk
