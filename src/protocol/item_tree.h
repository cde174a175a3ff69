#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace frosk {

// One node of a shown item tree: the item's node text (ItemNodeText) and its
// children in byte order.
struct ItemTreeNode {
  std::string text;
  std::vector<ItemTreeNode> children;

  bool operator==(const ItemTreeNode&) const = default;
};

// The content of a tree view of items (the configuration file's tree, the
// service view's sent and received trees) as plain data. Views mirror it into
// their widgets: the revision tells them whether anything changed since they
// last looked, the node count (all levels) is kept as nodes come and go.
class ItemTree {
 public:
  // ShowItemTree at the top level: the item and all its descendants. The item
  // must be valid (ItemIsValid).
  void ShowItemTree(const uint8_t* item);
  // A top-level node that stands for no item, only for its text.
  void ShowText(std::string text);
  void Clear();

  const std::vector<ItemTreeNode>& TopLevel() const { return topLevel_; }
  size_t NodeCount() const { return nodeCount_; }
  uint64_t Revision() const { return revision_; }

 private:
  std::vector<ItemTreeNode> topLevel_;
  size_t nodeCount_ = 0;
  uint64_t revision_ = 0;
};

}  // namespace frosk
