#include "protocol/frame_cutter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace frosk {
namespace {

// Feeds each chunk as one read and collects the frames cut.
std::vector<std::string> Cut(FrameCutter& cutter, const std::vector<std::string>& reads) {
  std::vector<std::string> frames;
  for (const std::string& read : reads)
    cutter.Feed(reinterpret_cast<const uint8_t*>(read.data()), read.size(),
                [&](std::string_view frame) { frames.emplace_back(frame); });
  return frames;
}

TEST(FrameCutterTest, CutsFramesAcrossAndWithinReads) {
  struct Case {
    std::vector<std::string> reads;
    std::vector<std::string> frames;
    size_t held;
  } cases[] = {
      {{"xx$0520", "0004C500#"}, {"$05200004C500#"}, 0},
      {{"$002000040900#$05200004C500#"}, {"$002000040900#", "$05200004C500#"}, 0},
      {{"garbage without a start"}, {}, 0},
      {{"$05200004C500#$0020"}, {"$05200004C500#"}, 5},
      {{"$AB", "$05200004C500#"}, {"$AB$05200004C500#"}, 0},
      {{"#stray$0020", "00040900#tail"}, {"$002000040900#"}, 0},
  };
  for (const Case& c : cases) {
    FrameCutter cutter;
    EXPECT_EQ(Cut(cutter, c.reads), c.frames);
    EXPECT_EQ(cutter.Held(), c.held);
  }
}

TEST(FrameCutterTest, AFullBufferWithoutEndDropsTheOldestUnfinishedFrame) {
  FrameCutter cutter;
  // 1024 bytes: an endless frame with a second start 600 bytes in.
  std::string flood = "$" + std::string(599, 'A') + "$" + std::string(423, 'B');
  ASSERT_EQ(flood.size(), FrameCutter::kCapacity);
  EXPECT_TRUE(Cut(cutter, {flood}).empty());
  EXPECT_EQ(cutter.Held(), 424u);
  // The link keeps receiving: the held tail ends with the next read's "#".
  EXPECT_EQ(Cut(cutter, {"#$05200004C500#"}), (std::vector<std::string>{"$" + std::string(423, 'B') + "#",
                                                                          "$05200004C500#"}));

  FrameCutter single;
  EXPECT_TRUE(Cut(single, {"$" + std::string(1023, 'C')}).empty());
  EXPECT_EQ(single.Held(), 0u);
  EXPECT_EQ(Cut(single, {"$05200004C500#"}), std::vector<std::string>{"$05200004C500#"});
}

TEST(FrameCutterTest, ALongerStreamWithoutEndNeverStopsTheCutter) {
  FrameCutter cutter;
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(Cut(cutter, {"$" + std::string(700, 'D')}).empty());
  EXPECT_LT(cutter.Held(), FrameCutter::kCapacity);
  EXPECT_EQ(Cut(cutter, {"#", "$002000040900#"}).back(), "$002000040900#");
}

}  // namespace
}  // namespace frosk
