// The serial number dialog: one serial in the old or the new format.
#include "device/enter_serial_form.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "protocol/holders.h"
#include "protocol/keys.h"

namespace frosk::test {
namespace {

using namespace key;

class EnterSerialFormTest : public ::testing::Test {
 protected:
  // Shows the dialog holding this serial.
  void Show(const char* serial) {
    Hold(serial);
    form_.show();
  }
  void Hold(const char* serial) {
    VFroskClass holder;
    InitHolder(holder, *FindField(MODULE_IDEN_SERIAL));
    holder.SetFromText(serial);
    form_.SetSerial(holder);
  }
  template <class T>
  T* Find(const char* name) {
    T* widget = form_.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Text(const char* edit) { return Find<QLineEdit>(edit)->text(); }
  bool Shown(const char* name) { return Find<QWidget>(name)->isVisible(); }
  void Type(const char* edit, const QString& text) {
    Find<QLineEdit>(edit)->setText(text);
    QTest::keyClick(Find<QLineEdit>(edit), Qt::Key_Return);
  }
  std::string Held() { return form_.Serial().ValueToText(); }

  TEnterSerialForm form_;
};

TEST_F(EnterSerialFormTest, ShowsTheSerialInTheFieldsOfItsFormat) {
  EXPECT_EQ(form_.windowTitle(), "Serial Number");
  EXPECT_EQ(Find<QLabel>("HeadingLabel")->text(), "Enter Serial Number");
  Show("123456-07");
  EXPECT_TRUE(Find<QRadioButton>("FormatOldRadioButton")->isChecked());
  EXPECT_EQ(Text("Serial1MaskEdit"), "123456");
  EXPECT_EQ(Text("Serial2MaskEdit"), "07");
  EXPECT_TRUE(Shown("SlashLabel"));
  EXPECT_FALSE(Shown("NewSerialMaskEdit"));
  form_.hide();

  Show("123456789");
  EXPECT_TRUE(form_.NewFormat());
  EXPECT_TRUE(Find<QRadioButton>("FormatNewRadioButton")->isChecked());
  EXPECT_EQ(Text("NewSerialMaskEdit"), "123456789");
  for (const char* name : {"Serial1MaskEdit", "SlashLabel", "Serial2MaskEdit"}) EXPECT_FALSE(Shown(name)) << name;
  for (const QLabel* label : form_.findChildren<QLabel*>())
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()) + label->indent(), label->contentsRect().width())
        << label->objectName().toStdString();
  for (const QAbstractButton* button : form_.findChildren<QAbstractButton*>())
    EXPECT_LE(button->sizeHint().width(), button->width()) << button->objectName().toStdString();
}

TEST_F(EnterSerialFormTest, SwitchingTheFormatClearsTheNumber) {
  Show("123456-07");
  Find<QRadioButton>("FormatNewRadioButton")->click();
  EXPECT_EQ(Text("NewSerialMaskEdit"), "000000000");
  EXPECT_EQ(Held(), "000000000");
  Type("NewSerialMaskEdit", "987654321");
  EXPECT_EQ(Held(), "987654321");
  // The format already chosen keeps the number.
  Find<QRadioButton>("FormatNewRadioButton")->click();
  EXPECT_EQ(Held(), "987654321");
  Find<QRadioButton>("FormatOldRadioButton")->click();
  EXPECT_EQ(Text("Serial1MaskEdit"), "000000");
  EXPECT_EQ(Text("Serial2MaskEdit"), "00");
  EXPECT_EQ(Held(), "000000-00");
}

TEST_F(EnterSerialFormTest, AnEntryIsTakenWhenItsFieldIsLeftWholeAndKeptAsTheSerialReadsIt) {
  Show("123456-07");
  Type("Serial1MaskEdit", "654321");
  EXPECT_EQ(Held(), "654321-07");
  Type("Serial2MaskEdit", "3");
  EXPECT_EQ(Held(), "654321-07") << "a place left blank changes nothing";
  EXPECT_EQ(Text("Serial2MaskEdit"), "07");
  Type("Serial2MaskEdit", "13");
  EXPECT_EQ(Held(), "654321-13");

  // Nine digits below 1000000 are an old-format serial; the format stays as chosen.
  Find<QRadioButton>("FormatNewRadioButton")->click();
  Type("NewSerialMaskEdit", "000012345");
  EXPECT_EQ(Held(), "012345-00");
  EXPECT_TRUE(Find<QRadioButton>("FormatNewRadioButton")->isChecked());
  EXPECT_EQ(Text("NewSerialMaskEdit"), "000012345");
}

TEST_F(EnterSerialFormTest, OkTakesTheFieldStillBeingEditedAndCancelIsNoOk) {
  for (const bool ok : {true, false}) {
    QTimer::singleShot(0, [&] {
      Find<QLineEdit>("Serial1MaskEdit")->setFocus();
      Find<QLineEdit>("Serial1MaskEdit")->setText("222222");
      Find<QPushButton>(ok ? "OkBtn" : "CancelBtn")->click();
    });
    Hold("111111-01");
    EXPECT_EQ(form_.exec(), ok ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(Held(), ok ? "222222-01" : "111111-01");
  }
}

}  // namespace
}  // namespace frosk::test
