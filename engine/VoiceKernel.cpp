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
inline M Ge(D x, double c) { return Mask(_mm256_cmp_pd(Pd(x), _mm256_set1_pd(c), _CMP_GE_OQ)); }
inline M Le(D x, double c) { return Mask(_mm256_cmp_pd(Pd(x), _mm256_set1_pd(c), _CMP_LE_OQ)); }
inline int Bits(M m) { return _mm256_movemask_pd(Pd(reinterpret_cast<D>(m))); }
// x where it is a normal number, +0 where it is zero, subnormal, infinite or NaN, by integer
// arithmetic on the magnitude's bits: adding 0x7FF0...0 (2^63 - 2^52) maps exactly the normal magnitudes
// [2^52, 0x7FF0...0) below -2^53, so one signed comparison tells them.
inline D FlushNonNormalLanes(D x) {
  const __m256i magnitude = _mm256_and_si256(reinterpret_cast<__m256i>(x), _mm256_set1_epi64x(INT64_MAX));
  const __m256i shifted = _mm256_add_epi64(magnitude, _mm256_set1_epi64x(INT64_C(0x7FF0000000000000)));
  const __m256i normal = _mm256_cmpgt_epi64(_mm256_set1_epi64x(-(INT64_C(1) << 53)), shifted);
  return reinterpret_cast<D>(_mm256_and_si256(reinterpret_cast<__m256i>(x), normal));
}

// The samples at the voices' phases, by gathers.
inline void Samples(__m128i phase, __m128i offset8, __m128i offset4, const double* wave, D& eight, D& four) {
  const __m128i mask = _mm_set1_epi32(4095);
  const __m128i index8 = _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(phase, 17), mask), offset8);
  const __m128i index4 = _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(phase, 16), mask), offset4);
  // The masked form with every lane enabled: the plain one starts from an undefined register.
  const __m256d every = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  eight = reinterpret_cast<D>(_mm256_mask_i32gather_pd(_mm256_setzero_pd(), wave, index8, every, 8));
  four = reinterpret_cast<D>(_mm256_mask_i32gather_pd(_mm256_setzero_pd(), wave, index4, every, 8));
}

inline __m128i LoadInts(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

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

// Bits of `v` where `mask` is set, of `otherwise` elsewhere (masks are all ones or all zeros).
inline D Blend(M mask, D v, D otherwise) {
  return reinterpret_cast<D>(_mm256_blendv_pd(Pd(otherwise), Pd(v), Pd(reinterpret_cast<D>(mask))));
}

__attribute__((noinline)) void FinishLanes(VoiceGroup& v, int g, int bits, FinishEnvelopeStage finish, void* owner) {
  for (int k = 0; k < 4; ++k) {
    if (bits & (1 << k)) finish(owner, v, k, g * VoiceGroup::kSize + k);
  }
}

// One group's state, held in registers through a run. The envelope stage changes only when the
// owner finishes a lane, so its masks are worked out then and not every sample.
struct GroupState {
  VoiceGroup* v;
  int g;
  D value, target, coefficient, stage, state8, state4, a8, a4, b8, b4;
  M active, toSynth;
  M idle, attack, release;  // lanes in stage 0, 1 and 3
  bool idleActive;           // an active lane is idle and must be marked inactive
  __m128i phase, increment, offset8, offset4;
  uint64_t ended;

  void Load(VoiceGroup& group, int index) {
    v = &group;
    g = index;
    value = avx2::Load<D>(group.value);
    target = avx2::Load<D>(group.target);
    coefficient = avx2::Load<D>(group.coefficient);
    stage = avx2::Load<D>(group.stage);
    state8 = avx2::Load<D>(group.state8);
    state4 = avx2::Load<D>(group.state4);
    a8 = avx2::Load<D>(group.a8);
    a4 = avx2::Load<D>(group.a4);
    b8 = avx2::Load<D>(group.b8);
    b4 = avx2::Load<D>(group.b4);
    active = avx2::Load<M>(group.active);
    toSynth = avx2::Load<M>(group.synth);
    phase = LoadInts(group.phase);
    increment = LoadInts(group.increment);
    offset8 = LoadInts(group.offset8);
    offset4 = LoadInts(group.offset4);
    ended = 0;
    StageChanged();
  }

  void StageChanged() {
    idle = Eq(stage, 0.0);
    attack = Eq(stage, 1.0);
    release = Eq(stage, 3.0);
    idleActive = Bits(active & idle) != 0;
  }

  // Every lane active with a running envelope: the lanes need no masking.
  bool AllLive() const { return Bits(active & ~idle) == 0xF; }

  void Store() const {
    avx2::Store(v->value, value);
    avx2::Store(v->state8, state8);
    avx2::Store(v->state4, state4);
    avx2::Store(v->active, active);
    avx2::Store(v->synth, toSynth);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v->phase), phase);
  }

  // One sample: the outputs of the 8' and 4' filters, 0 in the inactive lanes, and the lanes that
  // feed the synth sums (as they were before a lane went idle at this sample). With kAllLive every
  // lane is active and running; returns false when that stops being so after this sample.
  template <bool kAllLive>
  inline bool Step(const double* wave, FinishEnvelopeStage finish, void* owner, D& out8, D& out4, M& synthMask) {
    // Envelope::Tick for the active lanes that are not idle.
    const D ticked = value + (target - value) * coefficient;
    value = kAllLive ? ticked : Blend(active & ~idle, ticked, value);
    const M finished = (attack & Ge(value, 1.0)) | (release & Le(value, 0.0));
    if (const int bits = Bits(kAllLive ? finished : finished & active)) {
      // The owner changes the stage of the finished lanes; their envelope comes back from the group.
      avx2::Store(v->value, value);
      FinishLanes(*v, g, bits, finish, owner);
      value = avx2::Load<D>(v->value);
      stage = avx2::Load<D>(v->stage);
      target = avx2::Load<D>(v->target);
      coefficient = avx2::Load<D>(v->coefficient);
      StageChanged();
    }

    // Samples through the envelope and the tone filters.
    D eight, four;
    Samples(phase, offset8, offset4, wave, eight, four);
    phase = _mm_add_epi32(phase, increment);
    const D x8 = FlushNonNormalLanes(value * eight);
    const D x4 = FlushNonNormalLanes(value * four);
    const D y8 = FlushNonNormalLanes(a8 * state8 + b8 * x8);
    const D y4 = FlushNonNormalLanes(a4 * state4 + b4 * x4);
    if (kAllLive) {
      state8 = out8 = y8;
      state4 = out4 = y4;
    } else {
      state8 = Blend(active, y8, state8);
      state4 = Blend(active, y4, state4);
      out8 = And(y8, active);
      out4 = And(y4, active);
    }
    synthMask = toSynth;

    // A voice stays active only while its envelope is not idle.
    if (idleActive) {
      const M done = active & idle;
      ended |= static_cast<uint64_t>(Bits(done)) << (g * VoiceGroup::kSize);
      active &= ~done;
      toSynth &= ~done;
      idleActive = false;
      return false;
    }
    return true;
  }
};

// Samples from..frames-1 of one group, or of two side by side (`b` after `a` in every sum): two
// groups give the processor two independent filter and envelope chains to overlap. With kAllLive
// it stops after the sample at which a lane went idle; returns the next sample.
template <bool kFeedsSynth, bool kPair, bool kAllLive>
int RunGroups(GroupState& aState, GroupState& bState, const double* wave, FinishEnvelopeStage finish, void* owner,
              int from, int frames, double (*partial)[4][VoiceGroup::kSize]) {
  // Working copies whose address never escapes, so that they can live in registers.
  GroupState a = aState, b = bState;
  int i = from;
  while (i < frames) {
    D a8, a4, b8 = {}, b4 = {};
    M aSynth, bSynth = {};
    bool live = a.Step<kAllLive>(wave, finish, owner, a8, a4, aSynth);
    if (kPair) live = b.Step<kAllLive>(wave, finish, owner, b8, b4, bSynth) && live;
    double (*sums)[VoiceGroup::kSize] = partial[i];
    D s8 = Load<D>(sums[0]) + a8, s4 = Load<D>(sums[1]) + a4;
    if (kPair) {
      s8 += b8;
      s4 += b4;
    }
    Store(sums[0], s8);
    Store(sums[1], s4);
    if (kFeedsSynth) {
      D t8 = Load<D>(sums[2]) + And(a8, aSynth), t4 = Load<D>(sums[3]) + And(a4, aSynth);
      if (kPair) {
        t8 += And(b8, bSynth);
        t4 += And(b4, bSynth);
      }
      Store(sums[2], t8);
      Store(sums[3], t4);
    }
    ++i;
    if (kAllLive && !live) break;
  }
  aState = a;
  if (kPair) bState = b;
  return i;
}

template <bool kFeedsSynth, bool kPair>
void RunGroupsFrom(GroupState& a, GroupState& b, const double* wave, FinishEnvelopeStage finish, void* owner,
                   int frames, double (*partial)[4][VoiceGroup::kSize]) {
  int i = 0;
  if (a.AllLive() && (!kPair || b.AllLive())) {
    i = RunGroups<kFeedsSynth, kPair, true>(a, b, wave, finish, owner, 0, frames, partial);
  }
  RunGroups<kFeedsSynth, kPair, false>(a, b, wave, finish, owner, i, frames, partial);
}

uint64_t Run(VoiceLanes& lanes, uint32_t groups, const double* wave, FinishEnvelopeStage finish, void* owner,
             int frames, Double2* strings, Double2* synth) {
  if (frames > VoiceLanes::kMaxRun) frames = VoiceLanes::kMaxRun;
  if (frames <= 0) return 0;
  // The partial sums start at +0; adding the +0 of an inactive lane leaves them unchanged.
  std::memset(lanes.partial, 0, sizeof(lanes.partial[0]) * static_cast<size_t>(frames));
  uint64_t ended = 0;
  GroupState a, b;
  for (uint32_t m = groups; m != 0;) {
    const int first = __builtin_ctz(m);
    m &= m - 1;
    a.Load(lanes.group[first], first);
    // A lane leaves the synth sums only by going idle, so a group without one never feeds them.
    bool feedsSynth = Bits(a.toSynth) != 0;
    if (m != 0) {
      const int second = __builtin_ctz(m);
      m &= m - 1;
      b.Load(lanes.group[second], second);
      feedsSynth = feedsSynth || Bits(b.toSynth) != 0;
      if (feedsSynth) {
        RunGroupsFrom<true, true>(a, b, wave, finish, owner, frames, lanes.partial);
      } else {
        RunGroupsFrom<false, true>(a, b, wave, finish, owner, frames, lanes.partial);
      }
      b.Store();
      ended |= b.ended;
    } else if (feedsSynth) {
      RunGroupsFrom<true, false>(a, a, wave, finish, owner, frames, lanes.partial);
    } else {
      RunGroupsFrom<false, false>(a, a, wave, finish, owner, frames, lanes.partial);
    }
    a.Store();
    ended |= a.ended;
  }
  for (int i = 0; i < frames; ++i) {
    const double (*sums)[VoiceGroup::kSize] = lanes.partial[i];
    strings[i] = Double2{SumOfFour(Load<D>(sums[0])), SumOfFour(Load<D>(sums[1]))};
    synth[i] = Double2{SumOfFour(Load<D>(sums[2])), SumOfFour(Load<D>(sums[3]))};
  }
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
