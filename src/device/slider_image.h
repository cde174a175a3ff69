#pragma once

#include <QImage>
#include <QWidget>

#include "device/slider_drawing.h"

namespace frosk {

// A setpoint slider on screen: an image drawn by DrawSlider, redrawn only when
// what it shows changes, and the left-button presses, drags and releases over
// it. Moves arrive only while a button is held.
class SliderImage : public QWidget {
  Q_OBJECT

 public:
  explicit SliderImage(QWidget* parent = nullptr);

  // `active` draws the band and the knob; inactive is the grey track.
  void Show(const QColor& background, const SliderValues& values, bool active);
  const QImage& Image() const { return image_; }

 signals:
  void MouseDown(Qt::MouseButtons buttons, int x);
  void MouseMove(Qt::MouseButtons buttons, int x);
  void MouseUp(int x);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Redraw();

  QImage image_;
  QColor background_;
  SliderValues values_;
  bool active_ = false;
};

}  // namespace frosk
