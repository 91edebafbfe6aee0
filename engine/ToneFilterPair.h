// The 8' and 4' tone low-passes of one voice, run side by side in one two-lane vector: each lane is
// exactly the LP6 recursion (non-normal input and output flushed to 0), without branches.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

typedef double Double2 __attribute__((vector_size(16)));
typedef int64_t Mask2 __attribute__((vector_size(16)));

// x where x is a normal number, +0 where it is zero, subnormal, infinite or not a number.
inline Double2 FlushNonNormal(Double2 x) {
#if defined(__SSE2__)
  // Spelled out: the generic form below is compiled lane by lane with branches.
  const __m128d v = reinterpret_cast<__m128d>(x);
  const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
  const __m128d normal =
      _mm_and_pd(_mm_cmpge_pd(magnitude, _mm_set1_pd(DBL_MIN)), _mm_cmple_pd(magnitude, _mm_set1_pd(DBL_MAX)));
  return reinterpret_cast<Double2>(_mm_and_pd(v, normal));
#else
  const Mask2 absBits = {INT64_MAX, INT64_MAX};
  const Double2 magnitude = reinterpret_cast<Double2>(reinterpret_cast<Mask2>(x) & absBits);
  const Double2 smallest = {DBL_MIN, DBL_MIN}, largest = {DBL_MAX, DBL_MAX};
  const Mask2 normal = (magnitude >= smallest) & (magnitude <= largest);
  return reinterpret_cast<Double2>(reinterpret_cast<Mask2>(x) & normal);
#endif
}

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
  Double2 Process(Double2 x) {
    const Double2 y = FlushNonNormal(a_ * state_ + b_ * FlushNonNormal(x));
    state_ = y;
    return y;
  }

  double Pole(int lane) const { return a_[lane]; }
  double State(int lane) const { return state_[lane]; }

 private:
  Double2 a_ = {0.0, 0.0};
  Double2 b_ = {0.0, 0.0};
  Double2 state_ = {0.0, 0.0};
  double stepTime_ = 1.0;
};
