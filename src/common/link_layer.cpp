#include "common/link_layer.h"

namespace frosk {

int LinkLayer::Open(Link** link, const PortSettings& settings, FrameSink sink) {
  return LinkOpen(link, settings, std::move(sink), &lastOpenError_);
}

int LinkLayer::Close(Link** link) { return LinkClose(link); }

int LinkLayer::SendItem(Link* link, const uint8_t* item) { return LinkSendItem(link, item); }

int LinkLayer::EnumeratePorts(std::vector<std::string>* list) { return EnumerateComPorts(list, sysfsRoot_); }

}  // namespace frosk
