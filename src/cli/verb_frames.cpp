// decode and encode: frames to item trees and requests to frames, offline.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/request_builder.h"
#include "cli/verbs.h"
#include "device/config_file.h"
#include "protocol/frame.h"
#include "protocol/node_text.h"

namespace frosk::cli {

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n\f\v";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

void PrintItemTree(const uint8_t* item) {
  WalkItemTree(item, [](const uint8_t* node, int depth) {
    std::cout << std::string(2 * static_cast<size_t>(depth), ' ') << EscapeText(ItemNodeText(node)) << "\n";
  });
}

int RunDecode(const Invocation& invocation) {
  if (invocation.args.size() != 1) return UsageError("decode takes one FRAME (or - for standard input)");
  std::string frame = invocation.args[0];
  if (frame == "-") {
    // No frame is longer than a configuration file, the largest the system
    // knows: an endless input is refused there instead of read whole.
    constexpr size_t kLongest = kConfigFileMaxSize + kConfigFileWhiteSpaceRoom;
    frame.resize(kLongest + 1);
    std::cin.read(frame.data(), static_cast<std::streamsize>(frame.size()));
    frame.resize(static_cast<size_t>(std::cin.gcount()));
    if (frame.size() > kLongest)
      return UsageError("standard input holds more than one frame can: a frame has at most " +
                        std::to_string(kConfigFileMaxSize) + " characters, with at most " +
                        std::to_string(kConfigFileWhiteSpaceRoom) + " of white space around it");
  }
  frame = Trim(frame);
  // Large enough for a configuration file.
  std::vector<uint8_t> buffer(kConfigTreeCapacity);
  const FrameDecodeResult result = DecodeItem(buffer.data(), buffer.size(), frame);
  if (!result.ok()) return UsageError(DescribeFrameFailure(result, buffer.size()));
  PrintItemTree(buffer.data());
  return kExitDone;
}

int RunEncode(const Invocation& invocation) {
  if (invocation.args.empty()) return UsageError("encode needs a COMMAND");
  const std::vector<std::string> fields(invocation.args.begin() + 1, invocation.args.end());
  const BuiltRequest request = BuildRequest(invocation.args[0], fields, false);
  if (!request.ok()) return UsageError(request.error);
  std::cout << FrameEncode(request.item.data()) << "\n";
  return kExitDone;
}

}  // namespace frosk::cli
