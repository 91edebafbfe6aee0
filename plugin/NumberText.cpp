#include "plugin/NumberText.h"

#include <climits>
#include <locale>
#include <sstream>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigitCharacter(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ParseLeadingDecimal(const std::string& text, double& out) {
  auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  for (; digit(i); ++i) digits = true;
  if (i < text.size() && text[i] == '.') {
    for (++i; digit(i); ++i) digits = true;
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t exponent = i + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    if (digit(exponent)) {
      for (i = exponent; digit(i); ++i) {}
    }
  }
  std::istringstream stream(text.substr(start, i - start));
  stream.imbue(std::locale::classic());
  double value = 0.0;
  stream >> value;
  if (stream.fail()) return false;
  out = value;
  return true;
}

int ReadLeadingInteger(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // Accumulate the magnitude in a wider type and stop growing it once it is past the int range.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  for (; at < text.size() && IsDigitCharacter(text[at]); ++at) {
    if (magnitude < limit) magnitude = magnitude * 10 + (text[at] - '0');
  }
  if (magnitude > limit) magnitude = limit;
  return static_cast<int>(negative ? -magnitude : magnitude);
}
