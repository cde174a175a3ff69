#include "device/slider_drawing.h"

#include <QPainter>
#include <algorithm>

namespace frosk {

namespace {

// The track keeps this far from each end, so the end ticks and a knob at
// either limit stay inside the image.
constexpr int kInset = 10;
constexpr int kMinWidth = 40;
constexpr int kMinHeight = 16;

const QColor kDisabledPen{192, 192, 192};
const QColor kTickPen{128, 128, 128};
const QColor kOutside{255, 0, 0};
const QColor kInside{0, 255, 0};
const QColor kKnobOutline{0, 0, 0};

// The slider's numbers in 64 bits, mirrored when both limits are negative so
// that the largest magnitude lies on the right. 64 bits because a device may
// report any 32-bit user limit, and negating or scaling one must not overflow.
struct Scale {
  int64_t min, max, userMin, userMax, value;
  bool mirrored;
};

Scale ScaleOf(const SliderValues& v) {
  if (v.absoluteMin < 0 && v.absoluteMax < 0)
    return {-int64_t{v.absoluteMax}, -int64_t{v.absoluteMin}, -int64_t{v.userMax},
            -int64_t{v.userMin},     -int64_t{v.value},       true};
  return {v.absoluteMin, v.absoluteMax, v.userMin, v.userMax, v.value, false};
}

// Lines cover their start pixel up to, not including, their end pixel;
// coordinates are relative to the rectangle's left edge, rows absolute.
class Pen {
 public:
  Pen(QPainter& painter, const QRect& rect) : painter_(painter), left_(rect.left()) {}
  void Colour(const QColor& colour) { colour_ = colour; }
  void Row(int x1, int x2, int y) {
    if (x2 > x1) painter_.fillRect(left_ + x1, y, x2 - x1, 1, colour_);
  }
  void Column(int x, int y1, int y2) {
    if (y2 > y1) painter_.fillRect(left_ + x, y1, 1, y2 - y1, colour_);
  }
  // A 1-pixel outline in `outline` filled with `fill`, covering x1..x2-1 and y1..y2-1.
  void Box(int x1, int y1, int x2, int y2, const QColor& outline, const QColor& fill) {
    painter_.fillRect(left_ + x1, y1, x2 - x1, y2 - y1, outline);
    painter_.fillRect(left_ + x1 + 1, y1 + 1, x2 - x1 - 2, y2 - y1 - 2, fill);
  }

 private:
  QPainter& painter_;
  int left_;
  QColor colour_;
};

}  // namespace

void DrawSlider(QPainter& painter, const QRect& rect, const QColor& background, const SliderValues& values,
                bool enabled) {
  painter.save();
  painter.setClipRect(rect);
  painter.fillRect(rect, background);
  const int w = rect.width();
  const Scale s = ScaleOf(values);
  const int64_t range = s.max - s.min;
  if (w < kMinWidth || rect.height() < kMinHeight || range <= 0) {
    painter.restore();
    return;
  }
  const int right = w - kInset;
  const int64_t length = w - 2 * kInset;
  const int y0 = rect.top() + rect.height() / 2;
  Pen pen(painter, rect);
  const auto tick = [&](int x) { pen.Column(x, y0 - 10, y0 + 12); };
  const auto track = [&](int x1, int x2) {
    pen.Row(x1, x2, y0);
    pen.Row(x1, x2, y0 + 1);
  };
  const auto pixelOf = [&](int64_t raw) { return static_cast<int>((raw - s.min) * length / range) + kInset; };

  if (!enabled) {
    pen.Colour(kDisabledPen);
    tick(kInset);
    tick(right);
    track(kInset, right);
    painter.restore();
    return;
  }

  const int xLo = s.userMin <= s.min ? kInset : std::min(pixelOf(s.userMin), right);
  const int xHi = s.userMax >= s.max ? right : std::max(pixelOf(s.userMax), kInset);
  pen.Colour(kTickPen);
  tick(kInset);
  tick(right);
  if (xLo > kInset) tick(xLo);
  if (xHi < right) tick(xHi);

  pen.Colour(kOutside);
  if (xLo > kInset) track(kInset, xLo);
  pen.Colour(kInside);
  track(xLo, xHi + 1);
  pen.Colour(kOutside);
  if (xHi < right) track(xHi + 1, right + 1);

  if (s.value >= s.min && s.value <= s.max) {
    const int x = pixelOf(s.value);
    const bool inBand = s.userMin <= s.value && s.value <= s.userMax;
    pen.Box(x - 4, y0 - 6, x + 5, y0 + 8, kKnobOutline, inBand ? kInside : kOutside);
  }
  painter.restore();
}

int32_t SliderValueAt(int width, int x, const SliderValues& values, bool limitToUser) {
  const Scale s = ScaleOf(values);
  int64_t result = 0;
  if (width >= kMinWidth) {
    if (x < kInset)
      result = s.min;
    else if (x <= width - kInset)
      result = int64_t{x - kInset} * (s.max - s.min) / (width - 2 * kInset) + s.min;
    else
      result = s.max;
  }
  result = std::min(std::max(result, s.min), s.max);
  if (limitToUser) result = std::min(std::max(result, s.userMin), s.userMax);
  return static_cast<int32_t>(s.mirrored ? -result : result);
}

}  // namespace frosk
