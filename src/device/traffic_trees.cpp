#include "device/traffic_trees.h"

#include <string>

#include "protocol/catalogue.h"

namespace frosk {

void TrafficTrees::Clear() {
  sent_.Clear();
  received_.Clear();
  ++clears_;
}

void TrafficTrees::NoReply(Key command) {
  if (received_.NodeCount() > kNodeCap) Clear();
  received_.ShowText(std::string(AnyKeyName(command)) + " (no reply)");
}

void TrafficTrees::Add(ItemTree& tree, const uint8_t* item) {
  if (tree.NodeCount() > kNodeCap) Clear();
  tree.ShowItemTree(item);
}

}  // namespace frosk
