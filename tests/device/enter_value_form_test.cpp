// The value dialog: its texts, and what it keeps of a typed value.
#include "device/enter_value_form.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "device/device_engine.h"
#include "protocol/keys.h"
#include "support/scripted_prompter.h"

namespace frosk {
namespace {

using namespace key;

class EnterValueFormTest : public ::testing::Test {
 protected:
  // The detector temperature: field 100.000..400.000 K, user band 200.000..260.000 K.
  void Open(bool limitToUser) {
    ModuleBasicParamsHolders set, defaults, min, max;
    set.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(230000);
    defaults.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(240000);
    min.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(200000);
    max.At(MODULE_BASIC_PARAMS_T_DET).SetFromInt(260000);
    dialog_.Fill({"TDet", "Target detector temperature", "K", set.At(MODULE_BASIC_PARAMS_T_DET),
                  defaults.At(MODULE_BASIC_PARAMS_T_DET), min.At(MODULE_BASIC_PARAMS_T_DET),
                  max.At(MODULE_BASIC_PARAMS_T_DET), limitToUser});
    dialog_.show();
  }
  template <class T>
  T* Find(const char* name) {
    T* widget = dialog_.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Caption(const char* name) { return Find<QAbstractButton>(name)->text(); }
  QString Typed(const QString& text) {
    QLineEdit* edit = Find<QLineEdit>("ValueEdit");
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    return edit->text();
  }

  test::ScriptedPrompter prompter_;
  TEnterValueForm dialog_{prompter_};
};

const char kNoNumber[] = "\rPlease enter a number, for example 13.5 or 13,5.";

TEST_F(EnterValueFormTest, ShowsTheSettingItsValueAndItsThreeShortcuts) {
  Open(true);
  EXPECT_EQ(dialog_.windowTitle(), "Enter new value");
  EXPECT_EQ(Find<QLabel>("NameLabel")->text(), "TDet");
  EXPECT_EQ(Find<QLabel>("InfoLabel")->text(), "Target detector temperature");
  EXPECT_EQ(Find<QLabel>("UnitLabel")->text(), "K");
  EXPECT_EQ(Find<QLineEdit>("ValueEdit")->text(), "230.000");
  EXPECT_EQ(Caption("DefaultButton"), "Default: 240.000");
  EXPECT_EQ(Caption("MinButton"), "Min: 200.000");
  EXPECT_EQ(Caption("MaxButton"), "Max: 260.000");
  EXPECT_EQ(Caption("BitBtn1"), "OK");
  EXPECT_EQ(Caption("BitBtn2"), "Cancel");
}

TEST_F(EnterValueFormTest, EnterKeepsTheTypedValueWithinTheUserBandOrInServiceModeTheField) {
  struct Case {
    const char* typed;
    const char* limited;   // to the user band
    const char* serviced;  // to the field's own limits only
    const char* refused;   // the message for text that is no number; the value stays
  } cases[] = {
      {"245.5", "245.500", "245.500", nullptr},
      {"300", "260.000", "300.000", nullptr},
      {"1000", "260.000", "400.000", nullptr},
      {"50", "200.000", "100.000", nullptr},
      {"-7", "200.000", "100.000", nullptr},
      {"1e30", "260.000", "400.000", nullptr},
      {"230.0004", "230.000", "230.000", nullptr},
      {"245,5", "245.500", "245.500", nullptr},
      {" 250,25 ", "250.250", "250.250", nullptr},
      {"abc", "230.000", "230.000", "\"abc\" is not a number."},
      {"", "230.000", "230.000", "No value was entered."},
      {"1,234.5", "230.000", "230.000", "\"1,234.5\" is not a number."},
      {"12,5,0", "230.000", "230.000", "\"12,5,0\" is not a number."},
  };
  for (const Case& c : cases) {
    for (bool limitToUser : {true, false}) {
      prompter_.shown.clear();
      Open(limitToUser);
      EXPECT_EQ(Typed(c.typed), limitToUser ? c.limited : c.serviced) << c.typed;
      EXPECT_TRUE(dialog_.isVisible()) << "Enter takes the value and leaves the dialog open";
      std::vector<test::ScriptedPrompter::Shown> messages;
      if (c.refused != nullptr) messages.push_back({std::string(c.refused) + kNoNumber, 0x30});
      EXPECT_EQ(prompter_.shown, messages) << c.typed;
    }
  }
}

TEST_F(EnterValueFormTest, OkRefusesTextThatIsNoNumberAndLeavingTheEditLetsItStandForCancel) {
  Open(true);
  QLineEdit* edit = Find<QLineEdit>("ValueEdit");
  edit->setText("13.5 V");
  Find<QPushButton>("BitBtn1")->click();
  EXPECT_TRUE(dialog_.isVisible()) << "refused, the dialog stays open";
  EXPECT_EQ(dialog_.result(), 0);
  EXPECT_EQ(dialog_.Value().GetAsInt(), 230000);
  EXPECT_EQ(edit->text(), "230.000");
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, std::string("\"13.5 V\" is not a number.") + kNoNumber);

  // Moving the focus to Cancel says nothing and changes nothing.
  dialog_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
  edit->setFocus();
  edit->setText("xyz");
  Find<QPushButton>("BitBtn2")->setFocus();
  EXPECT_EQ(edit->text(), "xyz");
  EXPECT_EQ(prompter_.shown.size(), 1u);
  Find<QPushButton>("BitBtn2")->click();
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
  EXPECT_EQ(dialog_.Value().GetAsInt(), 230000);
}

TEST_F(EnterValueFormTest, OkTakesWhatWasTypedThroughTheSameLimits) {
  Open(true);
  Find<QPushButton>("MaxButton")->click();
  EXPECT_EQ(Find<QLineEdit>("ValueEdit")->text(), "260.000");
  Find<QPushButton>("DefaultButton")->click();
  EXPECT_EQ(dialog_.Value().GetAsInt(), 240000);
  Find<QLineEdit>("ValueEdit")->setText("999");
  Find<QPushButton>("BitBtn1")->click();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(dialog_.Value().GetAsInt(), 260000);

  Open(true);
  Find<QPushButton>("BitBtn2")->click();
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace frosk
