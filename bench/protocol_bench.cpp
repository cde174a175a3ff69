#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "protocol/frame.h"
#include "protocol/records.h"

namespace frosk {
namespace {

std::string ModuleIdenReplyFrame() {
  ModuleIdenRecord record{};
  record.type = 3;
  record.firmVer = 7;
  std::strcpy(record.name, "KAZ-7 preamplifier");
  std::strcpy(record.detName, "KD-4T-105");
  record.serial = {14, 301};
  record.detSerial = {255, 123456789};
  record.coolTime = 120;
  uint8_t item[256];
  BuildInto(record, item, sizeof item);
  return FrameEncode(item);
}

// What a receiver does with every "MODULE_IDEN" reply: decode the frame,
// validate the item, parse the record.
void BM_DecodeValidateParseModuleIden(benchmark::State& state) {
  const std::string frame = ModuleIdenReplyFrame();
  uint8_t buffer[1024];
  for (auto _ : state) {
    const FrameDecodeResult result = DecodeItem(buffer, sizeof buffer, frame);
    ModuleIdenRecord record;
    Clear(record);
    const bool parsed = result.ok() && ParseFrom(record, buffer);
    benchmark::DoNotOptimize(parsed);
    benchmark::DoNotOptimize(record);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeValidateParseModuleIden);

void BM_EncodeModuleIdenFrame(benchmark::State& state) {
  ModuleIdenRecord record{};
  std::strcpy(record.name, "KAZ-7 preamplifier");
  for (auto _ : state) {
    const auto request = RecordRequest(key::SET_MODULE_IDEN, record);
    std::string frame = FrameEncode(request.data());
    benchmark::DoNotOptimize(frame);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeModuleIdenFrame);

}  // namespace
}  // namespace frosk
