// The trends' budgets: 24 h of one controller's samples held in under 50 MB,
// and four live trends windows, one per controller, under 5 % of one core on
// top of their device windows (frosk-sim devices, offscreen windows).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <vector>

#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"
#include "support/sim_process.h"
#include "trends/sample_store.h"
#include "trends/trends_form.h"

namespace frosk {
namespace {

size_t HeapInUse() { return mallinfo2().uordblks; }

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

class Quiet : public Prompter, public Beeper, public ConnectionOwner {
 public:
  int ShowMessageBox(const std::string&, unsigned) override { return kIdNo; }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
  void Beep() override {}
  bool ServiceModeSetting() const override { return false; }
  bool DevicesReachable() const override { return true; }
  void CloseRequested(DeviceConnection&, CloseAction) override {}
  void WriteLog(DeviceConnection&, const std::string&) override {}
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The share of one core the program used while its event loop ran for `ms`.
double CoreShare(int ms) {
  const double cpu = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return (CpuSeconds() - cpu) / (wall.elapsed() / 1000.0);
}

// Four controllers polled at the program's 100 ms tick, their device windows
// shown; then their trends windows too, each following the last ten minutes.
void BM_FourLiveTrendsWindows(benchmark::State& state) {
  int argc = 1;
  char name[] = "trends_bench";
  char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::vector<std::unique_ptr<test::SimProcess>> sims;
  for (int i = 0; i < 4; ++i) sims.push_back(test::SimProcess::Start({"--module", "veltra"}));
  Quiet quiet;
  SteadyTickClock clock;
  SystemWallClock wall;
  Settings settings;
  LinkLayer links;
  const Folders folders = Folders::Beside(FROSK_BIN_DIR);
  TEnterValueForm valueDialog(quiet);
  TEnterSerialForm serialDialog;
  std::vector<std::unique_ptr<DeviceConnection>> connections;
  std::vector<std::unique_ptr<TFroskTecViewForm>> windows;
  for (const auto& sim : sims) {
    if (sim == nullptr) {
      state.SkipWithError("frosk-sim did not start");
      return;
    }
    connections.push_back(
        std::make_unique<DeviceConnection>(sim->Path(), links, DeviceSeams{clock, quiet, quiet, folders}, quiet));
    if (!connections.back()->Open()) {
      state.SkipWithError("cannot open the simulator's port");
      return;
    }
    windows.push_back(std::make_unique<TFroskTecViewForm>(
        *connections.back(), DeviceWindowShared{valueDialog, serialDialog, wall, settings}));
    windows.back()->Show();
  }
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    for (auto& connection : connections) connection->Tick();
  });
  tick.start(100);
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
  connections.clear();
}
BENCHMARK(BM_FourLiveTrendsWindows)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace frosk
