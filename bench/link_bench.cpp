// The serial link's costs: reply-to-sink latency, LinkClose time, and the CPU
// an idle and a hung-up link burn.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "protocol/link.h"
#include "sim/pseudo_terminal.h"

namespace frosk {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kReply = "$0410000D10000009101B0005016F96#";

// A link on a pseudo-terminal whose sink notes when each block arrives.
struct LinkOnPty {
  LinkOnPty() : pty(PseudoTerminal::Open()) {
    PortSettings settings;
    settings.portName = pty->ClientPath();
    LinkOpen(&link, settings, [this](std::unique_ptr<FrameBlock>) {
      arrived.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    });
  }
  ~LinkOnPty() { LinkClose(&link); }

  std::unique_ptr<PseudoTerminal> pty;
  Link* link = nullptr;
  std::atomic<Clock::rep> arrived{0};
};

// From the last byte written on the device side until the sink holds the block.
void BM_ReplyToSink(benchmark::State& state) {
  LinkOnPty line;
  for (auto _ : state) {
    line.arrived.store(0, std::memory_order_relaxed);
    const auto written = Clock::now();
    if (write(line.pty->DeviceFd(), kReply.data(), kReply.size()) != static_cast<ssize_t>(kReply.size())) {
      state.SkipWithError("write failed");
      break;
    }
    Clock::rep arrived;
    while ((arrived = line.arrived.load(std::memory_order_acquire)) == 0) std::this_thread::yield();
    state.SetIterationTime(
        std::chrono::duration<double>(Clock::duration(arrived) - written.time_since_epoch()).count());
  }
}
BENCHMARK(BM_ReplyToSink)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_LinkClose(benchmark::State& state) {
  const auto pty = PseudoTerminal::Open();
  PortSettings settings;
  settings.portName = pty->ClientPath();
  for (auto _ : state) {
    Link* link = nullptr;
    if (LinkOpen(&link, settings, [](std::unique_ptr<FrameBlock>) {}) != 0) {
      state.SkipWithError("LinkOpen failed");
      break;
    }
    const auto started = Clock::now();
    LinkClose(&link);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
  }
}
BENCHMARK(BM_LinkClose)->UseManualTime()->Unit(benchmark::kMicrosecond);

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The process's CPU time over state.range(0) ms with one link open; with
// range(1) set, the device side vanishes first.
void BM_LinkCpu(benchmark::State& state) {
  for (auto _ : state) {
    LinkOnPty line;
    if (state.range(1) != 0) line.pty->Close();
    const double before = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(state.range(0)));
    state.counters["cpu_ms"] = (CpuSeconds() - before) * 1000;
  }
}
BENCHMARK(BM_LinkCpu)
    ->ArgNames({"ms", "hung_up"})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace frosk
