#include "protocol/port_explanation.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace frosk {

namespace {

// A port name comes from a command line or a settings file and may hold
// anything; a terminal or a message box must not act on it.
std::string Printable(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    shown += hex;
  }
  return shown;
}

PortFacts::Kind KindOf(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFCHR: return PortFacts::Kind::CharacterDevice;
    case S_IFDIR: return PortFacts::Kind::Directory;
    case S_IFIFO: return PortFacts::Kind::Fifo;
    case S_IFREG: return PortFacts::Kind::File;
    default: return PortFacts::Kind::Other;
  }
}

std::string UserName(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->pw_name;
  return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->gr_name;
  return std::to_string(gid);
}

bool ProcessHasGroup(gid_t gid) {
  if (getegid() == gid) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// The group database, as the next log-in will read it.
bool DatabaseListsUser(gid_t gid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* user = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &user) != 0 || user == nullptr) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    if (getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) return false;
  }
  return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// "crw-rw----", as ls shows it.
std::string ModeText(PortFacts::Kind kind, unsigned mode) {
  static constexpr struct {
    PortFacts::Kind kind;
    char letter;
  } kLetters[] = {{PortFacts::Kind::CharacterDevice, 'c'},
                  {PortFacts::Kind::Directory, 'd'},
                  {PortFacts::Kind::Fifo, 'p'},
                  {PortFacts::Kind::File, '-'}};
  std::string text(1, '?');
  for (const auto& entry : kLetters)
    if (entry.kind == kind) text[0] = entry.letter;
  for (int shift = 6; shift >= 0; shift -= 3) {
    text += (mode >> shift & 4) != 0 ? 'r' : '-';
    text += (mode >> shift & 2) != 0 ? 'w' : '-';
    text += (mode >> shift & 1) != 0 ? 'x' : '-';
  }
  return text;
}

const char* KindText(PortFacts::Kind kind) {
  switch (kind) {
    case PortFacts::Kind::CharacterDevice: return "a device of another kind";
    case PortFacts::Kind::Directory: return "a directory";
    case PortFacts::Kind::Fifo: return "a named pipe";
    case PortFacts::Kind::File: return "a regular file";
    default: return "a file of another kind";
  }
}

std::string PermissionRemedy(const PortFacts& facts) {
  const std::string group = Printable(facts.group);
  const bool groupMayUse = (facts.mode & 060) == 060;
  if (groupMayUse && !facts.inGroup && facts.groupListsUser)
    return "this user was added to the group " + group + ", which owns the port, after logging in: log in again";
  if (groupMayUse && !facts.inGroup)
    return "the port belongs to the group " + group + ", which this user is not in: sudo adduser $USER " + group +
           ", then log in again";
  return "the port (" + ModeText(facts.kind, facts.mode) + ", owner " + Printable(facts.owner) + ", group " + group +
         ") does not let this user read and write it: ask the administrator";
}

std::string BusyRemedy(const std::string& path, const PortFacts& facts) {
  if (facts.holder && !facts.holder->name.empty())
    return "held by " + Printable(facts.holder->name) + " (process " + std::to_string(facts.holder->pid) + ")";
  if (facts.holder) return "held by process " + std::to_string(facts.holder->pid);
  std::string text = "another program holds it, and the system does not say which";
  // ModemManager opens every new ACM port to see whether it is a modem.
  if (path.find("ttyACM") != std::string::npos) text += "; ModemManager probes a new ttyACM port for a few seconds";
  return text;
}

}  // namespace

std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& procRoot) {
  struct stat file {};
  if (stat(path.c_str(), &file) != 0) return std::nullopt;
  std::ifstream locks(procRoot + "/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 4242 00:05:567 0 EOF"; a waiter has "->" after the number.
    std::istringstream fields(line);
    std::string number, type, advisory, access, where;
    long pid = 0;
    if (!(fields >> number >> type) || type == "->") continue;
    if (!(fields >> advisory >> access >> pid >> where) || pid <= 0) continue;
    // The file system's device numbers in hexadecimal, then the inode.
    unsigned deviceMajor = 0, deviceMinor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &deviceMajor, &deviceMinor, &inode) != 3) continue;
    if (deviceMajor != major(file.st_dev) || deviceMinor != minor(file.st_dev) || inode != file.st_ino) continue;
    return PortHolder{pid, ReadFirstLine(procRoot + "/" + std::to_string(pid) + "/comm")};
  }
  return std::nullopt;
}

PortFacts GatherPortFacts(const std::string& path, const std::string& procRoot) {
  PortFacts facts;
  struct stat file {};
  // A name that made no path (empty, "COM0") must not be looked up in the
  // current folder.
  if (path.empty() || path.front() != '/' || stat(path.c_str(), &file) != 0) return facts;
  facts.kind = KindOf(file.st_mode);
  facts.owner = UserName(file.st_uid);
  facts.group = GroupName(file.st_gid);
  facts.mode = file.st_mode & 07777;
  facts.inGroup = ProcessHasGroup(file.st_gid);
  facts.groupListsUser = DatabaseListsUser(file.st_gid);
  facts.holder = FindPortHolder(path, procRoot);
  return facts;
}

std::string ExplainPortFailure(const PortError& error, const PortFacts& facts) {
  PortError shown = error;
  shown.path = Printable(error.path);
  // Whatever the open tripped over, a path that is no device is the cause,
  // and the permission advice would point at the wrong file.
  if (facts.kind != PortFacts::Kind::Missing && facts.kind != PortFacts::Kind::CharacterDevice)
    return shown.path + ": not a serial port (" + KindText(facts.kind) + ")";
  if (facts.kind == PortFacts::Kind::CharacterDevice && error.step == "configure" && error.errorNumber == ENOTTY)
    return shown.path + ": not a serial port (" + KindText(facts.kind) + ")";
  const std::string cause = DescribePortError(shown);
  if (facts.kind == PortFacts::Kind::CharacterDevice && error.PermissionDenied())
    return cause + "\n" + PermissionRemedy(facts);
  if (error.InUse()) return cause + "\n" + BusyRemedy(error.path, facts);
  return cause;
}

std::string ExplainPortFailure(const PortError& error) {
  return ExplainPortFailure(error, GatherPortFacts(error.path));
}

}  // namespace frosk
