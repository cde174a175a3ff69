#include "updates/update_reply.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "protocol/text_number.h"

namespace frosk {

namespace {

constexpr size_t kVersionCapacity = 15;
constexpr size_t kTextCapacity = 1023;

// Lines end at CR, LF or the two together; a final line end opens no new line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  const std::optional<int64_t> value = ParseInteger(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(*value);
}

// The code stands between the first and the second blank of the status line,
// so a line that ends right after the code has none.
int StatusCode(std::string_view statusLine) {
  const size_t first = statusLine.find(' ');
  if (first == std::string_view::npos) return -1;
  const std::string_view rest = statusLine.substr(first + 1);
  const size_t second = rest.find(' ');
  if (second == std::string_view::npos) return -1;
  return ParseInt32(rest.substr(0, second)).value_or(-1);
}

// The value after the "=" of the first line whose name is `key`; empty when none.
std::string_view ValueOf(const std::vector<std::string_view>& section, std::string_view key) {
  for (const std::string_view line : section) {
    const size_t equals = line.find('=');
    if (equals != std::string_view::npos && EqualsIgnoringCase(line.substr(0, equals), key))
      return line.substr(equals + 1);
  }
  return {};
}

std::string Cut(std::string_view text, size_t capacity) { return std::string(text.substr(0, capacity)); }

}  // namespace

std::string UpdateRequestText(std::string_view host, uint16_t port) {
  // An IPv6 address is bracketed, so its colons do not read as a port.
  std::string hostField = host.find(':') == std::string_view::npos ? std::string(host) : "[" + std::string(host) + "]";
  if (port != 80) hostField += ":" + std::to_string(port);
  return "GET /check_for_updates.php HTTP/1.1\r\n"
         "Host: " +
         hostField +
         "\r\n"
         "Connection: close\r\n"
         "User-Agent: DrovUpdateChecker/1.0\r\n"
         "\r\n";
}

bool ParseUpdateReply(std::string_view reply, UpdateInfo& info) {
  const std::vector<std::string_view> lines = SplitLines(reply);
  if (lines.empty() || StatusCode(lines.front()) != 200) return false;

  const auto headerEnd = std::find_if(lines.begin(), lines.end(), [](std::string_view l) { return l.empty(); });
  if (headerEnd == lines.end() || headerEnd + 1 == lines.end()) return false;

  const auto sectionStart = std::find_if(headerEnd + 1, lines.end(),
                                         [](std::string_view l) { return EqualsIgnoringCase(l, "[FroskManager]"); });
  if (sectionStart == lines.end()) return false;
  const auto sectionEnd =
      std::find_if(sectionStart + 1, lines.end(), [](std::string_view l) { return !l.empty() && l.front() == '['; });
  const std::vector<std::string_view> section(sectionStart + 1, sectionEnd);

  info.version = Cut(ValueOf(section, "Version"), kVersionCapacity);
  info.build = ParseInt32(ValueOf(section, "Build")).value_or(0);
  info.installer = Cut(ValueOf(section, "Installer"), kTextCapacity);
  info.infoPage = Cut(ValueOf(section, "InfoPage"), kTextCapacity);
  return true;
}

bool IsWebAddress(std::string_view address) {
  return EqualsIgnoringCase(address.substr(0, 7), "http://") || EqualsIgnoringCase(address.substr(0, 8), "https://");
}

bool UpdateReplyComplete(std::string_view reply) {
  const std::vector<std::string_view> lines = SplitLines(reply);
  std::optional<int64_t> contentLength;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.empty()) {
      if (!contentLength || *contentLength < 0) return false;
      // The body starts after this empty line's own line end.
      size_t bodyStart = static_cast<size_t>(line.data() - reply.data());
      bodyStart += reply.compare(bodyStart, 2, "\r\n") == 0 ? 2 : 1;
      return reply.size() - std::min(bodyStart, reply.size()) >= static_cast<uint64_t>(*contentLength);
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsIgnoringCase(line.substr(0, colon), "Content-Length")) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    contentLength = ParseInteger(value);
  }
  return false;
}

}  // namespace frosk
