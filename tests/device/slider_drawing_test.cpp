// The setpoint slider's pixels and the value under a pixel column.
#include "device/slider_drawing.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <string>
#include <utility>

namespace frosk {
namespace {

const QColor kBackground{240, 240, 240};
const QColor kRed{255, 0, 0};
const QColor kGreen{0, 255, 0};
const QColor kGrey{128, 128, 128};
const QColor kBlack{0, 0, 0};

// The negative supply voltage: mirrored to 3000..15000 with the band 5000..12000.
const SliderValues kNegativeSupply{-15000, -3000, -12000, -5000, -8000};

QImage Drawn(int width, int height, const SliderValues& values, bool enabled) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  DrawSlider(painter, image.rect(), kBackground, values, enabled);
  return image;
}

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// Which colour each column of a pixel row has, as runs "from-to:colour".
std::string Runs(const QImage& image, int y) {
  std::string runs;
  int start = 0;
  for (int x = 1; x <= image.width(); ++x) {
    if (x < image.width() && At(image, x, y) == At(image, start, y)) continue;
    const QColor c = At(image, start, y);
    runs += std::to_string(start) + "-" + std::to_string(x - 1) + ":" + std::to_string(c.red()) + "," +
            std::to_string(c.green()) + "," + std::to_string(c.blue()) + " ";
    start = x;
  }
  return runs;
}

TEST(SliderDrawingTest, ANegativeOnlyFieldIsDrawnMirroredWithItsBandAndKnob) {
  const QImage image = Drawn(220, 26, kNegativeSupply, true);
  const int y0 = 13;
  // Both track rows: red up to the band, green over 43..160, red to w - 10.
  for (int y : {y0, y0 + 1}) {
    EXPECT_EQ(At(image, 9, y), kBackground);
    EXPECT_EQ(At(image, 10, y), kRed);
    EXPECT_EQ(At(image, 42, y), kRed);
    EXPECT_EQ(At(image, 43, y), kGreen);
    EXPECT_EQ(At(image, 160, y), kGreen);
    EXPECT_EQ(At(image, 161, y), kRed);
    EXPECT_EQ(At(image, 210, y), kRed);
    EXPECT_EQ(At(image, 211, y), kBackground);
  }
  // Grey ticks at both ends and both band ends, from y0 - 10 to y0 + 11.
  for (int x : {10, 43, 160, 210}) {
    EXPECT_EQ(At(image, x, y0 - 11), kBackground) << x;
    EXPECT_EQ(At(image, x, y0 - 10), kGrey) << x;
    EXPECT_EQ(At(image, x, y0 + 11), kGrey) << x;
    EXPECT_EQ(At(image, x, y0 + 12), kBackground) << x;
  }
  // The knob at 93: a black outline over 89..97 and y0 - 6..y0 + 7, green inside.
  for (auto [x, y] : {std::pair{89, y0 - 6}, {97, y0 - 6}, {89, y0}, {97, y0 + 7}, {93, y0 + 7}})
    EXPECT_EQ(At(image, x, y), kBlack) << x << "," << y;
  for (auto [x, y] : {std::pair{90, y0 - 5}, {93, y0 - 3}, {96, y0 + 6}})
    EXPECT_EQ(At(image, x, y), kGreen) << x << "," << y;
  for (auto [x, y] : {std::pair{88, y0 - 6}, {98, y0 - 6}, {93, y0 - 7}, {93, y0 + 8}})
    EXPECT_EQ(At(image, x, y), kBackground) << x << "," << y;
}

TEST(SliderDrawingTest, WhatEachStateDraws) {
  struct Case {
    const char* what;
    int width, height;
    SliderValues values;
    bool enabled;
    int row;  // a pixel row to compare
    std::string runs;
  } cases[] = {
      {"too narrow: background only", 39, 26, kNegativeSupply, true, 13, "0-38:240,240,240 "},
      {"too low: background only", 220, 15, kNegativeSupply, true, 7, "0-219:240,240,240 "},
      {"disabled: a light grey track without knob", 220, 26, kNegativeSupply, false, 13,
       "0-9:240,240,240 10-210:192,192,192 211-219:240,240,240 "},
      {"band over the whole field: green end to end",
       220,
       26,
       {0, 256, 0, 256, 300},
       true,
       13,
       "0-9:240,240,240 10-210:0,255,0 211-219:240,240,240 "},
      {"a knob outside the band is red, between the ticks",
       120,
       26,
       {0, 100, 20, 80, 90},
       true,
       9,
       "0-9:240,240,240 10-10:128,128,128 11-29:240,240,240 30-30:128,128,128 31-89:240,240,240 "
       "90-90:128,128,128 91-95:240,240,240 96-96:0,0,0 97-103:255,0,0 104-104:0,0,0 105-109:240,240,240 "
       "110-110:128,128,128 111-119:240,240,240 "},
      {"a value beyond the field has no knob",
       120,
       26,
       {0, 100, 20, 80, 101},
       true,
       9,
       "0-9:240,240,240 10-10:128,128,128 11-29:240,240,240 30-30:128,128,128 31-89:240,240,240 "
       "90-90:128,128,128 91-109:240,240,240 110-110:128,128,128 111-119:240,240,240 "},
  };
  for (const Case& c : cases) EXPECT_EQ(Runs(Drawn(c.width, c.height, c.values, c.enabled), c.row), c.runs) << c.what;
}

TEST(SliderDrawingTest, APixelColumnGivesTheValueUnderIt) {
  const SliderValues gain{0, 256, 48, 111, 85};
  struct Case {
    int width, x;
    SliderValues values;
    bool limitToUser;
    int32_t value;
  } cases[] = {
      {220, -30, gain, false, 0},
      {220, 10, gain, false, 0},
      {220, 110, gain, false, 128},
      {220, 210, gain, false, 256},
      {220, 500, gain, false, 256},
      {220, 110, gain, true, 111},
      {220, -30, gain, true, 48},
      {39, 110, gain, false, 0},
      {220, 93, kNegativeSupply, false, -7980},
      {220, 43, kNegativeSupply, false, -4980},
      {220, 43, kNegativeSupply, true, -5000},
      {220, 500, kNegativeSupply, true, -12000},
      {220, 500, kNegativeSupply, false, -15000},
      {39, 93, kNegativeSupply, false, -3000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SliderValueAt(c.width, c.x, c.values, c.limitToUser), c.value)
        << c.width << " " << c.x << " " << c.values.absoluteMin << " " << c.limitToUser;
}

TEST(SliderDrawingTest, TheValueUnderTheKnobIsTheValueDrawn) {
  // Drawing maps value to pixel, reading maps pixel to value: the way back
  // lands within one pixel's worth of raw units.
  for (int32_t value = -15000; value <= -3000; value += 250) {
    SliderValues values = kNegativeSupply;
    values.value = value;
    const int knob = static_cast<int>((int64_t{-value} - 3000) * 200 / 12000) + 10;
    const QImage image = Drawn(220, 26, values, true);
    ASSERT_EQ(At(image, knob - 4, 7), kBlack) << value;
    EXPECT_NEAR(SliderValueAt(220, knob, values, false), value, 60) << value;
  }
}

}  // namespace
}  // namespace frosk
