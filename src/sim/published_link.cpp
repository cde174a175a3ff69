#include "sim/published_link.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace frosk::sim {

namespace {

std::string LinkTarget(const std::string& path) {
  char target[4096];
  const ssize_t length = readlink(path.c_str(), target, sizeof target);
  return length < 0 ? std::string() : std::string(target, static_cast<size_t>(length));
}

}  // namespace

std::unique_ptr<PublishedLink> PublishedLink::Create(const std::string& path, const std::string& target,
                                                     std::string* error) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      if (error != nullptr) *error = path + " exists and is not a link";
      return nullptr;
    }
    unlink(path.c_str());
  }
  if (symlink(target.c_str(), path.c_str()) != 0) {
    if (error != nullptr) *error = "cannot create " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<PublishedLink>(new PublishedLink(path, target));
}

PublishedLink::~PublishedLink() {
  if (LinkTarget(path_) == target_) unlink(path_.c_str());
}

}  // namespace frosk::sim
