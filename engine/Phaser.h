// Stereo four-stage all-pass phaser with a delay-free feedback loop, swept by a triangle LFO.
#pragma once

#include <cmath>

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

  // One stereo sample pair, in place.
  void Process(double& left, double& right) {
    left = ProcessChannel(0, left);
    right = ProcessChannel(1, right);
  }

  // True when a zero pair would come out as 0 and change nothing but the dither signs: every stage
  // state is zero (non-normal states are zeroed before use, and zeros stay zero).
  bool IsSilent() const {
    for (const auto& channel : states_) {
      for (double s : channel) {
        if (std::isnormal(s)) return false;
      }
    }
    return true;
  }
  // The same as `samples` calls of Process with a zero pair while IsSilent.
  void AdvanceSilent(int samples) {
    for (auto& channel : states_) {
      for (double& s : channel) s = 0.0;
    }
    if (samples % 2 != 0) {
      dither_[0] = -dither_[0];
      dither_[1] = -dither_[1];
    }
  }

  // Phaser: Speed, cycles per 1000 control ticks.
  void SetSpeed(double v);
  // Phaser: Feedback, -1..1 (clamped); takes effect at the next tick.
  void SetFeedback(double v);

  double Speed() const { return speed_; }
  double Feedback() const { return feedback_; }
  double LoopFeedback() const { return loopFeedback_; }
  double OmegaMax() const { return omegaMax_; }
  double State(int channel, int stage) const { return states_[channel][stage]; }

 private:
  double ProcessChannel(int channel, double x);

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
  double states_[2][4] = {{0.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0}};
  double dither_[2] = {1e-13, 1e-13};  // keeps the stages off subnormal numbers; sign flips per sample
};

inline double Phaser::ProcessChannel(int channel, double x) {
  double* s = states_[channel];
  const double dither = dither_[channel];
  for (int k = 0; k < 4; ++k) s[k] = std::isnormal(s[k]) ? s[k] + dither : 0.0;
  const double d = coefficients_[0];
  const double cascade = ((s[0] * d + s[1]) * d + s[2]) * d + s[3];
  const double h = std::isnormal(x) ? x + dither : 0.0;
  dither_[channel] = -dither;

  const double y = (h * cascadeGain_ + cascade) * loopNormaliser_;
  double in = h - loopFeedback_ * y;
  for (int k = 0; k < 4; ++k) {
    const double out = coefficients_[k] * in + s[k];
    s[k] = in - coefficients_[k] * out;
    in = out;
  }
  return h + (y - h) * wetShare_;
}
