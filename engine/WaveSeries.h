// The Fourier series the tone generator's wave tables are sampled from. The tables themselves are
// computed once, at build time, by sarn-make-wave-tables (tools/MakeWaveTables.cpp) into
// engine/WaveTableData.cpp: summing them takes a third of a second, which every process that loads
// the instrument would otherwise pay.
#pragma once

#include <cmath>
#include <vector>

namespace wave_series {

constexpr int kNumTables = 22;
constexpr int kTableLength = 4096;

// Table t carries round(2048 / sqrt(2)^t) harmonics, so each step of the table choice halves
// the bandwidth per half octave.
inline int HarmonicsOf(int table) {
  const double ratio = std::pow(1.4142135623730951, table);
  return static_cast<int>(std::round(2048.0 / ratio));
}

// One period of an exponential decay (rising steeply at the middle), with a spectral taper from
// 0.5 at the first harmonic to 0.27 at the last.
class WaveSeries {
 public:
  explicit WaveSeries(int table) : harmonics_(HarmonicsOf(table)), amplitude_(harmonics_ + 1, 0.0) {
    const int n = harmonics_;
    amplitude_[1] = -0.25;
    for (int j = 2; j <= n; ++j) {
      const double taper = 0.5 * (0.54 + 0.46 * std::cos((j - 1) * (kPi / 2) / (n - 1)));
      const double sign = (j % 2 == 0) ? 1.0 : -1.0;
      amplitude_[j] = taper * sign / (static_cast<double>(j) * j + 1);
    }
  }

  // Entry k (0..kTableLength-1) of the table.
  double At(int k) const {
    double sum = 0.0;
    for (int j = 1; j <= harmonics_; ++j) {
      const double x = k * (j * 2 * kPi * 0.000244140625);
      sum += amplitude_[j] * (std::cos(x) + j * std::sin(x));
    }
    return sum;
  }

 private:
  static constexpr double kPi = 3.141592653589793;
  int harmonics_;
  std::vector<double> amplitude_;
};

}  // namespace wave_series
