#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "protocol/frame_cutter.h"
#include "protocol/records.h"
#include "sim/controller_port.h"
#include "sim/virtual_controller.h"

namespace frosk::sim {
namespace {

// What the simulator spends on one request: decode and validate the frame,
// answer it, encode the reply. Keeps the line-rate budget honest: a reading
// sequence leaves well under a millisecond for all 19 of these together.
void BM_HandleRequest(benchmark::State& state) {
  const Key command = static_cast<Key>(state.range(0));
  const std::string frame =
      command == key::SET_MODULE_USER_SET
          ? FrameEncode(RecordRequest(command, ModuleBasicParamsRecord{0, 12000, -12000, 0, 0, 0, 5000, 240000}).data())
          : FrameEncode(BareRequest(command).data());
  VirtualController controller(ControllerSettings{}, Clock::now());
  for (auto _ : state) benchmark::DoNotOptimize(controller.Handle(frame, Clock::now()));
  state.SetLabel(std::string(AnyKeyName(command)));
}
BENCHMARK(BM_HandleRequest)
    ->Arg(key::GET_DEVICE_IDEN)
    ->Arg(key::GET_MODULE_IDEN)
    ->Arg(key::GET_FROSKTEC_MONITOR)
    ->Arg(key::GET_MODULE_VELTRA_MONITOR)
    ->Arg(key::SET_MODULE_USER_SET);

// A request written to the pseudo-terminal until its reply is read back: the
// port's reading, cutting, answering and writing, plus the kernel's hand-over.
void BM_RoundTripOnThePseudoTerminal(benchmark::State& state) {
  ControllerPort::Config config;
  config.name = "frosk0";
  auto pty = PseudoTerminal::Open();
  const std::string path = pty->ClientPath();
  ControllerPort port(std::move(pty), nullptr, ControllerSettings{}, config, Clock::now());
  const int client = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  const std::string request = FrameEncode(BareRequest(key::GET_FROSKTEC_MONITOR).data());
  FrameCutter cutter;
  for (auto _ : state) {
    if (write(client, request.data(), request.size()) != static_cast<ssize_t>(request.size())) break;
    bool answered = false;
    while (!answered) {
      pollfd device{port.Fd(), POLLIN, 0};
      if (poll(&device, 1, 1000) > 0) port.OnReadable(Clock::now());
      pollfd reply{client, POLLIN, 0};
      if (poll(&reply, 1, 0) <= 0) continue;
      const ssize_t count = read(client, cutter.Tail(), cutter.Room());
      if (count > 0) cutter.Commit(static_cast<size_t>(count), [&](std::string_view) { answered = true; });
    }
  }
  close(client);
}
BENCHMARK(BM_RoundTripOnThePseudoTerminal);

}  // namespace
}  // namespace frosk::sim
