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
  // The last block of a port that hung up or failed (a pulled adapter, a
  // closed pseudo-terminal): it carries no frame, and follows every frame the
  // port delivered. The link stays open until LinkClose.
  bool PortEnded() const { return count == 0; }
};

// Called on the link's reader thread with each frame, in the order cut, and
// once with the empty block of a port's end. It must hand the block over
// quickly (post it to the thread that handles it), and must not call LinkClose.
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

// What LinkWrite and LinkSendItem give besides 0 (every byte written) and 1 (a
// write error, or no link or bytes): the port took not all the bytes within
// kLinkWriteWaitMs, as a port does whose other side has stopped reading.
inline constexpr int kLinkWriteStalled = 2;
// The longest a write waits for a port to take a frame. Writes run on the
// user-interface thread: a port that stops taking bytes must not freeze it.
inline constexpr int kLinkWriteWaitMs = 1000;

// Encodes one item as a frame and writes it: 0, 1 or kLinkWriteStalled.
int LinkSendItem(Link* link, const uint8_t* item);
// Writes raw bytes to the port, all of them, never blocking the caller for
// longer than kLinkWriteWaitMs. Once a write has stalled, the next ones do not
// wait at all until the port takes bytes again, so a hung port costs the
// caller one wait, not one per request. 0 on success, 1 on a write error,
// kLinkWriteStalled when the port did not take every byte in time (the bytes
// it took are on the line: the frame is lost).
int LinkWrite(Link* link, const void* bytes, size_t count);

}  // namespace frosk
