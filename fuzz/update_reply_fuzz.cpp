// Any bytes as the update server's reply: parse it, and ask whether it is
// complete, as the update check does while the reply arrives.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updates/update_reply.h"

using namespace frosk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  UpdateInfo info;
  const bool parsed = ParseUpdateReply(reply, info);
  const bool complete = UpdateReplyComplete(reply);
  if (parsed && (info.version.size() > 15 || info.infoPage.size() > 1023 || info.installer.size() > 1023))
    __builtin_trap();
  return complete && size == SIZE_MAX;
}
