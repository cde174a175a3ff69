#include "app/app_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include "common/form_basics.h"

namespace frosk {

namespace {

const QColor kPanelBlue{28, 74, 128};
const QColor kIceBlue{150, 205, 245};
const QColor kLedRed{215, 40, 30};
const QColor kLedGreen{40, 190, 60};

// Six arms with a pair of side branches each: the cold end of a cooler.
void DrawSnowflake(QPainter& p, QPointF centre, qreal radius, const QPen& pen) {
  p.setPen(pen);
  for (int arm = 0; arm < 6; ++arm) {
    const qreal angle = qDegreesToRadians(60.0 * arm + 90.0);
    const QPointF dir(qCos(angle), -qSin(angle));
    p.drawLine(centre, centre + dir * radius);
    for (qreal at : {0.45, 0.7}) {
      const QPointF base = centre + dir * (radius * at);
      const qreal branch = radius * (at < 0.5 ? 0.3 : 0.22);
      for (qreal side : {-1.0, 1.0}) {
        const qreal a = angle + side * qDegreesToRadians(45.0);
        p.drawLine(base, base + QPointF(qCos(a), -qSin(a)) * branch);
      }
    }
  }
}

// A transparent square image drawn by `draw` with smoothed edges.
template <class Draw>
QPixmap DrawImage(int size, Draw draw) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  return pixmap;
}

void DrawHousing(QPainter& p, const QRectF& box, qreal radius, const QColor& edge, const QBrush& fill) {
  p.setPen(QPen(edge, 1.5));
  p.setBrush(fill);
  p.drawRoundedRect(box, radius, radius);
}

// A controller seen from the front: case, display, status light, and a cable
// that is plugged in when connected.
QPixmap DrawController(bool connected) {
  return DrawImage(kDeviceImageSize, [connected](QPainter& p) {
    QLinearGradient body(0, 10, 0, 40);
    body.setColorAt(0, kPanelBlue.lighter(150));
    body.setColorAt(1, kPanelBlue);
    DrawHousing(p, QRectF(4, 10, 34, 28), 4, kPanelBlue.darker(150), body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 240, 255));
    p.drawRect(QRectF(8, 15, 20, 10));
    p.setPen(QPen(kPanelBlue, 1.2));
    p.drawLine(QPointF(10, 20), QPointF(26, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(connected ? kLedGreen : kLedRed);
    p.drawEllipse(QPointF(32, 20), 3, 3);
    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(8, 29, 6, 4));
    p.drawRect(QRectF(17, 29, 6, 4));

    const QColor cableColour = connected ? QColor(40, 40, 40) : QColor(130, 130, 130);
    QPen cable(cableColour, 2.5);
    cable.setCapStyle(Qt::RoundCap);
    p.setPen(cable);
    p.setBrush(Qt::NoBrush);
    QPainterPath wire(QPointF(38, 30));
    if (connected) {
      wire.cubicTo(QPointF(46, 32), QPointF(44, 44), QPointF(30, 44));
      wire.lineTo(QPointF(12, 44));
    } else {
      wire.moveTo(QPointF(44, 36));
      wire.cubicTo(QPointF(46, 42), QPointF(40, 45), QPointF(28, 45));
      wire.lineTo(QPointF(12, 45));
    }
    p.drawPath(wire);
    p.setPen(Qt::NoPen);
    p.setBrush(cableColour);
    p.drawRect(connected ? QRectF(36, 27, 5, 6) : QRectF(41, 31, 5, 6));
  });
}

QPixmap DrawUnknownDevice() {
  return DrawImage(kDeviceImageSize, [](QPainter& p) {
    const QRectF box(6, 8, 36, 32);
    DrawHousing(p, box, 4, QColor(110, 110, 110), QColor(200, 200, 200));
    p.setPen(QColor(90, 90, 90));
    p.setFont(UiFont(24, true));
    p.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
  });
}

// A detection module: a round detector window in a small housing.
QPixmap DrawModule() {
  return DrawImage(kDeviceImageSize, [](QPainter& p) {
    DrawHousing(p, QRectF(8, 12, 32, 26), 5, QColor(80, 80, 90), QColor(170, 175, 185));
    QRadialGradient lens(QPointF(22, 23), 9);
    lens.setColorAt(0, QColor(120, 60, 160));
    lens.setColorAt(1, QColor(30, 20, 60));
    p.setBrush(lens);
    p.drawEllipse(QPointF(24, 25), 8, 8);
  });
}

}  // namespace

QImage DrawSplashPicture() {
  QImage image(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
  image.fill(kSplashTransparent);
  QPainter p(&image);
  // No smoothing at the outline: a blend of green and white would show as a
  // green fringe around the shape.
  p.setRenderHint(QPainter::Antialiasing, false);

  const QRectF card(2, 22, kSplashWidth - 4, kSplashHeight - 24);
  const QPointF emblem(86, 84);
  const qreal emblemRadius = 80;
  QPainterPath cardPath;
  cardPath.addRoundedRect(card, 18, 18);
  QPainterPath emblemPath;
  emblemPath.addEllipse(emblem, emblemRadius, emblemRadius);
  const QPainterPath outline = cardPath.united(emblemPath);

  p.setPen(QPen(kDarkBlue, 2));
  p.setBrush(Qt::white);
  p.drawPath(outline);

  QLinearGradient band(0, 0, kSplashWidth, 0);
  band.setColorAt(0, kIceBlue.lighter(115));
  band.setColorAt(1, Qt::white);
  p.setPen(Qt::NoPen);
  p.setBrush(band);
  p.drawRect(QRectF(170, 26, kSplashWidth - 190, 4));

  p.setRenderHint(QPainter::Antialiasing, true);
  QRadialGradient cold(emblem - QPointF(20, 20), emblemRadius * 1.2);
  cold.setColorAt(0, kIceBlue);
  cold.setColorAt(1, kPanelBlue);
  p.setPen(QPen(Qt::white, 3));
  p.setBrush(cold);
  p.drawEllipse(emblem, emblemRadius - 8, emblemRadius - 8);
  QPen flake(Qt::white, 4);
  flake.setCapStyle(Qt::RoundCap);
  DrawSnowflake(p, emblem, emblemRadius - 24, flake);

  p.setPen(kDarkBlue);
  p.setFont(UiFont(34, true));
  p.drawText(QRectF(180, 34, 350, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Frosk Manager"));
  p.setPen(QColor(110, 120, 135));
  p.setFont(UiFont(12));
  p.drawText(QRectF(182, 76, 350, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Thermo-electric cooler controllers and detection modules"));
  return image;
}

QList<QPixmap> DrawDeviceImages() {
  return {DrawUnknownDevice(), DrawModule(), DrawController(false), DrawController(true)};
}

QPixmap MarkNotAnswering(const QPixmap& image) {
  QPixmap marked = image;
  QPainter p(&marked);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal size = marked.width() * 0.45;
  const QRectF disc(marked.width() - size - 1, marked.height() - size - 1, size, size);
  p.setPen(QPen(Qt::white, 1.5));
  p.setBrush(QColor(220, 0, 0));
  p.drawEllipse(disc);
  p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
  const qreal x = disc.center().x();
  p.drawLine(QPointF(x, disc.top() + size * 0.22), QPointF(x, disc.top() + size * 0.58));
  p.drawPoint(QPointF(x, disc.top() + size * 0.78));
  return marked;
}

// A turning arrow: reload.
QList<QPixmap> DrawMenuImages() {
  return {DrawImage(kMenuImageSize, [](QPainter& p) {
    QPen pen(kDarkBlue, 2.5);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kDarkBlue);
    p.drawPolygon(QPolygonF({QPointF(13, 1), QPointF(20, 4.5), QPointF(13, 9)}));
  })};
}

}  // namespace frosk
