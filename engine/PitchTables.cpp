// Note-frequency and sub-audio tables, built once from their closed forms with the rounding the
// instrument's tuning was designed with (three decimals, two for notes 124..127; ten for sub-audio).
#include "engine/PitchTables.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kTableSize = 136;

double RoundTo(double x, double scale) { return std::round(x * scale) / scale; }

struct FrequencyTables {
  std::array<double, kTableSize> notes{};
  std::array<double, kTableSize> subAudio{};

  FrequencyTables() {
    for (int n = 0; n < kTableSize; ++n) {
      double f = 440.0 * std::pow(2.0, (n - 69) / 12.0);
      notes[n] = (n >= 124 && n <= 127) ? RoundTo(f, 100.0) : RoundTo(f, 1000.0);
      subAudio[n] = RoundTo(8.176 * std::pow(2.0, -n / 12.0), 1e10);
    }
  }
};

const FrequencyTables& Tables() {
  static const FrequencyTables tables;
  return tables;
}

}  // namespace

double NoteFrequency(int note) {
  if (note < 0) note = 0;
  if (note >= kTableSize) note = kTableSize - 1;
  return Tables().notes[note];
}

double PitchToFrequency(int pitch) {
  const FrequencyTables& t = Tables();
  if (pitch == 0) return 8.176;
  if (pitch >= kMaxPitch) return t.notes[kTableSize - 1];
  if (pitch <= -kMaxPitch) return t.subAudio[kTableSize - 1];
  const std::array<double, kTableSize>& table = pitch > 0 ? t.notes : t.subAudio;
  const int m = std::abs(pitch);
  const int s = m / kPitchPerSemitone;
  const int f = m % kPitchPerSemitone;
  return table[s] + (table[s + 1] - table[s]) * f * 0.0078125;
}
