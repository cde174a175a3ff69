#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "protocol/frame_cutter.h"
#include "protocol/serial_port.h"

namespace frosk {

// One open port to one controller with its reader thread. Created by LinkOpen,
// destroyed only by LinkClose; never reopened.
struct Link;

// One frame as the reader cut it, "$" to "#" inclusive. Whoever holds the
// block owns it, so a block nobody takes is freed, never lost.
struct FrameBlock {
  // The link that received it. Compare it with the links you hold, never
  // follow it: the link may be closed by the time the block is handled.
  const Link* owner = nullptr;
  uint32_t count = 0;
  char bytes[FrameCutter::kCapacity];

  std::string_view Frame() const { return {bytes, count}; }
};

// Called on the link's reader thread with each frame, in the order cut. It
// must hand the block over quickly (post it to the thread that handles it),
// and must not call LinkClose.
using FrameSink = std::function<void(std::unique_ptr<FrameBlock>)>;

// Opens the port (PortOpen) and starts the reader. 0 on success; 1 with
// nothing left open and *link unchanged, the reason in `error` when given.
int LinkOpen(Link** link, const PortSettings& settings, FrameSink sink, PortError* error = nullptr);
// Stops the reader, closes the port, frees the link and sets *link to none.
// Returns within milliseconds. 1 when there is no link.
int LinkClose(Link** link);

// Keeps the port's lock after LinkClose (PortLockKeep), for handing the port
// to a programming tool without a moment in which another client could take it.
int LinkKeepPortLock(const Link* link, int* lock);

// Encodes one item as a frame and writes it. 0 when every byte was written.
int LinkSendItem(Link* link, const uint8_t* item);
// Writes raw bytes to the port, all of them. 0 on success, 1 on a write error.
int LinkWrite(Link* link, const void* bytes, size_t count);

}  // namespace frosk
