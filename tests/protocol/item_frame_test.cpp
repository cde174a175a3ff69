#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/item.h"

namespace frosk {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

Bytes Decode(const std::string& frame, bool* ok = nullptr) {
  Bytes out(1024);
  const FrameDecodeResult result = FrameDecodeDetailed(out.data(), out.size(), frame);
  if (ok != nullptr) *ok = result.ok();
  out.resize(result.itemLength);
  return out;
}

// SET_SERVICE_MODE { SERVICE_MODE { SERVICE_MODE_ENABLE = TRUE } }
const std::string kServiceModeFrame = "$0410000D10000009101B0005016F96#";

TEST(FrameTest, KnownFramesEncodeExactly) {
  struct Case {
    std::string item;
    std::string frame;
  } cases[] = {
      {"00200004", "$002000040900#"},
      {"05200004", "$05200004C500#"},
      {"0410000D10000009101B000501", kServiceModeFrame},
      {"0000000E0200000A021500061234", "$0000000E0200000A02150006123475DE#"},
  };
  for (const Case& c : cases) {
    const Bytes item = FromHex(c.item);
    EXPECT_EQ(FrameSize(item.data()), c.frame.size());
    EXPECT_EQ(FrameEncode(item.data()), c.frame);
    bool ok = false;
    EXPECT_EQ(Decode(c.frame, &ok), item);
    EXPECT_TRUE(ok);
  }
}

TEST(FrameTest, CrcIsCrc16Arc) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(digits), 9), 0xBB3D);
  EXPECT_EQ(Crc16(nullptr, 0), 0);
}

TEST(FrameTest, EncoderRefusesASmallBuffer) {
  const Bytes item = FromHex("05200004");
  char out[14];
  EXPECT_EQ(FrameEncode(item.data(), out, 13), 0u);
  EXPECT_EQ(FrameEncode(item.data(), out, 14), 14u);
}

TEST(FrameTest, DecoderFailuresSayWhatFailed) {
  struct Case {
    std::string frame;
    FrameStatus status;
  } cases[] = {
      {"$05200004c500#", FrameStatus::kOk},  // lower case hex is fine
      {"$0000#", FrameStatus::kOk},          // an empty item with check value 0
      {"05200004C500#", FrameStatus::kNoStart},
      {"$05200004C500", FrameStatus::kNoEnd},
      {"$05200004C501#", FrameStatus::kBadCheck},
      {"$05200004C5G0#", FrameStatus::kBadCheck},
      {"$0X200004C500#", FrameStatus::kBadCheck},  // a bad pair reads as 0xFF
      {"$#", FrameStatus::kTooShort},
      {"", FrameStatus::kNoStart},
  };
  for (const Case& c : cases) {
    Bytes out(16);
    EXPECT_EQ(FrameDecodeDetailed(out.data(), out.size(), c.frame).status, c.status) << c.frame;
  }
  Bytes buffer(16);
  const FrameDecodeResult tooLong = FrameDecodeDetailed(buffer.data(), 3, "$05200004C500#");
  EXPECT_EQ(tooLong.status, FrameStatus::kTooLong);
  EXPECT_EQ(DescribeFrameFailure(tooLong, 3), "frame too long: 4 item bytes, at most 3");
  const FrameDecodeResult bad = FrameDecodeDetailed(buffer.data(), buffer.size(), "$05200004C501#");
  EXPECT_EQ(DescribeFrameFailure(bad, 16), "check value expected C501, computed C500");
}

TEST(ItemTest, WritersLayOutEachType) {
  struct Case {
    std::function<size_t(uint8_t*)> write;
    std::string hex;
  } cases[] = {
      {[](uint8_t* b) { return ItemPutInt32(b, 0x1CA6, 300000); }, "1CA60008000493E0"},
      {[](uint8_t* b) { return ItemPutFloat(b, 0x20B8, 1.0f); }, "20B800080000803F"},
      {[](uint8_t* b) { return ItemPutSerial(b, 0x015A, SerialRecord{255, 123456789}); }, "015A0008875BCD15"},
      {[](uint8_t* b) { return ItemPutSerial(b, 0x015A, SerialRecord{7, 1234}); }, "015A0008070004D2"},
      {[](uint8_t* b) { return ItemPutDateTime(b, 0x0169, DateRecord{0x0102, {3, 4, 5}, 6, 7, 124}); },
       "0169000C010203040506077C"},
      {[](uint8_t* b) { return ItemPutBool(b, 0x101B, true); }, "101B000501"},
      {[](uint8_t* b) { return ItemPutInt16(b, 0x2434, -12000); }, "24340006D120"},
      {[](uint8_t* b) { return ItemPutUInt16(b, 0x2465, 65535); }, "24650006FFFF"},
      {[](uint8_t* b) { return ItemPutInt8(b, 0x2412, -1); }, "24120005FF"},
      {[](uint8_t* b) { return ItemPutCStr(b, 0x0141, "AB", 3); }, "01410007414200"},
      {[](uint8_t* b) { return ItemPutContainer(b, 0x0410, 13); }, "0410000D"},
  };
  for (const Case& c : cases) {
    uint8_t buffer[64] = {};
    const size_t written = c.write(buffer);
    EXPECT_EQ(Bytes(buffer, buffer + written), FromHex(c.hex));
  }
  EXPECT_EQ(ItemPutUInt8(nullptr, 0x2413, 1), 0u);
}

TEST(ItemTest, NumberReadersUndoTheWriters) {
  uint8_t item[8];
  ItemPutFloat(item, 0x20B8, -2.75f);
  EXPECT_FLOAT_EQ(ItemGetFloat(item), -2.75f);
  ItemPutInt16(item, 0x2434, -12000);
  EXPECT_EQ(ItemGetInt16(item), -12000);
  ItemPutInt32(item, 0x1CA6, -300000);
  EXPECT_EQ(ItemGetInt32(item), -300000);
  ItemPutUInt32(item, 0x1CF7, 0xFFFFFFFEu);
  EXPECT_EQ(ItemGetUInt32(item), 0xFFFFFFFEu);
  ItemPutInt8(item, 0x2412, -3);
  EXPECT_EQ(ItemGetInt8(item), -3);
  EXPECT_EQ(ItemGetUInt8(nullptr), 0);
}

TEST(ItemTest, SerialAndDateReadersCheckThePayloadLength) {
  SerialRecord serial{1, 1};
  const Bytes newFormat = FromHex("015A0008875BCD15");
  ASSERT_TRUE(ItemGetSerial(newFormat.data(), serial));
  EXPECT_EQ(serial.suffix, 255);
  EXPECT_EQ(serial.number, 123456789u);
  const Bytes oldFormat = FromHex("015A0008070004D2");
  ASSERT_TRUE(ItemGetSerial(oldFormat.data(), serial));
  EXPECT_EQ(serial.suffix, 7);
  EXPECT_EQ(serial.number, 1234u);
  const Bytes shortSerial = FromHex("015A00070700D2");
  EXPECT_FALSE(ItemGetSerial(shortSerial.data(), serial));
  EXPECT_EQ(serial.number, 1234u);

  DateRecord date{};
  const Bytes longDate = FromHex("0169000D0102030405060708AA");
  EXPECT_FALSE(ItemGetDateTime(longDate.data(), date));
}

TEST(ItemTest, TextReaderKeepsRoomForTheTerminator) {
  uint8_t item[36];
  ItemPutCStr(item, 0x0141, "0123456789ABCDEFGHIJKLMNOPQRSTUV", 32);
  char text[33];
  ASSERT_TRUE(ItemGetCStr(item, text, 33));
  EXPECT_EQ(std::strlen(text), 32u);
  ASSERT_TRUE(ItemGetCStr(item, text, 32));
  EXPECT_STREQ(text, "0123456789ABCDEFGHIJKLMNOPQRSTU");
  EXPECT_FALSE(ItemGetCStr(item, text, 0));
}

TEST(ItemTest, ChildrenAreWalkedInByteOrderAndFoundDepthFirst) {
  // root { A { X=1 } B, X=2 }: X occurs as a grandchild first, then as a child.
  const Bytes root = FromHex("00000016" "10000009" "101B000501" "10100004" "101B000502");
  const uint8_t* first = ItemFirstChild(root.data());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ItemKey(first), 0x1000);
  const uint8_t* second = ItemNextChild(root.data(), first);
  EXPECT_EQ(ItemKey(second), 0x1010);
  const uint8_t* third = ItemNextChild(root.data(), second);
  EXPECT_EQ(ItemKey(third), 0x101B);
  EXPECT_EQ(ItemNextChild(root.data(), third), nullptr);
  EXPECT_EQ(ItemNextChild(root.data(), nullptr), first);

  EXPECT_EQ(ItemGetUInt8(ItemFindChild(root.data(), 0x101B, false)), 2);
  EXPECT_EQ(ItemGetUInt8(ItemFindChild(root.data(), 0x101B, true)), 1);
  EXPECT_EQ(ItemFindChild(root.data(), 0x7777, true), nullptr);
}

TEST(ItemTest, OnlyAContainerOfEightBytesOrMoreHasChildren) {
  for (const char* hex : {"10000004", "1000000500", "101B000501"})
    EXPECT_EQ(ItemFirstChild(FromHex(hex).data()), nullptr) << hex;
  EXPECT_EQ(ItemFirstChild(nullptr), nullptr);
}

TEST(ItemValidationTest, RejectsLengthsThatDoNotFit) {
  struct Case {
    std::string hex;
    size_t count;  // decoded bytes; 0 = all of them
    bool valid;
    std::string problem;
  } cases[] = {
      {"0410000D10000009101B000501", 0, true, ""},
      {"0410000D10000009101B000501FFFF", 0, true, ""},  // bytes after the root are ignored
      {"10000004", 0, true, ""},
      {"000000", 0, false, "3 bytes decoded, an item needs at least 4"},
      {"04100003", 0, false, "root declares length 3, below 4"},
      {"0410000D10000009101B0005", 0, false, "root declares length 13, only 12 bytes decoded"},
      {"0410000C10000000101B0005", 0, false, "child 0x1000 of 0x0410 declares length 0, below 4"},
      {"0410000D1000000A101B000501", 0, false, "child 0x1000 of 0x0410 declares length 10, only 9 left in its parent"},
      {"0410000610000000", 6, false, "container 0x0410 ends with 2 bytes that are no item"},
      {"1CA600061234", 0, false, "item 0x1CA6 has a payload of 2 bytes, its type needs 4"},
      {"0169000B01020304050607", 0, false, "item 0x0169 has a payload of 7 bytes, its type needs 8"},
      {"01410004", 0, true, ""},          // text chooses its own length
      {"010C0004", 0, true, ""},          // unknown types are not checked
      {"0000000D0000000900000005FF", 0, false, "container 0x0000 ends with 1 bytes that are no item"},
  };
  for (const Case& c : cases) {
    const Bytes bytes = FromHex(c.hex);
    std::string problem;
    EXPECT_EQ(ItemIsValid(bytes.data(), c.count != 0 ? c.count : bytes.size(), &problem), c.valid) << c.hex;
    EXPECT_EQ(problem, c.problem) << c.hex;
  }
}

TEST(ItemValidationTest, ADeepChainOfContainersIsWalkedToTheEnd) {
  Bytes chain(4000);
  for (size_t depth = 0; depth < chain.size() / 4; ++depth)
    ItemPutContainer(chain.data() + 4 * depth, 0x1000, static_cast<uint16_t>(chain.size() - 4 * depth));
  EXPECT_TRUE(ItemIsValid(chain.data(), chain.size()));
  EXPECT_EQ(ItemFindChild(chain.data(), 0x2000, true), nullptr);
}

}  // namespace
}  // namespace frosk
