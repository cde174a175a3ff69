#include "common/widget_seams.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "support/temp_dir.h"

namespace frosk {
namespace {

// Acts on the next modal dialog once its event loop runs.
void OnNextModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    act(modal);
  });
}

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Shows a box, presses `press` (or Escape when NoButton) and returns what was shown and the result.
std::pair<SeenBox, int> Ask(const std::string& text, unsigned flags, QMessageBox::StandardButton press) {
  SeenBox seen;
  OnNextModal([&seen, press](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    seen.defaultButton = box->standardButton(box->defaultButton());
    if (press == QMessageBox::NoButton)
      box->reject();
    else
      box->button(press)->click();
  });
  MessageBoxPrompter prompter;
  const int result = prompter.ShowMessageBox(text, flags);
  return {seen, result};
}

TEST(MessageBoxPrompterTest, MapsFlagsToIconsButtonsAndResults) {
  struct Case {
    unsigned flags;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press;
    int result;
  };
  const Case cases[] = {
      {0x10, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, kIdOk},
      {0x40, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, kIdOk},
      {0x24, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, kIdYes},
      {0x24, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, kIdNo},
      {0x34, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, kIdNo},
      {0x14, QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, kIdYes},
      {0x31, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, kIdOk},
      {0x31, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, kIdCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags << " press " << c.press);
    const auto [seen, result] = Ask("Are you sure ?", c.flags, c.press);
    EXPECT_EQ(seen.title, "Frosk Manager");
    EXPECT_EQ(seen.text, "Are you sure ?");
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_EQ(seen.buttons, c.buttons);
    EXPECT_EQ(result, c.result);
  }
}

TEST(MessageBoxPrompterTest, DismissingGivesTheNegativeAnswerAndTheFirstButtonIsTheDefault) {
  struct Case {
    unsigned flags;
    QMessageBox::StandardButton defaultButton;
    int result;
  };
  const Case cases[] = {
      {0x40, QMessageBox::Ok, kIdOk}, {0x31, QMessageBox::Ok, kIdCancel}, {0x24, QMessageBox::Yes, kIdNo}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    const auto [seen, result] = Ask("x", c.flags, QMessageBox::NoButton);
    EXPECT_EQ(seen.defaultButton, c.defaultButton);
    EXPECT_EQ(result, c.result);
  }
}

TEST(MessageBoxPrompterTest, ShowsCarriageReturnsAsLineBreaksAndMarkupAsText) {
  const auto [seen, result] =
      Ask("Unknown device!\rMaybe your software is obsolete...\r\n<b>x</b>", 0x14, QMessageBox::No);
  EXPECT_EQ(seen.text, "Unknown device!\nMaybe your software is obsolete...\n<b>x</b>");
  EXPECT_EQ(result, kIdNo);
}

TEST(FileFilterTest, TurnsPipeSeparatedPairsIntoQtFilters) {
  EXPECT_EQ(QtFileFilter("Frosk Configuration Files|*.froskconfig"), "Frosk Configuration Files (*.froskconfig)");
  EXPECT_EQ(QtFileFilter(".hex files only|*.hex|All|*.a;*.b"), ".hex files only (*.hex);;All (*.a *.b)");
  EXPECT_EQ(QtFileFilter(""), "");
}

TEST(MessageBoxPrompterTest, SaveDialogAddsTheDefaultExtensionAndOpenDialogCanBeCancelled) {
  test::TempDir dir;
  const FileDialogRequest request{"Frosk Configuration Files|*.froskconfig", ".froskconfig"};
  MessageBoxPrompter prompter;

  QString shownFilter;
  OnNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    shownFilter = dialog->nameFilters().join(";;");
    dialog->setDirectory(QString::fromStdString(dir.Path()));
    dialog->selectFile(QStringLiteral("unit 7"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  const std::optional<std::string> saved = prompter.AskSaveFileName(request);
  EXPECT_EQ(shownFilter, "Frosk Configuration Files (*.froskconfig)");
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(*saved, dir.Path() + "unit 7.froskconfig");

  OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_FALSE(prompter.AskOpenFileName(request).has_value());
}

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened << url; }
};

TEST(DesktopUrlOpenerTest, OpensOnlyWebAddresses) {
  UrlRecorder recorder;
  for (const char* scheme : {"http", "https", "file", "ftp", "mailto"})
    QDesktopServices::setUrlHandler(scheme, &recorder, "Open");

  DesktopUrlOpener opener;
  for (const char* url :
       {"http://updates.example.test/news.html", "HTTPS://updates.example.test/", "file:///etc/passwd", "ftp://host/x",
        "mailto:a@b.test", "/usr/bin/xterm", "", "http://", "javascript:alert(1)"})
    opener.Open(url);

  for (const char* scheme : {"http", "https", "file", "ftp", "mailto"}) QDesktopServices::unsetUrlHandler(scheme);
  ASSERT_EQ(recorder.opened.size(), 2);
  EXPECT_EQ(recorder.opened[0].toString(), "http://updates.example.test/news.html");
  EXPECT_EQ(recorder.opened[1].scheme(), "https");
}

}  // namespace
}  // namespace frosk

#include "widget_seams_test.moc"
