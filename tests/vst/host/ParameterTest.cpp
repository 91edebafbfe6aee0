// Parameters from the host's side: names, labels and display texts with their length limits, setting
// and reading values (bad indices, non-finite and out-of-range values), text entry and the vendor
// calls that format and classify values.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "tests/vst/TestSynthProtocol.h"
#include "tests/vst/host/VstTestHost.h"

TEST(Parameters, StringsStayWithinTheirLimits) {
  Instance plug;
  plug.Start();
  for (int i = 0; i < 60; ++i) {
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      GuardedText text;
      EXPECT_EQ(plug.Dispatch(opcode, i, 0, text.ptr()), 0);
      EXPECT_TRUE(text.WithinLimit(32)) << "opcode " << opcode << " index " << i << " writes past 32 bytes";
      plug.Dispatch(opcode, i, 0, nullptr);
    }
    EXPECT_FALSE(plug.String(effGetParamName, i).empty()) << "parameter " << i << " has no name";
    EXPECT_EQ(plug.String(effGetParamLabel, i), "") << "parameter " << i << " has a label";
  }
  for (int bad : {60, -1, 1000, INT32_MIN}) {
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      GuardedText text;
      EXPECT_EQ(plug.Dispatch(opcode, bad, 0, text.ptr()), 0);
      EXPECT_TRUE(text.Untouched()) << "opcode " << opcode << " index " << bad << " wrote to the buffer";
    }
  }
  struct Row {
    int index;
    const char* name;
  };
  const Row names[] = {{0, "Master Volume"}, {2, "Tone"}, {5, "String: Bass"}, {33, "Phaser: Feedback"},
                       {46, "Chorus 1 Speed (Fast)"}, {59, "Delay Vibe Depth"}};
  for (const Row& row : names) EXPECT_EQ(plug.String(effGetParamName, row.index), row.name);
}

TEST(Parameters, DisplayOfTheInitialProgram) {
  if (!ClickModel()) GTEST_SKIP() << "the test plug-in's initial program";
  Instance plug;
  plug.Start();
  // Values of the initial program of the test plug-in (the table's defaults).
  struct Row {
    int index;
    const char* text;
  };
  const Row rows[] = {{0, "0.0"}, {2, "8000"}, {3, "0.10"}, {5, "off"}, {7, "on"}, {33, "-0.300"}, {37, "0.50"},
                      {10, "50:50"}};
  for (const Row& row : rows) EXPECT_EQ(plug.String(effGetParamDisplay, row.index), row.text) << row.index;
  EXPECT_NEAR(plug.Get(9), 0.5538, 1e-4);
  EXPECT_EQ(plug.Get(7), 1.0f);
  EXPECT_NEAR(plug.Get(0), 0.5, 1e-7);
}

TEST(Parameters, SetAndGet) {
  Instance plug;
  plug.Start();
  plug.Set(3, 0.25f);
  EXPECT_NEAR(plug.Get(3), 0.25, 1e-6);
  EXPECT_EQ(plug.String(effGetParamDisplay, 3), "0.25");
  plug.Set(5, 0.49f);
  EXPECT_EQ(plug.String(effGetParamDisplay, 5), "off");
  plug.Set(5, 0.5f);
  EXPECT_EQ(plug.String(effGetParamDisplay, 5), "on");
  EXPECT_EQ(plug.Get(5), 1.0f);
  // Outside the index range nothing happens and 0 is read.
  const std::vector<float> before = plug.AllParameters();
  for (int bad : {60, -1, 61, INT32_MAX, INT32_MIN}) {
    plug.Set(bad, 0.75f);
    EXPECT_EQ(plug.Get(bad), 0.0f) << bad;
  }
  EXPECT_EQ(plug.AllParameters(), before);
  // Non-finite values are refused; values beyond 0..1 are limited to it.
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    plug.Set(3, bad);
    EXPECT_NEAR(plug.Get(3), 0.25, 1e-6) << bad;
    plug.Set(2, bad);
    EXPECT_TRUE(std::isfinite(plug.Get(2))) << bad;
  }
  plug.Set(3, -1.0f);
  EXPECT_EQ(plug.Get(3), 0.0f);
  plug.Set(2, -0.5f);  // shape sqrt(2): a negative value must not become NaN
  EXPECT_EQ(plug.Get(2), 0.0f);
  EXPECT_EQ(plug.String(effGetParamDisplay, 2), "2000");
  plug.Set(3, 7.0f);
  EXPECT_EQ(plug.Get(3), 1.0f);
  for (float v : plug.AllParameters()) EXPECT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f) << v;
  if (ClickModel()) {
    EXPECT_EQ(plug.Readings()[kReadNonFiniteApplied], 0.0);
  }
}

TEST(Parameters, TextEntry) {
  Instance plug;
  plug.Start();
  char on[] = "on";
  char maybe[] = "maybe";
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 5, 0, on), 1);
  EXPECT_EQ(plug.Get(5), 1.0f);
  const float before = plug.Get(6);  // the loaded program's value: a refused text leaves it
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 6, 0, maybe), 0);
  EXPECT_EQ(plug.Get(6), before);
  struct Row {
    int index;
    const char* text;
    VstIntPtr result;
    const char* display;
  };
  const Row rows[] = {
      {3, "0.5", 1, "0.50"},     {3, "1e9", 1, "1.00"},   {3, "-4", 1, "0.00"},  {3, " 0.3 ", 1, "0.30"},
      {3, "abc", 0, "0.30"},     {3, "nan", 0, "0.30"},   {3, "inf", 0, "0.30"}, {3, "dB 6", 0, "0.30"},
      {3, "-", 0, "0.30"},       {3, ".", 0, "0.30"},     {3, "+e5", 0, "0.30"}, {3, "0.4x", 1, "0.40"},
      {9, "6 dB", 1, "6.00"},    {9, "7.5Hz", 1, "7.50"}, {9, "  2e0 s", 1, "2.00"}, {9, ".5", 1, "0.50"},
      {9, "3e", 1, "3.00"},      {9, "1,5", 1, "1.00"},   {9, "-.25", 1, "0.00"},
      {2, "12345", 1, "12345"},  {33, "0.25", 1, "0.250"}, {7, "off", 1, "off"},  {7, "OFF", 0, "off"},
      {7, "off ", 0, "off"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("\"") + row.text + "\" on " + std::to_string(row.index));
    std::string text = row.text;
    EXPECT_EQ(plug.Dispatch(effString2Parameter, row.index, 0, &text[0]), row.result);
    EXPECT_EQ(plug.String(effGetParamDisplay, row.index), row.display);
  }
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 60, 0, on), 0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, -1, 0, on), 0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 3, 0, nullptr), 1);
  EXPECT_EQ(plug.String(effGetParamDisplay, 3), "0.40");
  // Host text without a terminator within 255 characters is cut there, not read without end.
  std::vector<char> longText(300, '1');
  longText.push_back(0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 3, 0, longText.data()), 1);
  EXPECT_EQ(plug.String(effGetParamDisplay, 3), "1.00");
}

TEST(Parameters, VendorCallsFormatAndClassifyValues) {
  Instance plug;
  plug.Start();
  GuardedText text;
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 0, text.ptr(), 1.0f), 0xBEEF);
  EXPECT_STREQ(text.ptr(), "6.0");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 0, text.ptr(), 0.0f), 0xBEEF);
  EXPECT_STREQ(text.ptr(), "-oo");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 3, text.ptr(), 0.5f), 0xBEEF);
  EXPECT_STREQ(text.ptr(), "0.50");
  GuardedText untouched;
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 60, untouched.ptr(), 0.5f), 0xBEEF);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, -1, untouched.ptr(), 0.5f), 0xBEEF);
  EXPECT_TRUE(untouched.Untouched());
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
  GuardedText odd;
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 37, odd.ptr(), NAN), 0xBEEF);
  EXPECT_TRUE(odd.WithinLimit(32));
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 23, odd.ptr(), 1e30f), 0xBEEF);
  EXPECT_TRUE(odd.WithinLimit(32));
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 5), 0xBEEF);  // switch
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 3), 0);       // continuous
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 60), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, -1), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 0, 0), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 9, 0, text.ptr()), 0);
}
