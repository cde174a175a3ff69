// The budget for many controllers in one program: N controllers polled at the
// program's 100 ms tick with their device windows shown, then hidden; the share
// of one core each way and the memory each window adds (frosk-sim devices,
// offscreen windows, whose backing stores live in the program as on X11).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/enter_serial_form.h"
#include "device/enter_value_form.h"
#include "device/frosktec_view_form.h"
#include "support/sim_process.h"

namespace frosk {
namespace {

double Megabytes(size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

size_t HeapInUse() { return mallinfo2().uordblks; }

size_t ResidentBytes() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
  return 0;
}

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

int WindowSeconds() {
  const char* text = std::getenv("FROSK_WINDOW_BENCH_SECONDS");
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 30;
}

void BM_ManyDeviceWindows(benchmark::State& state) {
  const auto count = static_cast<size_t>(state.range(0));
  int argc = 1;
  char name[] = "window_bench";
  char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  auto sim = test::SimProcess::Start({"--module", "veltra", "--count", std::to_string(count)}, count);
  if (sim == nullptr) {
    state.SkipWithError("frosk-sim did not start");
    return;
  }
  Quiet quiet;
  SteadyTickClock clock;
  SystemWallClock wall;
  Settings settings;
  LinkLayer links;
  const Folders folders = Folders::Beside(FROSK_BIN_DIR);
  TEnterValueForm valueDialog(quiet);
  TEnterSerialForm serialDialog;
  std::vector<std::unique_ptr<DeviceConnection>> connections;
  for (const std::string& path : sim->Paths()) {
    connections.push_back(
        std::make_unique<DeviceConnection>(path, links, DeviceSeams{clock, quiet, quiet, folders}, quiet));
    if (!connections.back()->Open()) {
      state.SkipWithError("cannot open the simulator's port");
      return;
    }
  }
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    for (auto& connection : connections) connection->Tick();
  });
  tick.start(100);
  // One window first, so what every program pays once (fonts, styles, the
  // dialogs' first use) is not counted against each window.
  std::vector<std::unique_ptr<TFroskTecViewForm>> windows;
  auto open = [&](DeviceConnection& connection) {
    windows.push_back(
        std::make_unique<TFroskTecViewForm>(connection, DeviceWindowShared{valueDialog, serialDialog, wall, settings}));
    windows.back()->Show();
  };
  open(*connections.front());
  CoreShare(3000);
  // What a window's controls take, apart from what showing it adds (its
  // backing store above all).
  if (count > 1) {
    malloc_trim(0);
    const size_t bare = HeapInUse();
    auto probe = std::make_unique<TFroskTecViewForm>(*connections[1],
                                                     DeviceWindowShared{valueDialog, serialDialog, wall, settings});
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
  connections.clear();
}
BENCHMARK(BM_ManyDeviceWindows)->Arg(4)->Arg(32)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace frosk
