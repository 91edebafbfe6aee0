// Four-point cubic used by the clocked lines to move between the audio rate and their own clock.
#pragma once

// Interpolates between p1 and p2 at fraction f (0..1), p0..p3 oldest first. T is double or a
// vector of doubles (every lane interpolated at the same f).
template <typename T>
inline T CatmullRom(T p0, T p1, T p2, T p3, double f) {
  return p1 + 0.5 * f * (p2 - p0) + f * f * (p0 - 2.5 * p1 + 2.0 * p2 - 0.5 * p3) +
         f * f * f * (1.5 * (p1 - p2) + 0.5 * (p3 - p0));
}
// The same for a history of four samples, oldest first.
inline double CatmullRom(const double* p, double f) { return CatmullRom(p[0], p[1], p[2], p[3], f); }

// Drops the oldest of four history samples and appends x.
inline void PushHistory(double* h, double x) {
  h[0] = h[1];
  h[1] = h[2];
  h[2] = h[3];
  h[3] = x;
}

inline bool HistoryIsZero(const double* p) { return p[0] == 0.0 && p[1] == 0.0 && p[2] == 0.0 && p[3] == 0.0; }
inline bool HistoryIsBelow(const double* p, double level) {
  for (int i = 0; i < 4; ++i) {
    if (!(p[i] < level && p[i] > -level)) return false;
  }
  return true;
}

// Counts consecutive exact-zero writes into a bucket-brigade line (saturating at its length):
// once a whole line's worth of zeros went in, every stage holds 0.
inline void CountZeroWrite(int& zeroWrites, double written, int length) {
  if (written != 0.0) {
    zeroWrites = 0;
  } else if (zeroWrites < length) {
    ++zeroWrites;
  }
}

// The same for writes below `level` in magnitude (NaN counts as loud).
inline void CountQuietWrite(int& quietWrites, double written, int length, double level) {
  if (!(written < level && written > -level)) {
    quietWrites = 0;
  } else if (quietWrites < length) {
    ++quietWrites;
  }
}
