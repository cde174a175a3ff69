#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace frosk {

// The file-system calls that replacing a file makes. Each behaves as the
// system call it is named after: -1 with errno set when it fails. Tests derive
// from it to make any one of them fail as a full disk or a failing drive does.
class FileCalls {
 public:
  virtual ~FileCalls() = default;
  // Creates a new file for writing; fails when one of that name exists.
  virtual int Create(const std::string& path, mode_t mode);
  virtual ssize_t Write(int fd, const char* data, size_t size);
  virtual int Sync(int fd);
  // The descriptor is released even when this fails.
  virtual int Close(int fd);
  virtual int Rename(const std::string& from, const std::string& to);
  // Opens an existing file for writing at its end.
  virtual int OpenToAppend(const std::string& path);
  virtual int Truncate(int fd, off_t size);

  // The system's own calls.
  static FileCalls& System();
};

// Writes all of `text`, going on after interrupted and partial writes. False,
// with errno set, when the file takes no more.
bool WriteAll(int fd, std::string_view text, FileCalls& calls = FileCalls::System());

// Replaces the file's content as one step. The text goes into a new file
// beside it, which is synced and renamed over it only once every byte is on
// the disk, so a failure at any point (no space, an I/O error, a failed sync)
// leaves the earlier file as it was and nothing beside it. A new file gets the
// usual mode, a replaced one keeps its own; a link is followed to its file.
// A path naming anything but a regular file (a folder, a device, a pipe) is
// refused. False, with the reason in `why`, when the content was not replaced.
bool ReplaceFileContent(const std::string& path, std::string_view text, std::string* why,
                        FileCalls& calls = FileCalls::System());

}  // namespace frosk
