// Stereo four-stage all-pass phaser with a delay-free feedback loop, swept by a triangle LFO.
#pragma once

#include <cmath>

#include "engine/Double2.h"

class Phaser {
 public:
  Phaser() = default;
  Phaser(const Phaser&) = delete;
  Phaser& operator=(const Phaser&) = delete;

  // Engine reset for a new rate: sweep ceiling 12 kHz at this rate, states and coefficients
  // cleared, speed 0.19, feedback 0. A rate that is not finite and positive keeps the old ceiling.
  void Reset(double sampleRate);

  // One control tick: moves the LFO and recomputes the coefficients.
  void Tick();

  // One stereo sample pair, in place. The channels run as the two lanes of one vector.
  void Process(double& left, double& right);

  // True when a zero pair would come out as 0 and change nothing but the dither signs: every stage
  // state is zero (non-normal states are zeroed before use, and zeros stay zero).
  bool IsSilent() const {
    for (const Double2& stage : states_) {
      if (std::isnormal(stage[0]) || std::isnormal(stage[1])) return false;
    }
    return true;
  }
  // The same as `samples` calls of Process with a zero pair while IsSilent.
  void AdvanceSilent(int samples) {
    for (Double2& stage : states_) stage = Double2{0.0, 0.0};
    if (samples % 2 != 0) dither_ = -dither_;
  }

  // Once per control step: when both inputs were silent since the last call and every stage state
  // stayed below kSettleLevel (-200 dBFS), the states become exactly 0, so the dither cannot keep the
  // phaser (and the delay after it) alive for ever.
  void SettleIfQuiet() {
    if (ran_ && quiet_) {
      for (Double2& stage : states_) stage = Double2{0.0, 0.0};
    }
    ran_ = false;
    quiet_ = true;
  }
  static constexpr double kSettleLevel = 1e-10;

  // Phaser: Speed, cycles per 1000 control ticks.
  void SetSpeed(double v);
  // Phaser: Feedback, -1..1 (clamped); takes effect at the next tick.
  void SetFeedback(double v);

  double Speed() const { return speed_; }
  double Feedback() const { return feedback_; }
  double LoopFeedback() const { return loopFeedback_; }
  double OmegaMax() const { return omegaMax_; }
  double StageCoefficient() const { return coefficients_[0]; }  // d, the same for all four stages
  double CascadeGain() const { return cascadeGain_; }
  double State(int channel, int stage) const { return states_[stage][channel]; }

 private:
  double lfoRate_ = 1000.0;
  double speed_ = 0.0;
  double phase_ = 0.0;
  double increment_ = 0.0;
  double sweepOffset_ = 0.02;
  double feedback_ = 0.0;
  double sweepDepth_ = 0.22;
  double wetShare_ = 0.5;
  double omegaMax_ = 1.7097102876679147;  // 2 pi 12000 / 44100
  double cascadeGain_ = 0.0;              // d^4
  double coefficients_[4] = {0.0, 0.0, 0.0, 0.0};
  double loopFeedback_ = 0.0;
  double loopNormaliser_ = 0.0;
  Double2 states_[4] = {};             // per all-pass stage: left and right state
  Double2 dither_ = {1e-13, 1e-13};    // keeps the stages off subnormal numbers; sign flips per sample
  bool ran_ = false;                   // Process ran since the last SettleIfQuiet
  bool quiet_ = true;                  // ... and saw only silent input and states below kSettleLevel
};

inline void Phaser::Process(double& left, double& right) {
  const NormalRange range;
  Double2 s[4];
  // States that are not normal numbers restart from 0; the others get the dither.
  for (int k = 0; k < 4; ++k) {
    s[k] = Select(NormalMask(states_[k], range), states_[k] + dither_);
  }
  const double d = coefficients_[0];
  const Double2 cascade = ((s[0] * d + s[1]) * d + s[2]) * d + s[3];
  const Double2 x = {left, right};
  const Double2 h = Select(NormalMask(x, range), x + dither_);  // non-normal input counts as 0
  dither_ = -dither_;

  const Double2 y = (h * cascadeGain_ + cascade) * loopNormaliser_;
  Double2 in = h - loopFeedback_ * y;
  for (int k = 0; k < 4; ++k) {
    const Double2 out = coefficients_[k] * in + s[k];
    s[k] = in - coefficients_[k] * out;
    in = out;
  }
  for (int k = 0; k < 4; ++k) states_[k] = s[k];
  const Double2 level = {kSettleLevel, kSettleLevel};
  const Mask2 small = (Magnitude(s[0], range) < level) & (Magnitude(s[1], range) < level) &
                      (Magnitude(s[2], range) < level) & (Magnitude(s[3], range) < level) & (h == 0.0);
  ran_ = true;
  quiet_ = quiet_ && (small[0] & small[1]) != 0;
  const Double2 result = h + (y - h) * wetShare_;
  left = result[0];
  right = result[1];
}
