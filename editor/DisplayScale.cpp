#include "editor/DisplayScale.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace DisplayScale {

namespace {

constexpr double kDotsPerInchAt100 = 96.0;

// Floor division that also holds for positions left of or above the window.
int FloorDivide(long long numerator, long long denominator) {
  long long quotient = numerator / denominator;
  if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) --quotient;
  return static_cast<int>(quotient);
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

bool IsSupported(int percent) { return percent == kNormal || percent == kLarge || percent == kLargest; }

int FromFactor(double factor) {
  if (!(factor > 0.0) || !std::isfinite(factor)) return 0;
  if (factor < 1.25) return kNormal;
  if (factor < 1.75) return kLarge;
  return kLargest;
}

int FromXResources(const std::string& resources) {
  std::istringstream lines(resources);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || Trimmed(line.substr(0, colon)) != "Xft.dpi") continue;
    const std::string value = Trimmed(line.substr(colon + 1));
    char* end = nullptr;
    const double dpi = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0') return 0;
    return FromFactor(dpi / kDotsPerInchAt100);
  }
  return 0;
}

int FromGdkScale(const char* value) {
  if (!value || !*value) return 0;
  char* end = nullptr;
  const long factor = std::strtol(value, &end, 10);
  if (*end != '\0' || factor < 1 || factor > 16) return 0;
  return FromFactor(static_cast<double>(factor));
}

int ToPixels(int units, int percent) {
  return FloorDivide(static_cast<long long>(units) * percent + 50, 100);
}

int ToUnits(int pixels, int percent) {
  return percent > 0 ? FloorDivide(static_cast<long long>(pixels) * 100, percent) : pixels;
}

}  // namespace DisplayScale
