// Two doubles in one SSE2 register (plain scalar code elsewhere), for filters that run two lanes
// side by side. Every lane operation is the same IEEE double operation as the scalar code.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

typedef double Double2 __attribute__((vector_size(16)));
typedef int64_t Mask2 __attribute__((vector_size(16)));

// Bounds of the normal numbers, as two-lane vectors. Built once outside a loop, so the loop keeps
// them in registers.
struct NormalRange {
  Double2 signBit = {-0.0, -0.0};
  Double2 smallest = {DBL_MIN, DBL_MIN};
  Double2 largest = {DBL_MAX, DBL_MAX};
};

// All ones in the lanes that hold a normal number, zero in those that hold zero, a subnormal,
// infinity or not a number.
inline Mask2 NormalMask(Double2 x, const NormalRange& range) {
#if defined(__SSE2__)
  // Spelled out: the generic form below is compiled lane by lane with branches.
  const __m128d v = reinterpret_cast<__m128d>(x);
  const __m128d magnitude = _mm_andnot_pd(reinterpret_cast<__m128d>(range.signBit), v);
  return reinterpret_cast<Mask2>(_mm_and_pd(_mm_cmpge_pd(magnitude, reinterpret_cast<__m128d>(range.smallest)),
                                            _mm_cmple_pd(magnitude, reinterpret_cast<__m128d>(range.largest))));
#else
  const Double2 magnitude = reinterpret_cast<Double2>(reinterpret_cast<Mask2>(x) & ~reinterpret_cast<Mask2>(range.signBit));
  return (magnitude >= range.smallest) & (magnitude <= range.largest);
#endif
}

// |x| per lane.
inline Double2 Magnitude(Double2 x, const NormalRange& range) {
  return reinterpret_cast<Double2>(reinterpret_cast<Mask2>(x) & ~reinterpret_cast<Mask2>(range.signBit));
}

// v in the lanes selected by mask, +0 in the others.
inline Double2 Select(Mask2 mask, Double2 v) {
  return reinterpret_cast<Double2>(reinterpret_cast<Mask2>(v) & mask);
}

// x where x is a normal number, +0 where it is zero, subnormal, infinite or not a number.
inline Double2 FlushNonNormal(Double2 x, const NormalRange& range) { return Select(NormalMask(x, range), x); }

// Each lane limited to lo..hi. For lanes that are not NaN this is exactly v > hi ? hi : v > lo ? v : lo.
inline Double2 ClampLanes(Double2 v, Double2 lo, Double2 hi) {
#if defined(__SSE2__)
  return reinterpret_cast<Double2>(_mm_max_pd(reinterpret_cast<__m128d>(lo),
                                              _mm_min_pd(reinterpret_cast<__m128d>(v), reinterpret_cast<__m128d>(hi))));
#else
  return Double2{v[0] > hi[0] ? hi[0] : v[0] > lo[0] ? v[0] : lo[0], v[1] > hi[1] ? hi[1] : v[1] > lo[1] ? v[1] : lo[1]};
#endif
}
