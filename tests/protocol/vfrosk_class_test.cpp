#include "protocol/vfrosk_class.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "protocol/keys.h"

namespace frosk {
namespace {

constexpr int32_t U = kUndefined;

VFroskClass Make(int32_t key, int32_t min = U, int32_t max = U, int32_t decimals = U, int32_t cstrSize = U) {
  VFroskClass v;
  v.Init(key, cstrSize, min, max, "", "", decimals);
  return v;
}

TEST(VFroskClassTest, DefaultIsAnUndefinedContainer) {
  const VFroskClass v;
  EXPECT_EQ(v.ParamKey(), 0);
  EXPECT_EQ(v.Type(), kContainer);
  EXPECT_EQ(v.Min(), U);
  EXPECT_EQ(v.Decimals(), U);
  EXPECT_EQ(v.ValueToText(), "<unknown>");
}

TEST(VFroskClassTest, TextSizeIsCheckedByInit) {
  EXPECT_NO_THROW(Make(0x0141, U, U, U, 256));
  try {
    Make(0x0141, U, U, U, 257);
    FAIL();
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "VFroskClass::Init() CStr_Size exceeds limits");
  }
  for (int32_t size : {0, U}) {
    try {
      Make(0x0141, U, U, U, size);
      FAIL();
    } catch (const std::logic_error& e) {
      EXPECT_STREQ(e.what(), "VFroskClass::Init() CStrSize may not be undefined for CStr type");
    }
  }
}

TEST(VFroskClassTest, UnknownTypesReadEmptyAndRefuseText) {
  for (int32_t key : {0x1000, 0x100C, 0x100D, 0x100E, 0x100F}) {
    VFroskClass v = Make(key);
    EXPECT_EQ(v.ValueToText(), "<unknown>") << key;
    EXPECT_FALSE(v.SetFromText("12")) << key;
    EXPECT_EQ(v.GetAsInt(), 0);
  }
}

TEST(VFroskClassTest, IntegerTextIsScaledRoundedAndClamped) {
  struct Case {
    const char* text;
    int32_t raw;
  } cases[] = {{"25", 20475}, {"-1", 0}, {"abc", 0}, {"12.3456", 12346}, {"12.3454", 12345}, {"0.0005", 1},
               {" 3.5 ", 3500}, {"", 0}, {"1e1", 10000}, {"inf", 0}};
  for (const Case& c : cases) {
    VFroskClass v = Make(0x2465, 0, 20475, 3);  // a uint16 field
    v.SetFromInt(777);
    EXPECT_TRUE(v.SetFromText(c.text));
    EXPECT_EQ(v.GetAsInt(), c.raw) << c.text;
  }
}

TEST(VFroskClassTest, NonNumericTextStoresZeroEvenBelowTheMinimum) {
  VFroskClass v = Make(key::MODULE_BASIC_PARAMS_T_DET, 100000, 400000, 3);
  EXPECT_TRUE(v.SetFromText("warm"));
  EXPECT_EQ(v.GetAsInt(), 0);
  EXPECT_TRUE(v.SetFromText("230"));
  EXPECT_EQ(v.GetAsInt(), 230000);
}

TEST(VFroskClassTest, IntegerValueTextShowsExactlyTheDecimals) {
  struct Case {
    int32_t key;
    int32_t decimals;
    int32_t raw;
    const char* text;
  } cases[] = {
      {0x2474, 3, 20475, "20.475"},   {0x2474, 4, -20475, "-2.0475"}, {0x2474, 3, -20480, "-20.480"},
      {0x2474, 3, 5, "0.005"},        {0x2474, 3, -5, "-0.005"},      {0x2474, 0, -12, "-12"},
      {0x2474, U, 42, "42"},          {0x2413, U, 200, "200"},        {0x2412, U, 200, "-56"},
      {0x1CA6, 3, 400000, "400.000"}, {0x2487, 3, -1, "4294967.295"}, {0x1CF7, U, INT32_MIN, "2147483648"},
  };
  for (const Case& c : cases) {
    VFroskClass v = Make(c.key, U, U, c.decimals);
    v.SetFromInt(c.raw);
    EXPECT_EQ(v.ValueToText(), c.text) << c.raw;
  }
}

TEST(VFroskClassTest, SerialTextRoundTrips) {
  struct Case {
    const char* text;
    uint32_t number;
    uint8_t suffix;
    const char* shown;
  } cases[] = {
      {"123456-07", 123456, 7, "123456-07"}, {"123456/07", 123456, 7, "123456-07"},
      {"123456789", 123456789, 255, "123456789"}, {"000123456-07", 123456, 7, "123456-07"},
      {"123456789-__", 123456789, 255, "123456789"}, {"1234", 1234, 0, "001234-00"},
      {"x", 0, 0, "000000-00"},
  };
  for (const Case& c : cases) {
    VFroskClass v = Make(key::DEVICE_IDEN_SERIAL);
    EXPECT_TRUE(v.SetFromText(c.text));
    SerialRecord s;
    v.GetRaw(&s);
    EXPECT_EQ(s.number, c.number) << c.text;
    EXPECT_EQ(s.suffix, c.suffix) << c.text;
    EXPECT_EQ(v.ValueToText(), c.shown) << c.text;
  }
}

TEST(VFroskClassTest, SerialWithMoreDigitsThanItsFormatShowsThemAll) {
  VFroskClass v = Make(key::DEVICE_IDEN_SERIAL);
  const SerialRecord newFormat{255, 1234567890};
  v.SetRaw(&newFormat);
  EXPECT_EQ(v.ValueToText(), "1234567890");
  const SerialRecord oldFormat{7, 12345678};
  v.SetRaw(&oldFormat);
  EXPECT_EQ(v.ValueToText(), "12345678-07");
  EXPECT_EQ(v.GetAsInt(), 1234567807);
}

TEST(VFroskClassTest, DateTextSetsDayMonthYearAndKeepsTheCarriedBytes) {
  VFroskClass v = Make(key::DEVICE_IDEN_PROD_DATE);
  const DateRecord carried{0xBEEF, {1, 2, 3}, 9, 9, 99};
  v.SetRaw(&carried);
  EXPECT_TRUE(v.SetFromText("2024-03-05"));
  DateRecord d;
  v.GetRaw(&d);
  EXPECT_EQ(d.day, 5);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.year, 124);
  EXPECT_EQ(d.word, 0xBEEF);
  EXPECT_EQ(d.carried[2], 3);
  EXPECT_EQ(v.ValueToText(), "2024-03-05");

  EXPECT_TRUE(v.SetFromText("xxxx-ab-cd"));
  EXPECT_EQ(v.ValueToText(), "1900-00-00");
  v.SetFromInt(5);
  v.GetRaw(&d);
  EXPECT_EQ(d.day + d.month + d.year, 0);
  EXPECT_EQ(d.word, 0xBEEF);
}

TEST(VFroskClassTest, BoolShowsTrueForAnyNonZeroByteAndReadsAsOne) {
  VFroskClass v = Make(key::SERVICE_MODE_ENABLE);
  const uint8_t raw = 0x80;
  v.SetRaw(&raw);
  EXPECT_EQ(v.ValueToText(), "TRUE");
  EXPECT_EQ(v.GetAsInt(), 1);
  EXPECT_FALSE(v.SetFromText("FALSE"));
  v.SetFromInt(0);
  EXPECT_EQ(v.ValueToText(), "FALSE");
}

TEST(VFroskClassTest, FloatTextAndRounding) {
  VFroskClass v = Make(key::MODULE_IDEN_TEC_PARAM1);
  EXPECT_TRUE(v.SetFromText("1.5"));
  EXPECT_EQ(v.ValueToText(), "1.500000");
  EXPECT_FALSE(v.SetFromText("abc"));
  EXPECT_EQ(v.ValueToText(), "1.500000");
  EXPECT_DOUBLE_EQ(v.GetAsFloat(), 1.5);
  for (auto [text, rounded] : {std::pair{"2.5", 3}, {"-2.5", -3}, {"2.49", 2}, {"-0.4", 0}}) {
    v.SetFromText(text);
    EXPECT_EQ(v.GetAsInt(), rounded) << text;
  }
}

TEST(VFroskClassTest, SetFromIntWrapsToTheTypeWidthWithoutLimits) {
  VFroskClass v = Make(0x2413, 0, 2, U);  // uint8 with limits 0..2
  v.SetFromInt(300);
  EXPECT_EQ(v.GetAsInt(), 44);
  VFroskClass s = Make(0x2412);  // int8
  s.SetFromInt(255);
  EXPECT_EQ(s.GetAsInt(), -1);
  VFroskClass serial = Make(key::DEVICE_IDEN_SERIAL);
  serial.SetFromInt(12345607);
  EXPECT_EQ(serial.ValueToText(), "123456-07");
}

TEST(VFroskClassTest, TextFieldsKeepAtMostSizeMinusOneCharacters) {
  VFroskClass v = Make(key::DEVICE_IDEN_NAME, U, U, U, 8);
  EXPECT_TRUE(v.SetFromText("FroskTEC controller"));
  EXPECT_EQ(v.ValueToText(), "FroskTEC controller");  // the store keeps 255
  char field[8];
  std::memset(field, 'x', sizeof field);
  v.GetRaw(field);
  EXPECT_STREQ(field, "FroskTE");
  v.SetRaw("ABCDEFGHIJ");
  EXPECT_EQ(v.ValueToText(), "ABCDEFG");
}

}  // namespace
}  // namespace frosk
