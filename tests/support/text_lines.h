#pragma once

#include <string>
#include <vector>

namespace frosk::test {

// The lines of a program's output or a file, without their line ends.
std::vector<std::string> Lines(const std::string& text);

// A file's whole content; empty when it cannot be read.
std::string FileText(const std::string& path);

}  // namespace frosk::test
