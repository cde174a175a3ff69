#include "common/folders.h"

#include <filesystem>
#include <system_error>

namespace frosk {

namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string FirstPresent(const std::string& beside, const std::string& installed) {
  std::error_code ignored;
  if (std::filesystem::is_directory(beside, ignored)) return beside;
  if (std::filesystem::is_directory(installed, ignored)) return installed;
  return beside;
}

}  // namespace

Folders Folders::Beside(const std::string& executableFolder) {
  const std::string base = WithSlash(executableFolder);
  return {base, base + "firmware/", base + "utils/"};
}

Folders Folders::ForExecutable(const std::string& executableFolder) {
  Folders folders = Beside(executableFolder);
  // Lexically, not through the file system: a path that names the folder the
  // way the user sees it, without resolving links.
  const std::string shared =
      WithSlash((std::filesystem::path(folders.executable) / "../share/froskmanager").lexically_normal().string());
  folders.firmware = FirstPresent(folders.firmware, shared + "firmware/");
  folders.utils = FirstPresent(folders.utils, shared + "utils/");
  return folders;
}

}  // namespace frosk
