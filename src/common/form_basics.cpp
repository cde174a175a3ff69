#include "common/form_basics.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace frosk {

namespace {

template <class Widget>
Widget* Placed(Widget* widget, const QString& name, const QRect& geometry) {
  widget->setObjectName(name);
  if (!geometry.isNull()) widget->setGeometry(geometry);
  return widget;
}

}  // namespace

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

QPoint CascadedPosition(const QRect& area, const QSize& size, const std::optional<QPoint>& last,
                        const std::vector<QPoint>& taken) {
  const QPoint step(kCascadeStep, kCascadeStep);
  QPoint at = last ? *last + step
                   : area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
  // A window larger than the area cannot stay inside it wherever it goes.
  const bool fits = size.width() <= area.width() && size.height() <= area.height();
  const int restarts = std::max(1, (area.width() - size.width()) / kCascadeStep + 1);
  int restart = 0;
  // Each restart begins one step further right, so no two cascades share a
  // corner; the bound only stops a screen full of windows from looping.
  for (int tries = 0; tries < 4096; ++tries) {
    if (fits && !area.contains(QRect(at, size))) at = area.topLeft() + QPoint(restart++ % restarts * kCascadeStep, 0);
    if (std::find(taken.begin(), taken.end(), at) == taken.end()) return at;
    at += step;
  }
  return at;
}

// --- Controls -----------------------------------------------------------------

QLabel* Label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry) {
  auto* label = Placed(new QLabel(text, parent), name, geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
  return Placed(new QPushButton(caption, parent), name, geometry);
}

QCheckBox* CheckBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
  return Placed(new QCheckBox(caption, parent), name, geometry);
}

QRadioButton* RadioButton(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
  return Placed(new QRadioButton(caption, parent), name, geometry);
}

QLineEdit* MaskEdit(QWidget* parent, const QString& name, const QString& mask, const QRect& geometry) {
  auto* edit = Placed(new QLineEdit(parent), name, geometry);
  edit->setInputMask(mask);
  return edit;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

void SetText(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  if (widget->palette().color(role) == colour) return;
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

void SetEnabled(QWidget* widget, bool enabled) {
  if (widget->isEnabled() != enabled) widget->setEnabled(enabled);
}

void SetVisible(QWidget* widget, bool visible) {
  if (widget->isVisibleTo(widget->parentWidget()) != visible) widget->setVisible(visible);
}

void SetChecked(QAbstractButton* button, bool checked) {
  if (button->isChecked() != checked) button->setChecked(checked);
}

}  // namespace frosk
