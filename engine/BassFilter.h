// Two-pole resonant low-pass of the bass voice; its cutoff follows the bass filter envelope.
#pragma once

class BassFilter {
 public:
  BassFilter();
  BassFilter(const BassFilter&) = delete;
  BassFilter& operator=(const BassFilter&) = delete;

  // Clears states and coefficients when the rate changes; rates that are not finite and positive
  // are ignored.
  void SetSampleRate(double rate);

  // x: pitch units above the pitch offset; called once per control step.
  void SetCutoff(double x);

  double Process(double input);

  void SetResonanceControl(double control) { resonanceControl_ = control; }
  void SetPitchOffset(int offset) { pitchOffset_ = offset; }

  double SampleRate() const { return sampleRate_; }
  int CutoffIndex() const { return cutoffIndex_; }

 private:
  double sampleRate_ = 1.0;
  int pitchOffset_ = 700;
  double resonanceControl_ = 0.04;  // Q = control * 20.5 + 0.5 = 1.32
  double a1_ = 0.0, a2_ = 0.0, b0_ = 0.0, b1_ = 0.0;
  double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
  double offset_ = 1e-13;  // keeps the recursion off subnormal numbers; sign flips every sample
  int cutoffIndex_ = 0;
  // sin and cos of 2 pi PitchToFrequency(i) / rate for the last cutoff index i, worked out only when
  // the index moves (a table of all 17281 would cost a millisecond at every rate change).
  int trigIndex_ = -1;
  double sine_ = 0.0, cosine_ = 1.0;
};

inline double BassFilter::Process(double input) {
  const double d = offset_;
  x1_ += d;
  x2_ += d;
  y1_ += d;
  y2_ += d;
  const double x = input + d;
  offset_ = -d;
  const double y = b0_ * (x + x2_) + b1_ * x1_ + a1_ * y1_ + a2_ * y2_;
  x2_ = x1_;
  x1_ = x;
  y2_ = y1_;
  y1_ = y;
  return y;
}
