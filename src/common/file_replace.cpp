#include "common/file_replace.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace frosk {

int FileCalls::Create(const std::string& path, mode_t mode) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}

ssize_t FileCalls::Write(int fd, const char* data, size_t size) { return write(fd, data, size); }

int FileCalls::Sync(int fd) { return fsync(fd); }

int FileCalls::Close(int fd) { return close(fd); }

int FileCalls::Rename(const std::string& from, const std::string& to) { return rename(from.c_str(), to.c_str()); }

int FileCalls::OpenToAppend(const std::string& path) { return open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC); }

int FileCalls::Truncate(int fd, off_t size) { return ftruncate(fd, size); }

FileCalls& FileCalls::System() {
  static FileCalls calls;
  return calls;
}

namespace {

bool Refuse(std::string* why, const std::string& reason) {
  if (why != nullptr) *why = reason;
  return false;
}

bool SystemFailure(std::string* why, int error) { return Refuse(why, std::strerror(error)); }

// The temporary file beside the target, whose name no other save of this or
// another process takes: creating it fails on any name that exists.
int CreateBeside(const std::string& target, mode_t mode, FileCalls& calls, std::string* temporary) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = target + "." + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
    const int fd = calls.Create(*temporary, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool WriteAll(int fd, std::string_view text, FileCalls& calls) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t count = calls.Write(fd, text.data() + done, text.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    // A regular file that takes nothing will not take the rest either.
    if (count == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(count);
  }
  return true;
}

bool ReplaceFileContent(const std::string& path, std::string_view text, std::string* why, FileCalls& calls) {
  std::string target = path;
  // A new file gets 0666 less the user's umask. A replacement starts private
  // and then takes the earlier file's mode, so nobody who could not read the
  // earlier file reads the new one.
  mode_t mode = 0666;
  bool replacing = false;
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return Refuse(why, "is a folder");
    // Renaming over a device or a pipe would put a file where they were.
    if (!S_ISREG(existing.st_mode)) return Refuse(why, "is not a regular file");
    const std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
    if (real == nullptr) return SystemFailure(why, errno);
    target = real.get();
    mode = 0600;
    replacing = true;
  } else if (errno != ENOENT) {
    return SystemFailure(why, errno);
  }

  std::string temporary;
  int fd = CreateBeside(target, mode, calls, &temporary);
  if (fd < 0) return SystemFailure(why, errno);
  const auto abandon = [&](int error) {
    if (fd >= 0) calls.Close(fd);
    unlink(temporary.c_str());
    return SystemFailure(why, error);
  };
  // Best effort: a file system without modes keeps the file all the same.
  if (replacing) (void)fchmod(fd, existing.st_mode & 07777);
  if (!WriteAll(fd, text, calls) || calls.Sync(fd) != 0) return abandon(errno);
  const int closed = calls.Close(fd);
  fd = -1;
  // Some file systems report a failed write only when the file is closed.
  if (closed != 0) return abandon(errno);
  if (calls.Rename(temporary, target) != 0) return abandon(errno);
  return true;
}

}  // namespace frosk
