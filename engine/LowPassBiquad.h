// The cookbook two-pole low-pass shared by the chorus and delay band-limiters and the bass voice's
// filter: its coefficients, divided by a0 and with the feedback signs folded in, so that
//   y = outer * (x + x2) + middle * x1 + feedback1 * y1 + feedback2 * y2.
#pragma once

// Highest omega a low-pass accepts: above pi the sine turns negative and the biquad becomes unstable,
// so a cutoff that does not fit below Nyquist at a low sample rate is pulled down to 0.49 fs.
constexpr double kMaxLowPassOmega = 0.98 * 3.141592653589793;

struct LowPassBiquad {
  double outer;      // current and second-last input
  double middle;     // last input
  double feedback1;  // last output
  double feedback2;  // second-last output
};

// cosine and sine of omega = 2 pi cutoff / rate; q sets the resonance (0.7071 is Butterworth).
inline LowPassBiquad LowPassCoefficients(double cosine, double sine, double q) {
  const double alpha = sine / (2.0 * q);
  const double g = 1.0 / (1.0 + alpha);
  LowPassBiquad k;
  k.middle = (1.0 - cosine) * g;
  k.outer = k.middle * 0.5;
  k.feedback1 = 2.0 * cosine * g;
  k.feedback2 = (alpha - 1.0) * g;
  return k;
}
