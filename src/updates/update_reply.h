#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace frosk {

// What the update server says about the newest build, from the section
// "[FroskManager]" of its reply.
struct UpdateInfo {
  std::string version;    // at most 15 characters; shown, never compared
  int32_t build = 0;      // 0 when missing or not a number
  std::string installer;  // at most 1023 characters; kept, not used
  std::string infoPage;   // at most 1023 characters; opened when the user accepts the download
};

// The outcome of one update check.
enum UpdateResultCode : uint8_t {
  kUpdateNone = 0,  // no result yet
  kUpdateFailed = 1,
  kUpdateAvailable = 2,
  kUpToDate = 3,
};

// The request, every line ended by CR LF, an empty line at the end. The Host
// line names the port only when it is not the HTTP default, 80.
std::string UpdateRequestText(std::string_view host, uint16_t port);

// The whole reply as received: a status line with code 200 followed by a
// reason, headers up to an empty line, and a body holding the section. False,
// leaving `info` unchanged, when any of these is missing.
bool ParseUpdateReply(std::string_view reply, UpdateInfo& info);

// Whether an information page may be handed to the desktop: only http and
// https addresses are, never a file or a program.
bool IsWebAddress(std::string_view address);

// True once the reply holds its headers and as many body bytes as its
// Content-Length header gives; false while either is missing.
bool UpdateReplyComplete(std::string_view reply);

}  // namespace frosk
