#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QString;
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

}  // namespace frosk
