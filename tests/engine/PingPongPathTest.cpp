// In ping-pong both delay lines run on the left clock, and the delay runs them as the two lanes of
// one vector. This reference spells the same echo out one line at a time, from the published
// building blocks (LP12, the cubic, the clamp), and the delay must match it sample for sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/CatmullRom.h"
#include "engine/LP12.h"
#include "engine/StereoDelay.h"

namespace {

class ReferencePingPong {
 public:
  explicit ReferencePingPong(double fs) : n_(static_cast<int>(fs * 1.2)) {
    for (int c = 0; c < 2; ++c) {
      line_[c].assign(n_, 0.0);
      for (LP12* f : {&in_[c], &out_[c]}) {
        f->SetSampleRate(fs);
        f->SetCutoff(6000.0);
      }
    }
  }

  void Process(double& left, double& right, double step, int offset, double feedback, double dry, double wet) {
    const double x[2] = {left, right};
    for (int c = 0; c < 2; ++c) PushHistory(inHistory_[c], in_[c].Process(x[c]));
    while (phase_ < 1.0) {
      if (--position_ < 0) position_ = n_ - 1;
      int read = position_ + offset;
      if (read >= n_) read -= n_;
      double o[2];
      for (int c = 0; c < 2; ++c) {
        o[c] = out_[c].Process(line_[c][read]);
        PushHistory(outHistory_[c], o[c]);
      }
      for (int c = 0; c < 2; ++c) {
        const double back = o[1 - c] > 3.0 ? 3.0 : o[1 - c] > -3.0 ? o[1 - c] : -3.0;
        line_[c][position_] = CatmullRom(inHistory_[c], phase_) + back * feedback;
      }
      phase_ += step;
    }
    phase_ -= 1.0;
    const double u = 1.0 - phase_ * (1.0 / step);
    left = dry * left + wet * CatmullRom(outHistory_[1], u);
    right = dry * right + wet * CatmullRom(outHistory_[0], u);
  }

 private:
  int n_;
  std::vector<double> line_[2];
  LP12 in_[2], out_[2];
  double inHistory_[2][4] = {}, outHistory_[2][4] = {};
  int position_ = 0;
  double phase_ = 0.0;
};

TEST(PingPongPath, MatchesTheLineByLineEcho) {
  const double fs = 44100;
  StereoDelay delay;
  delay.Reset(fs);
  delay.SetPingPong(true);
  delay.SetFeedback(0.9);
  delay.SetMix(0.6);
  ReferencePingPong reference(fs);
  const double dry = std::sqrt(1.0 - 0.6), wet = std::sqrt(0.6);

  uint32_t seed = 12345;
  const int period = 44;
  for (int i = 0; i < 3 * 44100; ++i) {
    if (i % period == 0) delay.SetTime(0.25 + 0.5 * ((i / 4410) % 2), 120.0);  // the time jumps now and then
    // Loud noise bursts on one side, then the other, then silence: the feedback clamp and the
    // crossing of the lines both matter.
    double l = 0.0, r = 0.0;
    seed = seed * 1664525u + 1013904223u;
    const double noise = 4.0 * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
    if (i < 2000) l = noise;
    if (i >= 30000 && i < 31000) r = noise;
    double refL = l, refR = r;
    delay.Process(l, r);
    reference.Process(refL, refR, delay.ClockStep(0), delay.ReadOffset(), 0.9, dry, wet);
    ASSERT_EQ(l, refL) << "sample " << i;
    ASSERT_EQ(r, refR) << "sample " << i;
  }
}

}  // namespace
