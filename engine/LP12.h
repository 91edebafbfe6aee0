// Two-pole low-pass (cookbook biquad) that band-limits the chorus and delay lines.
#pragma once

#include <cmath>

#include "engine/Double2.h"
#include "engine/LowPassBiquad.h"

class LP12 {
 public:
  LP12() = default;
  LP12(const LP12&) = delete;
  LP12& operator=(const LP12&) = delete;

  void SetSampleRate(double fs) { sampleRate_ = fs; }
  void SetQ(double q) { q_ = q; }
  void SetCutoff(double hz);
  double Process(double x);

  // State and coefficients to 0 (the filter is silent until the next SetCutoff).
  void Clear() {
    ClearState();
    feedback1_ = feedback2_ = b0_ = b1_ = 0.0;
  }
  void ClearState() { x1_ = x2_ = y1_ = y2_ = 0.0; }
  // True when a zero input would produce exactly zero and leave the state as it is.
  bool IsSilent() const { return x1_ == 0.0 && x2_ == 0.0 && y1_ == 0.0 && y2_ == 0.0; }
  // True when every state is below `level` in magnitude.
  bool IsBelow(double level) const {
    return std::fabs(x1_) < level && std::fabs(x2_) < level && std::fabs(y1_) < level && std::fabs(y2_) < level;
  }

  double Omega() const { return omega_; }

  friend class LP12Pair;

  static constexpr double kButterworthQ = 0.7071067811865476;

 private:
  double omega_ = 0.0;
  double q_ = kButterworthQ;
  double sampleRate_ = 44100.0;
  double feedback1_ = 0.0;
  double feedback2_ = 0.0;
  double b0_ = 0.0;  // current and second-last input
  double b1_ = 0.0;  // last input
  double x1_ = 0.0, x2_ = 0.0;
  double y1_ = 0.0, y2_ = 0.0;
};

inline void LP12::SetCutoff(double hz) {
  omega_ = 2.0 * 3.141592653589793 * hz / sampleRate_;
  if (!(omega_ < kMaxLowPassOmega)) omega_ = kMaxLowPassOmega;
  if (!(omega_ > 0.0)) omega_ = 0.0;
  const LowPassBiquad k = LowPassCoefficients(std::cos(omega_), std::sin(omega_), q_);
  b0_ = k.outer;
  b1_ = k.middle;
  feedback1_ = k.feedback1;
  feedback2_ = k.feedback2;
}

// Anything that is not a normal number (zero, subnormal, infinite, NaN) is flushed to 0 on the way
// in and out, so silent tails never reach subnormal arithmetic and a bad sample cannot stick.
inline double LP12::Process(double x) {
  if (!std::isnormal(x)) x = 0.0;
  double y = b1_ * x1_ + b0_ * (x + x2_) + feedback1_ * y1_ + feedback2_ * y2_;
  if (!std::isnormal(y)) y = 0.0;
  x2_ = x1_;
  x1_ = x;
  y2_ = y1_;
  y1_ = y;
  return y;
}

// Two LP12 run side by side (lane 0 and lane 1) with the same recursion, for lines that are clocked
// together. Load takes both filters' coefficients and states; Store writes the states back.
class LP12Pair {
 public:
  LP12Pair(const LP12& a, const LP12& b)
      : feedback1_{a.feedback1_, b.feedback1_},
        feedback2_{a.feedback2_, b.feedback2_},
        b0_{a.b0_, b.b0_},
        b1_{a.b1_, b.b1_},
        x1_{a.x1_, b.x1_},
        x2_{a.x2_, b.x2_},
        y1_{a.y1_, b.y1_},
        y2_{a.y2_, b.y2_} {}

  void Store(LP12& a, LP12& b) const {
    a.x1_ = x1_[0];
    b.x1_ = x1_[1];
    a.x2_ = x2_[0];
    b.x2_ = x2_[1];
    a.y1_ = y1_[0];
    b.y1_ = y1_[1];
    a.y2_ = y2_[0];
    b.y2_ = y2_[1];
  }

  Double2 Process(Double2 x, const NormalRange& range) {
    x = FlushNonNormal(x, range);
    const Double2 y = FlushNonNormal(b1_ * x1_ + b0_ * (x + x2_) + feedback1_ * y1_ + feedback2_ * y2_, range);
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  Double2 feedback1_, feedback2_, b0_, b1_;
  Double2 x1_, x2_, y1_, y2_;
};
