// Stereo echo: free and synced times, mix law, ping-pong, feedback bound, bad input and tempo.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/StereoDelay.h"

namespace {

double Noise(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
}

struct Settings {
  bool x2 = false;
  bool sync = false;
  bool pingPong = false;
  double t = 0.0;
  double bpm = 120.0;
  double feedback = 0.0;
  double mix = 1.0;
};

// Runs an impulse on the left input through a delay at fs, calling SetTime once per control
// period as the engine does; returns both outputs.
void RenderImpulse(StereoDelay& d, double fs, const Settings& s, double seconds, std::vector<double>& left,
                   std::vector<double>& right) {
  d.Reset(fs);
  d.SetX2(s.x2);
  d.SetSync(s.sync);
  d.SetPingPong(s.pingPong);
  d.SetFeedback(s.feedback);
  d.SetMix(s.mix);
  const int period = static_cast<int>(fs) / 1000;
  const int n = static_cast<int>(fs * seconds);
  left.assign(n, 0.0);
  right.assign(n, 0.0);
  for (int i = 0; i < n; ++i) {
    if (i % period == 0) d.SetTime(s.t, s.bpm);
    double l = i == 0 ? 1.0 : 0.0, r = 0.0;
    d.Process(l, r);
    left[i] = l;
    right[i] = r;
  }
}

int PeakIndex(const std::vector<double>& v, int from = 0, int to = -1) {
  if (to < 0) to = static_cast<int>(v.size());
  int best = from;
  for (int i = from; i < to; ++i) {
    if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
  }
  return best;
}

// t for note value index i: i = (1 - t) * 19.
double SyncT(int index) { return 1.0 - index / 19.0; }

}  // namespace

TEST(StereoDelayTest, StagesCover1_2Seconds) {
  StereoDelay d;
  EXPECT_EQ(d.Stages(), 52920);
  d.Reset(96000.0);
  EXPECT_EQ(d.Stages(), 115200);
  EXPECT_EQ(d.VibeSpeed(), 0.02);
  EXPECT_DOUBLE_EQ(d.VibeDepth(), 0.02);
}

TEST(StereoDelayTest, EchoArrivesAtItsTime) {
  struct Row {
    const char* what;
    bool x2;
    bool sync;
    double t;
    double bpm;
    double ms;
  };
  const double nan = std::nan("");
  const Row rows[] = {
      {"free t=0", false, false, 0.0, 120.0, 75.0},
      {"free t=1", false, false, 1.0, 120.0, 600.0},
      {"free x2 t=0", true, false, 0.0, 120.0, 150.0},
      {"free x2 t=1", true, false, 1.0, 120.0, 1200.0},
      {"sync 1/4", false, true, SyncT(7), 120.0, 500.0},
      {"sync 2/1", false, true, SyncT(0), 120.0, 1000.0},
      {"sync 1/64", false, true, SyncT(19), 120.0, 62.5},
      {"sync ignores x2", true, true, SyncT(7), 120.0, 500.0},
      {"bpm 0", false, true, SyncT(7), 0.0, 500.0},
      {"bpm -1", false, true, SyncT(7), -1.0, 500.0},
      {"bpm NaN", false, true, SyncT(7), nan, 500.0},
      {"bpm inf", false, true, SyncT(7), HUGE_VAL, 500.0},
  };
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    for (const Row& r : rows) {
      Settings s;
      s.x2 = r.x2;
      s.sync = r.sync;
      s.t = r.t;
      s.bpm = r.bpm;
      StereoDelay d;
      std::vector<double> left, right;
      RenderImpulse(d, fs, s, 1.3, left, right);
      EXPECT_NEAR(PeakIndex(left) * 1000.0 / fs, r.ms, 0.5) << r.what << " at " << fs;
      EXPECT_NEAR(PeakIndex(right) * 1000.0 / fs, 0.0, 0.0) << r.what << ": right input is silent";
    }
  }
}

TEST(StereoDelayTest, ExtremeTemposStayInRange) {
  struct Row {
    double bpm;
    int index;
    double ms;
  };
  // 1 BPM "2/1" is 480 s, halved into range; 10000 BPM "1/64" is 0.375 ms, doubled into range.
  const Row rows[] = {{1.0, 0, 937.5}, {1e9, 19, 48.0}, {10000.0, 19, 48.0}};
  for (const Row& r : rows) {
    Settings s;
    s.sync = true;
    s.t = SyncT(r.index);
    s.bpm = r.bpm;
    StereoDelay d;
    std::vector<double> left, right;
    RenderImpulse(d, 44100.0, s, 1.3, left, right);
    EXPECT_NEAR(PeakIndex(left) * 1000.0 / 44100.0, r.ms, 1.0) << r.bpm;
  }
}

TEST(StereoDelayTest, MixLaw) {
  struct Row {
    double mix;
    double dry;
    double wet;
  };
  const Row rows[] = {{0.0, 1.0, 0.0}, {0.5, std::sqrt(0.5), std::sqrt(0.5)}, {1.0, 0.0, 1.0}};
  for (const Row& r : rows) {
    StereoDelay d;
    d.SetMix(r.mix);
    EXPECT_DOUBLE_EQ(d.DryGain(), r.dry) << r.mix;
    EXPECT_DOUBLE_EQ(d.WetGain(), r.wet) << r.mix;
  }
}

TEST(StereoDelayTest, MixZeroPassesInputUnchanged) {
  StereoDelay d;
  d.Reset(48000.0);
  d.SetMix(0.0);
  d.SetFeedback(0.7);
  uint32_t seed = 13;
  for (int i = 0; i < 48000; ++i) {
    if (i % 48 == 0) d.SetTime(0.3, 120.0);
    const double l = Noise(seed), r = Noise(seed);
    double pl = l, pr = r;
    d.Process(pl, pr);
    ASSERT_EQ(pl, l) << "sample " << i;
    ASSERT_EQ(pr, r) << "sample " << i;
  }
}

TEST(StereoDelayTest, MixOneGivesOnlyTheEcho) {
  Settings s;  // free, t = 0: 75 ms
  StereoDelay d;
  std::vector<double> left, right;
  RenderImpulse(d, 44100.0, s, 0.2, left, right);
  for (int i = 0; i < static_cast<int>(0.07 * 44100); ++i) ASSERT_EQ(left[i], 0.0) << "sample " << i;
  // The line passes DC at unity, so the echo of a unit impulse sums to 1.
  double sum = 0.0;
  for (double v : left) sum += v;
  EXPECT_NEAR(sum, 1.0, 0.02);
}

TEST(StereoDelayTest, PingPongIsHeardFirstOnTheRight) {
  Settings s;
  s.pingPong = true;
  s.feedback = 0.5;
  StereoDelay d;
  std::vector<double> left, right;
  RenderImpulse(d, 44100.0, s, 0.2, left, right);
  const int first = PeakIndex(right, 0, static_cast<int>(0.1 * 44100));
  EXPECT_NEAR(first * 1000.0 / 44100.0, 75.0, 1.0);
  const int second = PeakIndex(left);
  EXPECT_NEAR(second * 1000.0 / 44100.0, 150.0, 1.0);
  for (int i = 0; i < static_cast<int>(0.14 * 44100); ++i) ASSERT_EQ(left[i], 0.0) << "sample " << i;
  EXPECT_NEAR(left[second] / right[first], 0.5, 0.05);
}

TEST(StereoDelayTest, VibeDetunesChannelsOppositeUnlessPingPong) {
  for (bool pingPong : {false, true}) {
    StereoDelay d;
    d.SetVibe(true);
    d.SetVibeDepth(1.0);
    d.SetVibeSpeed(1.0);
    d.SetPingPong(pingPong);
    for (int i = 0; i < 250; ++i) d.SetTime(0.5, 120.0);  // a quarter cycle: full swing
    const double base = 0.5 * 0.875 + 0.125;
    EXPECT_GT(d.ClockStep(0) - base, 0.08) << pingPong;
    if (pingPong) {
      EXPECT_EQ(d.ClockStep(1), d.ClockStep(0));
    } else {
      EXPECT_NEAR(d.ClockStep(1) - base, base - d.ClockStep(0), 1e-12);
    }
  }
}

TEST(StereoDelayTest, FullFeedbackWithLoudInputStaysBounded) {
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    StereoDelay d;
    d.Reset(fs);
    d.SetFeedback(1.0);
    d.SetMix(1.0);
    const int period = static_cast<int>(fs) / 1000;
    uint32_t seed = 14;
    double tailPeak = 0.0;
    for (int i = 0; i < static_cast<int>(fs * 3); ++i) {
      if (i % period == 0) d.SetTime(0.0, 120.0);
      const bool loud = i < fs * 0.2;
      double l = loud ? 100.0 * Noise(seed) : 0.0, r = loud ? -100.0 : 0.0;
      d.Process(l, r);
      ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << "sample " << i;
      if (i > fs) tailPeak = std::max(tailPeak, std::max(std::fabs(l), std::fabs(r)));
    }
    // Once the input is gone the lines hold only fed-back values within +-3; the 6 kHz filter and
    // the cubic may overshoot that by some 50 % at most.
    EXPECT_LT(tailPeak, 4.5) << fs;
    EXPECT_GT(tailPeak, 1.0) << "feedback 1 should keep the echo going, " << fs;
  }
}

TEST(StereoDelayTest, NonFiniteInputOnOneChannelDoesNotReachTheLine) {
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    StereoDelay a, b;
    for (StereoDelay* d : {&a, &b}) {
      d->SetMix(0.5);
      d->SetFeedback(0.6);
    }
    uint32_t seed = 15;
    for (int i = 0; i < 44100; ++i) {
      if (i % 44 == 0) {
        a.SetTime(0.1, 120.0);
        b.SetTime(0.1, 120.0);
      }
      const double l = Noise(seed), r = Noise(seed);
      const bool poison = i == 500;
      double al = l, ar = poison ? bad : r;
      double bl = l, br = poison ? 0.0 : r;
      a.Process(al, ar);
      b.Process(bl, br);
      ASSERT_EQ(al, bl) << bad << " sample " << i;
      ASSERT_EQ(ar, br) << bad << " sample " << i;
    }
  }
}

// A synced time at the bottom of its range with full vibe would drive the clock step below zero;
// the step is held positive so processing still finishes every sample.
TEST(StereoDelayTest, SyncedMinimumWithFullVibeKeepsClocking) {
  StereoDelay d;
  d.SetSync(true);
  d.SetVibe(true);
  d.SetVibeDepth(1.0);
  d.SetVibeSpeed(1.0);
  d.SetMix(1.0);
  for (int i = 0; i < 44100; ++i) {
    if (i % 44 == 0) d.SetTime(SyncT(13), 200.0);  // "1/16" at 200 BPM: 75 ms, the bottom of the range
    EXPECT_GT(d.ClockStep(0), 0.0);
    EXPECT_GT(d.ClockStep(1), 0.0);
    double l = i == 0 ? 1.0 : 0.0, r = l;
    d.Process(l, r);
    ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << "sample " << i;
  }
}

TEST(StereoDelayTest, UntimedDelayPassesPairThrough) {
  StereoDelay d;
  d.SetMix(1.0);
  double l = 0.25, r = -0.5;
  d.Process(l, r);
  EXPECT_EQ(l, 0.25);
  EXPECT_EQ(r, -0.5);
}

TEST(StereoDelayTest, RateChangeClearsTheLines) {
  for (double fs : {44100.0, 48000.0, 96000.0}) {
    StereoDelay d;
    d.Reset(96000.0);
    d.SetMix(1.0);
    d.SetFeedback(0.9);
    uint32_t seed = 16;
    for (int i = 0; i < 9600; ++i) {
      if (i % 96 == 0) d.SetTime(0.0, 120.0);
      double l = Noise(seed), r = Noise(seed);
      d.Process(l, r);
    }
    d.Reset(fs);
    bool sounded = false;
    for (int i = 0; i < static_cast<int>(fs * 1.3); ++i) {
      if (i % static_cast<int>(fs / 1000) == 0) d.SetTime(0.0, 120.0);
      double l = 0.0, r = 0.0;
      d.Process(l, r);
      sounded = sounded || l != 0.0 || r != 0.0;
    }
    EXPECT_EQ(sounded, false) << fs;
  }
}
