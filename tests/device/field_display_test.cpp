// How the service view and the configurator show holders in fields and
// which field texts they take back.
#include "device/field_display.h"

#include <gtest/gtest.h>

#include "protocol/holders.h"
#include "protocol/keys.h"

namespace frosk::test {
namespace {

using namespace key;

VFroskClass Holder(Key field) {
  VFroskClass holder;
  InitHolder(holder, *FindField(field));
  return holder;
}

TEST(FieldDisplayTest, ASerialFieldShowsNineDigitsAndReadsBackAsTheSameSerial) {
  struct Case {
    const char* serial;
    const char* field;
  } cases[] = {
      {"123456-07", "000123456-07"},
      {"000000-00", "000000000-00"},
      {"123456789", "123456789-__"},
      {"1000000", "001000000-__"},
  };
  for (const Case& c : cases) {
    VFroskClass serial = Holder(DEVICE_IDEN_SERIAL);
    serial.SetFromText(c.serial);
    EXPECT_EQ(SerialFieldText(serial), c.field) << c.serial;
    // The field gives its text without the blanks of its mask.
    std::string text = SerialFieldText(serial);
    if (text.ends_with("__")) text.resize(text.size() - 2);
    VFroskClass back = Holder(DEVICE_IDEN_SERIAL);
    back.SetFromText(text);
    EXPECT_EQ(back.ValueToText(), serial.ValueToText()) << c.serial;
  }
}

TEST(FieldDisplayTest, OnlyWholePossibleSerialsAndDatesAreTaken) {
  struct Case {
    Key field;
    const char* text;
    bool possible;
  } cases[] = {
      {MODULE_IDEN_SERIAL, "000123456-07", true},   {MODULE_IDEN_SERIAL, "123456789-", true},
      {MODULE_IDEN_SERIAL, "000123456-7", true},    {MODULE_IDEN_SERIAL, "12345-", false},
      {MODULE_IDEN_SERIAL, "000123456-ab", false},  {MODULE_IDEN_SERIAL, "000123456", false},
      {MODULE_IDEN_PROD_DATE, "2024-02-29", true},  {MODULE_IDEN_PROD_DATE, "2023-02-29", false},
      {MODULE_IDEN_PROD_DATE, "2024-13-01", false}, {MODULE_IDEN_PROD_DATE, "2024-04-31", false},
      {MODULE_IDEN_PROD_DATE, "2024-00-10", false}, {MODULE_IDEN_PROD_DATE, "1899-12-31", false},
      {MODULE_IDEN_PROD_DATE, "2155-12-31", true},  {MODULE_IDEN_PROD_DATE, "2156-01-01", false},
      {MODULE_IDEN_PROD_DATE, "2024-3-5", false},   {MODULE_IDEN_NAME, "anything at all", true},
      {MODULE_IDEN_COOL_TIME, "abc", true},  // a number field takes any text, as SetFromText does
  };
  for (const Case& c : cases) EXPECT_EQ(FieldEntryIsPossible(Holder(c.field), c.text), c.possible) << c.text;
}

TEST(FieldDisplayTest, ThAdcShowsItsVoltageWithSixDecimalsAndItsCount) {
  struct Case {
    int32_t raw;
    const char* text;
  } cases[] = {
      {524288, "1.024000 (524288)"},
      {0, "0.000000 (0)"},
      {262144, "0.512000 (262144)"},
      {-1, "8388.607998 (4294967295)"},  // a uint32 count beyond 2^31 stays unsigned
  };
  for (const Case& c : cases) {
    VFroskClass thAdc = Holder(FROSKTEC_MONITOR_TH_ADC);
    thAdc.SetFromInt(c.raw);
    EXPECT_EQ(ThAdcText(thAdc), c.text) << c.raw;
  }
}

TEST(FieldDisplayTest, ACheckValueShowsAsEightUpperCaseHexadecimalDigits) {
  VFroskClass check = Holder(DEVICE_CHECK_VALUE);
  check.SetFromInt(0xB6A9);
  EXPECT_EQ(SignatureText(check), "0000B6A9");
  EXPECT_EQ(ParseSignatureText(SignatureText(check)), 0xB6A9u);
}

}  // namespace
}  // namespace frosk::test
