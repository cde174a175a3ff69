// The trends' budgets: 24 h of one controller's samples held in under 50 MB,
// and four live trends windows, one per controller, under 5 % of one core on
// top of their device windows (frosk-sim devices, offscreen windows).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "device_windows.h"
#include "support/sim_process.h"
#include "trends/sample_store.h"
#include "trends/trends_form.h"

namespace frosk {
namespace {

using bench::CoreShare;
using bench::HeapInUse;

// A day of replies at the engine's full poll rate, 10 a second, for both
// monitor records at once: more than a device can answer, so an upper bound.
void BM_DayOfSamples(benchmark::State& state) {
  constexpr int64_t kDayMs = 24 * 3'600'000;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    auto store = std::make_unique<SampleStore>(10, 11);
    std::vector<int32_t> values(SampleStream::kMaxChannels);
    for (int64_t ms = 0; ms < kDayMs; ms += 100) {
      for (size_t c = 0; c < values.size(); ++c) values[c] = static_cast<int32_t>((ms / 1000 + c * 7) % 5000);
      store->Controller().Add(ms, std::span(values.data(), 10));
      store->Module().Add(ms, std::span(values.data(), 11));
      store->AddStatus(ms, (ms / 60'000) % 2);
    }
    state.counters["MB"] = static_cast<double>(HeapInUse() - before) / (1024.0 * 1024.0);
    state.counters["reduced_interval_s"] = store->Controller().ReducedIntervalMs() / 1000.0;
  }
}
BENCHMARK(BM_DayOfSamples)->Iterations(1)->Unit(benchmark::kSecond);

// Four controllers polled at the program's 100 ms tick, their device windows
// shown; then their trends windows too, each following the last ten minutes.
void BM_FourLiveTrendsWindows(benchmark::State& state) {
  int argc = 1;
  char name[] = "trends_bench";
  char* argv[] = {name, nullptr};
  std::vector<std::unique_ptr<test::SimProcess>> sims;
  std::vector<std::string> ports;
  for (int i = 0; i < 4; ++i) {
    sims.push_back(test::SimProcess::Start({"--module", "veltra"}));
    if (sims.back() == nullptr) {
      state.SkipWithError("frosk-sim did not start");
      return;
    }
    ports.push_back(sims.back()->Path());
  }
  bench::DeviceWindows program(argc, argv);
  if (!program.Connect(ports)) {
    state.SkipWithError("cannot open the simulator's port");
    return;
  }
  std::vector<std::unique_ptr<TFroskTecViewForm>> windows;
  for (const auto& connection : program.Connections()) {
    windows.push_back(program.NewWindow(*connection));
    windows.back()->Show();
  }
  CoreShare(5000);  // the reading sequences

  for (auto _ : state) {
    const double deviceWindows = CoreShare(30'000);
    for (auto& window : windows) window->ShowTrends();
    CoreShare(2000);
    const double withTrends = CoreShare(30'000);
    state.counters["device_windows_pct"] = deviceWindows * 100;
    state.counters["with_trends_pct"] = withTrends * 100;
    state.counters["trends_pct"] = (withTrends - deviceWindows) * 100;
  }
  windows.clear();
}
BENCHMARK(BM_FourLiveTrendsWindows)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace frosk
