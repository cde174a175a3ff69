#include "protocol/node_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/item.h"
#include "protocol/keys.h"
#include "protocol/records.h"

namespace frosk {
namespace {

TEST(NodeTextTest, NameTypeAndValue) {
  uint8_t item[64];
  struct Case {
    size_t (*write)(uint8_t*);
    const char* text;
  } cases[] = {
      {[](uint8_t* b) { return ItemPutContainer(b, key::DEVICE_IDEN, 4); }, "DEVICE_IDEN (container)"},
      {[](uint8_t* b) { return ItemPutCStr(b, key::DEVICE_IDEN_NAME, "FroskTEC\0\0\0", 11); },
       "DEVICE_IDEN_NAME (cstr: FroskTEC)"},
      {[](uint8_t* b) { return ItemPutUInt8(b, key::MODULE_VELTRA_PARAMS_ACDC, 1); },
       "MODULE_VELTRA_PARAMS_ACDC (uint8: 1)"},
      {[](uint8_t* b) { return ItemPutUInt16(b, 0x7775, 7); }, " (uint16: 7)"},
      {[](uint8_t* b) { return ItemPutFloat(b, key::MODULE_IDEN_TEC_PARAM1, 0.1f); },
       "MODULE_IDEN_TEC_PARAM1 (float: 0.100000001490116)"},
      {[](uint8_t* b) { return ItemPutFloat(b, key::MODULE_IDEN_TEC_PARAM1, 2.0f); }, "MODULE_IDEN_TEC_PARAM1 (float: 2)"},
      {[](uint8_t* b) { return ItemPutInt16(b, key::MODULE_BASIC_PARAMS_U_SUP_MINUS, -12000); },
       "MODULE_BASIC_PARAMS_U_SUP_MINUS (int16: -12000)"},
      {[](uint8_t* b) { return ItemPutUInt32(b, key::FROSKTEC_MONITOR_TH_ADC, 0x80000000u); },
       "FROSKTEC_MONITOR_TH_ADC (uint32: 2147483648)"},
      {[](uint8_t* b) { return ItemPutSerial(b, key::DEVICE_IDEN_SERIAL, SerialRecord{7, 1234}); },
       "DEVICE_IDEN_SERIAL (serial: 001234-07)"},
      {[](uint8_t* b) { return ItemPutDateTime(b, key::DEVICE_IDEN_PROD_DATE, DateRecord{0, {}, 5, 3, 124}); },
       "DEVICE_IDEN_PROD_DATE (datetime: 2024-03-05)"},
      {[](uint8_t* b) { return ItemPutCStr(b, key::DEVICE_IDEN_SERIAL, "1234567", 7); }, "DEVICE_IDEN_SERIAL (serial)"},
      {[](uint8_t* b) { return ItemPutBool(b, key::SERVICE_MODE_ENABLE, true); }, "SERVICE_MODE_ENABLE (bool: TRUE)"},
      {[](uint8_t* b) { return ItemPutUInt8(b, 0x200C, 1); }, ""},
      {[](uint8_t* b) { return ItemPutCStr(b, key::MODULE_IDEN_NAME, "", 0); }, "MODULE_IDEN_NAME (cstr)"},
  };
  for (const Case& c : cases) {
    std::memset(item, 0, sizeof item);
    const size_t n = c.write(item);
    ASSERT_TRUE(ItemIsValid(item, n)) << c.text;
    EXPECT_EQ(ItemNodeText(item), c.text);
  }
}

TEST(NodeTextTest, TreeIsWalkedDepthFirstWithDepths) {
  uint8_t item[32];
  ASSERT_TRUE(FrameDecode(item, sizeof item, "$0410000D10000009101B0005016F96#", 32));
  std::vector<std::string> lines;
  WalkItemTree(item, [&](const uint8_t* node, int depth) {
    lines.push_back(std::string(2 * depth, ' ') + ItemNodeText(node));
  });
  EXPECT_EQ(lines, (std::vector<std::string>{"SET_SERVICE_MODE (container)", "  SERVICE_MODE (container)",
                                             "    SERVICE_MODE_ENABLE (bool: TRUE)"}));
}

TEST(NodeTextTest, LongTextIsCutAt255Characters) {
  std::vector<uint8_t> item(4 + 300, 'x');
  ItemPutCStr(item.data(), key::DEVICE_IDEN_NAME, std::string(300, 'x').c_str(), 300);
  EXPECT_EQ(ItemValueText(item.data()).size(), 255u);
}

}  // namespace
}  // namespace frosk
