#include "common/form_basics.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace frosk {

QFont UiFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::ButtonText, colour);
  palette.setColor(QPalette::Text, colour);
  widget->setPalette(palette);
}

QLabel* NewHeaderPanel(const QString& text, QWidget* parent) {
  auto* panel = new QLabel(text, parent);
  panel->setFont(UiFont(16, true));
  panel->setIndent(12);
  panel->setMinimumHeight(40);
  panel->setAutoFillBackground(true);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, kTitleBlue);
  panel->setPalette(palette);
  return panel;
}

void CentreOnScreen(QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

}  // namespace frosk
