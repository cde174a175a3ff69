// Any bytes as a received frame: decode, validate, then everything a receiver
// may do with a valid item: walk the tree, name and show every node, parse
// every record from it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/frame.h"
#include "protocol/item.h"
#include "protocol/node_text.h"
#include "protocol/records.h"

using namespace frosk;

namespace {

template <class Record>
void Parse(const uint8_t* item) {
  Record record{};
  ParseFrom(record, item);
}

void ParseAll(const uint8_t* item) {
  Parse<DeviceIdenRecord>(item);
  Parse<DeviceCheckRecord>(item);
  Parse<ServiceModeRecord>(item);
  Parse<TransparentModeRecord>(item);
  Parse<FroskTecConfigRecord>(item);
  Parse<FroskTecMonitorRecord>(item);
  Parse<ModuleIdenRecord>(item);
  Parse<ModuleCheckRecord>(item);
  Parse<ModuleBasicParamsRecord>(item);
  Parse<ModuleVeltraMonitorRecord>(item);
  Parse<ModuleVeltraParamsRecord>(item);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint8_t buffer[10240];
  const std::string_view frame(reinterpret_cast<const char*>(data), size);
  const FrameDecodeResult result = DecodeItem(buffer, sizeof buffer, frame);
  if (!result.ok()) return 0;
  size_t text = 0;
  WalkItemTree(buffer, [&](const uint8_t* node, int) {
    text += ItemNodeText(node).size();
    ParseAll(node);
    ItemFindChild(node, 0x101B, true);
  });
  return text == SIZE_MAX;
}
