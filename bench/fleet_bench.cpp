// The cost of watching a station: froskctl monitor --textfile over 1, 16 and
// 32 frosk-sim controllers in one process, each polling as the user view
// does. Reported per run: the share of one core froskctl used, its resident
// memory, and the monitor polls per second each controller got (from the
// simulator's frame log), which should not fall as controllers are added.
// The window is FROSK_FLEET_BENCH_SECONDS long (default 30), after 3 s in
// which every controller reads its identity.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

extern char** environ;

namespace frosk {
namespace {

int WindowSeconds() {
  const char* text = std::getenv("FROSK_FLEET_BENCH_SECONDS");
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 30;
}

// Monitor requests the simulated controllers received so far.
long MonitorPolls(const std::string& log) {
  std::ifstream in(log);
  long polls = 0;
  for (std::string line; std::getline(in, line);)
    if (line.find(" in ") != std::string::npos && line.find("_MONITOR") != std::string::npos) ++polls;
  return polls;
}

// A line of /proc/PID/status in kB, such as VmRSS.
double StatusMegabytes(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + ":", 0) == 0) return std::atof(line.c_str() + name.size() + 1) / 1024;
  return 0;
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void BM_WatchStation(benchmark::State& state) {
  const auto controllers = static_cast<size_t>(state.range(0));
  const int seconds = WindowSeconds();
  test::TempDir dir;
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  const std::string log = dir.Path() + "sim.log";
  auto sims = test::SimProcess::Start({"--count", std::to_string(controllers), "--log", log}, controllers);
  if (sims == nullptr) {
    state.SkipWithError("frosk-sim did not start");
    return;
  }
  std::vector<std::string> args = {test::BinPath("froskctl"), "monitor"};
  for (const std::string& path : sims->Paths()) args.push_back(path);
  for (const char* option : {"--textfile", dir.Path().c_str(), "--station", "bench"}) args.push_back(option);
  const pid_t froskctl = Spawn(args);
  if (froskctl < 0) {
    state.SkipWithError("froskctl did not start");
    return;
  }
  std::this_thread::sleep_for(std::chrono::seconds(3));

  for (auto _ : state) {
    const long ticks = test::ProcessCpuTicks(froskctl);
    const long polls = MonitorPolls(log);
    const auto began = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    state.SetIterationTime(elapsed);
    state.counters["cpu_percent"] =
        100.0 * static_cast<double>(test::ProcessCpuTicks(froskctl) - ticks) / sysconf(_SC_CLK_TCK) / elapsed;
    state.counters["polls_per_s_per_controller"] =
        static_cast<double>(MonitorPolls(log) - polls) / elapsed / static_cast<double>(controllers);
  }
  state.counters["rss_MB"] = StatusMegabytes(froskctl, "VmRSS");
  state.counters["peak_rss_MB"] = StatusMegabytes(froskctl, "VmHWM");
  test::StopProcess(froskctl, SIGTERM, 5000);
}
BENCHMARK(BM_WatchStation)->Arg(1)->Arg(16)->Arg(32)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace frosk
