#include "firmware/firmware_files.h"

#include <dirent.h>
#include <strings.h>

#include <fstream>

#include "protocol/text_number.h"

namespace frosk {

namespace {

struct TypeFiles {
  int type;
  const char* info;
  const char* firmware;
};

constexpr TypeFiles kTypeFiles[] = {
    {1, "FroskTec.info", "FroskTec.hex"},
    {3, "Kaz.info", "Kaz.hex"},
    {4, "FroskTecV2.info", "FroskTecV2.hex"},
};

const TypeFiles* FilesOf(int type) {
  for (const TypeFiles& files : kTypeFiles)
    if (files.type == type) return &files;
  return nullptr;
}

// File names are matched without regard to case, as on the system the
// firmware folder is prepared on; the name on disk wins when one matches.
std::string PathInFolder(const std::string& folder, const std::string& name) {
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (strcasecmp(entry->d_name, name.c_str()) == 0) {
        std::string found = folder + entry->d_name;
        closedir(dir);
        return found;
      }
    }
    closedir(dir);
  }
  return folder + name;
}

bool EqualNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

bool IsKnownDeviceType(int type) { return type >= 1 && type <= 4; }

std::string InfoFileName(int type) {
  const TypeFiles* files = FilesOf(type);
  return files != nullptr ? files->info : "";
}

std::string InfoFilePath(const Folders& folders, int type) {
  const TypeFiles* files = FilesOf(type);
  return files != nullptr ? PathInFolder(folders.firmware, files->info) : "";
}

std::optional<int> FirmwareFileVersion(const Folders& folders, int type) {
  if (FilesOf(type) == nullptr) return 0;
  std::ifstream info(InfoFilePath(folders, type));
  if (!info) return std::nullopt;
  std::string line;
  while (std::getline(info, line)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos || !EqualNoCase(Trim(line.substr(0, equals)), "FirmVer")) continue;
    const std::optional<int64_t> version = ParseInteger(Trim(line.substr(equals + 1)));
    if (!version || *version < 0 || *version > 0x7FFFFFFF) return 0;
    return static_cast<int>(*version);
  }
  if (info.bad()) return std::nullopt;
  return 0;
}

std::string UnreadableInfoFileMessage(const std::string& path) {
  return "Firmware information file is missing or unreadable:\r" + path;
}

std::string FirmwareFilePath(const Folders& folders, int type) {
  const TypeFiles* files = FilesOf(type);
  return files != nullptr ? PathInFolder(folders.firmware, files->firmware) : "";
}

std::string TargetDefaultFile(const Folders& folders, int target) {
  switch (target) {
    case 1: return FirmwareFilePath(folders, 4);
    case 2: return FirmwareFilePath(folders, 1);
    case 3: return FirmwareFilePath(folders, 3);
    case 5: return PathInFolder(folders.firmware, "FroskTecV2_xboot.hex");
    case 6: return PathInFolder(folders.firmware, "FroskTec_xboot.hex");
    default: return "";
  }
}

}  // namespace frosk
