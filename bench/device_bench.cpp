// The device engine's budgets: the full reading sequence of a controller with a
// VELTRA module against frosk-sim --line-rate (19 requests, 2922 characters on
// a 57600-baud line: 0.507 s), and the time from a reply's last byte on the
// line to the end of its dispatch.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "cli/device_session.h"
#include "protocol/frame.h"
#include "protocol/item.h"
#include "protocol/keys.h"
#include "protocol/records.h"
#include "sim/pseudo_terminal.h"
#include "support/event_pump.h"
#include "support/sim_process.h"

namespace frosk {
namespace {

using Clock = std::chrono::steady_clock;
using cli::DeviceSession;

class QuietPrompter : public Prompter {
 public:
  int ShowMessageBox(const std::string&, unsigned) override { return kIdNo; }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
};

// From the first request to the idle state, one new session per run, so each
// run is the whole sequence a freshly opened device window reads.
void BM_VeltraReadingSequence(benchmark::State& state) {
  test::EnsureCoreApplication();
  const auto sim = test::SimProcess::Start({"--module", "veltra", "--line-rate"});
  if (sim == nullptr) {
    state.SkipWithError("frosk-sim did not start");
    return;
  }
  QuietPrompter prompter;
  for (auto _ : state) {
    DeviceSession session(sim->Path(), Folders::Beside(FROSK_BIN_DIR),
                          DeviceSession::Options{false, false, nullptr, &prompter});
    if (session.Open() != 0) {
      state.SkipWithError("cannot open the simulator's port");
      break;
    }
    DeviceEngine& engine = session.Engine();
    engine.SetDeviceMonitorAuto(false);
    engine.SetModuleMonitorAuto(false);
    const auto started = Clock::now();
    engine.Tick();  // the first tick starts the sequence; do not wait up to 100 ms for it
    if (session.RunUntilIdle() != 0 || engine.SequenceState() != SequenceState::kIdle) {
      state.SkipWithError("the reading sequence did not complete");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
  }
  state.counters["line_s"] = 2922.0 / 5760.0;
}
// Twenty runs, reported as their mean, median and spread.
BENCHMARK(BM_VeltraReadingSequence)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// Reads what the engine wrote, so the pseudo-terminal never fills up.
void Drain(int fd) {
  pollfd ready{fd, POLLIN, 0};
  char buffer[256];
  while (poll(&ready, 1, 0) > 0 && read(fd, buffer, sizeof buffer) > 0) {
  }
}

// A device played on a pseudo-terminal: each run writes one MODULE_VELTRA_PARAMS
// reply and measures until the engine's dispatch of it has run.
void BM_ReplyToDispatch(benchmark::State& state) {
  test::EnsureCoreApplication();
  const auto pty = PseudoTerminal::Open();
  QuietPrompter prompter;
  if (pty == nullptr) {
    state.SkipWithError("cannot open a pseudo-terminal");
    return;
  }
  DeviceSession session(pty->ClientPath(), Folders::Beside(FROSK_BIN_DIR),
                        DeviceSession::Options{false, false, nullptr, &prompter});
  if (session.Open() != 0) {
    state.SkipWithError("cannot open a pseudo-terminal");
    return;
  }
  DeviceEngine& engine = session.Engine();
  engine.Break();
  engine.SetDeviceMonitorAuto(false);
  engine.SetModuleMonitorAuto(false);

  ModuleVeltraParamsRecord record{};
  std::vector<uint8_t> item(EncodedSize<ModuleVeltraParamsRecord>());
  BuildInto(record, item.data(), item.size());
  const std::string frame = FrameEncode(item.data());
  Clock::time_point dispatched;
  double slowest = 0;
  engine.AddRefreshListener([&](GroupMask stored) {
    if (stored == 0) return;
    dispatched = Clock::now();
    session.Stop(0);
  });
  for (auto _ : state) {
    engine.SendRequest(key::GET_MODULE_VELTRA_USER_SET);
    Drain(pty->DeviceFd());
    const auto written = Clock::now();
    if (write(pty->DeviceFd(), frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
      state.SkipWithError("write failed");
      break;
    }
    session.Run();
    const double seconds = std::chrono::duration<double>(dispatched - written).count();
    state.SetIterationTime(seconds);
    slowest = std::max(slowest, seconds);
  }
  state.counters["max_us"] = slowest * 1e6;
}
BENCHMARK(BM_ReplyToDispatch)
    ->UseManualTime()
    ->Iterations(500)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace frosk
