#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace frosk::test {

std::string BinPath(const std::string& program) { return std::string(FROSK_BIN_DIR) + "/" + program; }

bool ProcessEnded(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::stringstream content;
  content << file.rdbuf();
  const std::string stat = content.str();
  // The state follows the name in parentheses; Z is a process that has ended.
  const size_t name = stat.rfind(')');
  return stat.empty() || (name != std::string::npos && stat.compare(name, 3, ") Z") == 0);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    setenv(name_, old_->c_str(), 1);
  } else {
    unsetenv(name_);
  }
}

std::string ThisProcessAsHolder() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name + " (process " + std::to_string(getpid()) + ")";
}

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& input,
                         int timeoutMs) {
  return RunProgram(path, args, input, timeoutMs, {});
}

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& input,
                         int timeoutMs, const ProgramWatcher& watch) {
  ProgramResult result;
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!input.empty()) {
    const ssize_t written = write(in[1], input.data(), input.size());
    (void)written;
  }
  close(in[1]);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    const int ready = poll(fds, 2, static_cast<int>(watch ? std::min<long>(left, 50) : left));
    if (watch) watch(pid, result);
    if (ready <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
    }
  }
  for (pollfd& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

int StopProcess(pid_t pid, int signal, int timeoutMs) {
  kill(pid, signal);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::unique_ptr<StartedProgram> StartedProgram::Start(const std::string& path, const std::vector<std::string>& args,
                                                      const std::vector<std::string>& environment) {
  const pid_t pid = fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    for (const int fd : {0, 1, 2}) dup2(null, fd);
    for (const std::string& variable : environment) putenv(const_cast<char*>(variable.c_str()));
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  return std::unique_ptr<StartedProgram>(new StartedProgram(pid));
}

StartedProgram::~StartedProgram() {
  if (pid_ > 0) StopProcess(pid_, SIGKILL, 5000);
}

int StartedProgram::Stop(int signal, int timeoutMs) {
  if (pid_ <= 0) return -1;
  return StopProcess(std::exchange(pid_, -1), signal, timeoutMs);
}

}  // namespace frosk::test
