#pragma once

#include <QProxyStyle>

class QAction;

namespace frosk {

// The menus' look: items that name AnyItemMeasureItem as their measure
// handler are 20 pixels wider than the style would make them (room the
// menus were drawn with), and a menu can ask for larger images than the
// style's small icons.
class MenuStyle : public QProxyStyle {
  Q_OBJECT

 public:
  static constexpr int kExtraWidth = 20;

  // Marks an item (or a menu's own entry in the menu bar) for the wider measure.
  static void NameMeasureHandler(QAction* action);
  static bool NamesMeasureHandler(const QAction* action);
  // The image size of a menu's items.
  static void SetImageSize(QWidget* menu, int pixels);

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
};

}  // namespace frosk
