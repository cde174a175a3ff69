#include "protocol/item_tree.h"

#include <utility>

#include "protocol/node_text.h"

namespace frosk {

void ItemTree::ShowItemTree(const uint8_t* item) {
  if (item == nullptr) return;
  // The nodes on the path from the top level to the node last added. Adding a
  // child grows only its parent's children, never an ancestor's, so the
  // pointers to the ancestors stay valid.
  std::vector<ItemTreeNode*> path;
  WalkItemTree(item, [&](const uint8_t* node, int depth) {
    path.resize(static_cast<size_t>(depth));
    std::vector<ItemTreeNode>& siblings = depth == 0 ? topLevel_ : path.back()->children;
    siblings.push_back({ItemNodeText(node), {}});
    path.push_back(&siblings.back());
    ++nodeCount_;
  });
  ++revision_;
}

void ItemTree::ShowText(std::string text) {
  topLevel_.push_back({std::move(text), {}});
  ++nodeCount_;
  ++revision_;
}

void ItemTree::Clear() {
  topLevel_.clear();
  nodeCount_ = 0;
  ++revision_;
}

}  // namespace frosk
