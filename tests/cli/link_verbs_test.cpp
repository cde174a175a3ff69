#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "protocol/frame.h"
#include "protocol/keys.h"
#include "protocol/records.h"
#include "protocol/serial_port.h"
#include "sim/pseudo_terminal.h"
#include "support/fake_sysfs.h"
#include "support/read_until.h"
#include "support/run_program.h"

namespace frosk {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::RunProgram;

test::ProgramResult Froskctl(const std::vector<std::string>& args) { return RunProgram(BinPath("froskctl"), args); }

test::ProgramResult FroskctlPorts(const std::string& sysfsRoot) {
  setenv("FROSK_SYSFS_ROOT", sysfsRoot.c_str(), 1);
  auto result = Froskctl({"ports"});
  unsetenv("FROSK_SYSFS_ROOT");
  return result;
}

TEST(FroskctlLinkTest, PortsListsOnePortPerLineAndFailsOnlyWithoutTheSystemsList) {
  test::FakeSysfs sysfs;
  auto result = FroskctlPorts(sysfs.Root());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "");

  sysfs.Add("ttyUSB1");
  sysfs.Add("ttyS0", true, "4", true);
  sysfs.Add("ttyS1", true, "0", true);
  result = FroskctlPorts(sysfs.Root());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "COM1\nttyUSB1\n");

  result = FroskctlPorts(sysfs.Root() + "/missing");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "cannot read the system's list of serial ports\n");
}

// Plays a device on a pseudo-terminal: takes one request, then sends what it is given.
class Peer {
 public:
  explicit Peer(std::string reply) : pty_(PseudoTerminal::Open()) {
    if (pty_ == nullptr) return;
    player_ = std::thread([this, reply = std::move(reply)] {
      request_ = test::ReadUntil(pty_->DeviceFd(),
                                 [](const std::string& received) { return received.find('#') != std::string::npos; });
      if (!reply.empty()) (void)!write(pty_->DeviceFd(), reply.data(), reply.size());
    });
  }
  ~Peer() { Finish(); }

  std::string Port() const { return pty_ ? pty_->ClientPath() : "/dev/frosk-no-pty"; }
  // What the device received; valid once the program has ended.
  const std::string& Request() {
    Finish();
    return request_;
  }

 private:
  void Finish() {
    if (player_.joinable()) player_.join();
  }

  std::unique_ptr<PseudoTerminal> pty_;
  std::thread player_;
  std::string request_;
};

std::string ServiceModeReply() {
  uint8_t item[64];
  BuildInto(ServiceModeRecord{1}, item, sizeof item);
  return FrameEncode(item);
}

TEST(FroskctlLinkTest, RequestPrintsTheTreeOfTheFirstValidReply) {
  // A frame with a bad check value and one whose lengths do not fit come first.
  Peer peer("noise$0410000D10000009101B0005016F97#$0410000C10000000101B0005C745#" + ServiceModeReply() +
            ServiceModeReply());
  const auto result = Froskctl({"request", peer.Port(), "GET_SERVICE_MODE"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "SERVICE_MODE (container)\n  SERVICE_MODE_ENABLE (bool: TRUE)\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(peer.Request(), FrameEncode(BareRequest(key::GET_SERVICE_MODE).data()));
}

TEST(FroskctlLinkTest, RequestGivesUpAfterFiveSecondsWithoutAReply) {
  Peer peer("");
  const auto started = std::chrono::steady_clock::now();
  const auto result = Froskctl({"request", peer.Port(), "SET_SERVICE_MODE", "SERVICE_MODE_ENABLE=FALSE"});
  EXPECT_GE(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, peer.Port() + ": no reply to SET_SERVICE_MODE within 5000 ms\n");
  EXPECT_EQ(peer.Request(), "$0410000D10000009101B000500AF57#");
}

TEST(FroskctlLinkTest, RequestRefusesIncompleteRecordsBeforeOpeningThePort) {
  const auto result = Froskctl({"request", "/dev/frosk-no-such-port", "SET_SERVICE_MODE"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("missing fields: SERVICE_MODE_ENABLE"), std::string::npos) << result.err;
  EXPECT_EQ(Froskctl({"request", "/dev/frosk-no-such-port"}).exitCode, 2);
  const auto outside = Froskctl({"request", "/dev/frosk-no-such-port", "SET_FROSKTEC_CONFIG",
                                 "FROSKTEC_CONFIG_VARIANT=3", "FROSKTEC_CONFIG_NO_MEM_COMPATIBLE=0"});
  EXPECT_EQ(outside.exitCode, 2);
  EXPECT_NE(outside.err.find("FROSKTEC_CONFIG_VARIANT: \"3\" is outside the field's limits 0 to 2"), std::string::npos)
      << outside.err;
}

TEST(FroskctlLinkTest, RequestSaysWhyThePortDoesNotOpen) {
  auto result = Froskctl({"request", "/dev/frosk-no-such-port", "GET_SERVICE_MODE"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "cannot open /dev/frosk-no-such-port: No such file or directory\n");

  result = Froskctl({"request", "/dev/null", "GET_SERVICE_MODE"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "cannot open /dev/null: not a serial port (a device of another kind)\n");

  const auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  const std::string port = pty->ClientPath();
  PortSettings otherProgram;
  otherProgram.portName = port;
  int held = kNoPort;
  ASSERT_EQ(PortOpen(&held, otherProgram), 0);
  result = Froskctl({"request", port, "GET_SERVICE_MODE"});
  PortClose(&held);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err,
            "cannot open " + port + ": in use by another program\nheld by " + test::ThisProcessAsHolder() + "\n");

  // A port only its group may use; root, who may open anything, asks as
  // nobody, in no group.
  ASSERT_EQ(chmod(port.c_str(), geteuid() == 0 ? 0660 : 0060), 0);
  struct stat device {};
  ASSERT_EQ(stat(port.c_str(), &device), 0);
  const group* owning = getgrgid(device.st_gid);
  ASSERT_NE(owning, nullptr);
  const std::string groupName = owning->gr_name;
  std::vector<std::string> args = {BinPath("froskctl"), "request", port, "GET_SERVICE_MODE"};
  std::string program = args.front();
  if (geteuid() == 0) {
    program = "/usr/bin/setpriv";
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
  } else {
    args.erase(args.begin());
  }
  result = RunProgram(program, args);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "cannot open " + port + ": Permission denied\nthe port belongs to the group " + groupName +
                            ", which this user is not in: sudo adduser $USER " + groupName + ", then log in again\n");
}

}  // namespace
}  // namespace frosk
