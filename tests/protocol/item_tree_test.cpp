#include "protocol/item_tree.h"

#include <gtest/gtest.h>

#include "protocol/frame.h"
#include "protocol/item.h"
#include "protocol/keys.h"

namespace frosk {
namespace {

TEST(ItemTreeTest, NodesNestAsTheItemsDoAndAreCountedAtAllLevels) {
  // A root holding a container of two values beside an empty container.
  const uint8_t root[] = {0x00, 0x00, 0x00, 0x17, 0x02, 0x00, 0x00, 0x0F, 0x02, 0x15, 0x00, 0x06,
                          0x12, 0x34, 0x10, 0x1B, 0x00, 0x05, 0x01, 0x10, 0x00, 0x00, 0x04};
  ASSERT_TRUE(ItemIsValid(root, sizeof root));
  ItemTree tree;
  const uint64_t revision = tree.Revision();
  tree.ShowItemTree(root);
  const ItemTreeNode expected = {
      " (container)",
      {{"DEVICE_CHECK (container)",
        {{"DEVICE_CHECK_VALUE (uint16: 4660)", {}}, {"SERVICE_MODE_ENABLE (bool: TRUE)", {}}}},
       {"SERVICE_MODE (container)", {}}}};
  ASSERT_EQ(tree.TopLevel().size(), 1u);
  EXPECT_EQ(tree.TopLevel().front(), expected);
  EXPECT_EQ(tree.NodeCount(), 5u);
  EXPECT_NE(tree.Revision(), revision);

  // A container of length 4 is one node; later items follow at the top level.
  uint8_t empty[4];
  ItemPutContainer(empty, key::DEVICE_IDEN, 4);
  tree.ShowItemTree(empty);
  ASSERT_EQ(tree.TopLevel().size(), 2u);
  EXPECT_EQ(tree.TopLevel().back(), (ItemTreeNode{"DEVICE_IDEN (container)", {}}));
  EXPECT_EQ(tree.NodeCount(), 6u);

  const uint64_t beforeClear = tree.Revision();
  tree.Clear();
  EXPECT_TRUE(tree.TopLevel().empty());
  EXPECT_EQ(tree.NodeCount(), 0u);
  EXPECT_NE(tree.Revision(), beforeClear);
}

}  // namespace
}  // namespace frosk
