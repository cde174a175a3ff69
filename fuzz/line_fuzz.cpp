// Any bytes as a link's reader receives them from the line, in reads of any
// size: every frame cut must run from "$" to its first "#", the cutter must
// keep room to read, and each frame goes on to the receiver's decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/frame.h"
#include "protocol/frame_cutter.h"

using namespace frosk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte sets the read size, as a port delivers whatever has arrived.
  const size_t readSize = static_cast<size_t>(data[0]) * 5 + 1;
  ++data;
  --size;
  static uint8_t item[FrameCutter::kCapacity];
  FrameCutter cutter;
  const FrameCutter::Emit check = [](std::string_view frame) {
    if (frame.size() < 2 || frame.front() != '$' || frame.back() != '#') std::abort();
    if (frame.size() > FrameCutter::kCapacity || frame.find('#') != frame.size() - 1) std::abort();
    DecodeItem(item, sizeof item, frame);
  };
  while (size > 0) {
    if (cutter.Room() == 0) std::abort();
    size_t chunk = readSize < size ? readSize : size;
    if (chunk > cutter.Room()) chunk = cutter.Room();
    for (size_t i = 0; i < chunk; ++i) cutter.Tail()[i] = data[i];
    cutter.Commit(chunk, check);
    data += chunk;
    size -= chunk;
  }
  return 0;
}
