// One-pole filters used by the voices, the section stages and the wheel smoother.
// Non-normal inputs and results are flushed to 0, so silent tails never go subnormal.
#pragma once

#include <cmath>

class LP6 {
 public:
  LP6() = default;
  virtual ~LP6() = default;
  LP6(const LP6&) = delete;
  LP6& operator=(const LP6&) = delete;

  virtual double Process(double x) {
    if (!std::isnormal(x)) x = 0.0;
    const double y = a * state + b * x;
    if (std::isnormal(y)) {
      state = y;
      return y;
    }
    state = 0.0;
    return 0.0;
  }
  virtual void SetCutoff(double hz) {
    a = std::exp(hz * -6.283185307179586 * stepTime);
    b = 1.0 - a;
  }

  void SetStepTime(double seconds) { stepTime = seconds; }
  void Clear() { state = 0.0; }

  double stepTime = 1.0;
  double b = 0.0;
  double a = 0.0;
  double state = 0.0;
};

// The cutoff mirrored about half the sample rate, with the low-pass recursion kept: a gentle
// low-pass with unity gain at 0 Hz (0.9169 at Nyquist for 20 Hz at 44.1 kHz).
class HP6 : public LP6 {
 public:
  void SetCutoff(double hz) override {
    a = std::exp((0.5 - hz * stepTime) * -6.283185307179586);
    b = 1.0 - a;
  }
};
