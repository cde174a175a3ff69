// The firmware target dialog and the programming dialog with its log window,
// driven through their controls; the programming dialog also end to end with
// Debian's avrdude against the simulated bootloader.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextEdit>
#include <filesystem>
#include <functional>

#include "common/form_basics.h"
#include "firmware/firmware_files.h"
#include "firmware/select_firmware_form.h"
#include "firmware/upload_firmware_form.h"
#include "firmware/view_log_form.h"
#include "sim/pseudo_terminal.h"
#include "support/event_pump.h"
#include "support/next_modal.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace frosk {
namespace {

using test::OnNextModal;

template <class Widget = QWidget>
Widget* Child(const QWidget& form, const char* name) {
  auto* widget = form.findChild<Widget*>(QLatin1String(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

QColor TextColour(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

class SelectFirmwareFormTest : public ::testing::Test {
 protected:
  // Opens the dialog as the commands do, on the ports the system lists now.
  void Open(bool serviceList, std::vector<std::string> ports = {"COM1", "ttyUSB0"}) {
    ports_ = std::move(ports);
    form_.hide();
    form_.SetServiceList(serviceList);
    form_.show();
  }

  QComboBox* Targets() { return Child<QComboBox>(form_, "DeviceTypeComboBox"); }
  QComboBox* Ports() { return Child<QComboBox>(form_, "ComPortComboBox"); }
  QPushButton* Ok() { return Child<QPushButton>(form_, "OkBtn"); }
  QRadioButton* DefaultFile() { return Child<QRadioButton>(form_, "FileDefaultRadioButton"); }
  QRadioButton* OtherFile() { return Child<QRadioButton>(form_, "FileOtherRadioButton"); }

  std::vector<std::string> ports_;
  int listResult_ = 0;
  test::ScriptedPrompter prompter_;
  TSelectFirmwareForm form_{[this](std::vector<std::string>* list) {
                              list->insert(list->end(), ports_.begin(), ports_.end());
                              return listResult_;
                            },
                            prompter_};
  test::TempDir dir_;
};

TEST_F(SelectFirmwareFormTest, TheShortListOffersThreeTargetsWithTheFirstChosenAndTheHardwareNote) {
  Open(false);
  EXPECT_EQ(form_.windowTitle(), "Frosk Flasher");
  EXPECT_EQ(Child<QLabel>(form_, "TitlePanel")->text(), "Frosk Flasher");
  EXPECT_EQ(TextColour(Child(form_, "TitlePanel")), QColor(0, 64, 131));
  EXPECT_EQ(Items(Targets()), QStringList({"QUVA V2 Firmware (default hardware version)",
                                           "QUVA V1 Firmware (obsolete hardware version)", "KAZ Module Firmware"}));
  EXPECT_EQ(Targets()->currentIndex(), 0) << "target 1 is chosen on first use";
  auto* info = Child<QLabel>(form_, "UserInfoLabel");
  EXPECT_TRUE(info->isVisible());
  EXPECT_EQ(info->text(),
            "The QUVA hardware version is automatically recognized during programming, therefore FroskManager would "
            "deny the update, when firmware and hardware are unmatched.");
  for (const char* name : {"FileDefaultRadioButton", "FileOtherRadioButton", "FileNamePanel", "FileButton"})
    EXPECT_FALSE(Child(form_, name)->isVisible()) << name;

  EXPECT_EQ(Items(Ports()), QStringList({"COM1", "ttyUSB0"}));
  EXPECT_TRUE(Ports()->isEnabled());
  EXPECT_EQ(Ports()->currentIndex(), -1);
  EXPECT_FALSE(Ok()->isEnabled()) << "target 1 needs a port";
  Ports()->setCurrentIndex(1);
  ASSERT_TRUE(Ok()->isEnabled());
  Ok()->click();
  EXPECT_EQ(form_.result(), QDialog::Accepted);
  EXPECT_FALSE(form_.isVisible());
  const TargetChoice choice = form_.Choice();
  EXPECT_EQ(choice.target, 1);
  EXPECT_EQ(choice.portName, "ttyUSB0");
  EXPECT_TRUE(choice.useDefaultFile);

  // The next opening offers the same choice.
  Targets()->setCurrentIndex(2);
  Open(false);
  EXPECT_EQ(Targets()->currentIndex(), 2);
  EXPECT_EQ(Ports()->currentIndex(), 1);
  EXPECT_TRUE(Ok()->isEnabled());
}

TEST_F(SelectFirmwareFormTest, TheServiceListOffersSixTargetsAndTheirPortAndFileRules) {
  Open(true);
  EXPECT_EQ(Items(Targets()),
            QStringList({"QUVA V2 Firmware via Bootloader", "QUVA Firmware via Bootloader", "KAZ module via QUVA",
                         "1WIRE memory via QUVA", "QUVA V2 Bootloader via AVR ISP", "QUVA Bootloader via AVR ISP"}));
  EXPECT_EQ(Targets()->currentIndex(), -1) << "no target yet";
  EXPECT_FALSE(Ok()->isEnabled());
  EXPECT_FALSE(Child(form_, "UserInfoLabel")->isVisible());
  EXPECT_TRUE(DefaultFile()->isVisible());
  EXPECT_TRUE(DefaultFile()->isChecked());
  EXPECT_FALSE(Child(form_, "FileButton")->isEnabled());

  // The ISP targets need no port; the port chosen before is still what OK returns.
  Targets()->setCurrentIndex(0);
  Ports()->setCurrentIndex(0);
  Targets()->setCurrentIndex(4);
  EXPECT_FALSE(Ports()->isEnabled());
  EXPECT_EQ(Ports()->currentIndex(), -1);
  EXPECT_TRUE(Ok()->isEnabled());
  Ok()->click();
  EXPECT_EQ(form_.Choice().target, 5);
  EXPECT_EQ(form_.Choice().portName, "COM1");

  // The 1WIRE memory has no file: the default is forced and neither button can change it.
  Open(true);
  OtherFile()->click();
  EXPECT_FALSE(form_.Choice().useDefaultFile);
  Targets()->setCurrentIndex(3);
  EXPECT_TRUE(DefaultFile()->isChecked());
  EXPECT_FALSE(DefaultFile()->isEnabled());
  EXPECT_FALSE(OtherFile()->isEnabled());
  EXPECT_TRUE(Ports()->isEnabled());
  EXPECT_EQ(Ports()->currentIndex(), 0);
  Ok()->click();
  EXPECT_TRUE(form_.Choice().useDefaultFile);
  EXPECT_EQ(form_.Choice().target, 4);
}

TEST_F(SelectFirmwareFormTest, AnOtherFileMustExistWhenOkIsPressed) {
  const std::string file = dir_.Write("new firmware.hex", ":00000001FF\n");
  Open(true);
  Targets()->setCurrentIndex(1);
  Ports()->setCurrentIndex(0);
  OtherFile()->click();
  EXPECT_FALSE(Ok()->isEnabled()) << "no file chosen yet";
  EXPECT_TRUE(Child(form_, "FileButton")->isEnabled());

  prompter_.fileNames = {file};
  Child<QPushButton>(form_, "FileButton")->click();
  ASSERT_EQ(prompter_.fileDialogs.size(), 1u);
  EXPECT_EQ(prompter_.fileDialogs[0].filter, ".hex files only|*.hex");
  EXPECT_EQ(Child<QLineEdit>(form_, "FileNamePanel")->text().toStdString(), file);
  EXPECT_TRUE(Ok()->isEnabled());
  Ok()->click();
  EXPECT_EQ(form_.Choice().file, file);
  EXPECT_FALSE(form_.Choice().useDefaultFile);

  // Gone by the next opening: OK stays off until the default or another file is chosen.
  std::filesystem::remove(file);
  Open(true);
  EXPECT_EQ(Child<QLineEdit>(form_, "FileNamePanel")->text().toStdString(), file);
  EXPECT_FALSE(Ok()->isEnabled());
  DefaultFile()->click();
  EXPECT_TRUE(Ok()->isEnabled());
  EXPECT_EQ(Child<QLineEdit>(form_, "FileNamePanel")->text(), "");

  // Gone while the dialog is open: OK does not close it.
  dir_.Write("new firmware.hex", ":00000001FF\n");
  OtherFile()->click();
  ASSERT_TRUE(Ok()->isEnabled());
  std::filesystem::remove(file);
  Ok()->click();
  EXPECT_TRUE(form_.isVisible());
  EXPECT_FALSE(Ok()->isEnabled());
}

// A choice of port stands while the number of ports does; the texts always
// follow the list, names that match no device included.
TEST_F(SelectFirmwareFormTest, AChangedNumberOfPortsClearsThePortChoice) {
  Open(false, {"COM1", "COM3"});
  Ports()->setCurrentIndex(1);
  Open(false, {"COM4", "nowhere"});
  EXPECT_EQ(Items(Ports()), QStringList({"COM4", "nowhere"}));
  EXPECT_EQ(Ports()->currentIndex(), 1) << "the same count keeps the index";
  Open(false, {"COM4", "nowhere", "/dev/pts/99"});
  EXPECT_EQ(Items(Ports()), QStringList({"COM4", "nowhere", "/dev/pts/99"}));
  EXPECT_EQ(Ports()->currentIndex(), -1);
  EXPECT_FALSE(Ok()->isEnabled());
  Ports()->setCurrentIndex(2);
  Open(false, {"COM1"});
  EXPECT_EQ(Items(Ports()), QStringList({"COM1"}));
  EXPECT_EQ(Ports()->currentIndex(), -1);

  listResult_ = 1;
  Open(false, {"COM1"});
  EXPECT_EQ(Ports()->count(), 0) << "a list that could not be read offers nothing";
  EXPECT_FALSE(Ok()->isEnabled());
}

// A bootloader chosen from the service list is not in the short list; the
// short list must not program it unseen.
TEST_F(SelectFirmwareFormTest, ATargetOnlyTheServiceListHasIsNotCarriedIntoTheShortList) {
  Open(true);
  Targets()->setCurrentIndex(5);
  Ok()->click();
  ASSERT_EQ(form_.Choice().target, 6);
  Open(false);
  EXPECT_EQ(Targets()->currentIndex(), 0);
  Ports()->setCurrentIndex(0);
  Ok()->click();
  EXPECT_EQ(form_.Choice().target, 1);
}

// The programming dialog over a runner whose tool is a stand-in in utils/,
// or Debian's avrdude when the folder has none.
class UploadFirmwareFormTest : public ::testing::Test {
 protected:
  void Tool(const std::string& body) {
    const std::string path = dir_.Write("utils/avrdude", "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }

  void Open(int target, const std::string& file = "/fw/FroskTec.hex") {
    form_.hide();
    form_.SetJob(target, port_->ClientPath(), file);
    form_.show();
  }

  // Ticks as the main window would while the dialog is up, until the run ends.
  bool TickUntilSettled(int timeoutMs = 60000) {
    return test::WaitFor(
        [&] {
          form_.Tick();
          return runner_.State() != ProgrammingState::kInProgress;
        },
        timeoutMs);
  }

  int Page() { return Child<QStackedWidget>(form_, "Pages")->currentIndex(); }
  QPushButton* Button(const char* name) { return Child<QPushButton>(form_, name); }
  std::string Shown(const char* name) {
    const QWidget* widget = Child(form_, name);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text().toStdString();
    return qobject_cast<const QAbstractButton*>(widget)->text().toStdString();
  }
  // The buttons at the bottom that can be seen, in their order.
  std::vector<std::string> BottomButtons() {
    std::vector<std::string> shown;
    for (const char* name : {"StartBtn", "RetryBtn", "CancelBtn"})
      if (Button(name)->isVisible()) shown.push_back(Button(name)->text().toStdString());
    return shown;
  }

  std::unique_ptr<PseudoTerminal> port_ = PseudoTerminal::Open();
  test::TempDir dir_;
  ManualTickClock clock_{1000};
  Settings settings_;
  Folders folders_ = Folders::Beside(dir_.Path());
  ProgrammerRunner runner_{clock_, folders_};
  TUploadFirmwareForm form_{runner_, settings_};
};

TEST_F(UploadFirmwareFormTest, TheReadyPageShowsTheTargetsInstructionsAndWhatWillBeWritten) {
  EXPECT_EQ(form_.windowTitle(), "Firmware Upgrade");
  const Qt::WindowFlags flags = form_.windowFlags();
  EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint))
      << "no title-bar buttons";
  for (const int target : {1, 3, 4, 5}) {
    SCOPED_TRACE(target);
    Open(target, target == 4 ? "" : "/fw/FroskTec.hex");
    EXPECT_EQ(Page(), 0);
    QStringList lines;
    for (const std::string& line : InstructionLines(target)) lines << QString::fromStdString(line);
    lines << "" << QString::fromStdString("Target: " + TargetName(target));
    if (target != 4) lines << "File: /fw/FroskTec.hex";
    EXPECT_EQ(Child<QTextEdit>(form_, "InfoRichEdit")->toPlainText(), lines.join('\n'));
    EXPECT_EQ(BottomButtons(), (std::vector<std::string>{"Start", "Cancel"}));
  }
  const std::pair<const char*, QColor> colours[] = {{"TitlePanel", {0, 64, 131}},    {"StatusLabel", {220, 55, 12}},
                                                    {"Status2Label", {220, 55, 12}}, {"ErrorLabel", {220, 55, 12}},
                                                    {"Error2Label", {220, 55, 12}},  {"DoneLabel", {65, 155, 49}},
                                                    {"Done2Label", {65, 155, 49}}};
  for (const auto& [name, colour] : colours) EXPECT_EQ(TextColour(Child(form_, name)), colour) << name;
}

// Escape, the window manager's close and the hidden Cancel cannot end a run;
// once it has failed, Close and Escape do.
TEST_F(UploadFirmwareFormTest, ARunInProgressCannotBeClosedFromTheKeyboard) {
  Tool("echo 'avrdude: AVR device initialized'\nexec sleep 600");
  Open(2);
  Button("StartBtn")->click();
  ASSERT_EQ(runner_.State(), ProgrammingState::kInProgress);
  EXPECT_EQ(Page(), 1);
  EXPECT_EQ(Shown("StatusLabel"), "Preparing...");
  EXPECT_EQ(Shown("Status2Label"), "Please wait");
  EXPECT_TRUE(BottomButtons().empty());

  QTest::keyClick(&form_, Qt::Key_Escape);
  EXPECT_TRUE(form_.isVisible());
  EXPECT_FALSE(form_.close());
  EXPECT_TRUE(form_.isVisible());
  form_.reject();
  EXPECT_TRUE(form_.isVisible());

  clock_.Advance(5001);
  form_.Tick();
  EXPECT_EQ(Page(), 3);
  EXPECT_EQ(Shown("ErrorLabel"), "ERROR: Device not ready or not recognized!");
  EXPECT_EQ(Shown("Error2Label"), "Click <Retry> if you want to try again.");
  EXPECT_TRUE(Button("ViewLog2Button")->isVisible()) << "the log of a failure is always offered";
  EXPECT_EQ(BottomButtons(), (std::vector<std::string>{"Retry", "Close"}));
  QTest::keyClick(&form_, Qt::Key_Escape);
  EXPECT_FALSE(form_.isVisible());
}

// The stand-in writes its first 25 marks, then waits for the test to let it verify.
TEST_F(UploadFirmwareFormTest, ProgressAndTheDonePageFollowTheToolsOutput) {
  for (const bool serviceMode : {false, true}) {
    SCOPED_TRACE(serviceMode);
    settings_.ServiceMode = serviceMode;
    const std::string go = dir_.Path() + "go";
    std::filesystem::remove(go);
    Tool(
        "printf 'avrdude: writing 16384 bytes flash ...\\n\\nWriting | #########################'\n"
        "while [ ! -f '" +
        go +
        "' ]; do sleep 0.05; done\n"
        "echo ' | 100%'\necho 'avrdude: 16384 bytes of flash verified'");
    Open(2);
    Button("StartBtn")->click();
    ASSERT_TRUE(test::WaitFor([&] {
      form_.Tick();
      return runner_.Step() == step::kUploading;
    }));
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(Shown("StatusLabel"), "Uploading firmware...");
    EXPECT_EQ(Child<QProgressBar>(form_, "ProgressBar")->value(), 31);

    dir_.Write("go", "");
    ASSERT_TRUE(TickUntilSettled());
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(Shown("DoneLabel"), "Congratulations! Your device has been upgraded.");
    EXPECT_EQ(Shown("Done2Label"), "Click <Close> to return to main window.");
    EXPECT_EQ(Button("ViewLogButton")->isVisible(), serviceMode);
    EXPECT_EQ(BottomButtons(), std::vector<std::string>{"Close"});
    Button("CancelBtn")->click();
    EXPECT_FALSE(form_.isVisible());
  }
}

// The other bootloader variant answered: the retry writes another image than
// the one chosen, and the Ready page says so.
TEST_F(UploadFirmwareFormTest, AnAutomaticSwitchIsMarkedOnTheReadyPage) {
  Tool("cat '" + std::string(FROSK_SOURCE_DIR) + "/tests/firmware/avrdude/signature_x32a4_on_x128a4u.log'");
  Open(2);
  auto* info = Child<QTextEdit>(form_, "InfoRichEdit");
  EXPECT_TRUE(info->toPlainText().endsWith("\n\nTarget: QUVA Firmware via Bootloader\nFile: /fw/FroskTec.hex"))
      << info->toPlainText().toStdString();
  EXPECT_FALSE(info->toHtml().contains(kRedOrange.name()));
  Button("StartBtn")->click();
  ASSERT_TRUE(TickUntilSettled());
  EXPECT_EQ(Shown("ErrorLabel"), "ERROR: Need to repeat programming");
  EXPECT_FALSE(Child(form_, "ErrorDetailLabel")->isVisible()) << "the log says it all";

  Button("RetryBtn")->click();
  EXPECT_EQ(Page(), 0);
  EXPECT_TRUE(info->toPlainText().endsWith("\n\nTarget (changed): QUVA V2 Firmware via Bootloader\nFile (changed): " +
                                           QString::fromStdString(folders_.firmware) + "FroskTecV2.hex"))
      << info->toPlainText().toStdString();
  EXPECT_TRUE(info->toHtml().contains(kRedOrange.name())) << "marked in the error colour";
  EXPECT_TRUE(info->toPlainText().startsWith("Instructions:\n1. Turn off your QUVA device."));

  // A job chosen anew is the user's own again.
  Open(2);
  EXPECT_TRUE(info->toPlainText().endsWith("\nTarget: QUVA Firmware via Bootloader\nFile: /fw/FroskTec.hex"));
}

TEST_F(UploadFirmwareFormTest, TheErrorPageNamesAMissingTool) {
  Open(3);
  Button("StartBtn")->click();
  EXPECT_EQ(Page(), 3);
  EXPECT_EQ(Shown("ErrorLabel"), "ERROR: Internal error!");
  EXPECT_TRUE(Child(form_, "ErrorDetailLabel")->isVisible());
  EXPECT_EQ(Shown("ErrorDetailLabel"), "wsd not found; looked in " + dir_.Path() + "utils/");
  EXPECT_EQ(TextColour(Child(form_, "ErrorDetailLabel")), QColor(220, 55, 12));
}

// Debian's avrdude against frosk-sim playing a QUVA (V1) bootloader. The V2
// firmware is tried first: the other variant answers, the retry switches to
// the QUVA firmware, and the log window shows what the tool said.
TEST(UploadFirmwareFormEndToEnd, TheOtherVariantIsRetriedThroughTheDialogAndDone) {
  const auto device = test::SimProcess::Start({"--bootloader", "x32a4"});
  ASSERT_TRUE(device);
  SteadyTickClock clock;
  Settings settings;
  settings.ServiceMode = true;
  const Folders folders = Folders::Beside(FROSK_BIN_DIR);
  ASSERT_FALSE(std::filesystem::exists(folders.utils + "avrdude")) << "the test is about Debian's avrdude";
  ProgrammerRunner runner(clock, folders);
  TUploadFirmwareForm form(runner, settings);
  TViewLogForm viewLog;
  form.SetViewLogForm(&viewLog);
  const auto tickUntilSettled = [&] {
    return test::WaitFor(
        [&] {
          form.Tick();
          return runner.State() != ProgrammingState::kInProgress;
        },
        60000);
  };

  form.SetJob(1, device->Path(), TargetDefaultFile(folders, 1));
  form.show();
  Child<QPushButton>(form, "StartBtn")->click();
  ASSERT_TRUE(tickUntilSettled());
  EXPECT_EQ(Child<QStackedWidget>(form, "Pages")->currentIndex(), 3);
  EXPECT_EQ(Child<QLabel>(form, "ErrorLabel")->text(), "ERROR: Need to repeat programming");
  EXPECT_TRUE(Child<QPushButton>(form, "RetryBtn")->isVisible());
  EXPECT_TRUE(Child<QPushButton>(form, "ViewLog2Button")->isVisible());

  Child<QPushButton>(form, "RetryBtn")->click();
  EXPECT_EQ(Child<QStackedWidget>(form, "Pages")->currentIndex(), 0);
  EXPECT_EQ(runner.Target(), 2);
  EXPECT_EQ(runner.File(), folders.firmware + "FroskTec.hex");
  Child<QPushButton>(form, "StartBtn")->click();
  ASSERT_TRUE(tickUntilSettled());
  EXPECT_EQ(Child<QStackedWidget>(form, "Pages")->currentIndex(), 2) << runner.Log();

  QString logShown;
  OnNextModal([&](QWidget* modal) {
    logShown = modal->findChild<QPlainTextEdit*>("Memo")->toPlainText();
    EXPECT_EQ(modal->windowTitle(), "View Log");
    modal->findChild<QPushButton*>("CloseBtn")->click();
  });
  Child<QPushButton>(form, "ViewLogButton")->click();
  EXPECT_TRUE(logShown.contains("16384 bytes of flash verified")) << logShown.toStdString();
  EXPECT_FALSE(logShown.contains('\r'));
  Child<QPushButton>(form, "CancelBtn")->click();
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace frosk
