#include "cli/fleet_textfile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace frosk::cli {

namespace {

std::string Beside(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool Refuse(std::string* why, const std::string& reason) {
  if (why != nullptr) *why = reason;
  return false;
}

// A new file made and removed again: the one sure test that the folder takes
// the files each write makes (permissions, a read-only mount, access lists).
bool FolderTakesFiles(const std::string& probe, FileCalls& calls, std::string* why) {
  const int fd = calls.Create(probe, 0600);
  if (fd < 0) return Refuse(why, std::strerror(errno));
  calls.Close(fd);
  unlink(probe.c_str());
  return true;
}

}  // namespace

bool IsStationName(std::string_view name) {
  if (name.empty() || name.front() == '.') return false;
  for (const char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-')) return false;
  return true;
}

std::unique_ptr<StationTextfile> StationTextfile::Open(const std::string& folder, const std::string& station,
                                                       std::string* why, FileCalls& calls) {
  const std::string lockPath = Beside(folder, "froskctl-" + station + ".lock");
  // Read-only is enough for flock, and opens a lock file another user made.
  const int lockFd = open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd < 0) {
    Refuse(why, lockPath + ": " + std::strerror(errno));
    return nullptr;
  }
  // The lock file stays when we end: removing it would let a third process
  // lock a new file while a second still waits on the old one.
  if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(lockFd);
    Refuse(why, error == EWOULDBLOCK ? "another froskctl watches station " + station + " into " + folder
                                     : lockPath + ": " + std::strerror(error));
    return nullptr;
  }
  const std::string path = Beside(folder, "froskctl-" + station + ".prom");
  std::string reason;
  if (!FolderTakesFiles(path + "." + std::to_string(getpid()) + ".tmp", calls, &reason)) {
    close(lockFd);
    Refuse(why, folder + ": " + reason);
    return nullptr;
  }
  return std::unique_ptr<StationTextfile>(new StationTextfile(path, lockFd, calls));
}

StationTextfile::~StationTextfile() { close(lockFd_); }

bool StationTextfile::Write(std::string_view text, std::string* why) {
  return ReplaceFileContent(path_, text, why, calls_);
}

}  // namespace frosk::cli
