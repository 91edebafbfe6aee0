#include "engine/ToneGenerator.h"

#include <cmath>
#include <limits>
#include <vector>

#include "engine/PitchTables.h"
#include "engine/WaveTableData.h"

namespace {

static_assert(ToneGenerator::kNumTables == wave_series::kNumTables &&
              ToneGenerator::kTableLength == wave_series::kTableLength);

// The wave tables followed by one all-zero table for silent footages.
constexpr int kTableSize = (ToneGenerator::kNumTables + 1) * ToneGenerator::kTableLength;

// The hollow set: each normal table minus itself half a period later, so the even harmonics cancel.
// Derived once per process, in a fraction of a millisecond.
const double* HollowTables() {
  static const std::vector<double> hollow = [] {
    std::vector<double> h(kTableSize, 0.0);
    constexpr int len = ToneGenerator::kTableLength;
    for (int t = 0; t < ToneGenerator::kNumTables; ++t) {
      const double* normal = &kWaveTableData[t * len];
      for (int k = 0; k < len; ++k) h[t * len + k] = (normal[k] - normal[(k + len / 2) % len]) * 0.5;
    }
    return h;
  }();
  return hollow.data();
}

}  // namespace

ToneGenerator::ToneGenerator() : incrementTable_(kMaxPitch + 1, 0) {}

const double* ToneGenerator::WaveTable(int table, bool hollow) {
  return (hollow ? HollowTables() : kWaveTableData) + table * kTableLength;
}

int ToneGenerator::HarmonicCount(int table) { return wave_series::HarmonicsOf(table); }

void ToneGenerator::SetSampleRate(double rate) {
  if (!normalTables_) {
    normalTables_ = WaveTable(0, false);
    hollowTables_ = WaveTable(0, true);
  }
  if (rate == sampleRate_) return;
  sampleRate_ = rate;
  for (int i = 0; i <= kMaxPitch; ++i) {
    // Below about 2.5 kHz the top notes' increments would exceed 32 bits; clamp instead of
    // overflowing (the phase is masked to 28 bits anyway).
    const double inc = PitchToFrequency(i) * 268435456.0 / rate;
    incrementTable_[i] = inc >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                                    : static_cast<int32_t>(inc);
  }
  for (int n = 0; n < 128; ++n) {
    // Table entries the key advances per sample; each halving of bandwidth is a factor sqrt(1/2).
    const int v = static_cast<int16_t>(static_cast<uint32_t>(incrementTable_[128 * n]) >> 16);
    double d = v;
    int count = 0;
    while (d > 1.0 && count < kNumTables - 1) {
      d *= 0.7071067811865476;
      ++count;
    }
    tableChoice_[n] = count;
  }
  UpdateIncrements();
}

void ToneGenerator::SetTune(double tune) {
  tune_ = std::isfinite(tune) ? tune : 0.0;
  UpdateIncrements();
}

void ToneGenerator::UpdateIncrements() {
  baseIndex_ = static_cast<int>(std::round(tune_ * 64)) + 2688;  // 2688: note 21 in pitch units
  for (int k = 0; k < kNumCounters; ++k) {
    int index = baseIndex_ + 128 * k;
    if (index < 0) index = 0;
    if (index > kMaxPitch) index = kMaxPitch;
    increments_[k] = static_cast<uint32_t>(incrementTable_[index]);
  }
}
