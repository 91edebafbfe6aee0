// Bass voice low-pass: cutoff range, resonance, clamping, denormal protection, instances at different rates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/BassFilter.h"
#include "engine/PitchTables.h"

namespace {

double Noise(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
}

// Peak of the steady-state response to a unit sine at hz (after one second of settling).
double SineGain(BassFilter& f, double fs, double hz) {
  const int settle = static_cast<int>(fs);
  const int measure = static_cast<int>(fs / 2);
  double peak = 0.0;
  for (int i = 0; i < settle + measure; ++i) {
    const double y = f.Process(std::sin(2.0 * 3.141592653589793 * hz * i / fs));
    if (i >= settle) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

}  // namespace

TEST(BassFilterTest, CutoffFollowsEnvelopeRange) {
  struct Row {
    double x;
    int index;
    double hz;
  };
  const Row rows[] = {
      {0.0, 700, 11.2},
      {17280 * 0.38, 7266, 217.1},
  };
  BassFilter f;
  for (const Row& r : rows) {
    f.SetCutoff(r.x);
    EXPECT_EQ(f.CutoffIndex(), r.index) << "x " << r.x;
    EXPECT_NEAR(PitchToFrequency(f.CutoffIndex()), r.hz, 0.05) << "x " << r.x;
  }
}

TEST(BassFilterTest, CutoffIndexIsClampedToTable) {
  struct Row {
    double x;
    int index;
  };
  const Row rows[] = {
      {-700.0, 0}, {-1e12, 0}, {16580.0, 17280}, {1e12, 17280}, {std::nan(""), 0}, {HUGE_VAL, 17280},
  };
  BassFilter f;
  for (const Row& r : rows) {
    f.SetCutoff(r.x);
    EXPECT_EQ(f.CutoffIndex(), r.index) << "x " << r.x;
  }
}

TEST(BassFilterTest, UnityAtDcAndQAtCutoff) {
  // Resonance control 0.04 gives Q = 1.32, the gain of this low-pass at its cutoff.
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    BassFilter f;
    f.SetSampleRate(fs);
    f.SetCutoff(17280 * 0.38);
    EXPECT_NEAR(SineGain(f, fs, PitchToFrequency(7266)), 1.32, 0.01) << fs;
    double y = 0.0;
    for (int i = 0; i < static_cast<int>(fs); ++i) y = f.Process(1.0);
    EXPECT_NEAR(y, 1.0, 1e-6) << fs;
  }
}

TEST(BassFilterTest, SilenceNeverTurnsSubnormal) {
  BassFilter f;
  f.SetCutoff(3000.0);
  uint32_t seed = 1;
  for (int i = 0; i < 4410; ++i) f.Process(Noise(seed));
  double last = 1.0;
  for (int i = 0; i < 5 * 44100; ++i) {
    last = f.Process(0.0);
    ASSERT_NE(std::fpclassify(last), FP_SUBNORMAL) << "sample " << i;
  }
  EXPECT_LT(std::fabs(last), 1e-10);
}

TEST(BassFilterTest, InstancesAtDifferentRatesDoNotShareTables) {
  BassFilter alone;
  alone.SetSampleRate(48000.0);
  alone.SetCutoff(4000.0);
  BassFilter a;
  BassFilter b;
  a.SetSampleRate(48000.0);
  b.SetSampleRate(96000.0);
  a.SetCutoff(4000.0);
  b.SetCutoff(4000.0);
  uint32_t seed = 7;
  for (int i = 0; i < 2000; ++i) {
    const double x = Noise(seed);
    b.Process(x);
    ASSERT_EQ(a.Process(x), alone.Process(x)) << "sample " << i;
  }
}
