#include "engine/ToneGenerator.h"

#include <cmath>
#include <limits>
#include <mutex>

#include "engine/PitchTables.h"

namespace {

// The wave tables followed by one all-zero table for silent footages.
constexpr int kTableSize = (ToneGenerator::kNumTables + 1) * ToneGenerator::kTableLength;

struct WaveTables {
  std::vector<double> normal;
  std::vector<double> hollow;
};

// Table t carries round(2048 / sqrt(2)^t) harmonics, so each step of the table choice halves
// the bandwidth per half octave.
int HarmonicsOf(int table) {
  const double ratio = std::pow(1.4142135623730951, table);
  return static_cast<int>(std::round(2048.0 / ratio));
}

// Fourier series of one period of an exponential decay (rising steeply at the middle),
// with a spectral taper from 0.5 at the first harmonic to 0.27 at the last.
void BuildTable(int table, double* out) {
  const int n = HarmonicsOf(table);
  const double pi = 3.141592653589793;
  std::vector<double> amplitude(n + 1, 0.0);
  amplitude[1] = -0.25;
  for (int j = 2; j <= n; ++j) {
    const double taper = 0.5 * (0.54 + 0.46 * std::cos((j - 1) * (pi / 2) / (n - 1)));
    const double sign = (j % 2 == 0) ? 1.0 : -1.0;
    amplitude[j] = taper * sign / (static_cast<double>(j) * j + 1);
  }
  for (int k = 0; k < ToneGenerator::kTableLength; ++k) {
    double sum = 0.0;
    for (int j = 1; j <= n; ++j) {
      const double x = k * (j * 2 * pi * 0.000244140625);
      sum += amplitude[j] * (std::cos(x) + j * std::sin(x));
    }
    out[k] = sum;
  }
}

const WaveTables& SharedWaveTables() {
  static WaveTables tables;
  static std::once_flag built;
  std::call_once(built, [] {
    tables.normal.assign(kTableSize, 0.0);
    tables.hollow.assign(kTableSize, 0.0);
    constexpr int len = ToneGenerator::kTableLength;
    for (int t = 0; t < ToneGenerator::kNumTables; ++t) {
      double* normal = &tables.normal[t * len];
      BuildTable(t, normal);
      // The wave minus itself half a period later: the even harmonics cancel.
      double* hollow = &tables.hollow[t * len];
      for (int k = 0; k < len; ++k) hollow[k] = (normal[k] - normal[(k + len / 2) % len]) * 0.5;
    }
  });
  return tables;
}

}  // namespace

ToneGenerator::ToneGenerator() : incrementTable_(kMaxPitch + 1, 0) {}

const double* ToneGenerator::WaveTable(int table, bool hollow) {
  const WaveTables& t = SharedWaveTables();
  return (hollow ? t.hollow.data() : t.normal.data()) + table * kTableLength;
}

int ToneGenerator::HarmonicCount(int table) { return HarmonicsOf(table); }

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
