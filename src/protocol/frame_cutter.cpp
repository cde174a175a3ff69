#include "protocol/frame_cutter.h"

#include <algorithm>
#include <cstring>

namespace frosk {

void FrameCutter::Commit(size_t count, const Emit& emit) {
  held_ += std::min(count, Room());
  while (held_ > 0) {
    uint8_t* start = static_cast<uint8_t*>(std::memchr(buffer_, '$', held_));
    if (start == nullptr) {
      held_ = 0;
      break;
    }
    if (start != buffer_) {
      held_ -= static_cast<size_t>(start - buffer_);
      std::memmove(buffer_, start, held_);
    }
    const auto* end = static_cast<const uint8_t*>(std::memchr(buffer_, '#', held_));
    if (end == nullptr) break;
    const size_t length = static_cast<size_t>(end - buffer_) + 1;
    emit(std::string_view(reinterpret_cast<const char*>(buffer_), length));
    held_ -= length;
    std::memmove(buffer_, buffer_ + length, held_);
  }
  // A full buffer that holds no "#" could never receive again: give up the
  // oldest unfinished frame, up to the next "$" if one is held.
  if (held_ == kCapacity) {
    const auto* next = static_cast<const uint8_t*>(std::memchr(buffer_ + 1, '$', held_ - 1));
    if (next == nullptr) {
      held_ = 0;
    } else {
      held_ -= static_cast<size_t>(next - buffer_);
      std::memmove(buffer_, next, held_);
    }
  }
}

void FrameCutter::Feed(const uint8_t* data, size_t count, const Emit& emit) {
  while (count > 0) {
    const size_t chunk = std::min(count, Room());
    std::memcpy(Tail(), data, chunk);
    Commit(chunk, emit);
    data += chunk;
    count -= chunk;
  }
}

}  // namespace frosk
