// Coefficient set-up of the bass voice's low-pass.
#include "engine/BassFilter.h"

#include <cmath>

#include "engine/LowPassBiquad.h"
#include "engine/PitchTables.h"

namespace {
constexpr double kPi = 3.141592653589793;
}  // namespace

BassFilter::BassFilter() { SetSampleRate(44100.0); }

void BassFilter::SetSampleRate(double rate) {
  if (!(rate > 0.0) || !std::isfinite(rate) || rate == sampleRate_) return;
  sampleRate_ = rate;
  trigIndex_ = -1;
  x1_ = x2_ = y1_ = y2_ = 0.0;
  a1_ = a2_ = b0_ = b1_ = 0.0;
}

void BassFilter::SetCutoff(double x) {
  const double pitch = pitchOffset_ + x;
  int i = 0;
  if (pitch >= kMaxPitch) {
    i = kMaxPitch;
  } else if (pitch > 0.0) {
    i = static_cast<int>(pitch);
  }
  cutoffIndex_ = i;
  if (i != trigIndex_) {
    double omega = 2.0 * kPi * PitchToFrequency(i) / sampleRate_;
    // At 44.1 kHz and above no cutoff comes near the limit; lower rates need it.
    if (omega > kMaxLowPassOmega) omega = kMaxLowPassOmega;
    sine_ = std::sin(omega);
    cosine_ = std::cos(omega);
    trigIndex_ = i;
  }
  const LowPassBiquad k = LowPassCoefficients(cosine_, sine_, resonanceControl_ * 20.5 + 0.5);
  b0_ = k.outer;
  b1_ = k.middle;
  a1_ = k.feedback1;
  a2_ = k.feedback2;
}
