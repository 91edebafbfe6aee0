// Coefficient set-up of the bass voice's low-pass.
#include "engine/BassFilter.h"

#include <cmath>

#include "engine/PitchTables.h"

namespace {
constexpr double kPi = 3.141592653589793;
// Keeps sin(omega) positive (and the biquad stable) for cutoffs above Nyquist at low rates;
// at 44.1 kHz and above no cutoff comes near it.
constexpr double kMaxOmega = 0.98 * kPi;
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
    if (omega > kMaxOmega) omega = kMaxOmega;
    sine_ = std::sin(omega);
    cosine_ = std::cos(omega);
    trigIndex_ = i;
  }
  const double s = sine_;
  const double c = cosine_;
  const double q = resonanceControl_ * 20.5 + 0.5;
  const double alpha = s / (2.0 * q);
  const double n = 1.0 / (1.0 + alpha);
  b1_ = (1.0 - c) * n;
  a1_ = 2.0 * c * n;
  a2_ = (alpha - 1.0) * n;
  b0_ = b1_ * 0.5;
}
