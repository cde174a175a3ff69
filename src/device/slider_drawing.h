#pragma once

#include <QColor>
#include <QRect>
#include <cstdint>

class QPainter;

namespace frosk {

// The limits and value a slider shows, all raw device units.
struct SliderValues {
  int32_t absoluteMin = 0;
  int32_t absoluteMax = 0;
  int32_t userMin = 0;
  int32_t userMax = 0;
  int32_t value = 0;

  bool operator==(const SliderValues&) const = default;
};

// Draws one setpoint slider into `rect`: the track from 10 pixels inside each
// end, red outside the user band and green inside it, a tick at each end and
// at each band end, and the knob at the value. A field whose limits are both
// negative is drawn mirrored, its largest magnitude on the right. A disabled
// slider is a grey track without a knob; a rectangle below 40 by 16 pixels
// shows only the background.
void DrawSlider(QPainter& painter, const QRect& rect, const QColor& background, const SliderValues& values,
                bool enabled);

// The raw value under pixel column `x` of a slider `width` pixels wide: the
// inverse of DrawSlider's mapping, clamped to the absolute limits and, with
// `limitToUser`, to the user band.
int32_t SliderValueAt(int width, int x, const SliderValues& values, bool limitToUser);

}  // namespace frosk
