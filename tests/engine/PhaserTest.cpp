// Phaser: sweep ends and order, worked values, loop feedback limit, sweep ceiling, bad input, silent tail, bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "engine/Phaser.h"

namespace {

double Noise(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
}

}  // namespace

TEST(PhaserTest, LoopFeedbackStaysShortOfOne) {
  struct Row {
    double feedback;
    double loop;
  };
  const Row rows[] = {{-1.0, -0.999}, {1.0, 0.999}, {0.0, 0.0}, {-7.0, -0.999}, {7.0, 0.999}, {std::nan(""), 0.0}};
  for (const Row& r : rows) {
    Phaser p;
    p.Reset(44100.0);
    p.SetFeedback(r.feedback);
    p.Tick();
    EXPECT_DOUBLE_EQ(p.LoopFeedback(), r.loop) << "feedback " << r.feedback;
  }
}

TEST(PhaserTest, SweepCeilingIs12kHz) {
  struct Row {
    double fs;
    double omegaMax;
  };
  const Row rows[] = {{44100.0, 1.7097102876679147}, {48000.0, 1.5707963267948966}, {96000.0, 0.7853981633974483}};
  for (const Row& r : rows) {
    Phaser p;
    p.Reset(r.fs);
    EXPECT_DOUBLE_EQ(p.OmegaMax(), r.omegaMax) << r.fs;
  }
  Phaser p;
  EXPECT_DOUBLE_EQ(p.OmegaMax(), 1.7097102876679147);
  p.Reset(0.0);
  EXPECT_DOUBLE_EQ(p.OmegaMax(), 1.7097102876679147);
}

TEST(PhaserTest, NanInputSilencesThatChannelOnly) {
  Phaser a, b;
  for (Phaser* p : {&a, &b}) {
    p->Reset(48000.0);
    p->SetSpeed(0.7);
    p->SetFeedback(0.6);
  }
  uint32_t seed = 8;
  for (int i = 0; i < 9600; ++i) {
    if (i % 48 == 0) {
      a.Tick();
      b.Tick();
    }
    const double l = Noise(seed), r = Noise(seed);
    const bool bad = i == 3000 || i == 3001 || i == 5000;
    double al = bad ? std::nan("") : l, ar = r;
    double bl = bad ? 0.0 : l, br = r;
    a.Process(al, ar);
    b.Process(bl, br);
    ASSERT_EQ(al, bl) << "sample " << i;
    ASSERT_EQ(ar, br) << "sample " << i;
  }
}

TEST(PhaserTest, SilenceDecaysToDitherSize) {
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    Phaser p;
    p.Reset(fs);
    p.SetSpeed(0.3);
    p.SetFeedback(-0.8);
    const int tick = static_cast<int>(fs / 1000);
    uint32_t seed = 10;
    for (int i = 0; i < static_cast<int>(fs * 0.2); ++i) {
      if (i % tick == 0) p.Tick();
      double l = Noise(seed), r = Noise(seed);
      p.Process(l, r);
    }
    double tail = 0.0;
    for (int i = 0; i < static_cast<int>(fs * 2); ++i) {
      if (i % tick == 0) p.Tick();
      double l = 0.0, r = 0.0;
      p.Process(l, r);
      ASSERT_NE(std::fpclassify(l), FP_SUBNORMAL) << fs << " sample " << i;
      ASSERT_NE(std::fpclassify(r), FP_SUBNORMAL) << fs << " sample " << i;
      for (int k = 0; k < 4; ++k) ASSERT_NE(std::fpclassify(p.State(0, k)), FP_SUBNORMAL) << fs;
      if (i > fs) tail = std::max(tail, std::max(std::fabs(l), std::fabs(r)));
    }
    EXPECT_LT(tail, 1e-11) << fs;
  }
}

TEST(PhaserTest, LoudInputAtFullFeedbackStaysBounded) {
  for (double feedback : {-1.0, 1.0}) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
      Phaser p;
      p.Reset(fs);
      p.SetSpeed(2.0);
      p.SetFeedback(feedback);
      const int tick = static_cast<int>(fs / 1000);
      uint32_t seed = 12;
      double peak = 0.0;
      for (int i = 0; i < static_cast<int>(fs); ++i) {
        if (i % tick == 0) p.Tick();
        double l = 100.0 * Noise(seed), r = (i / 50) % 2 ? 100.0 : -100.0;
        p.Process(l, r);
        ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << "sample " << i;
        peak = std::max(peak, std::max(std::fabs(l), std::fabs(r)));
      }
      // The loop gain never reaches 1 (0.999 at most), so the response stays finite; 1000 x the input
      // is the steady-state limit of 1 / (1 - 0.999).
      EXPECT_LT(peak, 100.0 * 1000.0) << feedback << " " << fs;
    }
  }
}

// The break frequency of the stages (from d = (c - 2) / (c + 2), c = 2 pi f / fs) at both ends of
// the sweep: c = 0.02 x omega max at the bottom of the triangle, 0.90 x omega max at the top.
TEST(PhaserTest, SweepRunsFrom240HzTo10800Hz) {
  struct Row {
    double speed;  // 0 leaves the phase at 0 (bottom); 500 puts it at 1 - 2 = -1 (top) in one tick
    double d;
    double hz;
  };
  const Row rows[] = {{0.0, -0.9663805887789416, 240.0}, {500.0, -0.1303460660286429, 10800.0}};
  for (const Row& r : rows) {
    Phaser p;
    p.Reset(44100.0);
    p.SetSpeed(r.speed);
    p.Tick();
    const double d = p.StageCoefficient();
    EXPECT_NEAR(d, r.d, 1e-15) << r.speed;
    EXPECT_NEAR(2.0 * (1.0 + d) / (1.0 - d) * 44100.0 / (2.0 * 3.141592653589793), r.hz, 1e-6) << r.speed;
    EXPECT_DOUBLE_EQ(p.CascadeGain(), r.d * r.d * r.d * r.d);
  }
}

// The sweep is depth x u^2 + offset with u^2 formed first: at speed 13.7 the tenth tick gives a d that
// (depth x u) x u would miss in the last bit.
TEST(PhaserTest, SweepSquaresUBeforeScaling) {
  Phaser p;
  p.Reset(44100.0);
  p.SetSpeed(13.7);
  for (int i = 0; i < 10; ++i) p.Tick();
  EXPECT_EQ(p.StageCoefficient(), -0.862935082117432);
}

// Tick and Process with feedback 0, worked out step by step (tests/engine/reference_values.py): one
// tick at speed 0.37, then six stereo pairs, dither included.
TEST(PhaserTest, ProcessMatchesWorkedValuesAtFeedbackZero) {
  Phaser p;
  p.Reset(44100.0);
  p.SetSpeed(0.37);
  p.Tick();
  const double in[][2] = {{1.0, 0.5}, {0.0, 0.0}, {-0.5, 0.25}, {0.0, 0.0}, {0.0, 0.0}, {0.8, -0.8}};
  const double out[][2] = {{0.9360751755323489, 0.4680375877662213},    {-0.11932771090318994, -0.059663855451602604},
                           {-0.5711086529484548, 0.18248326129193881},  {-0.028667235358931245, -0.07399747313106769},
                           {-0.023460322866743467, -0.06326569402458815}, {0.7300651735572194, -0.802423169265402}};
  for (int i = 0; i < 6; ++i) {
    double l = in[i][0], r = in[i][1];
    p.Process(l, r);
    EXPECT_NEAR(l, out[i][0], std::fabs(out[i][0]) * 1e-12) << "sample " << i;
    EXPECT_NEAR(r, out[i][1], std::fabs(out[i][1]) * 1e-12) << "sample " << i;
  }
}

// After a control period of silent input on both channels with every state below 1e-10 the states
// become exactly 0 and stay there; a loud state or input on either channel keeps them.
TEST(PhaserTest, SettlesToZeroOnlyAfterAQuietPeriod) {
  struct Row {
    const char* what;
    int decay;  // silent samples after the noise, before the period
    double left, right;  // the period's last input pair (the others are 0)
    bool settles;
  };
  const Row rows[] = {
      {"died away, silent period", 44100, 0.0, 0.0, true},
      {"still ringing", 10, 0.0, 0.0, false},
      {"input on the right", 44100, 0.0, 1e-9, false},
      {"input on the left", 44100, -1e-9, 0.0, false},
  };
  for (const Row& r : rows) {
    Phaser p;
    p.Reset(44100.0);
    p.SetFeedback(0.9);
    p.Tick();
    uint32_t seed = 6;
    for (int i = 0; i < 4000; ++i) {
      double l = Noise(seed), rr = Noise(seed);
      p.Process(l, rr);
    }
    double l = 0.0, rr = 0.0;
    for (int i = 0; i < r.decay; ++i) p.Process(l = 0.0, rr = 0.0);
    p.SettleIfQuiet();
    for (int i = 0; i < 44; ++i) {
      l = i == 43 ? r.left : 0.0;
      rr = i == 43 ? r.right : 0.0;
      p.Process(l, rr);
    }
    p.SettleIfQuiet();
    EXPECT_EQ(p.IsSilent(), r.settles) << r.what;
    if (r.settles) {
      p.Process(l = 0.0, rr = 0.0);
      EXPECT_EQ(l, 0.0) << r.what;
      EXPECT_TRUE(p.IsSilent()) << r.what;
    }
  }
}
