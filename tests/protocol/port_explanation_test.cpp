#include "protocol/port_explanation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "sim/pseudo_terminal.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using Kind = PortFacts::Kind;

PortFacts Device(unsigned mode, bool inGroup = false, bool groupListsUser = false) {
  PortFacts facts;
  facts.kind = Kind::CharacterDevice;
  facts.owner = "root";
  facts.group = "dialout";
  facts.mode = mode;
  facts.inGroup = inGroup;
  facts.groupListsUser = groupListsUser;
  return facts;
}

PortFacts Held(std::optional<PortHolder> holder) {
  PortFacts facts = Device(0660, true);
  facts.holder = std::move(holder);
  return facts;
}

PortFacts Of(Kind kind) {
  PortFacts facts;
  facts.kind = kind;
  return facts;
}

TEST(PortExplanationTest, NamesTheCauseAndWhatTheUserCanDo) {
  struct Case {
    const char* what;
    PortError error;
    PortFacts facts;
    std::string text;
  } cases[] = {
      {"no such port", {"/dev/ttyUSB3", "open", ENOENT}, Of(Kind::Missing), "/dev/ttyUSB3: No such file or directory"},
      {"not in the owning group",
       {"/dev/ttyUSB0", "open", EACCES},
       Device(0660),
       "/dev/ttyUSB0: Permission denied\n"
       "the port belongs to the group dialout, which this user is not in: sudo adduser $USER dialout, then log in "
       "again"},
      {"added to the group since logging in",
       {"/dev/ttyUSB0", "open", EACCES},
       Device(0660, false, true),
       "/dev/ttyUSB0: Permission denied\n"
       "this user was added to the group dialout, which owns the port, after logging in: log in again"},
      {"the group may not use it either",
       {"/dev/ttyS0", "open", EACCES},
       Device(0600),
       "/dev/ttyS0: Permission denied\n"
       "the port (crw-------, owner root, group dialout) does not let this user read and write it: ask the "
       "administrator"},
      {"in the group, still refused",
       {"/dev/ttyS0", "open", EPERM},
       Device(0660, true),
       "/dev/ttyS0: Operation not permitted\n"
       "the port (crw-rw----, owner root, group dialout) does not let this user read and write it: ask the "
       "administrator"},
      {"held by a named process",
       {"/dev/ttyUSB0", "lock", EWOULDBLOCK},
       Held(PortHolder{4242, "froskctl"}),
       "/dev/ttyUSB0: in use by another program\nheld by froskctl (process 4242)"},
      {"held by a process without a name",
       {"/dev/ttyUSB0", "open", EBUSY},
       Held(PortHolder{4242, ""}),
       "/dev/ttyUSB0: in use by another program\nheld by process 4242"},
      {"held, the system does not say by whom",
       {"/dev/ttyUSB0", "open", EBUSY},
       Held(std::nullopt),
       "/dev/ttyUSB0: in use by another program\nanother program holds it, and the system does not say which"},
      {"a new ACM port",
       {"/dev/ttyACM0", "open", EBUSY},
       Held(std::nullopt),
       "/dev/ttyACM0: in use by another program\nanother program holds it, and the system does not say which; "
       "ModemManager probes a new ttyACM port for a few seconds"},
      {"a device that is no terminal",
       {"/dev/null", "configure", ENOTTY},
       Device(0666, true),
       "/dev/null: not a serial port (a device of another kind)"},
      {"a directory",
       {"/dev/serial", "open", EISDIR},
       Of(Kind::Directory),
       "/dev/serial: not a serial port (a directory)"},
      {"a named pipe",
       {"/tmp/line", "configure", ENOTTY},
       Of(Kind::Fifo),
       "/tmp/line: not a serial port (a named pipe)"},
      // No advice to join the group that guards some other file.
      {"a file the user may not open",
       {"/dev/../etc/shadow", "open", EACCES},
       Of(Kind::File),
       "/dev/../etc/shadow: not a serial port (a regular file)"},
      {"control characters in the name",
       {"/dev/tty\nUSB0\x1b[2J", "open", ENOENT},
       Of(Kind::Missing),
       "/dev/tty\\x0AUSB0\\x1B[2J: No such file or directory"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExplainPortFailure(c.error, c.facts), c.text) << c.what;
}

TEST(PortExplanationTest, FindsTheHolderOfALockInProcLocks) {
  const test::TempDir proc;
  const std::string port = proc.Write("ttyFAKE0", "");
  struct stat file {};
  ASSERT_EQ(stat(port.c_str(), &file), 0);
  char here[64];
  std::snprintf(here, sizeof here, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                static_cast<unsigned long long>(file.st_ino));
  char elsewhere[64];
  std::snprintf(elsewhere, sizeof elsewhere, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                static_cast<unsigned long long>(file.st_ino) + 1);
  proc.Write("locks", std::string("1: POSIX  ADVISORY  WRITE 100 ") + elsewhere + " 0 EOF\n" +
                          "2: OFDLCK ADVISORY  WRITE -1 " + here + " 0 EOF\n" +      // no process to name
                          "3: -> FLOCK  ADVISORY  WRITE 200 " + here + " 0 EOF\n" +  // only waiting
                          "garbage\n" +                                              //
                          "4: FLOCK  ADVISORY  WRITE 4242 " + here + " 0 EOF\n");
  proc.Write("4242/comm", "froskctl\n");

  const std::optional<PortHolder> holder = FindPortHolder(port, proc.Path());
  ASSERT_TRUE(holder.has_value());
  EXPECT_EQ(holder->pid, 4242);
  EXPECT_EQ(holder->name, "froskctl");

  // A holder that has gone since keeps its number.
  proc.Write("locks", std::string("1: FLOCK  ADVISORY  WRITE 77 ") + here + " 0 EOF\n");
  EXPECT_EQ(FindPortHolder(port, proc.Path())->name, "");
  EXPECT_FALSE(FindPortHolder(proc.Path() + "gone", proc.Path()).has_value());
}

// The system's own answers: what a real open of each thing gives, explained
// from what the system tells.
TEST(PortExplanationTest, ExplainsRealPortsThatDoNotOpen) {
  const test::TempDir folder;
  const std::string pipe = folder.Path() + "line";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  struct Case {
    std::string port;
    std::string text;
  } cases[] = {
      {"/dev/null", "/dev/null: not a serial port (a device of another kind)"},
      {folder.Path(), folder.Path() + ": not a serial port (a directory)"},
      {pipe, pipe + ": not a serial port (a named pipe)"},
      {folder.Write("ttyPlain", ""), folder.Path() + "ttyPlain: not a serial port (a regular file)"},
      {"tty\tNo Such", "/dev/tty\\x09No Such: No such file or directory"},
  };
  for (const Case& c : cases) {
    PortSettings settings;
    settings.portName = c.port;
    int handle = kNoPort;
    PortError error;
    ASSERT_EQ(PortOpen(&handle, settings, &error), 1) << c.port;
    EXPECT_EQ(ExplainPortFailure(error), c.text);
  }
}

TEST(PortExplanationTest, NamesTheProcessThatHoldsARealPort) {
  const auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  PortSettings settings;
  settings.portName = pty->ClientPath();
  int held = kNoPort;
  ASSERT_EQ(PortOpen(&held, settings), 0);

  int second = kNoPort;
  PortError error;
  ASSERT_EQ(PortOpen(&second, settings, &error), 1);
  ASSERT_TRUE(error.InUse());
  EXPECT_EQ(ExplainPortFailure(error),
            pty->ClientPath() + ": in use by another program\nheld by " + test::ThisProcessAsHolder());
  PortClose(&held);
}

}  // namespace
}  // namespace frosk
