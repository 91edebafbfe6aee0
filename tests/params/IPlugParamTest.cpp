#include "params/IPlugParam.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Format(const IPlugParam& p, double v, bool isNormalized = false, bool useDisplayTexts = true) {
  char out[kParamTextSize];
  std::memset(out, 'x', sizeof(out));
  p.FormatValue(v, isNormalized, out, useDisplayTexts);
  EXPECT_NE(std::memchr(out, '\0', sizeof(out)), nullptr) << "text not terminated within 32 bytes";
  out[kParamTextSize - 1] = '\0';
  return out;
}

IPlugParam Continuous(double def, double min, double max, double step, double shape) {
  IPlugParam p;
  p.DefineContinuous("Test", def, min, max, step, shape);
  return p;
}

IPlugParam Switch(bool on) {
  IPlugParam p;
  p.DefineSwitch("Switch", on);
  return p;
}

TEST(IPlugParam, CreatedEmpty) {
  IPlugParam p;
  EXPECT_EQ(p.Kind(), 0u);
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_EQ(p.Min(), 0.0);
  EXPECT_EQ(p.Max(), 1.0);
  EXPECT_EQ(p.Step(), 1.0);
  EXPECT_EQ(p.Shape(), 1.0);
  EXPECT_EQ(p.Default(), 0.0);
  EXPECT_EQ(p.DisplayPrecision(), 0);
  EXPECT_STREQ(p.Name(), "");
  EXPECT_STREQ(p.Label(), "");
  EXPECT_EQ(p.NDisplayTexts(), 0);
  EXPECT_EQ(p.GetDisplayFunction(), nullptr);
}

TEST(IPlugParam, DisplayPrecisionFollowsStep) {
  const struct {
    double step;
    int precision;
  } cases[] = {{0.01, 2}, {0.005, 3}, {1.0, 0}, {0.5, 1}, {1e-9, 6}, {2.0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(Continuous(0, 0, 100, c.step, 1).DisplayPrecision(), c.precision) << "step " << c.step;
  }
  EXPECT_EQ(Format(Continuous(0, 0, 1, 0.01, 1), 0.5), "0.50");
}

TEST(IPlugParam, RangeIsNeverNarrowerThanOneStep) {
  IPlugParam p = Continuous(3, 3, 3, 0.5, 1);
  EXPECT_EQ(p.Min(), 3.0);
  EXPECT_EQ(p.Max(), 3.5);
  EXPECT_EQ(Continuous(0, 0, 0.001, 0.01, 1).Max(), 0.01);
}

TEST(IPlugParam, ShapeZeroKeepsLinear) {
  EXPECT_EQ(Continuous(0, 0, 1, 0.01, 0).Shape(), 1.0);
  EXPECT_EQ(Continuous(0, 0, 1, 0.01, 2).Shape(), 2.0);
}

TEST(IPlugParam, KindSetOnceOnly) {
  IPlugParam p = Switch(true);
  EXPECT_EQ(p.Kind(), 1u);
  EXPECT_EQ(p.Value(), 1.0);
  p.DefineContinuous("Again", 0.5, 0, 1, 0.01, 1);
  EXPECT_EQ(p.Kind(), 1u);
  EXPECT_EQ(Continuous(0, 0, 1, 0.01, 1).Kind(), 4u);
}

TEST(IPlugParam, EndsOfTravelForEveryShape) {
  for (double shape : {0.5, 1.0, 1.4142135623730951, 2.0, 3.0}) {
    IPlugParam p = Continuous(5, -2, 13, 0.01, shape);
    EXPECT_EQ(p.SetFromNormalized(0.0), -2.0) << "shape " << shape;
    EXPECT_EQ(p.SetFromNormalized(1.0), 13.0) << "shape " << shape;
    EXPECT_EQ(p.ToNormalized(-2.0), 0.0) << "shape " << shape;
    EXPECT_EQ(p.ToNormalized(13.0), 1.0) << "shape " << shape;
  }
}

TEST(IPlugParam, ShapeBendsTheTravel) {
  IPlugParam squared = Continuous(0, 0, 8, 0.01, 2);
  EXPECT_DOUBLE_EQ(squared.SetFromNormalized(0.5), 2.0);  // half the travel, a quarter of the range
  EXPECT_DOUBLE_EQ(squared.ToNormalized(2.0), 0.5);
  IPlugParam root = Continuous(0, 0, 8, 0.01, 0.5);
  EXPECT_DOUBLE_EQ(root.SetFromNormalized(0.25), 4.0);  // a quarter of the travel, half the range
  EXPECT_DOUBLE_EQ(root.ToNormalized(4.0), 0.25);
}

TEST(IPlugParam, ContinuousIsNotRoundedToStep) {
  IPlugParam p = Continuous(0, 0, 1, 0.01, 1);
  EXPECT_EQ(p.SetFromNormalized(0.123456), 0.123456);
}

TEST(IPlugParam, SteppedKindsRoundToNearestStep) {
  IPlugParam b = Switch(false);
  EXPECT_EQ(b.SetFromNormalized(0.49), 0.0);
  EXPECT_EQ(Format(b, b.Value()), "off");
  EXPECT_EQ(b.SetFromNormalized(0.5), 1.0);
  EXPECT_EQ(Format(b, b.Value()), "on");
  IPlugParam undefined;  // kind 0 is stepped too
  EXPECT_EQ(undefined.SetFromNormalized(0.7), 1.0);
}

TEST(IPlugParam, ToNormalizedClampsOutsideRange) {
  IPlugParam p = Continuous(0, -1, 1, 0.01, 1);
  EXPECT_EQ(p.ToNormalized(-7.0), 0.0);
  EXPECT_EQ(p.ToNormalized(7.0), 1.0);
  EXPECT_EQ(p.ToNormalized(0.0), 0.5);
}

TEST(IPlugParam, SwitchTextsAndNumbers) {
  IPlugParam b = Switch(false);
  EXPECT_EQ(Format(b, 0.0), "off");
  EXPECT_EQ(Format(b, 1.0), "on");
  EXPECT_EQ(Format(b, 0.9), "off");  // truncated toward zero
  EXPECT_EQ(Format(b, 0.0, false, false), "0");
  EXPECT_EQ(Format(b, 1.0, false, false), "1");
  EXPECT_STREQ(b.UnitLabel(), "");
}

TEST(IPlugParam, EmptyOrMissingDisplayTextFallsBackToNumber) {
  IPlugParam p = Continuous(0, 0, 10, 1, 1);
  p.AddDisplayText(2, "");
  p.AddDisplayText(3, "three");
  p.AddDisplayText(3, "second three");
  EXPECT_EQ(Format(p, 2.0), "2");
  EXPECT_EQ(Format(p, 3.5), "three");
  EXPECT_EQ(Format(p, 4.0), "4");
  EXPECT_EQ(Format(p, -0.5), "0");
}

TEST(IPlugParam, FormatsNormalizedWithoutStepRounding) {
  IPlugParam tone = Continuous(8000, 2000, 18000, 1, 1.4142135623730951);
  EXPECT_EQ(Format(tone, 0.5, true), "8003");  // 2000 + 0.5^1.41421 * 16000 = 8003.4
  IPlugParam b = Switch(false);
  EXPECT_EQ(Format(b, 0.7, true), "off");  // 0.7 is not rounded up to 1
}

TEST(IPlugParam, DisplayFunctionOverridesEverything) {
  IPlugParam b = Switch(true);
  b.SetDisplayFunction([](double v, char* out) { std::snprintf(out, kParamTextSize, "f%d", int(v * 10)); });
  EXPECT_EQ(Format(b, 1.0), "f10");
  EXPECT_EQ(Format(b, 0.5, true), "f5");
  b.SetDisplayFunction(nullptr);
  EXPECT_EQ(Format(b, 1.0), "on");
}

TEST(IPlugParam, SetPlainClampedDoesNotRound) {
  IPlugParam b = Switch(false);
  b.SetPlainClamped(0.3);
  EXPECT_EQ(b.Value(), 0.3);
  b.SetPlainClamped(5.0);
  EXPECT_EQ(b.Value(), 1.0);
  b.SetPlainClamped(-5.0);
  EXPECT_EQ(b.Value(), 0.0);
  b.SetPlainClamped(0.75);
  b.SetPlainClamped(kNaN);
  EXPECT_EQ(b.Value(), 0.75);
  b.SetPlainClamped(kInf);
  EXPECT_EQ(b.Value(), 1.0);
}

TEST(IPlugParam, LongTextsAreTruncatedTo31Characters) {
  const char* longText = "A very long parameter name that does not fit";
  IPlugParam p;
  p.DefineContinuous(longText, 0, 0, 1, 0.01, 1);
  EXPECT_EQ(std::string(p.Name()), std::string(longText, 31));
  p.AddDisplayText(0, longText);
  EXPECT_EQ(Format(p, 0.0), std::string(longText, 31));
  p.DefineContinuous(nullptr, 0, 0, 1, 0.01, 1);
  EXPECT_STREQ(p.Name(), "");
}

TEST(IPlugParam, HostValuesOutsideUnitRange) {
  IPlugParam p = Continuous(0.5, -1, 1, 0.01, 2);
  EXPECT_EQ(p.SetFromNormalized(kInf), 1.0);
  EXPECT_EQ(p.SetFromNormalized(-kInf), -1.0);
  EXPECT_EQ(p.SetFromNormalized(2.0), 1.0);
  EXPECT_EQ(p.SetFromNormalized(-0.5), -1.0);
  p.SetFromNormalized(0.5);
  const double before = p.Value();
  EXPECT_EQ(p.SetFromNormalized(kNaN), before);
  EXPECT_EQ(p.Value(), before);
  EXPECT_EQ(p.ToNormalized(kNaN), 0.0);
  IPlugParam b = Switch(true);
  EXPECT_EQ(b.SetFromNormalized(kNaN), 1.0);
  EXPECT_EQ(b.SetFromNormalized(-kInf), 0.0);
}

TEST(IPlugParam, FormatsNonFiniteAndHugeValuesSafely) {
  const IPlugParam integer = Continuous(0, 0, 10, 1, 1);
  const IPlugParam twoDecimals = Continuous(0, 0, 10, 0.01, 1);
  const IPlugParam b = Switch(false);
  const struct {
    const IPlugParam* p;
    double v;
    const char* text;
  } cases[] = {
      {&integer, kNaN, "nan"},          {&integer, kInf, "2147483647"},     {&integer, -kInf, "-2147483648"},
      {&integer, 1e300, "2147483647"},  {&integer, -3e9, "-2147483648"},    {&integer, 2147483647.9, "2147483647"},
      {&twoDecimals, kNaN, "nan"},      {&twoDecimals, -kInf, "-inf"},      {&twoDecimals, 1e300, "1.00e+300"},
      // "%.2f" of -1e28 needs 33 characters: the exponent form keeps it within the buffer.
      {&twoDecimals, -1e28, "-1.00e+28"},  {&twoDecimals, -1e26, "-100000000000000004764729344.00"},
      {&b, kNaN, "nan"},                {&b, 1e300, "2147483647"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(*c.p, c.v), c.text) << c.v;
  EXPECT_EQ(Format(twoDecimals, 0.5, true), "5.00");
  EXPECT_EQ(Format(twoDecimals, kNaN, true), "nan");
}

TEST(NumberText, MatchesCLocalePrintf) {
  std::setlocale(LC_NUMERIC, "C");
  const double values[] = {0.0, -0.0, 0.125, 0.375, 2.675, 1.005, -0.3, 0.5, 1.5, 2.5, -2.5, 4.6,
                           17999.5, 123456.789, -1e-7, 0.0049999, 1e9 + 0.5};
  for (double v : values) {
    for (int decimals = 0; decimals <= 6; ++decimals) {
      char expected[64];
      std::snprintf(expected, sizeof(expected), "%.*f", decimals, v);
      char out[kParamTextSize];
      FormatFixed(v, decimals, out);
      EXPECT_STREQ(out, expected) << "v " << v << " decimals " << decimals;
    }
    char expected[64];
    std::snprintf(expected, sizeof(expected), "%d", static_cast<int>(v));
    char out[kParamTextSize];
    FormatTruncatedInt(v, out);
    EXPECT_STREQ(out, expected) << "v " << v;
  }
}

TEST(NumberText, LiteralTextsWithPoint) {
  char out[kParamTextSize];
  FormatFixed(0.125, 2, out);
  EXPECT_STREQ(out, "0.12");
  FormatFixed(-0.3, 3, out);
  EXPECT_STREQ(out, "-0.300");
  FormatFixed(6.0206, 1, out);
  EXPECT_STREQ(out, "6.0");
  FormatTruncatedInt(-7.9, out);
  EXPECT_STREQ(out, "-7");
}

// Hosts may run with a locale whose decimal separator is ','; the texts must keep the '.'.
TEST(NumberText, IgnoresProcessLocale) {
  const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"};
  const char* chosen = nullptr;
  for (const char* name : candidates) {
    if (std::setlocale(LC_NUMERIC, name)) {
      chosen = name;
      break;
    }
  }
  if (!chosen) GTEST_SKIP() << "no locale with a ',' decimal separator is installed";
  char reference[64];
  std::snprintf(reference, sizeof(reference), "%.2f", 0.5);
  const bool commaLocale = std::strchr(reference, ',') != nullptr;
  IPlugParam p = Continuous(-0.3, -1, 1, 0.005, 1);
  char out[kParamTextSize];
  p.FormatValue(p.Value(), false, out, true);
  char fixed[kParamTextSize];
  FormatFixed(6.0206, 1, fixed);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_TRUE(commaLocale) << chosen << " printed " << reference;
  EXPECT_STREQ(out, "-0.300");
  EXPECT_STREQ(fixed, "6.0");
}

}  // namespace
