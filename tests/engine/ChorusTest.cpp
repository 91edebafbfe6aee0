// Ensemble chorus line: delay at the working point, sweep range, silent tail, resizing, bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/Chorus.h"
#include "engine/LP12.h"

namespace {

double Noise(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
}

int PeakIndex(const std::vector<double>& v) {
  int best = 0;
  for (int i = 1; i < static_cast<int>(v.size()); ++i) {
    if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
  }
  return best;
}

// Peak position (samples) of an impulse through the line's two 7 kHz band-limiting filters alone,
// so the line's own delay can be told apart from theirs.
int FilterPeak(double fs) {
  LP12 a, b;
  for (LP12* f : {&a, &b}) {
    f->SetSampleRate(fs);
    f->SetCutoff(7000.0);
  }
  std::vector<double> out(64);
  for (int i = 0; i < 64; ++i) out[i] = b.Process(a.Process(i == 0 ? 1.0 : 0.0));
  return PeakIndex(out);
}

}  // namespace

TEST(ChorusTest, StagesFollowRate) {
  struct Row {
    double fs;
    int stages;
  };
  const Row rows[] = {{44100.0, 882}, {48000.0, 960}, {96000.0, 1920}};
  for (const Row& r : rows) {
    Chorus c;
    c.ResetForRate(r.fs, 0.5, 0.05);
    EXPECT_EQ(c.Stages(), r.stages) << r.fs;
  }
}

TEST(ChorusTest, DepthZeroIsFixedDelayOf11_25ms) {
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    Chorus c;
    c.ResetForRate(fs, 0.13, 0.0);
    c.Tick();
    std::vector<double> out(static_cast<size_t>(fs * 0.03));
    for (size_t i = 0; i < out.size(); ++i) {
      if (i % static_cast<size_t>(fs / 1000) == 0) c.Tick();
      out[i] = c.Process(i == 0 ? 1.0 : 0.0);
    }
    // Each cubic interpolates between its second and third history entries, one sample behind the
    // newest, so writing and reading add two samples to the line's own 11.25 ms.
    const double ms = (PeakIndex(out) - FilterPeak(fs) - 2) * 1000.0 / fs;
    EXPECT_NEAR(ms, 11.25, 1000.0 / fs) << fs;
  }
}

TEST(ChorusTest, LargestDepthSweeps10_375To12_125ms) {
  Chorus c;
  c.ResetForRate(44100.0, 1.0, 0.1);
  double lo = 1.0, hi = 0.0;
  for (int tick = 0; tick < 2000; ++tick) {  // two LFO cycles at 1 cycle per 1000 ticks
    c.Tick();
    lo = std::min(lo, c.ClockStep());
    hi = std::max(hi, c.ClockStep());
  }
  // The line holds 20 ms of stages; each stage waits one clock step.
  EXPECT_NEAR(lo * 20.0, 10.375, 1e-3);
  EXPECT_NEAR(hi * 20.0, 12.125, 1e-3);
}

TEST(ChorusTest, SilenceAfterSoundDecaysToExactZero) {
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    Chorus c;
    c.ResetForRate(fs, 0.7, 0.08);
    const int tick = static_cast<int>(fs / 1000);
    uint32_t seed = 2;
    int i = 0;
    for (; i < static_cast<int>(fs * 0.1); ++i) {
      if (i % tick == 0) c.Tick();
      c.Process(Noise(seed));
    }
    bool soundedOn = false;
    for (int k = 0; k < static_cast<int>(fs * 0.01); ++k, ++i) soundedOn = soundedOn || c.Process(0.0) != 0.0;
    EXPECT_TRUE(soundedOn) << "the stored stages should still sound right after the input stops, " << fs;
    for (; i < static_cast<int>(fs * 0.3); ++i) {
      if (i % tick == 0) c.Tick();
      c.Process(0.0);
    }
    for (int k = 0; k < static_cast<int>(fs * 0.1); ++k, ++i) {
      if (i % tick == 0) c.Tick();
      ASSERT_EQ(c.Process(0.0), 0.0) << fs << " sample " << k;
    }
  }
}

TEST(ChorusTest, SameRateKeepsLineOtherRateClearsIt) {
  struct Row {
    double newRate;
    bool keeps;
  };
  const Row rows[] = {{44100.0, true}, {48000.0, false}, {96000.0, false}};
  for (const Row& r : rows) {
    Chorus c;
    uint32_t seed = 4;
    for (int i = 0; i < 2000; ++i) c.Process(Noise(seed));
    c.SetSampleRate(r.newRate);
    bool sounded = false;
    for (int i = 0; i < static_cast<int>(r.newRate * 0.05); ++i) sounded = sounded || c.Process(0.0) != 0.0;
    EXPECT_EQ(sounded, r.keeps) << r.newRate;
  }
}

TEST(ChorusTest, NonFiniteInputCountsAsSilence) {
  Chorus a, b;
  a.ResetForRate(48000.0, 0.5, 0.05);
  b.ResetForRate(48000.0, 0.5, 0.05);
  uint32_t seed = 6;
  for (int i = 0; i < 4800; ++i) {
    if (i % 48 == 0) {
      a.Tick();
      b.Tick();
    }
    const double x = Noise(seed);
    const bool bad = i % 97 == 0;
    const double poison = i % 2 ? std::nan("") : -HUGE_VAL;
    ASSERT_EQ(a.Process(bad ? poison : x), b.Process(bad ? 0.0 : x)) << "sample " << i;
  }
}
