#include "protocol/field_text.h"

#include <gtest/gtest.h>

#include "protocol/catalogue.h"
#include "protocol/holders.h"

namespace frosk {
namespace {

VFroskClass HolderFor(Key key) {
  VFroskClass holder;
  InitHolder(holder, *FindField(key));
  return holder;
}

TEST(FieldTextTest, AcceptsWhatACommandLineMayWrite) {
  struct Case {
    Key key;
    const char* text;
    const char* shown;
  } cases[] = {
      {key::MODULE_BASIC_PARAMS_T_DET, "230", "230.000"},
      {key::MODULE_BASIC_PARAMS_T_DET, "999", "400.000"},
      {key::MODULE_BASIC_PARAMS_U_SUP_MINUS, "-12.5", "-12.500"},
      {key::MODULE_BASIC_PARAMS_SUP_CTRL, "on", "2"},
      {key::MODULE_BASIC_PARAMS_SUP_CTRL, "AUTO", "0"},
      {key::MODULE_VELTRA_PARAMS_BW, "HIGH", "2"},
      {key::MODULE_IDEN_TEC_PARAM1, "-0.25", "-0.250000"},
      {key::SERVICE_MODE_ENABLE, "true", "TRUE"},
      {key::SERVICE_MODE_ENABLE, "0", "FALSE"},
      {key::DEVICE_IDEN_SERIAL, "123456-07", "123456-07"},
      {key::DEVICE_IDEN_SERIAL, "123456/07", "123456-07"},
      {key::DEVICE_IDEN_SERIAL, "123456789", "123456789"},
      {key::DEVICE_IDEN_SERIAL, "42", "000042-00"},
      {key::DEVICE_IDEN_PROD_DATE, "2024-03-05", "2024-03-05"},
      {key::DEVICE_IDEN_NAME, "FroskTEC", "FroskTEC"},
  };
  for (const Case& c : cases) {
    VFroskClass holder = HolderFor(c.key);
    EXPECT_EQ(SetFieldFromText(holder, c.text), "") << c.text;
    EXPECT_EQ(holder.ValueToText(), c.shown) << c.text;
  }
}

TEST(FieldTextTest, RefusesAnythingElseAndSaysWhy) {
  struct Case {
    Key key;
    const char* text;
    const char* why;
  } cases[] = {
      {key::MODULE_BASIC_PARAMS_T_DET, "warm", "\"warm\" is not a decimal number"},
      {key::MODULE_BASIC_PARAMS_T_DET, "1e3", "\"1e3\" is not a decimal number"},
      {key::MODULE_BASIC_PARAMS_SUP_CTRL, "MAYBE", "\"MAYBE\" is neither a number nor one of AUTO, OFF, ON"},
      {key::MODULE_IDEN_TEC_PARAM1, "x", "\"x\" is not a decimal number"},
      {key::SERVICE_MODE_ENABLE, "yes", "\"yes\" is not TRUE, FALSE, 1 or 0"},
      {key::DEVICE_IDEN_SERIAL, "1234567890", "\"1234567890\" is not a serial number (NNNNNN-NN, NNNNNN/NN or 1 to 9 digits)"},
      {key::DEVICE_IDEN_SERIAL, "12345-07", "\"12345-07\" is not a serial number (NNNNNN-NN, NNNNNN/NN or 1 to 9 digits)"},
      {key::DEVICE_IDEN_PROD_DATE, "2024-3-5", "\"2024-3-5\" is not a date (YYYY-MM-DD)"},
      {key::DEVICE_IDEN_PROD_DATE, "2024-13-05", "\"2024-13-05\" is not a date between 1900-01-01 and 2155-12-31"},
      {key::DEVICE_IDEN_NAME, "0123456789012345678901234567890123", "\"0123456789012345678901234567890123\" is longer than 31 characters"},
  };
  for (const Case& c : cases) {
    VFroskClass holder = HolderFor(c.key);
    EXPECT_EQ(SetFieldFromText(holder, c.text), c.why);
  }
}

}  // namespace
}  // namespace frosk
