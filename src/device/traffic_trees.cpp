#include "device/traffic_trees.h"

namespace frosk {

void TrafficTrees::Clear() {
  sent_.Clear();
  received_.Clear();
  ++clears_;
}

void TrafficTrees::Add(ItemTree& tree, const uint8_t* item) {
  if (tree.NodeCount() > kNodeCap) Clear();
  tree.ShowItemTree(item);
}

}  // namespace frosk
