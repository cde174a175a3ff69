#include "device/slider_image.h"

#include <QMouseEvent>
#include <QPainter>

namespace frosk {

SliderImage::SliderImage(QWidget* parent) : QWidget(parent) {
  // The image covers every pixel, so nothing behind it needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SliderImage::Show(const QColor& background, const SliderValues& values, bool active) {
  if (!image_.isNull() && background == background_ && values == values_ && active == active_) return;
  background_ = background;
  values_ = values;
  active_ = active;
  Redraw();
}

void SliderImage::Redraw() {
  if (image_.size() != size()) image_ = QImage(size(), QImage::Format_RGB32);
  if (image_.isNull()) return;
  QPainter painter(&image_);
  DrawSlider(painter, image_.rect(), background_, values_, active_);
  update();
}

void SliderImage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (image_.isNull())
    painter.fillRect(event->rect(), palette().window());
  else
    painter.drawImage(event->rect(), image_, event->rect());
}

void SliderImage::resizeEvent(QResizeEvent*) {
  if (!image_.isNull()) Redraw();
}

void SliderImage::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(event->buttons(), event->position().toPoint().x());
}

void SliderImage::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMove(event->buttons(), event->position().toPoint().x());
}

void SliderImage::mouseReleaseEvent(QMouseEvent* event) { emit MouseUp(event->position().toPoint().x()); }

}  // namespace frosk
