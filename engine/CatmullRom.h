// Four-point cubic used by the clocked lines to move between the audio rate and their own clock.
#pragma once

// Interpolates between p[1] and p[2] at fraction f (0..1); p holds four samples, oldest first.
inline double CatmullRom(const double* p, double f) {
  return p[1] + 0.5 * f * (p[2] - p[0]) +
         f * f * (p[0] - 2.5 * p[1] + 2.0 * p[2] - 0.5 * p[3]) +
         f * f * f * (1.5 * (p[1] - p[2]) + 0.5 * (p[3] - p[0]));
}

// Drops the oldest of four history samples and appends x.
inline void PushHistory(double* h, double x) {
  h[0] = h[1];
  h[1] = h[2];
  h[2] = h[3];
  h[3] = x;
}

inline bool HistoryIsZero(const double* p) { return p[0] == 0.0 && p[1] == 0.0 && p[2] == 0.0 && p[3] == 0.0; }

// Counts consecutive exact-zero writes into a bucket-brigade line (saturating at its length):
// once a whole line's worth of zeros went in, every stage holds 0.
inline void CountZeroWrite(int& zeroWrites, double written, int length) {
  if (written != 0.0) {
    zeroWrites = 0;
  } else if (zeroWrites < length) {
    ++zeroWrites;
  }
}
