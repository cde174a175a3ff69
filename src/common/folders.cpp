#include "common/folders.h"

namespace frosk {

Folders Folders::Beside(const std::string& executableFolder) {
  std::string base = executableFolder;
  if (base.empty() || base.back() != '/') base += '/';
  return {base, base + "firmware/", base + "utils/"};
}

}  // namespace frosk
