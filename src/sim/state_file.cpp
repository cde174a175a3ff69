#include "sim/state_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace frosk::sim {

namespace {

// A memory is a few kilobytes; anything much larger is some other file.
constexpr off_t kLargestState = 64 * 1024;

bool Fail(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what + ": " + std::strerror(errno);
  return false;
}

}  // namespace

bool ReadStateFile(const std::string& path, std::string* text, std::string* error) {
  if (error != nullptr) error->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? false : Fail(error, "cannot read the state file " + path);
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestState) {
    close(fd);
    if (error != nullptr) *error = path + " is not a simulator state file";
    return false;
  }
  text->assign(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < text->size()) {
    const ssize_t count = read(fd, text->data() + done, text->size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    done += static_cast<size_t>(count);
  }
  close(fd);
  text->resize(done);
  return true;
}

bool WriteStateFile(const std::string& path, std::string_view text, std::string* error) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return Fail(error, "cannot write beside " + path);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t count = write(fd, text.data() + done, text.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    done += static_cast<size_t>(count);
  }
  const bool written = done == text.size() && fsync(fd) == 0;
  int failure = errno;
  close(fd);
  if (written && rename(temporary.c_str(), path.c_str()) == 0) return true;
  if (written) failure = errno;
  unlink(temporary.c_str());
  errno = failure;
  return Fail(error, "cannot keep the state in " + path);
}

}  // namespace frosk::sim
