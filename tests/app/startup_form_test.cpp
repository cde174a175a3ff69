// The splash: its shape, its labels and when it may be closed.
#include "app/startup_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "app/app_pictures.h"

namespace frosk {
namespace {

QColor TextColour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

TEST(StartupFormTest, ShowsItsShapedPictureAndLabelsFromCreation) {
  TStartupForm splash;
  EXPECT_TRUE(splash.isVisible());
  EXPECT_EQ(splash.size(), QSize(545, 167));
  EXPECT_FALSE(splash.AboutMode());

  // Pure green is see-through, so the corners are outside the window's shape.
  const QImage picture = DrawSplashPicture();
  EXPECT_EQ(picture.pixelColor(0, 0), QColor(0, 255, 0));
  EXPECT_FALSE(splash.mask().contains(QPoint(0, 0)));
  EXPECT_FALSE(splash.mask().contains(QPoint(544, 0)));
  EXPECT_TRUE(splash.mask().contains(QPoint(300, 100)));

  struct Label {
    const char* name;
    int pixels;
    bool bold;
    QColor colour;
    QString text;
  };
  const Label labels[] = {{"StatusLabel", 15, true, QColor(220, 55, 12), ""},
                          {"VersionLabel", 11, false, QColor(0, 65, 131), "Version: 1.1.8 (build 63)"},
                          {"InfoLabel", 11, false, QColor(220, 55, 12), ""}};
  for (const Label& l : labels) {
    SCOPED_TRACE(l.name);
    auto* label = splash.findChild<QLabel*>(l.name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->font().pixelSize(), l.pixels);
    EXPECT_EQ(label->font().bold(), l.bold);
    EXPECT_EQ(TextColour(label), l.colour);
    EXPECT_EQ(label->text(), l.text);
    // No caption is clipped at the size it is drawn in.
    label->setText(l.text.isEmpty() ? QStringLiteral("Searching for devices ... ") : l.text);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
  }

  splash.ShowReady(true);
  EXPECT_EQ(splash.findChild<QLabel*>("InfoLabel")->text(), "Click to close");
  EXPECT_EQ(TextColour(splash.findChild<QLabel*>("InfoLabel")), QColor(65, 155, 49));
  EXPECT_EQ(TextColour(splash.findChild<QLabel*>("StatusLabel")), QColor(65, 155, 49));
  splash.ShowReady(false);
  EXPECT_EQ(splash.findChild<QLabel*>("InfoLabel")->text(), "Please wait");
  EXPECT_EQ(TextColour(splash.findChild<QLabel*>("StatusLabel")), QColor(220, 55, 12));
}

TEST(StartupFormTest, CannotBeClosedByTheUserDuringStartUp) {
  TStartupForm splash;
  EXPECT_FALSE(splash.close());
  QTest::keyClick(&splash, Qt::Key_Escape);
  QTest::mouseClick(splash.findChild<QLabel*>("BackgroundImage"), Qt::LeftButton);
  QTest::mouseClick(splash.findChild<QLabel*>("StatusLabel"), Qt::LeftButton);
  EXPECT_TRUE(splash.isVisible());
}

TEST(StartupFormTest, AboutBoxClosesOnAClickOnThePictureOrAnyLabel) {
  TStartupForm splash;
  splash.hide();
  for (const char* name : {"BackgroundImage", "StatusLabel", "VersionLabel", "InfoLabel"}) {
    SCOPED_TRACE(name);
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
      wasModal = QApplication::activeModalWidget() == &splash;
      QTest::mouseClick(splash.findChild<QLabel*>(name), Qt::LeftButton);
    });
    // A click that failed to close would leave the loop running: close it late so the test ends.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { splash.done(0); });
    guard.start(3000);
    QElapsedTimer took;
    took.start();
    splash.ShowAbout();
    EXPECT_TRUE(wasModal);
    EXPECT_LT(took.elapsed(), 2000);
    EXPECT_FALSE(splash.isVisible());
  }
  // About mode stays: the splash shown again at exit also closes on a click.
  splash.show();
  QTest::mouseClick(splash.findChild<QLabel*>("InfoLabel"), Qt::LeftButton);
  EXPECT_FALSE(splash.isVisible());
}

}  // namespace
}  // namespace frosk
