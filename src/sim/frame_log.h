#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace frosk::sim {

// One line per frame in and out, flushed at once so a test can follow it while
// the simulator runs:
//   TIME DEVICE DIRECTION FRAME KEY [(NOTE)]
// e.g. "14:03:07.412 frosk0 in $002000040900# GET_DEVICE_IDEN". DIRECTION is
// in, out, drop (a reply held back), noise (bytes that are no frame) or gone.
class FrameLog {
 public:
  // Appends to `path`; nullptr with `error` set when it cannot be opened.
  static std::unique_ptr<FrameLog> Open(const std::string& path, std::string* error);
  ~FrameLog();
  FrameLog(const FrameLog&) = delete;
  FrameLog& operator=(const FrameLog&) = delete;

  void Write(std::string_view device, std::string_view direction, std::string_view frame, std::string_view key,
             std::string_view note = {});

 private:
  explicit FrameLog(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};

}  // namespace frosk::sim
