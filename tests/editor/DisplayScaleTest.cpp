#include "editor/DisplayScale.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(DisplayScale, ChosenFromWhatTheScreenOrHostSays) {
  struct Case {
    double factor;
    int percent;
  };
  for (const Case& c : {Case{1.0, 100}, Case{1.24, 100}, Case{1.25, 150}, Case{1.5, 150}, Case{1.74, 150},
                        Case{1.75, 200}, Case{2.0, 200}, Case{3.0, 200}, Case{0.5, 100}, Case{0.0, 0},
                        Case{-2.0, 0}, Case{std::nan(""), 0}, Case{INFINITY, 0}}) {
    EXPECT_EQ(DisplayScale::FromFactor(c.factor), c.percent) << c.factor;
  }
  EXPECT_EQ(DisplayScale::FromXResources("Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n"), 150);
  EXPECT_EQ(DisplayScale::FromXResources("Xft.dpi: 192"), 200);
  EXPECT_EQ(DisplayScale::FromXResources("Xft.dpi:\t96\n"), 100);
  EXPECT_EQ(DisplayScale::FromXResources("Xft.dpix:\t192\n*.dpi: 192\n"), 0);
  EXPECT_EQ(DisplayScale::FromXResources("Xft.dpi:\tlarge\n"), 0);
  EXPECT_EQ(DisplayScale::FromXResources(""), 0);
  EXPECT_EQ(DisplayScale::FromGdkScale("2"), 200);
  EXPECT_EQ(DisplayScale::FromGdkScale("1"), 100);
  EXPECT_EQ(DisplayScale::FromGdkScale("2x"), 0);
  EXPECT_EQ(DisplayScale::FromGdkScale(""), 0);
  EXPECT_EQ(DisplayScale::FromGdkScale(nullptr), 0);
}

TEST(DisplayScale, EveryPixelMapsBackToTheUnitThatDrewIt) {
  for (int percent : {100, 150, 200}) {
    for (int unit = -3; unit < 800; ++unit) {
      for (int pixel = DisplayScale::ToPixels(unit, percent); pixel < DisplayScale::ToPixels(unit + 1, percent);
           ++pixel) {
        ASSERT_EQ(DisplayScale::ToUnits(pixel, percent), unit) << percent << " % pixel " << pixel;
      }
    }
    EXPECT_EQ(DisplayScale::ToPixels(772, percent), 772 * percent / 100);
    EXPECT_EQ(DisplayScale::ToPixels(620, percent), 620 * percent / 100);
  }
  EXPECT_EQ(DisplayScale::ToPixels(1, 150), 2);  // 1.5 rounds half up, so that 0..1 and 1..2 both get pixels
  EXPECT_EQ(DisplayScale::ToPixels(3, 150), 5);
}
