#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPixmap>

namespace frosk {

// The splash's shape: its picture's pure green pixels are see-through.
inline const QColor kSplashTransparent{0, 255, 0};
inline constexpr int kSplashWidth = 545;
inline constexpr int kSplashHeight = 167;

// The splash's background, kSplashWidth by kSplashHeight, with pure green
// wherever the window is to be see-through.
QImage DrawSplashPicture();

// The device list's four 48-pixel images (IconFor picks one): 0 unrecognised device, 1 module,
// 2 controller not connected, 3 controller connected.
inline constexpr int kDeviceImageSize = 48;
QList<QPixmap> DrawDeviceImages();
// A device image with the mark of a device that has stopped answering: a
// red disc with an exclamation mark in its lower right corner.
QPixmap MarkNotAnswering(const QPixmap& image);

// The context menu's one 24-pixel image.
inline constexpr int kMenuImageSize = 24;
QList<QPixmap> DrawMenuImages();

}  // namespace frosk
