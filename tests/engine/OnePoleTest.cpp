#include "engine/OnePole.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/Voice.h"

namespace {

TEST(OnePole, SectionStageAt20HzIsAGentleLowPass) {
  HP6 stage;
  stage.SetStepTime(1.0 / 44100);
  stage.SetCutoff(20.0);
  EXPECT_NEAR(stage.a, 0.0433372, 1e-7);
  // Gain at half the sample rate: |b / (1 + a)| for the alternating input.
  EXPECT_NEAR(stage.b / (1.0 + stage.a), 0.9169, 1e-4);
}

TEST(OnePole, NonNormalInputIsTakenAsZero) {
  LP6 f;
  f.SetStepTime(1.0 / 44100);
  f.SetCutoff(1000.0);
  f.Process(1.0);
  const double state = f.state;
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), 1e-310}) {
    f.state = state;
    EXPECT_DOUBLE_EQ(f.Process(bad), f.a * state) << bad;
  }
}

TEST(OnePole, SubnormalResultBecomesExactZero) {
  LP6 f;
  f.a = 0.5;
  f.b = 0.5;
  f.state = 1e-308;
  EXPECT_EQ(f.Process(0.0), 0.0);
  EXPECT_EQ(f.state, 0.0);
}

TEST(VoiceFilters, ToneCutoffsPerKey) {
  struct Row {
    int key;
    double four, eight;
  } rows[] = {{80, 8000, 4000}, {70, 4000, 2000}, {60, 1600, 800}, {50, 1170, 585}, {40, 800, 400}};
  for (const Row& r : rows) {
    Voice v;
    v.ResetVoice(44100);
    v.key = r.key;
    v.tone = 8000;
    v.SetupVoiceFilters();
    EXPECT_DOUBLE_EQ(v.filters.Pole(ToneFilterPair::kFour), std::exp(r.four * -6.283185307179586 / 44100)) << r.key;
    EXPECT_DOUBLE_EQ(v.filters.Pole(ToneFilterPair::kEight), std::exp(r.eight * -6.283185307179586 / 44100)) << r.key;
  }
}

TEST(VoiceFilters, ResetVoiceSilencesFiltersAndSetsEnvelope) {
  Voice v;
  v.active = v.held = v.sustained = true;
  v.stamp = 7;
  v.ResetVoice(48000);
  EXPECT_FALSE(v.active || v.held || v.sustained);
  EXPECT_EQ(v.stamp, 0);
  const Double2 out = v.filters.Process(Double2{1.0, 1.0});
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[1], 0.0);
  EXPECT_EQ(v.envelope.release, 0.1);
  EXPECT_EQ(v.envelope.attack, 0.01);
  EXPECT_EQ(v.envelope.sustain, 1.0);
  EXPECT_DOUBLE_EQ(v.envelope.rateScale, 2.302585092994046 / 48000);
}

}  // namespace
