// The settings dialog and the port dialog, driven through their controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>

#include "settings/com_ports_select_form.h"
#include "settings/settings_form.h"
#include "support/next_modal.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::OnNextModal;

using Names = std::vector<std::string>;

QCheckBox* ComBox(const QWidget& form, int number) {
  auto* box = form.findChild<QCheckBox*>(QStringLiteral("Com%1CheckBox").arg(number, 2, 10, QLatin1Char('0')));
  EXPECT_NE(box, nullptr) << number;
  return box;
}

// The labels of the ticked boxes, the COM boxes first.
QStringList Ticked(const QWidget& form) {
  QStringList ticked;
  for (int number = 1; number <= 32; ++number)
    if (ComBox(form, number)->isChecked()) ticked << ComBox(form, number)->text();
  for (const QCheckBox* box : form.findChildren<QCheckBox*>("PortCheckBox"))
    if (box->isChecked()) ticked << box->toolTip();
  return ticked;
}

// The ports of the extra boxes, in the order shown.
QStringList ExtraBoxes(const QWidget& form) {
  QStringList names;
  for (const QCheckBox* box : form.findChildren<QCheckBox*>("PortCheckBox")) names << box->toolTip();
  return names;
}

class ComPortsSelectFormTest : public ::testing::Test {
 protected:
  void Open(Names selected) {
    form_.hide();
    form_.SelectedPorts() = std::move(selected);
    form_.show();
  }
  void Click(const char* button) { form_.findChild<QPushButton*>(button)->click(); }

  Names systemPorts_;
  TComPortsSelectForm form_{[this](Names* list) {
    list->insert(list->end(), systemPorts_.begin(), systemPorts_.end());
    return 0;
  }};
};

TEST_F(ComPortsSelectFormTest, ThirtyTwoBoxesStandInFourColumnsOfEight) {
  EXPECT_EQ(form_.windowTitle(), "Select Com Ports");
  EXPECT_EQ(form_.size(), QSize(468, 358));
  EXPECT_EQ(form_.findChild<QLabel*>("HeaderPanel")->text(), "Com Ports");
  EXPECT_EQ(form_.findChild<QPushButton*>("CheckAvailableBtn")->text(), "Check Available Ports");
  const std::pair<int, QRect> places[] = {{1, {20, 16, 97, 17}},   {8, {20, 184, 97, 17}},  {9, {128, 16, 97, 17}},
                                          {10, {128, 40, 97, 17}}, {25, {344, 16, 97, 17}}, {32, {344, 184, 97, 17}}};
  for (const auto& [number, place] : places) {
    EXPECT_EQ(ComBox(form_, number)->text(), QStringLiteral("COM%1").arg(number));
    EXPECT_EQ(ComBox(form_, number)->geometry(), place) << number;
    // No label is cut off.
    EXPECT_LE(ComBox(form_, number)->sizeHint().width(), 97) << number;
  }
}

// COM names match their box whatever their case; every other name of a port
// gets a box of its own, the selected ones first.
TEST_F(ComPortsSelectFormTest, TheSelectedPortsAreTickedOnShow) {
  systemPorts_ = {"COM1", "ttyUSB0", "ttyUSB1"};
  Open({"COM3", "com12", "ttyUSB1", "/dev/pts/4", "COM40"});
  EXPECT_EQ(Ticked(form_), QStringList({"COM3", "COM12", "ttyUSB1", "/dev/pts/4", "COM40"}));
  EXPECT_EQ(ExtraBoxes(form_), QStringList({"ttyUSB1", "/dev/pts/4", "COM40", "ttyUSB0"}));

  Open({});
  EXPECT_TRUE(Ticked(form_).isEmpty());
  EXPECT_EQ(ExtraBoxes(form_), QStringList({"ttyUSB0", "ttyUSB1"})) << "the boxes of the last opening are gone";
}

TEST_F(ComPortsSelectFormTest, OkListsTheTickedPortsInBoxOrder) {
  systemPorts_ = {"ttyUSB0"};
  Open({"/dev/pts/4"});
  ComBox(form_, 10)->click();
  ComBox(form_, 2)->click();
  form_.findChildren<QCheckBox*>("PortCheckBox").at(1)->click();  // ttyUSB0
  Click("OkBtn");
  EXPECT_EQ(form_.result(), QDialog::Accepted);
  EXPECT_EQ(form_.SelectedPorts(), (Names{"COM2", "COM10", "/dev/pts/4", "ttyUSB0"}));

  Open({"COM5"});
  ComBox(form_, 6)->click();
  Click("CancelBtn");
  EXPECT_EQ(form_.result(), QDialog::Rejected);
  EXPECT_EQ(form_.SelectedPorts(), Names{"COM5"}) << "Cancel leaves the list as it was";
}

TEST_F(ComPortsSelectFormTest, CheckAvailablePortsTicksExactlyTheListedPorts) {
  Open({"COM3", "COM4", "/dev/pts/4"});
  systemPorts_ = {"COM1", "COM4", "ttyACM0"};
  Click("CheckAvailableBtn");
  EXPECT_EQ(Ticked(form_), QStringList({"COM1", "COM4", "ttyACM0"}));
  EXPECT_EQ(ExtraBoxes(form_), QStringList({"/dev/pts/4", "ttyACM0"}));
  Click("OkBtn");
  EXPECT_EQ(form_.SelectedPorts(), (Names{"COM1", "COM4", "ttyACM0"}));
}

// Names by the dozen, and one too long for a row, still fit: the panel
// scrolls, a long name is shortened on its box and kept whole in the result.
TEST_F(ComPortsSelectFormTest, ManyAndLongNamesStayWholeInTheResult) {
  Names selected;
  for (int i = 0; i < 60; ++i) selected.push_back("/dev/nowhere/port" + std::to_string(i));
  const std::string longName = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0-and-then-some-more";
  selected.push_back(longName);
  Open(selected);
  EXPECT_EQ(form_.size(), QSize(468, 358));
  const QList<QCheckBox*> extras = form_.findChildren<QCheckBox*>("PortCheckBox");
  ASSERT_EQ(extras.size(), 61);
  const QCheckBox* last = extras.back();
  EXPECT_NE(last->text().toStdString(), longName);
  EXPECT_LE(last->geometry().right(), last->parentWidget()->width());
  EXPECT_GT(last->parentWidget()->height(), form_.findChild<QScrollArea*>()->viewport()->height());
  Click("OkBtn");
  EXPECT_EQ(form_.SelectedPorts(), selected);
}

// The settings dialog reads and writes the user's store: here a temporary one.
class RedirectedStore {
 public:
  RedirectedStore() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home_.Path()));
  }

 private:
  test::TempDir home_;
};

class SettingsFormTest : public ::testing::Test {
 protected:
  void Open(const Settings& settings) {
    form_.hide();
    form_.DialogSettings() = settings;
    form_.show();
  }
  template <class Widget>
  Widget* Child(const char* name) {
    auto* widget = form_.findChild<Widget*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  RedirectedStore store_;
  Names systemPorts_;
  TComPortsSelectForm ports_{[this](Names* list) {
    list->insert(list->end(), systemPorts_.begin(), systemPorts_.end());
    return 0;
  }};
  Settings program_;
  TSettingsForm form_{program_, ports_};
};

TEST_F(SettingsFormTest, ShowsAndEditsItsOwnCopy) {
  EXPECT_EQ(form_.windowTitle(), "Settings");
  EXPECT_EQ(form_.size(), QSize(418, 221));
  EXPECT_EQ(form_.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint), Qt::WindowCloseButtonHint);
  const std::pair<const char*, const char*> captions[] = {{"UpdatesAutoCheckCheckBox", "Automatic Check for Updates"},
                                                          {"UseSpecificPortsCheckBox", "Use Specific Com Ports:"},
                                                          {"PortsListButton", "..."},
                                                          {"OkBtn", "OK"},
                                                          {"CancelBtn", "Cancel"},
                                                          {"DefaultBtn", "Default"}};
  for (const auto& [name, caption] : captions) EXPECT_EQ(Child<QAbstractButton>(name)->text(), caption);
  EXPECT_EQ(Child<QLabel>("Label1")->text(), "(disable ports scanning)");
  EXPECT_EQ(Child<QLabel>("HeaderPanel")->text(), "Settings");
  EXPECT_TRUE(Child<QLineEdit>("PortsListEdit")->isReadOnly());

  Open({false, true, "COM3,ttyUSB0", true});
  EXPECT_FALSE(Child<QCheckBox>("UpdatesAutoCheckCheckBox")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>("UseSpecificPortsCheckBox")->isChecked());
  EXPECT_EQ(Child<QLineEdit>("PortsListEdit")->text(), "COM3,ttyUSB0");

  Child<QCheckBox>("UpdatesAutoCheckCheckBox")->click();
  Child<QCheckBox>("UseSpecificPortsCheckBox")->click();
  EXPECT_EQ(form_.DialogSettings(), (Settings{true, false, "COM3,ttyUSB0", true}));
  EXPECT_EQ(program_, Settings{}) << "only the copy changes";

  Child<QPushButton>("DefaultBtn")->click();
  EXPECT_EQ(form_.DialogSettings(), Settings{}) << "service mode goes off in the copy too";
  EXPECT_TRUE(Child<QCheckBox>("UpdatesAutoCheckCheckBox")->isChecked());
  EXPECT_EQ(Child<QLineEdit>("PortsListEdit")->text(), "");
}

// The port dialog starts from the copy's list and, on OK only, replaces it.
TEST_F(SettingsFormTest, ThePortListButtonRunsThePortDialogOnTheCopysList) {
  Open({true, true, "COM3,ttyUSB0", false});
  QStringList tickedAtShow;
  OnNextModal([&](QWidget* modal) {
    tickedAtShow = Ticked(*modal);
    ComBox(*modal, 1)->click();
    modal->findChild<QPushButton*>("OkBtn")->click();
  });
  Child<QPushButton>("PortsListButton")->click();
  EXPECT_EQ(tickedAtShow, QStringList({"COM3", "ttyUSB0"}));
  EXPECT_EQ(form_.DialogSettings().PortsList, "COM1,COM3,ttyUSB0");
  EXPECT_EQ(Child<QLineEdit>("PortsListEdit")->text(), "COM1,COM3,ttyUSB0");

  OnNextModal([&](QWidget* modal) {
    ComBox(*modal, 2)->click();
    modal->findChild<QPushButton*>("CancelBtn")->click();
  });
  Child<QPushButton>("PortsListButton")->click();
  EXPECT_EQ(form_.DialogSettings().PortsList, "COM1,COM3,ttyUSB0");
}

}  // namespace
}  // namespace frosk
