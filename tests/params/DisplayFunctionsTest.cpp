#include "params/DisplayFunctions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Show(DisplayFunction show, double v) {
  char out[kParamTextSize];
  std::memset(out, 'x', sizeof(out));
  show(v, out);
  EXPECT_NE(std::memchr(out, '\0', sizeof(out)), nullptr) << "text not terminated within 32 bytes";
  out[kParamTextSize - 1] = '\0';
  return out;
}

struct Case {
  DisplayFunction show;
  const char* function;
  double v;
  const char* text;
};

TEST(DisplayFunctions, Texts) {
  const Case cases[] = {
      {ShowDecibels, "ShowDecibels", 0.0, "-oo"},
      {ShowDecibels, "ShowDecibels", -1.0, "-oo"},
      {ShowDecibels, "ShowDecibels", 1.0, "0.0"},
      {ShowDecibels, "ShowDecibels", 2.0, "6.0"},
      {ShowDecibels, "ShowDecibels", 4.0, "12.0"},
      {ShowDecibels, "ShowDecibels", 0.5, "-6.0"},
      {ShowCents, "ShowCents", -1.0, "-50"},
      {ShowCents, "ShowCents", 1.0, "50"},
      {ShowCents, "ShowCents", 0.0, "0"},
      {ShowBalance, "ShowBalance", 0.5, "50:50"},
      {ShowBalance, "ShowBalance", 0.0, "100:0"},
      {ShowBalance, "ShowBalance", 1.0, "0:100"},
      {ShowBalance, "ShowBalance", 0.25, "75:25"},
      {ShowCutoffHz, "ShowCutoffHz", 0.0, "57"},
      {ShowCutoffHz, "ShowCutoffHz", 0.5, "403"},
      {ShowCutoffHz, "ShowCutoffHz", 0.7071067811865476, "904"},
      {ShowCutoffHz, "ShowCutoffHz", 1.0, "2835"},
      {ShowNoteValue, "ShowNoteValue", 0.5, "1/8"},
      {ShowNoteValue, "ShowNoteValue", 1.0, "2/1"},
      {ShowNoteValue, "ShowNoteValue", 0.0, "1/64"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.show, c.v), c.text) << c.function << "(" << c.v << ")";
}

TEST(DisplayFunctions, NoteValueList) {
  const char* expected[] = {"2/1",  "1/1.",  "1/1",  "1/2.", "1/2",   "1/4.",  "1/2T", "1/4",   "1/8.",  "1/4T",
                            "1/8",  "1/16.", "1/8T", "1/16", "1/32.", "1/16T", "1/32", "1/64.", "1/32T", "1/64"};
  ASSERT_EQ(kNumNoteValues, 20);
  for (int i = 0; i < kNumNoteValues; ++i) EXPECT_STREQ(NoteValueName(i), expected[i]) << "entry " << i;
  EXPECT_STREQ(NoteValueName(-1), "");
  EXPECT_STREQ(NoteValueName(20), "");
}

TEST(DisplayFunctions, NoteValueIndex) {
  const struct {
    double v;
    int index;
  } cases[] = {{1.0, 0}, {0.0, 19}, {0.5, 10}, {0.51, 9}, {0.97, 1}, {0.98, 0}, {2.0, 0}, {-1.0, 19},
               {kInf, 0}, {-kInf, 19}, {kNaN, 0}, {1e300, 0}};
  for (const auto& c : cases) EXPECT_EQ(NoteValueIndex(c.v), c.index) << "v " << c.v;
}

TEST(DisplayFunctions, NonFiniteAndHugeValues) {
  const Case cases[] = {
      {ShowDecibels, "ShowDecibels", kNaN, "nan"},
      {ShowDecibels, "ShowDecibels", kInf, "inf"},
      {ShowDecibels, "ShowDecibels", -kInf, "-oo"},
      {ShowDecibels, "ShowDecibels", 1e300, "6000.0"},
      {ShowCents, "ShowCents", kNaN, "nan"},
      {ShowCents, "ShowCents", -kInf, "-inf"},
      {ShowCents, "ShowCents", 1e300, "5e+301"},
      {ShowBalance, "ShowBalance", kNaN, "nan:nan"},
      {ShowBalance, "ShowBalance", kInf, "-inf:inf"},
      {ShowBalance, "ShowBalance", 1e300, "-1e+302:1e+302"},
      {ShowCutoffHz, "ShowCutoffHz", kNaN, "nan"},
      {ShowCutoffHz, "ShowCutoffHz", kInf, "19912"},
      {ShowCutoffHz, "ShowCutoffHz", -1e300, "0"},
      {ShowNoteValue, "ShowNoteValue", kNaN, "2/1"},
      {ShowNoteValue, "ShowNoteValue", -kInf, "1/64"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.show, c.v), c.text) << c.function << "(" << c.v << ")";
}

}  // namespace
