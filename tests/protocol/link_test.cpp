#include "protocol/link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/keys.h"
#include "protocol/records.h"
#include "sim/pseudo_terminal.h"
#include "support/read_until.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kMonitorRequest = "$05200004C500#";
const std::string kMarker = "$002000040900#";

// The blocks a link hands over, collected as a receiving thread would.
class FrameQueue {
 public:
  FrameSink Sink() {
    return [this](std::unique_ptr<FrameBlock> block) {
      std::lock_guard lock(mutex_);
      blocks_.push_back(std::move(block));
      arrived_.notify_one();
    };
  }

  // The next block, or none after a generous wait.
  std::unique_ptr<FrameBlock> Next() {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, 5s, [&] { return !blocks_.empty(); })) return nullptr;
    auto block = std::move(blocks_.front());
    blocks_.pop_front();
    return block;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::unique_ptr<FrameBlock>> blocks_;
};

// A link on a pseudo-terminal whose device side the test plays.
class LinkTest : public testing::Test {
 protected:
  void SetUp() override { OpenLink(); }
  void TearDown() override {
    if (link_ != nullptr) {
      EXPECT_EQ(LinkClose(&link_), 0);
    }
  }

  void OpenLink() {
    pty_ = PseudoTerminal::Open();
    ASSERT_NE(pty_, nullptr);
    settings_.portName = pty_->ClientPath();
    PortError error;
    ASSERT_EQ(LinkOpen(&link_, settings_, frames_.Sink(), &error), 0) << DescribePortError(error);
    ASSERT_NE(link_, nullptr);
  }

  // The pause between pieces makes separate reads likely; the frames cut
  // must be the same either way.
  void Play(const std::vector<std::string>& pieces) {
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(20ms);
      ASSERT_EQ(write(pty_->DeviceFd(), pieces[i].data(), pieces[i].size()), static_cast<ssize_t>(pieces[i].size()));
    }
  }

  // What the device side receives, until `count` bytes or a generous limit.
  std::string DeviceReceives(size_t count) {
    return test::ReadUntil(pty_->DeviceFd(), [count](const std::string& received) { return received.size() >= count; });
  }

  std::unique_ptr<PseudoTerminal> pty_;
  PortSettings settings_;
  FrameQueue frames_;
  Link* link_ = nullptr;
};

TEST_F(LinkTest, HandsOverEveryFrameCutFromTheLineInOrder) {
  const std::string endless = "$" + std::string(FrameCutter::kCapacity - 1, 'A');
  struct Case {
    const char* what;
    std::vector<std::string> pieces;
    std::vector<std::string> frames;
  } cases[] = {
      {"a frame cut across reads", {"xx$0520", "0004C500#"}, {kMonitorRequest}},
      {"garbage between frames",
       {"noise#$0020", "00040900#junk" + kMonitorRequest + "tail"},
       {kMarker, kMonitorRequest}},
      {"a \"$\" inside an unfinished frame", {"$AB", kMonitorRequest}, {"$AB" + kMonitorRequest}},
      {"a full buffer without \"#\"", {endless, kMonitorRequest}, {kMonitorRequest}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (link_ == nullptr) OpenLink();
    Play(c.pieces);
    for (const std::string& expected : c.frames) {
      const auto block = frames_.Next();
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(block->Frame(), expected);
      EXPECT_EQ(block->count, expected.size());
      EXPECT_EQ(block->owner, link_);
    }
    // Nothing else was cut: the next frame on the line is the next block.
    Play({kMarker});
    const auto next = frames_.Next();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->Frame(), kMarker);
    ASSERT_EQ(LinkClose(&link_), 0);
  }
}

TEST_F(LinkTest, BytesTheLineHeldBeforeTheOpenNeverArrive) {
  ASSERT_EQ(LinkClose(&link_), 0);
  // A late reply to an earlier client's request, waiting in the line.
  Play({kMonitorRequest});
  std::this_thread::sleep_for(50ms);
  PortError error;
  ASSERT_EQ(LinkOpen(&link_, settings_, frames_.Sink(), &error), 0) << DescribePortError(error);
  Play({kMarker});
  const auto block = frames_.Next();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->Frame(), kMarker);
}

TEST_F(LinkTest, SendsItemsAndRawBytesWhole) {
  EXPECT_EQ(LinkSendItem(link_, BareRequest(key::GET_FROSKTEC_MONITOR).data()), 0);
  const std::string raw(3000, 'R');
  EXPECT_EQ(LinkWrite(link_, raw.data(), raw.size()), 0);
  EXPECT_EQ(DeviceReceives(kMonitorRequest.size() + raw.size()), kMonitorRequest + raw);

  EXPECT_EQ(LinkSendItem(nullptr, BareRequest(key::GET_FROSKTEC_MONITOR).data()), 1);
  EXPECT_EQ(LinkSendItem(link_, nullptr), 1);
  EXPECT_EQ(LinkWrite(link_, nullptr, 4), 1);
  EXPECT_EQ(LinkWrite(nullptr, raw.data(), 4), 1);
}

TEST_F(LinkTest, ClosesPromptlyAndOnlyOnce) {
  const auto started = Clock::now();
  EXPECT_EQ(LinkClose(&link_), 0);
  EXPECT_LT(Clock::now() - started, 1s);
  EXPECT_EQ(link_, nullptr);
  EXPECT_EQ(LinkClose(&link_), 1);
  EXPECT_EQ(LinkClose(nullptr), 1);
}

double ProcessCpuSeconds() {
  timespec used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

TEST_F(LinkTest, APortThatHangsUpHandsOverItsEndCostsNoCpuAndStillClosesPromptly) {
  pty_->Close();
  const auto end = frames_.Next();
  ASSERT_NE(end, nullptr);
  EXPECT_TRUE(end->PortEnded());
  EXPECT_EQ(end->owner, link_);

  // A reader that kept polling the dead port would spin and burn a core; on a
  // machine shared with heavy builds it still gets far more than this bound.
  const double before = ProcessCpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(ProcessCpuSeconds() - before, 0.1);

  EXPECT_EQ(LinkSendItem(link_, BareRequest(key::GET_FROSKTEC_MONITOR).data()), 1);
  const auto started = Clock::now();
  EXPECT_EQ(LinkClose(&link_), 0);
  EXPECT_LT(Clock::now() - started, 1s);
}

// Writes run on the user-interface thread: a port whose other side stopped
// reading may cost it one wait of a second, never a freeze.
TEST_F(LinkTest, WritesToAPortNobodyReadsGiveUpWithinASecondAndThenAtOnce) {
  const std::string chunk(4096, 'x');
  int written = 0;
  const auto filling = Clock::now();
  while ((written = LinkWrite(link_, chunk.data(), chunk.size())) == 0) ASSERT_LT(Clock::now() - filling, 20s);
  EXPECT_EQ(written, kLinkWriteStalled);
  const auto started = Clock::now();
  EXPECT_EQ(LinkSendItem(link_, BareRequest(key::GET_FROSKTEC_MONITOR).data()), kLinkWriteStalled);
  EXPECT_LT(Clock::now() - started, 200ms) << "a port that stays full costs no second wait";

  // The device reads again: so does the line.
  DeviceReceives(chunk.size());
  EXPECT_EQ(LinkSendItem(link_, BareRequest(key::GET_FROSKTEC_MONITOR).data()), 0);
  const std::string rest =
      test::ReadUntil(pty_->DeviceFd(), [](const std::string& got) { return got.ends_with(kMonitorRequest); });
  EXPECT_TRUE(rest.ends_with(kMonitorRequest));
}

TEST_F(LinkTest, APortHeldByALinkIsRefusedToOthersUntilClosed) {
  int handle = kNoPort;
  PortError error;
  EXPECT_EQ(PortOpen(&handle, settings_, &error), 1);
  EXPECT_EQ(handle, kNoPort);
  EXPECT_TRUE(error.InUse()) << DescribePortError(error);
  EXPECT_EQ(DescribePortError(error), pty_->ClientPath() + ": in use by another program");
  Link* second = nullptr;
  EXPECT_EQ(LinkOpen(&second, settings_, frames_.Sink()), 1);
  EXPECT_EQ(second, nullptr);

  ASSERT_EQ(LinkClose(&link_), 0);
  ASSERT_EQ(PortOpen(&handle, settings_, &error), 0) << DescribePortError(error);
  EXPECT_EQ(PortClose(&handle), 0);
  EXPECT_EQ(handle, kNoPort);
  EXPECT_EQ(PortClose(&handle), 1);
}

TEST(PortTest, OpensRaw8N1WithoutFlowControlAndReadsReturningAtOnce) {
  const auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  PortSettings settings;
  settings.portName = pty->ClientPath();
  int handle = kNoPort;
  ASSERT_EQ(PortOpen(&handle, settings), 0);
  termios line{};
  ASSERT_EQ(tcgetattr(handle, &line), 0);
  EXPECT_EQ(cfgetispeed(&line), B57600);
  EXPECT_EQ(cfgetospeed(&line), B57600);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF | INPCK | ISTRIP | ICRNL), 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_cc[VMIN], 0);
  EXPECT_EQ(line.c_cc[VTIME], 0);
  EXPECT_EQ(fcntl(handle, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_EQ(PortClose(&handle), 0);
}

TEST(PortTest, SaysWhyAPortDoesNotOpen) {
  const test::TempDir folder;
  const std::string plainFile = folder.Write("not-a-port", "");
  const auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);

  struct Case {
    std::string name;
    uint32_t baudRate;
    int errorNumber;
    std::string text;
  } cases[] = {
      {"/dev/frosk-no-such-port", kDeviceBaudRate, ENOENT, "/dev/frosk-no-such-port: No such file or directory"},
      {plainFile, kDeviceBaudRate, ENOTTY, plainFile + ": not a serial port"},
      {pty->ClientPath(), 12345, EINVAL, pty->ClientPath() + ": Invalid argument"},
      {"COM0", kDeviceBaudRate, EINVAL, "COM0: Invalid argument"},
  };
  for (const Case& c : cases) {
    PortSettings settings;
    settings.portName = c.name;
    settings.baudRate = c.baudRate;
    int handle = 7;
    PortError error;
    EXPECT_EQ(PortOpen(&handle, settings, &error), 1) << c.name;
    EXPECT_EQ(handle, kNoPort);
    EXPECT_EQ(error.errorNumber, c.errorNumber) << c.name;
    EXPECT_EQ(DescribePortError(error), c.text);
  }
  EXPECT_TRUE((PortError{"/dev/ttyS0", "open", EACCES}).PermissionDenied());
}

TEST(PortTest, PortNamesMapToDevicePaths) {
  struct Case {
    std::string name;
    std::string path;
  } cases[] = {
      {"COM1", "/dev/ttyS0"},
      {"COM12", "/dev/ttyS11"},
      {"ttyUSB0", "/dev/ttyUSB0"},
      {"pts/7", "/dev/pts/7"},
      {"/dev/pts/7", "/dev/pts/7"},
      {"COMX", "/dev/COMX"},
      {"COM0", ""},
      {"", ""},
      {std::string(PortSettings::kMaxPortName + 1, 'x'), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PortPath(c.name), c.path) << c.name;
}

}  // namespace
}  // namespace frosk
