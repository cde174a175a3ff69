#include "support/sim_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "support/run_program.h"

namespace frosk::test {

namespace {

using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

std::unique_ptr<SimProcess> SimProcess::Start(const std::vector<std::string>& args, size_t devices, int timeoutMs) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return nullptr;
  const std::string path = BinPath("frosk-sim");
  const pid_t pid = fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    dup2(out[1], 1);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  std::unique_ptr<SimProcess> process(new SimProcess(pid, {}));
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string text;
  while (std::count(text.begin(), text.end(), '\n') < static_cast<long>(devices)) {
    pollfd fd{out[0], POLLIN, 0};
    if (poll(&fd, 1, LeftMs(deadline)) <= 0) break;
    char buffer[512];
    const ssize_t count = read(out[0], buffer, sizeof buffer);
    if (count <= 0) break;
    text.append(buffer, static_cast<size_t>(count));
  }
  close(out[0]);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    process->paths_.push_back(text.substr(start, end - start));
  if (process->paths_.size() < devices) return nullptr;
  return process;
}

SimProcess::~SimProcess() {
  if (pid_ > 0) Stop();
}

int SimProcess::Stop(int signal, int timeoutMs) {
  if (pid_ <= 0) return -1;
  return StopProcess(std::exchange(pid_, -1), signal, timeoutMs);
}

long SimProcess::CpuTicks() const { return ProcessCpuTicks(pid_); }

long ProcessCpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th of them.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i)
    if (i >= 12) ticks += std::stol(field);
  return ticks;
}

std::unique_ptr<PortClient> PortClient::Open(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  termios settings{};
  if (tcgetattr(fd, &settings) == 0) {
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&settings, B57600);
    cfsetospeed(&settings, B57600);
    tcsetattr(fd, TCSANOW, &settings);
  }
  return std::unique_ptr<PortClient>(new PortClient(fd));
}

PortClient::~PortClient() { close(fd_); }

bool PortClient::Send(std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = write(fd_, bytes.data() + done, bytes.size() - done);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

bool PortClient::ReadSome(int timeoutMs) {
  pollfd fd{fd_, POLLIN, 0};
  if (poll(&fd, 1, timeoutMs) <= 0) return true;
  char buffer[2048];
  const ssize_t count = read(fd_, buffer, sizeof buffer);
  if (count < 0 && errno == EAGAIN) return true;
  if (count <= 0) return false;
  received_.append(buffer, static_cast<size_t>(count));
  cutter_.Feed(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(count),
               [&](std::string_view frame) { frames_.emplace_back(frame); });
  return true;
}

std::string PortClient::ReadFrame(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (frames_.empty()) {
    const int left = LeftMs(deadline);
    if (!ReadSome(left) || left == 0) break;
  }
  if (frames_.empty()) return {};
  std::string frame = std::move(frames_.front());
  frames_.erase(frames_.begin());
  return frame;
}

std::string PortClient::Request(std::string_view frame, int timeoutMs) {
  if (!Send(frame)) return {};
  return ReadFrame(timeoutMs);
}

bool PortClient::WaitForHangUp(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    if (!ReadSome(LeftMs(deadline))) return true;
  } while (LeftMs(deadline) > 0);
  return false;
}

std::string WaitForLine(const std::string& path, const std::vector<std::string>& parts, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
      const bool all = std::all_of(parts.begin(), parts.end(),
                                   [&](const std::string& part) { return line.find(part) != std::string::npos; });
      if (all) return line;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (Clock::now() < deadline);
  return {};
}

}  // namespace frosk::test
