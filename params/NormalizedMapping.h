// The mapping between a parameter's normalized value n (0..1, what hosts and controls move) and its
// plain value: plain = minimum + n^shape * (maximum - minimum). Inline and free of project includes,
// so that the editor maps values exactly as the parameters do without linking them.
#pragma once

#include <algorithm>
#include <cmath>

// n is limited to 0..1 first (a NaN stays NaN).
inline double PlainFromNormalized(double n, double minimum, double maximum, double shape) {
  return std::pow(std::clamp(n, 0.0, 1.0), shape) * (maximum - minimum) + minimum;
}

// v is limited to minimum..maximum first; a NaN, or a range that is empty or inverted, gives 0.
inline double NormalizedFromPlain(double v, double minimum, double maximum, double shape) {
  const double range = maximum - minimum;
  if (std::isnan(v) || !(range > 0.0)) return 0.0;
  return std::pow((std::clamp(v, minimum, maximum) - minimum) / range, 1.0 / shape);
}
