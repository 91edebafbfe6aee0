#include "params/ParameterTable.h"

#include <gtest/gtest.h>

#include <string>

#include "params/DisplayFunctions.h"

namespace {

struct Instrument {
  IPlugParam params[kNumParams];
  Instrument() { DefineInstrumentParameters(params); }
  std::string Display(int index) const {
    char out[kParamTextSize];
    params[index].FormatValue(params[index].Value(), false, out, true);
    return out;
  }
  std::string DisplayAt(int index, double plain) const {
    char out[kParamTextSize];
    params[index].FormatValue(plain, false, out, true);
    return out;
  }
};

constexpr uint32_t B = IPlugParam::kBoolean;
constexpr uint32_t C = IPlugParam::kContinuous;

struct Row {
  int index;
  const char* name;
  uint32_t kind;
  double min, max, def, step, shape;
  int precision;
  double normalizedDefault;
  DisplayFunction display;
};

// The instrument's table, written out independently of its definition.
const Row kRows[] = {
    {0, "Master Volume", C, 0, 2, 1, 0.01, 1, 2, 0.5, ShowDecibels},
    {1, "Tune", C, -1, 1, 0, 0.01, 1, 2, 0.5, ShowCents},
    {2, "Tone", C, 2000, 18000, 8000, 1, 1.4142135623730951, 0, 0.4998, nullptr},
    {3, "Attack", C, 0, 1, 0.1, 0.01, 1, 2, 0.1, nullptr},
    {4, "Release", C, 0, 1, 0.2, 0.01, 1, 2, 0.2, nullptr},
    {5, "String: Bass", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {6, "String: Cello", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {7, "String: Viola", B, 0, 1, 1, 1, 1, 0, 1, nullptr},
    {8, "String: Violin", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {9, "LFO Speed", C, 0, 15, 4.6, 0.01, 2, 2, 0.5538, nullptr},
    {10, "Mix String/Synth", C, 0, 1, 0.5, 0.01, 1, 2, 0.5, ShowBalance},
    {11, "Bass Volume", C, 0, 4, 1, 0.01, 2, 2, 0.5, ShowDecibels},
    {12, "Bass: Staccato", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {13, "Bass: 16'", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {14, "Bass: 8'", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {15, "Synth: 8'", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {16, "Synth: 4'", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {17, "Chorus: Synth", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {18, "Hollow Waveform", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {19, "Single Trigger", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {20, "VCF Wheel", C, 0, 1, 0, 0.01, 1, 2, 0, nullptr},
    {21, "VCF LFO", C, 0, 1, 0, 0.01, 1, 2, 0, nullptr},
    {22, "VCF ADSR", C, 0, 1, 0, 0.01, 1, 2, 0, nullptr},
    {23, "VCF Cutoff", C, 0, 1, 0.7071067811865476, 0.01, 0.5, 2, 0.5, ShowCutoffHz},
    {24, "VCF Resonance", C, 0, 1, 0, 0.01, 1, 2, 0, nullptr},
    {25, "Synth: Attack", C, 0, 1, 0, 0.01, 1, 2, 0, nullptr},
    {26, "Synth: Decay", C, 0, 1, 0, 0.01, 1, 2, 0, nullptr},
    {27, "Synth: Sustain", C, 0, 1, 1, 0.01, 1, 2, 1, nullptr},
    {28, "Synth: Release", C, 0, 1, 0.1, 0.01, 1, 2, 0.1, nullptr},
    {29, "Pan String", C, 0, 1, 0.5, 0.01, 1, 2, 0.5, ShowBalance},
    {30, "Pan Synth", C, 0, 1, 0.5, 0.01, 1, 2, 0.5, ShowBalance},
    {31, "Pan Bass", C, 0, 1, 0.5, 0.01, 1, 2, 0.5, ShowBalance},
    {32, "Phaser: Speed", C, 0, 15, 0.19, 0.01, 2, 2, 0.1125, nullptr},
    {33, "Phaser: Feedback", C, -1, 1, -0.3, 0.005, 1, 3, 0.35, nullptr},
    {34, "Phaser: String", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {35, "Phaser: Synth", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {36, "Phaser: Bass", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {37, "Delay: Time", C, 0, 1, 0.5, 0.01, 1, 2, 0.5, nullptr},
    {38, "Delay: Feedback", C, 0, 1, 0.3, 0.01, 1, 2, 0.3, nullptr},
    {39, "Delay: Mix", C, 0, 1, 0, 0.01, 1, 2, 0, ShowBalance},
    {40, "Delay: x2", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {41, "Delay: Sync", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {42, "Delay: Vibe", B, 0, 1, 1, 1, 1, 0, 1, nullptr},
    {43, "Delay: Ping-Pong", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {44, "Chorus: Slow", B, 0, 1, 0, 1, 1, 0, 0, nullptr},
    {45, "Synth: ADSR to VCA", B, 0, 1, 1, 1, 1, 0, 1, nullptr},
    {46, "Chorus 1 Speed (Fast)", C, 0, 15, 5.14, 0.01, 2, 2, 0.5854, nullptr},
    {47, "Chorus 2 Speed (Fast)", C, 0, 15, 7.3, 0.01, 2, 2, 0.6976, nullptr},
    {48, "Chorus 3 Speed (Fast)", C, 0, 15, 0.91, 0.01, 2, 2, 0.2463, nullptr},
    {49, "Chorus 1 Depth (Fast)", C, 0, 1, 0.5, 0.01, 1, 2, 0.5, nullptr},
    {50, "Chorus 2 Depth (Fast)", C, 0, 1, 0.3, 0.01, 1, 2, 0.3, nullptr},
    {51, "Chorus 3 Depth (Fast)", C, 0, 1, 0.4, 0.01, 1, 2, 0.4, nullptr},
    {52, "Chorus 1 Speed (Slow)", C, 0, 15, 0.48, 0.01, 2, 2, 0.1789, nullptr},
    {53, "Chorus 2 Speed (Slow)", C, 0, 15, 0.94, 0.01, 2, 2, 0.2503, nullptr},
    {54, "Chorus 3 Speed (Slow)", C, 0, 15, 0.51, 0.01, 2, 2, 0.1844, nullptr},
    {55, "Chorus 1 Depth (Slow)", C, 0, 1, 0.5, 0.01, 1, 2, 0.5, nullptr},
    {56, "Chorus 2 Depth (Slow)", C, 0, 1, 0.3, 0.01, 1, 2, 0.3, nullptr},
    {57, "Chorus 3 Depth (Slow)", C, 0, 1, 0.4, 0.01, 1, 2, 0.4, nullptr},
    {58, "Delay Vibe Speed", C, 0, 15, 0.02, 0.01, 2, 2, 0.0365, nullptr},
    {59, "Delay Vibe Depth", C, 0, 1, 0.2, 0.01, 1, 2, 0.2, nullptr},
};

TEST(ParameterTable, EveryRowMatchesTheTable) {
  ASSERT_EQ(sizeof(kRows) / sizeof(kRows[0]), 60u);
  Instrument instrument;
  for (const Row& row : kRows) {
    SCOPED_TRACE("parameter " + std::to_string(row.index) + " " + row.name);
    const IPlugParam& p = instrument.params[row.index];
    EXPECT_STREQ(p.Name(), row.name);
    EXPECT_EQ(p.Kind(), row.kind);
    EXPECT_EQ(p.Min(), row.min);
    EXPECT_EQ(p.Max(), row.max);
    EXPECT_EQ(p.Default(), row.def);
    EXPECT_EQ(p.Value(), row.def);
    EXPECT_EQ(p.Step(), row.step);
    EXPECT_EQ(p.Shape(), row.shape);
    EXPECT_EQ(p.DisplayPrecision(), row.precision);
    EXPECT_NEAR(p.ToNormalized(p.Default()), row.normalizedDefault, 5e-5);
    EXPECT_EQ(p.GetDisplayFunction(), row.display);
    EXPECT_STREQ(p.Label(), "");
    EXPECT_STREQ(p.UnitLabel(), "");
    if (row.kind == B) {
      ASSERT_EQ(p.NDisplayTexts(), 2);
      EXPECT_EQ(p.DisplayTextAt(0)->value, 0);
      EXPECT_STREQ(p.DisplayTextAt(0)->text, "off");
      EXPECT_EQ(p.DisplayTextAt(1)->value, 1);
      EXPECT_STREQ(p.DisplayTextAt(1)->text, "on");
    } else {
      EXPECT_EQ(p.NDisplayTexts(), 0);
    }
  }
}

struct DisplayCase {
  int index;
  double plain;
  const char* text;
};

TEST(ParameterTable, DisplayTexts) {
  const DisplayCase cases[] = {
      {kMasterVolume, 0.0, "-oo"},  {kMasterVolume, 1.0, "0.0"},  {kMasterVolume, 2.0, "6.0"},
      {kBassVolume, 4.0, "12.0"},   {kBassVolume, 0.0, "-oo"},    {kTune, -1.0, "-50"},
      {kTune, 1.0, "50"},           {kTune, 0.0, "0"},            {kMixStringSynth, 0.5, "50:50"},
      {kPanBass, 0.0, "100:0"},     {kDelayMix, 1.0, "0:100"},    {kVcfCutoff, 0.0, "57"},
      {kVcfCutoff, 0.5, "403"},     {kVcfCutoff, 1.0, "2835"},    {kDelayTime, 0.5, "0.50"},
      {kPhaserFeedback, -0.3, "-0.300"}, {kTone, 8000.0, "8000"}, {kStringViola, 1.0, "on"},
      {kStringBass, 0.0, "off"},    {kLfoSpeed, 4.6, "4.60"},
  };
  Instrument instrument;
  for (const DisplayCase& c : cases) {
    EXPECT_EQ(instrument.DisplayAt(c.index, c.plain), c.text) << "parameter " << c.index << " at " << c.plain;
  }
}

TEST(ParameterTable, DefaultsDisplay) {
  Instrument instrument;
  EXPECT_EQ(instrument.Display(kVcfCutoff), "904");
  EXPECT_EQ(instrument.Display(kPhaserFeedback), "-0.300");
  EXPECT_EQ(instrument.Display(kTone), "8000");
  EXPECT_EQ(instrument.Display(kMasterVolume), "0.0");
  EXPECT_EQ(instrument.Display(kDelayVibe), "on");
  EXPECT_EQ(instrument.Display(kDelaySync), "off");
}

TEST(ParameterTable, DelayTimeShowsNoteValueOnlyWithItsDisplayFunction) {
  Instrument instrument;
  IPlugParam& time = instrument.params[kDelayTime];
  EXPECT_EQ(instrument.Display(kDelayTime), "0.50");
  time.SetDisplayFunction(ShowNoteValue);
  EXPECT_EQ(instrument.Display(kDelayTime), "1/8");
  EXPECT_EQ(time.Value(), 0.5);
  time.SetDisplayFunction(nullptr);
  EXPECT_EQ(instrument.Display(kDelayTime), "0.50");
}

}  // namespace
