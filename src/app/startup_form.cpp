#include "app/startup_form.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>

#include "app/app_pictures.h"
#include "common/form_basics.h"
#include "common/program_version.h"

namespace frosk {

namespace {

QLabel* NewLabel(QWidget* parent, const char* name, const QRect& place, const QFont& font, const QColor& colour,
                 Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* label = Label(parent, QLatin1String(name), {}, place);
  label->setFont(font);
  label->setAlignment(alignment);
  SetTextColour(label, colour);
  return label;
}

}  // namespace

TStartupForm::TStartupForm(QWidget* parent) : QDialog(parent) {
  BuildLayout();
  WireActions();
  CentreOnScreen(this);
  show();
}

void TStartupForm::BuildLayout() {
  setObjectName(QStringLiteral("StartupForm"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setFixedSize(kSplashWidth, kSplashHeight);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  setAutoFillBackground(true);

  const QImage picture = DrawSplashPicture();
  backgroundImage_ = new QLabel(this);
  backgroundImage_->setObjectName(QStringLiteral("BackgroundImage"));
  backgroundImage_->setGeometry(rect());
  const QPixmap pixmap = QPixmap::fromImage(picture);
  backgroundImage_->setPixmap(pixmap);
  setMask(pixmap.createMaskFromColor(kSplashTransparent, Qt::MaskInColor));

  statusLabel_ = NewLabel(this, "StatusLabel", {180, 100, 350, 24}, UiFont(15, true), kRedOrange);
  versionLabel_ = NewLabel(this, "VersionLabel", {182, 134, 200, 18}, UiFont(11), kDarkBlue);
  versionLabel_->setText(QStringLiteral("Version: ") +
                         QString::fromUtf8(ProgramVersionText.data(), qsizetype(ProgramVersionText.size())));
  infoLabel_ =
      NewLabel(this, "InfoLabel", {330, 134, 196, 18}, UiFont(11), kRedOrange, Qt::AlignRight | Qt::AlignVCenter);
}

void TStartupForm::WireActions() {
  for (QWidget* clickable : {static_cast<QWidget*>(backgroundImage_), static_cast<QWidget*>(statusLabel_),
                             static_cast<QWidget*>(versionLabel_), static_cast<QWidget*>(infoLabel_)})
    clickable->installEventFilter(this);
}

void TStartupForm::ShowStatus(const QString& text) { statusLabel_->setText(text); }

void TStartupForm::ShowReady(bool ready) {
  infoLabel_->setText(ready ? QStringLiteral("Click to close") : QStringLiteral("Please wait"));
  const QColor colour = ready ? kGreen : kRedOrange;
  SetTextColour(statusLabel_, colour);
  SetTextColour(infoLabel_, colour);
}

void TStartupForm::ShowAbout() {
  aboutMode_ = true;
  exec();
}

void TStartupForm::BackgroundClick() {
  if (aboutMode_) close();
}

void TStartupForm::closeEvent(QCloseEvent* event) {
  if (!aboutMode_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TStartupForm::reject() {
  if (aboutMode_) QDialog::reject();
}

bool TStartupForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    BackgroundClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace frosk
