// The per-sample state of the 64 voices laid out as structure of arrays in groups of four, so that
// the voice loop runs four voices per instruction where the processor has AVX2. The Voice objects stay
// the owners of this state; the render loop copies it in before a run of samples and back after it.
#pragma once

#include <cstdint>

#include "engine/Double2.h"

struct VoiceGroup {
  static constexpr int kSize = 4;
  // Envelope: value, target, coefficient and stage (0 idle .. 3 release, as a double).
  double value[kSize], target[kSize], coefficient[kSize], stage[kSize];
  // Tone filters, 8' and 4': pole, input gain, state.
  double a8[kSize], a4[kSize], b8[kSize], b4[kSize], state8[kSize], state4[kSize];
  int64_t active[kSize];  // all ones for an active voice
  int64_t synth[kSize];   // all ones for an active voice that also feeds the synth sums
  // Tone source: the key's phase counter times its 4' octave multiplier (modulo 2^32) and what it
  // gains per sample, and the table starts within the wave set. The 8' index is bits 17..28 of the
  // phase and the 4' index bits 16..27, so the counter's own 28-bit wrap, a multiple of 2^28 times
  // the multiplier, never reaches them where they sound (a multiplier of 1 means a silent 8').
  uint32_t phase[kSize], increment[kSize];
  int32_t offset8[kSize], offset4[kSize];
};

struct VoiceLanes {
  static constexpr int kGroups = 16;
  // The longest run of samples one kernel call renders.
  static constexpr int kMaxRun = 64;
  VoiceGroup group[kGroups];
  // Per sample of a run, the four partial sums (lane k for voices k, k + 4, ...) of string 8',
  // string 4', synth 8' and synth 4', in that order.
  alignas(32) double partial[kMaxRun][4][VoiceGroup::kSize];
};

// Called for a voice whose envelope must change stage (attack reached 1, release reached 0): the
// owner finishes it in the group's lanes before the sample goes on.
typedef void (*FinishEnvelopeStage)(void* owner, VoiceGroup& group, int lane, int voice);

// `frames` (at most kMaxRun) samples of the voices in the groups of `groups` (bit g: voices
// 4g..4g+3), four voices per instruction, one group at a time through the whole run: per sample it
// ticks each active voice's envelope, reads its samples (and advances its phase), scales them by the
// envelope, runs its tone filters and sums its 8' and 4' outputs into `strings[i]` (lanes 0 and 1)
// and, for synth voices, into `synth[i]`. Voice v goes into partial sum v mod 4, the groups in
// ascending order, and the partial sums are added as (0 + 1) + (2 + 3), as the engine's per-voice
// loop does sample by sample. Returns the voices whose envelope went idle, which it marks inactive.
typedef uint64_t (*VoiceKernel)(VoiceLanes& lanes, uint32_t groups, const double* waveSet,
                                FinishEnvelopeStage finish, void* owner, int frames, Double2* strings,
                                Double2* synth);

// The AVX2 kernel when this processor has AVX2, else null.
VoiceKernel Avx2VoiceKernel();
