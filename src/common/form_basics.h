#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QString>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace frosk {

// The windows were drawn for Tahoma at fixed pixel sizes. Here they take the
// platform's default sans-serif at the same pixel size, so a layout keeps its
// proportions whatever the user's point-size settings are.
QFont UiFont(int pixelSize, bool bold = false);

// The colours the windows share.
inline const QColor kDarkBlue{0, 65, 131};
inline const QColor kRedOrange{220, 55, 12};
inline const QColor kGreen{65, 155, 49};
inline const QColor kTitleBlue{0, 64, 131};

// Sets the colour a label or button draws its text in.
void SetTextColour(QWidget* widget, const QColor& colour);

// The white band across the top of a dialog that names it.
QLabel* NewHeaderPanel(const QString& text, QWidget* parent);

// Puts a window in the middle of its screen's free area.
void CentreOnScreen(QWidget* window);

// Where a window of `size` opens among others of its kind in `area` (a
// screen's free area): a step right and down from where the last one opened,
// or in the middle when there is none, and never on the top-left corner of
// one of `taken`, so each window's title stays in sight. A cascade that would
// leave the area starts again near its top-left corner.
inline constexpr int kCascadeStep = 28;
QPoint CascadedPosition(const QRect& area, const QSize& size, const std::optional<QPoint>& last,
                        const std::vector<QPoint>& taken);

// --- Controls -----------------------------------------------------------------
// Every control carries its documented name, which is how tests find it. A
// control of a window laid out by hand takes its geometry here; one placed by
// a layout passes none.

template <class Widget>
Widget* Named(Widget* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}
QLabel* Label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry = {});
QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry = {});
QCheckBox* CheckBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry = {});
QRadioButton* RadioButton(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry = {});
// An edit with a Qt input mask ("999999;_").
QLineEdit* MaskEdit(QWidget* parent, const QString& name, const QString& mask, const QRect& geometry = {});

// Texts of the engines are UTF-8.
QString Text(const std::string& text);

// Setters that touch a widget only when what it shows differs, so a refresh
// repaints only what changed.
void SetText(QLabel* label, const QString& text);
void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);
void SetEnabled(QWidget* widget, bool enabled);
void SetVisible(QWidget* widget, bool visible);
void SetChecked(QAbstractButton* button, bool checked);

}  // namespace frosk
