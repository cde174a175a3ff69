#include "app/menu_style.h"

#include <QAction>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace frosk {

namespace {

constexpr char kMeasureProperty[] = "OnMeasureItem";
constexpr char kMeasureHandler[] = "AnyItemMeasureItem";
constexpr char kImageSizeProperty[] = "menuImageSize";

// The style is asked about an item by its text only; the item is the one of
// that text among the widget's actions (a menu shows a shortcut after a tab).
const QAction* ActionOf(const QStyleOption* option, const QWidget* widget) {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (!item || !widget || item->menuItemType == QStyleOptionMenuItem::Separator) return nullptr;
  const QString text = item->text.section('\t', 0, 0);
  for (const QAction* action : widget->actions())
    if (!action->isSeparator() && action->text() == text) return action;
  return nullptr;
}

}  // namespace

void MenuStyle::NameMeasureHandler(QAction* action) { action->setProperty(kMeasureProperty, kMeasureHandler); }

bool MenuStyle::NamesMeasureHandler(const QAction* action) {
  return action->property(kMeasureProperty).toString() == QLatin1String(kMeasureHandler);
}

void MenuStyle::SetImageSize(QWidget* menu, int pixels) { menu->setProperty(kImageSizeProperty, pixels); }

QSize MenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
  QSize measured = QProxyStyle::sizeFromContents(type, option, size, widget);
  if (type != CT_MenuItem && type != CT_MenuBarItem) return measured;
  const QAction* action = ActionOf(option, widget);
  if (action && NamesMeasureHandler(action)) measured.rwidth() += kExtraWidth;
  return measured;
}

int MenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  if (metric == PM_SmallIconSize && widget) {
    const int pixels = widget->property(kImageSizeProperty).toInt();
    if (pixels > 0) return pixels;
  }
  return QProxyStyle::pixelMetric(metric, option, widget);
}

}  // namespace frosk
