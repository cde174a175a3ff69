// Where a new window opens among others of its kind.
#include "common/form_basics.h"

#include <gtest/gtest.h>

#include <QPoint>

namespace frosk {
namespace {

TEST(CascadedPositionTest, StepsFromTheLastWindowPastTakenCornersAndStartsAgainInsideTheArea) {
  const QSize window(987, 642);
  struct Case {
    const char* what;
    QRect area;
    std::optional<QPoint> last;
    std::vector<QPoint> taken;
    QPoint expected;
  } cases[] = {
      {"the first is centred", {0, 0, 1280, 1000}, std::nullopt, {}, {146, 179}},
      {"the next a step on", {0, 0, 1280, 1000}, QPoint(146, 179), {{146, 179}}, {174, 207}},
      {"past a taken corner", {0, 0, 1280, 1000}, QPoint(146, 179), {{146, 179}, {174, 207}}, {202, 235}},
      {"back to the top left", {0, 24, 1280, 1000}, QPoint(280, 340), {}, {0, 24}},
      {"and past it when taken", {0, 24, 1280, 1000}, QPoint(280, 340), {{0, 24}}, {28, 52}},
      {"a new column when the first is full", {0, 0, 1100, 700}, QPoint(56, 56), {{0, 0}, {28, 28}, {56, 56}}, {28, 0}},
      {"a window larger than the area goes on stepping", {0, 0, 800, 600}, QPoint(10, 10), {}, {38, 38}},
  };
  for (const Case& c : cases) EXPECT_EQ(CascadedPosition(c.area, window, c.last, c.taken), c.expected) << c.what;
}

}  // namespace
}  // namespace frosk
