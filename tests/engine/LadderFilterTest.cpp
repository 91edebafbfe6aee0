// Synthesizer ladder filter: worked values, resonance gains, loop gain, glide timing, table ends, recovery, bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/LadderFilter.h"

namespace {

double Noise(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
}

}  // namespace

TEST(LadderFilterTest, OutputGainFollowsResonance) {
  struct Row {
    double parameter;
    double gain;
  };
  const Row rows[] = {{0.0, 1.0}, {0.5 / 0.9, 2.0}, {1.0, 1.36}};
  for (const Row& r : rows) {
    LadderFilter f;
    f.SetResonanceParameter(r.parameter);
    f.Process(0.0, 0.0);
    EXPECT_NEAR(f.OutputGain(), r.gain, 1e-12) << "parameter " << r.parameter;
  }
}

TEST(LadderFilterTest, FeedbackAtFullResonance) {
  LadderFilter f;
  f.SetResonanceParameter(1.0);
  f.Process(0.0, 0.0);  // index 0, about 8 Hz
  EXPECT_NEAR(f.Feedback(), 3.69, 1e-12);
  f.Process(0.0, 16000.0);  // about 11 kHz, above 2 kHz
  EXPECT_NEAR(f.Feedback() / f.Resonance(), 4.005, 1e-12);
}

TEST(LadderFilterTest, CutoffChangeNeedsResonanceRecompute) {
  LadderFilter f;
  f.Process(0.0, 0.0);
  EXPECT_NEAR(f.OutputGain(), 1.0, 1e-12);
  f.SetResonanceParameter(1.0);  // same index: only the cleared cache forces the new gain
  f.Process(0.0, 0.0);
  EXPECT_NEAR(f.OutputGain(), 1.36, 1e-12);
  f.SetResonanceParameter(0.0);
  f.Process(0.0, -1.5);  // below the table: must still pick up the change
  EXPECT_NEAR(f.OutputGain(), 1.0, 1e-12);
}

// A gliding filter must behave exactly like a still filter whose modulation walks one unit per
// sample: this pins the arrival to exactly 16160 samples, both ways.
TEST(LadderFilterTest, FullCutoffMoveTakes16160Samples) {
  struct Row {
    double from;
    double to;
  };
  const Row rows[] = {{0.0, 1.0}, {1.0, 0.0}};
  for (const Row& r : rows) {
    LadderFilter gliding;
    LadderFilter reference;  // stays at index 0 and is steered by modulation
    reference.SetResonanceParameter(0.8);
    gliding.SetResonanceParameter(0.8);
    // A fresh filter starts at its setting; once it has run, a move glides. Silent input keeps
    // both at exactly zero state, and both see the same number of calls so their anti-denormal
    // offsets agree.
    gliding.SetCutoffParameter(r.from);
    const int start = static_cast<int>(r.from * 16160);
    EXPECT_EQ(gliding.CurrentIndex(), start);
    for (int i = 0; i < 100; ++i) {
      gliding.Process(0.0, 0.0);
      reference.Process(0.0, start);
    }
    ASSERT_EQ(gliding.CurrentIndex(), start);
    gliding.SetCutoffParameter(r.to);
    EXPECT_EQ(gliding.GlideStep(), r.to > r.from ? 1 : -1);
    uint32_t seed = 3;
    for (int k = 0; k < 17000; ++k) {
      const int walked = r.to > r.from ? std::min(k + 1, 16160) : std::max(16160 - (k + 1), 0);
      const double x = Noise(seed);
      ASSERT_EQ(gliding.Process(x, 0.0), reference.Process(x, walked)) << "sample " << k;
      if (k == 16158) {
        EXPECT_NE(gliding.CurrentIndex(), gliding.TargetIndex());
      }
      if (k == 16159) {
        EXPECT_EQ(gliding.CurrentIndex(), gliding.TargetIndex());
      }
    }
  }
}

TEST(LadderFilterTest, ModulationBeyondTableHoldsEnds) {
  struct Row {
    double beyond;
    double end;
    double inside;  // next index in from the end: must sound different
  };
  const Row rows[] = {{-50000.0, 0.0, 1.0}, {1e15, 17280.0, 17279.0}, {std::nan(""), 0.0, 1.0}};
  for (const Row& r : rows) {
    LadderFilter beyond, end, inside;
    for (LadderFilter* f : {&beyond, &end, &inside}) f->SetResonanceParameter(0.7);
    uint32_t seed = 11;
    bool differs = false;
    for (int i = 0; i < 2000; ++i) {
      const double x = Noise(seed);
      const double y = end.Process(x, r.end);
      ASSERT_EQ(beyond.Process(x, r.beyond), y) << "modulation " << r.beyond << " sample " << i;
      differs = differs || inside.Process(x, r.inside) != y;
    }
    EXPECT_TRUE(differs) << r.inside;
  }
}

// A bad input poisons the output and the states for one sample only: the states are replaced by 0
// at the next sample and the filter carries on.
TEST(LadderFilterTest, NonFiniteStateRecoversAtNextSample) {
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    LadderFilter f;
    f.SetResonanceParameter(0.9);
    f.SetCutoffParameter(0.7);
    uint32_t seed = 5;
    for (int i = 0; i < 1000; ++i) f.Process(Noise(seed), 0.0);
    f.Process(bad, 0.0);
    bool poisoned = false;
    for (int s = 0; s < 4; ++s) poisoned = poisoned || !std::isfinite(f.State(s));
    ASSERT_TRUE(poisoned) << bad;
    EXPECT_TRUE(std::isfinite(f.Process(0.25, 0.0))) << bad;
    for (int s = 0; s < 4; ++s) EXPECT_TRUE(std::isfinite(f.State(s))) << bad << " stage " << s;
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(std::isfinite(f.Process(Noise(seed), 0.0))) << bad << " sample " << i;
  }
}

TEST(LadderFilterTest, LoudInputAtFullResonanceStaysBounded) {
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    LadderFilter f;
    f.SetSampleRate(fs);
    f.SetResonanceParameter(1.0);
    f.SetCutoffParameter(0.7071067811865476);
    double peak = 0.0;
    for (int i = 0; i < static_cast<int>(fs); ++i) {
      const double x = (i / static_cast<int>(fs / 200)) % 2 ? 100.0 : -100.0;
      const double y = f.Process(x, 3000.0 * std::sin(i * 0.001));
      ASSERT_TRUE(std::isfinite(y)) << "sample " << i;
      peak = std::max(peak, std::fabs(y));
    }
    // Input 100 plus at most 5 x 3.69 fed back, times gain 1.36.
    EXPECT_LT(peak, 1.36 * (100.0 + 5.0 * 3.69)) << fs;
  }
}

TEST(LadderFilterTest, SilentFilterStaysNormalOrZero) {
  LadderFilter f;
  f.SetCutoffParameter(0.5);
  f.SetResonanceParameter(0.9);
  uint32_t seed = 9;
  for (int i = 0; i < 20000; ++i) f.Process(Noise(seed), 0.0);
  for (int i = 0; i < 5 * 44100; ++i) {
    const double y = f.Process(0.0, 0.0);
    ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << "sample " << i;
    for (int s = 0; s < 4; ++s) ASSERT_NE(std::fpclassify(f.State(s)), FP_SUBNORMAL) << "sample " << i;
  }
}

// Pitch units at the ends of VCF Cutoff: 1 gives index 16160 (about 12016 Hz), the default
// 0.7071067811865476 gives 11426 (about 1419 Hz).
TEST(LadderFilterTest, CutoffParameterIndexAndFrequency) {
  struct Row {
    double parameter;
    int index;
    double hz;
  };
  const Row rows[] = {{1.0, 16160, 12015.8275}, {0.7071067811865476, 11426, 1418.977140625}, {0.0, 0, 8.176}};
  for (const Row& r : rows) {
    LadderFilter f;
    f.SetCutoffParameter(r.parameter);
    EXPECT_EQ(f.TargetIndex(), r.index) << r.parameter;
    EXPECT_NEAR(PitchToFrequency(f.TargetIndex()), r.hz, 1e-9) << r.parameter;
  }
}

// Output of Process for a few inputs, worked out step by step from the filter's definition (table
// lookup, coefficients, denormal offset, predicted output, saturated feedback, four stages) in
// tests/engine/reference_values.py. The cutoff stays at index 0 and the modulation places it.
TEST(LadderFilterTest, ProcessMatchesWorkedValues) {
  struct Row {
    const char* what;
    double rate;
    double resonance;  // VCF Resonance, 0..1
    double modulation;
    std::vector<double> in;
    std::vector<double> out;
  };
  const Row rows[] = {
      {"1419 Hz, resonance 0.72, soft saturation", 44100.0, 0.8, 11426.0,
       {1.0, 0.5, -0.25, 0.0, 0.0, 0.3, -0.7, 0.0},
       {0.00012828843740412301, 0.0009960390293849387, 0.003732292693425916, 0.009247677720945464,
        0.01756015488163991, 0.027982734091238828, 0.03959695137948082, 0.05129295481186275}},
      {"12 kHz, full resonance, feedback clipped at +-5", 44100.0, 1.0, 16160.7,
       {1000.0, 1000.0, -1000.0, -1000.0, 0.0, 0.0},
       {52.90446613447416, 276.8332622511052, 550.3576243024687, 411.8309561040646, -170.62881425914264,
        -549.3062242135741}},
      {"96 kHz, index 9000, resonance 0.27", 96000.0, 0.3, 9000.9,
       {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, -1.0, -1.0},
       {9.802390909002035e-08, 8.70216124714688e-07, 3.899909350792192e-06, 1.2043181263568223e-05,
        2.936210974951773e-05, 6.096083000614532e-05, 0.00011263850199071704, 0.00018999026876500674}},
  };
  for (const Row& r : rows) {
    LadderFilter f;
    f.SetSampleRate(r.rate);
    f.SetResonanceParameter(r.resonance);
    for (size_t i = 0; i < r.in.size(); ++i) {
      const double y = f.Process(r.in[i], r.modulation);
      EXPECT_NEAR(y, r.out[i], std::fabs(r.out[i]) * 1e-12) << r.what << ", sample " << i;
    }
  }
}

// After a control period of silent input with every state below 1e-10 the states become exactly 0
// (so the engine can idle); a loud state, any input or a period without processing keeps them.
TEST(LadderFilterTest, SettlesToZeroOnlyAfterAQuietPeriod) {
  struct Row {
    const char* what;
    int decay;         // silent samples before the period, after the noise
    double lastInput;  // the period's last input (the others are 0)
    int period;        // samples processed in the period
    bool settles;
  };
  const Row rows[] = {
      {"died away, silent period", 44100, 0.0, 44, true},
      {"still ringing", 10, 0.0, 44, false},
      {"died away, one sample of input", 44100, 1e-300, 44, false},
      {"died away, not run since the last step", 44100, 0.0, 0, false},
  };
  for (const Row& r : rows) {
    LadderFilter f;
    f.SetResonanceParameter(0.8);
    f.SetCutoffParameter(0.5);
    uint32_t seed = 4;
    for (int i = 0; i < 4000; ++i) f.Process(Noise(seed), 0.0);
    for (int i = 0; i < r.decay; ++i) f.Process(0.0, 0.0);
    f.SettleIfQuiet();
    for (int i = 0; i < r.period; ++i) f.Process(i == r.period - 1 ? r.lastInput : 0.0, 0.0);
    const double before = std::fabs(f.State(0)) + std::fabs(f.State(3));
    ASSERT_GT(before, 0.0) << r.what;
    f.SettleIfQuiet();
    EXPECT_EQ(f.IsSilent(), r.settles) << r.what;
    if (!r.settles) {
      EXPECT_EQ(std::fabs(f.State(0)) + std::fabs(f.State(3)), before) << r.what;
    }
  }
}
