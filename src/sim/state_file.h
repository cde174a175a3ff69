#pragma once

#include <string>
#include <string_view>

namespace frosk::sim {

// The file that stands for a simulated device's own memory.

// Reads the whole file into `text`. False with `error` empty when the file
// does not exist yet (a device fresh from the factory), false with `error`
// set when it cannot be read or is far larger than any memory.
bool ReadStateFile(const std::string& path, std::string* text, std::string* error);

// Writes a temporary file beside `path` and renames it over `path`, so a
// crash or a full disk never leaves half a memory behind.
bool WriteStateFile(const std::string& path, std::string_view text, std::string* error);

}  // namespace frosk::sim
