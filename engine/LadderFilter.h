// Four-stage resonant ladder low-pass of the synthesizer section (zero-delay feedback, saturated loop).
#pragma once

#include <cmath>
#include <vector>

#include "engine/PitchTables.h"

class LadderFilter {
 public:
  LadderFilter();
  LadderFilter(const LadderFilter&) = delete;
  LadderFilter& operator=(const LadderFilter&) = delete;

  // Rebuilds this filter's tables when the rate changes (rates that are not finite and positive
  // are ignored); always restarts the cutoff from index 0 with cleared states and coefficients.
  void SetSampleRate(double rate);

  // modulation: pitch units added to the gliding cutoff, once per sample.
  double Process(double input, double modulation);

  // True when a zero input would give exactly 0 and leave the states at zero.
  bool IsSilent() const {
    return !std::isnormal(s1_) && !std::isnormal(s2_) && !std::isnormal(s3_) && !std::isnormal(s4_);
  }
  // The same as `samples` calls of Process(0, modulation) while IsSilent: the cutoff glides, the
  // coefficients follow it and the offset flips, but the states stay at zero.
  void AdvanceSilent(int samples, double modulation);

  // Once per control step: when every input since the last call was 0 and every state stayed below
  // kSettleLevel (-200 dBFS), the states become exactly 0. Without this the anti-denormal offset
  // would keep them alive for ever and the engine could never idle after the filter has sounded.
  void SettleIfQuiet() {
    if (ran_ && quiet_) s1_ = s2_ = s3_ = s4_ = 0.0;
    ran_ = false;
    quiet_ = true;
  }
  static constexpr double kSettleLevel = 1e-10;

  // VCF Cutoff, 0..1: target = v * 16160 pitch units; the cutoff glides there by one unit per sample.
  // Before the first sample after a reset there is nothing to smooth: the cutoff starts at the
  // target, so a note at the very start of a render is not swept up from the bottom of the range.
  void SetCutoffParameter(double v);
  // VCF Resonance, 0..1: resonance = v * 0.9; coefficients are recomputed at the next sample.
  void SetResonanceParameter(double v);

  double SampleRate() const { return sampleRate_; }
  int TargetIndex() const { return targetIndex_; }
  int CurrentIndex() const { return currentIndex_; }
  int CachedIndex() const { return cachedIndex_; }
  int GlideStep() const { return glideStep_; }
  double Resonance() const { return resonance_; }
  double Feedback() const { return feedback_; }
  double OutputGain() const { return outputGain_; }
  double State(int stage) const { return stage == 0 ? s1_ : stage == 1 ? s2_ : stage == 2 ? s3_ : s4_; }

  static constexpr int kCutoffRange = 16160;  // about 12 kHz at parameter value 1

 private:
  void UpdateCoefficients(int index);
  void Glide() {
    if (currentIndex_ != targetIndex_) {
      currentIndex_ += glideStep_;
      if (glideStep_ >= 0) {
        if (currentIndex_ > targetIndex_) currentIndex_ = targetIndex_;
      } else if (currentIndex_ < targetIndex_) {
        currentIndex_ = targetIndex_;
      }
    }
  }
  int CutoffIndex(double modulation) const {
    // Clamped before truncation so any modulation (even NaN, which is ignored) gives a valid index.
    double pitch = currentIndex_ + modulation;
    if (std::isnan(pitch)) pitch = currentIndex_;
    return pitch >= kMaxPitch ? kMaxPitch : pitch > 0.0 ? static_cast<int>(pitch) : 0;
  }
  void Guard(double& s) const { s = std::isnormal(s) ? s + offset_ : 0.0; }

  double sampleRate_ = 1.0;
  int targetIndex_ = 0;
  double resonance_ = 0.0;
  double g4_ = 0.0;  // G^4, the cascade's instantaneous gain
  double g_ = 0.0;   // one-pole gain w / (w + 2)
  double u_ = 0.0;   // (w - 2) / (w + 2)
  double feedback_ = 0.0;
  double outputGain_ = 0.0;
  double normalizer_ = 0.0;
  int currentIndex_ = 0;
  int cachedIndex_ = -1;
  int glideStep_ = 0;
  double s1_ = 0.0, s2_ = 0.0, s3_ = 0.0, s4_ = 0.0;
  double offset_ = 1e-13;  // anti-denormal offset, sign flipped every sample
  bool ran_ = false;       // Process ran since the last SettleIfQuiet
  bool quiet_ = true;      // ... and saw only zero input and states below kSettleLevel
  bool started_ = false;   // a sample ran (or was skipped) since the last SetSampleRate
  std::vector<double> w_;  // 2 pi f / rate for pitch 0..17280
  std::vector<double> k_;  // loop gain at full resonance for the same pitches
};

inline double LadderFilter::Process(double input, double modulation) {
  Glide();
  const int i = CutoffIndex(modulation);
  if (i != cachedIndex_) UpdateCoefficients(i);

  Guard(s1_);
  Guard(s2_);
  Guard(s3_);
  Guard(s4_);
  const double g = g_;
  const double u = u_;
  const double m = (((s1_ * g + s2_) * g + s3_) * g + s4_ + input * g4_) * normalizer_;

  // 5 tanh(m / 5) by a rational approximation, continuous at |o| = 3.
  const double o = m * 0.2;
  double r;
  if (o < -3.0) {
    r = -5.0;
  } else if (o > 3.0) {
    r = 5.0;
  } else {
    r = (o * o + 27.0) * (o * 5.0) / (o * o * 9.0 + 27.0);
  }

  const double v = (input - r * feedback_) * g;
  const double y1 = s1_ + v;
  s1_ = v - u * y1;
  const double y2 = s2_ + g * y1;
  s2_ = g * y1 - u * y2;
  offset_ = -offset_;
  const double y3 = s3_ + g * y2;
  s3_ = g * y2 - u * y3;
  const double y4 = s4_ + g * y3;
  s4_ = g * y3 - u * y4;
  ran_ = true;
  started_ = true;
  quiet_ = quiet_ && input == 0.0 && std::fabs(s1_) < kSettleLevel && std::fabs(s2_) < kSettleLevel &&
           std::fabs(s3_) < kSettleLevel && std::fabs(s4_) < kSettleLevel;
  return m * outputGain_;
}
