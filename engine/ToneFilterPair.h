// The 8' and 4' tone low-passes of one voice, run side by side in one two-lane vector: each lane is
// exactly the LP6 recursion (non-normal input and output flushed to 0), without branches.
#pragma once

#include <cmath>

#include "engine/Double2.h"

class ToneFilterPair {
 public:
  static constexpr int kEight = 0;
  static constexpr int kFour = 1;

  void SetStepTime(double seconds) { stepTime_ = seconds; }
  double StepTime() const { return stepTime_; }
  void Clear() { state_ = Double2{0.0, 0.0}; }
  // No cutoff: both lanes output 0 until the next SetCutoffs.
  void Silence() { a_ = b_ = Double2{0.0, 0.0}; }
  void SetCutoffs(double hz8, double hz4) {
    const double a8 = std::exp(hz8 * -6.283185307179586 * stepTime_);
    const double a4 = std::exp(hz4 * -6.283185307179586 * stepTime_);
    a_ = Double2{a8, a4};
    b_ = Double2{1.0 - a8, 1.0 - a4};
  }

  // y = a * state + b * x per lane.
  Double2 Process(Double2 x, const NormalRange& range = NormalRange()) {
    const Double2 y = FlushNonNormal(a_ * state_ + b_ * FlushNonNormal(x, range), range);
    state_ = y;
    return y;
  }

  double Pole(int lane) const { return a_[lane]; }
  double Gain(int lane) const { return b_[lane]; }
  double State(int lane) const { return state_[lane]; }
  void SetState(double eight, double four) { state_ = Double2{eight, four}; }

 private:
  Double2 a_ = {0.0, 0.0};
  Double2 b_ = {0.0, 0.0};
  Double2 state_ = {0.0, 0.0};
  double stepTime_ = 1.0;
};
