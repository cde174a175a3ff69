#pragma once

#include <functional>
#include <string>

namespace frosk::test {

// Reads what arrives on `fd` until `enough` says so, the other side ends, or
// `timeoutMs` passes (a generous limit, not a pause). Returns what was read.
std::string ReadUntil(int fd, const std::function<bool(const std::string& received)>& enough, int timeoutMs = 10000);

}  // namespace frosk::test
