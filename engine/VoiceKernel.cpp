// The voice loop over grouped lanes, four voices per instruction, compiled for AVX2 (without FMA) and
// chosen at run time where the processor has it. Each lane performs exactly the operations of the
// engine's per-voice loop (Envelope::Tick, the tone filters' LP6 recursion) in the same order, and the
// partial sums are formed as that loop forms them, so both give the same bits.
#include "engine/VoiceLanes.h"

#include <cfloat>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

// Everything in this namespace is compiled for AVX2 and only called where the processor has it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {

typedef double D __attribute__((vector_size(32)));
typedef int64_t M __attribute__((vector_size(32)));

inline __m256d Pd(D v) { return reinterpret_cast<__m256d>(v); }
inline M Mask(__m256d v) { return reinterpret_cast<M>(v); }
inline M Eq(D x, double c) { return Mask(_mm256_cmp_pd(Pd(x), _mm256_set1_pd(c), _CMP_EQ_OQ)); }
inline M Ne(D x, double c) { return Mask(_mm256_cmp_pd(Pd(x), _mm256_set1_pd(c), _CMP_NEQ_UQ)); }
inline M Ge(D x, double c) { return Mask(_mm256_cmp_pd(Pd(x), _mm256_set1_pd(c), _CMP_GE_OQ)); }
inline M Le(D x, double c) { return Mask(_mm256_cmp_pd(Pd(x), _mm256_set1_pd(c), _CMP_LE_OQ)); }
inline int Bits(M m) { return _mm256_movemask_pd(Pd(reinterpret_cast<D>(m))); }
inline D FlushNonNormalLanes(D x) {
  const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), Pd(x));
  const __m256d normal = _mm256_and_pd(_mm256_cmp_pd(magnitude, _mm256_set1_pd(DBL_MIN), _CMP_GE_OQ),
                                       _mm256_cmp_pd(magnitude, _mm256_set1_pd(DBL_MAX), _CMP_LE_OQ));
  return reinterpret_cast<D>(_mm256_and_pd(Pd(x), normal));
}

// The samples at the voices' phases, by gathers; the phases then advance by one sample.
inline void Samples(VoiceGroup& v, const double* wave, D& eight, D& four) {
  const __m128i phase = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.phase));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(v.phase),
                   _mm_add_epi32(phase, _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.increment))));
  const __m128i mask = _mm_set1_epi32(4095);
  const __m128i index8 = _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(phase, 17), mask),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.offset8)));
  const __m128i index4 = _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(phase, 16), mask),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.offset4)));
  // The masked form with every lane enabled: the plain one starts from an undefined register.
  const __m256d every = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  eight = reinterpret_cast<D>(_mm256_mask_i32gather_pd(_mm256_setzero_pd(), wave, index8, every, 8));
  four = reinterpret_cast<D>(_mm256_mask_i32gather_pd(_mm256_setzero_pd(), wave, index4, every, 8));
}

// (lane 0 + lane 1) + (lane 2 + lane 3).
inline double SumOfFour(D sums) {
  const __m128d low = _mm256_castpd256_pd128(Pd(sums));
  const __m128d high = _mm256_extractf128_pd(Pd(sums), 1);
  const __m128d pairs = _mm_hadd_pd(low, high);  // (l0 + l1, l2 + l3)
  return _mm_cvtsd_f64(_mm_add_sd(pairs, _mm_unpackhi_pd(pairs, pairs)));
}

template <typename V>
inline V Load(const void* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
inline void Store(void* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

inline D And(D v, M mask) { return reinterpret_cast<D>(reinterpret_cast<M>(v) & mask); }

// Bits of `v` where `mask` is set, of `otherwise` elsewhere.
inline D Blend(M mask, D v, D otherwise) {
  return reinterpret_cast<D>((reinterpret_cast<M>(v) & mask) | (reinterpret_cast<M>(otherwise) & ~mask));
}

uint64_t Run(VoiceLanes& lanes, uint32_t groups, const double* wave, FinishEnvelopeStage finish, void* owner,
           Double2& strings, Double2& synth) {
  // Partial sums of string 8', string 4', synth 8', synth 4', lane k for voices k, k + 4, ... They
  // start at +0, and adding the +0 of an inactive lane leaves them unchanged.
  D string8 = {}, string4 = {}, synth8 = {}, synth4 = {};
  uint64_t ended = 0;
  for (uint32_t m = groups; m != 0; m &= m - 1) {
    const int g = __builtin_ctz(m);
    VoiceGroup& v = lanes.group[g];
    // Envelope::Tick for the active lanes that are not idle.
    D stage = Load<D>(v.stage);
    const M active = Load<M>(v.active);
    const M live = active & Ne(stage, 0.0);
    D value = Load<D>(v.value);
    value = Blend(live, value + (Load<D>(v.target) - value) * Load<D>(v.coefficient), value);
    Store(v.value, value);
    const M finished = live & ((Eq(stage, 1.0) & Ge(value, 1.0)) | (Eq(stage, 3.0) & Le(value, 0.0)));
    if (const int bits = Bits(finished)) {
      for (int k = 0; k < 4; ++k) {
        if (bits & (1 << k)) finish(owner, v, k, g * VoiceGroup::kSize + k);
      }
      value = Load<D>(v.value);
      stage = Load<D>(v.stage);
    }

    // Samples through the envelope and the tone filters.
    D eight, four;
    Samples(v, wave, eight, four);
    const D x8 = FlushNonNormalLanes(value * eight);
    const D x4 = FlushNonNormalLanes(value * four);
    const D state8 = Load<D>(v.state8);
    const D state4 = Load<D>(v.state4);
    const D y8 = FlushNonNormalLanes(Load<D>(v.a8) * state8 + Load<D>(v.b8) * x8);
    const D y4 = FlushNonNormalLanes(Load<D>(v.a4) * state4 + Load<D>(v.b4) * x4);
    Store(v.state8, Blend(active, y8, state8));
    Store(v.state4, Blend(active, y4, state4));
    const M toSynth = Load<M>(v.synth);
    string8 += And(y8, active);
    string4 += And(y4, active);
    synth8 += And(y8, toSynth);
    synth4 += And(y4, toSynth);

    // A voice stays active only while its envelope is not idle.
    const M done = active & Eq(stage, 0.0);
    if (const int bits = Bits(done)) {
      ended |= static_cast<uint64_t>(bits) << (g * VoiceGroup::kSize);
      Store(v.active, active & ~done);
      Store(v.synth, toSynth & ~done);
    }
  }
  strings = Double2{SumOfFour(string8), SumOfFour(string4)};
  synth = Double2{SumOfFour(synth8), SumOfFour(synth4)};
  return ended;
}

}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

}  // namespace

VoiceKernel Avx2VoiceKernel() {
  static const bool hasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return hasAvx2 ? avx2::Run : nullptr;
}

#else

VoiceKernel Avx2VoiceKernel() { return nullptr; }

#endif
