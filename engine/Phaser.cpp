// Reset, LFO and coefficient sweep of the phaser.
#include "engine/Phaser.h"

namespace {
constexpr double kTwoPiCeiling = 75398.22368615503;  // 2 pi times the sweep's 12 kHz ceiling
}  // namespace

void Phaser::Reset(double sampleRate) {
  if (sampleRate > 0.0 && std::isfinite(sampleRate)) omegaMax_ = kTwoPiCeiling / sampleRate;
  for (Double2& stage : states_) stage = Double2{0.0, 0.0};
  ran_ = false;
  quiet_ = true;
  for (double& d : coefficients_) d = 0.0;
  cascadeGain_ = 0.0;
  loopNormaliser_ = 0.0;
  sweepOffset_ = 0.02;
  feedback_ = 0.0;
  SetSpeed(0.19);
  wetShare_ = 0.5;
  sweepDepth_ = 0.22;
}

void Phaser::Tick() {
  phase_ += increment_;
  if (phase_ >= 1.0) phase_ -= 2.0;
  const double triangle = 2.0 * std::fabs(phase_) - 1.0;
  const double u = triangle + 1.0;  // 0..2
  // Square-law sweep of the break frequency, about 240 Hz to 10.8 kHz.
  double c = sweepDepth_ * (u * u) + sweepOffset_;
  if (c < 0.0) {
    c = 0.0;
  } else if (c >= 1.0) {
    c = omegaMax_;
  } else {
    c = c * omegaMax_;
  }
  const double d = (c - 2.0) / (c + 2.0);
  for (double& coefficient : coefficients_) coefficient = d;
  cascadeGain_ = d * d * d * d;
  // 0.999 keeps 1 + loop feedback * G away from 0 at feedback -1.
  loopFeedback_ = feedback_ * 0.999;
  loopNormaliser_ = 1.0 / (1.0 + loopFeedback_ * cascadeGain_);
}

void Phaser::SetSpeed(double v) {
  speed_ = std::isfinite(v) ? v : 0.0;
  increment_ = 2.0 * speed_ / lfoRate_;
}

void Phaser::SetFeedback(double v) {
  if (std::isnan(v)) v = 0.0;
  feedback_ = v > 1.0 ? 1.0 : v < -1.0 ? -1.0 : v;
}
