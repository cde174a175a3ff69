// The budget for many controllers in one program: N controllers polled at the
// program's 100 ms tick with their device windows shown, then hidden; the share
// of one core each way and the memory each window adds (frosk-sim devices,
// offscreen windows, whose backing stores live in the program as on X11).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device_windows.h"
#include "support/sim_process.h"

namespace frosk {
namespace {

using bench::CoreShare;
using bench::HeapInUse;

double Megabytes(size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

size_t ResidentBytes() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
  return 0;
}

int WindowSeconds() {
  const char* text = std::getenv("FROSK_WINDOW_BENCH_SECONDS");
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 30;
}

void BM_ManyDeviceWindows(benchmark::State& state) {
  const auto count = static_cast<size_t>(state.range(0));
  int argc = 1;
  char name[] = "window_bench";
  char* argv[] = {name, nullptr};
  auto sim = test::SimProcess::Start({"--module", "veltra", "--count", std::to_string(count)}, count);
  if (sim == nullptr) {
    state.SkipWithError("frosk-sim did not start");
    return;
  }
  bench::DeviceWindows program(argc, argv);
  if (!program.Connect(sim->Paths())) {
    state.SkipWithError("cannot open the simulator's port");
    return;
  }
  const auto& connections = program.Connections();
  // One window first, so what every program pays once (fonts, styles, the
  // dialogs' first use) is not counted against each window.
  std::vector<std::unique_ptr<TFroskTecViewForm>> windows;
  auto open = [&](DeviceConnection& connection) {
    windows.push_back(program.NewWindow(connection));
    windows.back()->Show();
  };
  open(*connections.front());
  CoreShare(3000);
  // What a window's controls take, apart from what showing it adds (its
  // backing store above all).
  if (count > 1) {
    malloc_trim(0);
    const size_t bare = HeapInUse();
    auto probe = program.NewWindow(*connections[1]);
    const size_t built = HeapInUse();
    state.counters["built_MB"] = Megabytes(built - bare);
    probe.reset();
  }
  malloc_trim(0);
  const size_t heapBefore = HeapInUse();
  const size_t residentBefore = ResidentBytes();
  for (size_t i = 1; i < count; ++i) open(*connections[i]);
  CoreShare(5000);  // the reading sequences and the first paint of each

  const int seconds = WindowSeconds();
  for (auto _ : state) {
    malloc_trim(0);
    const double others = count > 1 ? static_cast<double>(count - 1) : 1.0;
    state.counters["heap_MB_per_window"] = Megabytes(HeapInUse() - heapBefore) / others;
    state.counters["rss_MB_per_window"] = Megabytes(ResidentBytes() - residentBefore) / others;
    state.counters["shown_pct"] = CoreShare(seconds * 1000) * 100;
    for (auto& window : windows) window->Hide();
    CoreShare(1000);
    state.counters["hidden_pct"] = CoreShare(seconds * 1000) * 100;
  }
  windows.clear();
}
BENCHMARK(BM_ManyDeviceWindows)->Arg(4)->Arg(32)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace frosk
