// Any bytes as what frosk-sim reads from outside: a frame from the line, which
// the virtual controller answers, and a memory file, which it loads.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sim/virtual_controller.h"

using namespace frosk::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ControllerSettings kSettings;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  VirtualController controller(kSettings, Clock::time_point{});
  const VirtualController::Exchange exchange = controller.Handle(bytes, Clock::time_point{} + std::chrono::seconds(1));
  std::string error;
  controller.LoadMemory(bytes, &error);
  return exchange.reply.size() == SIZE_MAX ? 1 : 0;
}
