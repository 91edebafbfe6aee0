// Pitch tables, coefficient set-up and parameter setters of the synthesizer's ladder filter.
#include "engine/LadderFilter.h"

namespace {
constexpr double kPi = 3.141592653589793;

// Loop gain needed for self-oscillation at full resonance: 4.1 below 500 Hz, 4.005 above 2 kHz,
// linear in between (the one-pole stages lose gain differently across the range).
constexpr double kLowLoopGain = 4.1;
constexpr double kHighLoopGain = 4.005;
constexpr double kLowCorner = 500.0;
constexpr double kHighCorner = 2000.0;
double LoopGain(double f) {
  if (f < kLowCorner) return kLowLoopGain;
  if (f > kHighCorner) return kHighLoopGain;
  return kLowLoopGain - (f - kLowCorner) * (kLowLoopGain - kHighLoopGain) / (kHighCorner - kLowCorner);
}

// Full Resonance feeds back this share of that loop gain: the filter rings long but never sustains
// itself.
constexpr double kMaxResonance = 0.9;

// Parameter values outside 0..1 (or NaN) are pulled into range so the index conversion stays defined.
double ClampUnit(double v) { return v > 1.0 ? 1.0 : v > 0.0 ? v : 0.0; }
}  // namespace

LadderFilter::LadderFilter() : w_(kMaxPitch + 1, 0.0), k_(kMaxPitch + 1, 0.0) {
  SetSampleRate(44100.0);
}

void LadderFilter::SetSampleRate(double rate) {
  if (rate > 0.0 && std::isfinite(rate) && rate != sampleRate_) {
    sampleRate_ = rate;
    for (int i = 0; i <= kMaxPitch; ++i) {
      const double f = PitchToFrequency(i);
      w_[i] = f * 2.0 * kPi / rate;
      k_[i] = LoopGain(f);
    }
  }
  currentIndex_ = 0;
  cachedIndex_ = -1;
  s1_ = s2_ = s3_ = s4_ = 0.0;
  ran_ = false;
  quiet_ = true;
  started_ = false;
  g4_ = g_ = u_ = outputGain_ = normalizer_ = 0.0;
}

void LadderFilter::SetCutoffParameter(double v) {
  targetIndex_ = static_cast<int>(ClampUnit(v) * kCutoffRange);
  if (!started_) currentIndex_ = targetIndex_;
  glideStep_ = currentIndex_ < targetIndex_ ? 1 : currentIndex_ > targetIndex_ ? -1 : 0;
}

void LadderFilter::SetResonanceParameter(double v) {
  resonance_ = ClampUnit(v) * kMaxResonance;
  cachedIndex_ = -1;
}

void LadderFilter::AdvanceSilent(int samples, double modulation) {
  if (samples <= 0) return;
  started_ = true;
  // Only the last sample's coefficients survive, and they depend on nothing but its index.
  for (int n = 0; n < samples && currentIndex_ != targetIndex_; ++n) Glide();
  const int i = CutoffIndex(modulation);
  if (i != cachedIndex_) UpdateCoefficients(i);
  s1_ = s2_ = s3_ = s4_ = 0.0;
  if (samples % 2 != 0) offset_ = -offset_;
}

void LadderFilter::UpdateCoefficients(int index) {
  cachedIndex_ = index;
  const double w = w_[index];
  feedback_ = resonance_ * k_[index];
  const double distance = 2.0 * std::fabs(resonance_ - 0.5);
  outputGain_ = 2.0 - distance * distance;
  const double n = 1.0 / (w + 2.0);
  u_ = (w - 2.0) * n;
  g_ = n * w;
  g4_ = (g_ * g_) * (g_ * g_);
  normalizer_ = 1.0 / (g4_ * feedback_ + 1.0);
}
