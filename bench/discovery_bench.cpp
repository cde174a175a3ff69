// The program's share of reply-to-dispatch: from the last byte of a reply on
// the line, through the link, the event posted to the device's connection,
// decoding and validation, to the end of its engine's dispatch.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <string>

#include "app/discovery_engine.h"
#include "protocol/frame.h"
#include "protocol/records.h"
#include "sim/pseudo_terminal.h"

namespace frosk {
namespace {

using Clock = std::chrono::steady_clock;

// The controller's SERVICE_MODE reply, which the engine stores.
std::string ServiceModeReply() {
  std::vector<uint8_t> item(EncodedSize<ServiceModeRecord>());
  BuildInto(ServiceModeRecord{0}, item.data(), item.size());
  return FrameEncode(item.data());
}

class NoPrompts : public Prompter {
 public:
  int ShowMessageBox(const std::string&, unsigned) override { return kIdNo; }
  std::optional<std::string> AskOpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> AskSaveFileName(const FileDialogRequest&) override { return std::nullopt; }
};

class NoUrls : public UrlOpener {
 public:
  void Open(const std::string&) override {}
};

class NoBeeps : public Beeper {
 public:
  void Beep() override {}
};

class BlankWindow : public DeviceWindow {
 public:
  void Show() override {}
  void Hide() override {}
  bool IsVisible() const override { return false; }
  void ShowTrends() override {}
};

void BM_ReplyToDispatch(benchmark::State& state) {
  int argc = 1;
  char name[] = "discovery_bench";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  const auto pty = PseudoTerminal::Open();
  SteadyTickClock tickClock;
  SystemWallClock wallClock;
  NoPrompts prompter;
  NoUrls opener;
  Settings settings;
  LinkLayer links;
  NoBeeps beeper;
  const Folders folders = Folders::Beside(".");
  DiscoveryEngine engine({tickClock, wallClock, prompter, opener, settings, links, beeper, folders}, {});
  engine.SetDeviceWindowFactory([](DeviceConnection&) { return std::make_unique<BlankWindow>(); });
  DeviceEntry found;
  found.Port.portName = pty->ClientPath();
  engine.AddFoundDevice(found);
  engine.Connect(engine.Devices().front().get());
  if (!engine.Devices().front()->Linked()) {
    state.SkipWithError("the pseudo-terminal did not open");
    return;
  }
  Clock::time_point arrived{};
  engine.Devices().front()->Connection->Engine().AddRefreshListener([&arrived](GroupMask stored) {
    if (stored != 0) arrived = Clock::now();
  });

  const std::string reply = ServiceModeReply();
  for (auto _ : state) {
    arrived = {};
    const auto written = Clock::now();
    if (write(pty->DeviceFd(), reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) {
      state.SkipWithError("write failed");
      break;
    }
    while (arrived == Clock::time_point{}) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    state.SetIterationTime(std::chrono::duration<double>(arrived - written).count());
  }
}
BENCHMARK(BM_ReplyToDispatch)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace frosk
