#include "params/DisplayFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/PitchTables.h"

namespace {

const char* const kNoteValueNames[kNumNoteValues] = {
    "2/1",  "1/1.",  "1/1",  "1/2.", "1/2",   "1/4.", "1/2T",  "1/4",  "1/8.",  "1/4T",
    "1/8",  "1/16.", "1/8T", "1/16", "1/32.", "1/16T", "1/32", "1/64.", "1/32T", "1/64",
};

}  // namespace

void ShowDecibels(double value, char* out) {
  if (value <= 0.0) {
    CopyParamText(out, "-oo");
    return;
  }
  FormatFixed(20.0 * std::log10(value), 1, out);
}

void ShowCents(double value, char* out) { FormatFixed(value * 50.0, 0, out); }

void ShowBalance(double value, char* out) {
  char left[kParamTextSize];
  char right[kParamTextSize];
  FormatFixed((1.0 - value) * 100.0, 0, left);
  FormatFixed(value * 100.0, 0, right);
  char text[2 * kParamTextSize];
  const size_t leftLength = std::strlen(left);
  std::memcpy(text, left, leftLength);
  text[leftLength] = ':';
  std::memcpy(text + leftLength + 1, right, std::strlen(right) + 1);
  CopyParamText(out, text);
}

void ShowCutoffHz(double value, char* out) {
  if (std::isnan(value)) {
    FormatTruncatedInt(value, out);
    return;
  }
  // Beyond ±kMaxPitch the frequency no longer changes, so the clamp only keeps the int conversion defined.
  const double pitch = std::clamp(std::round((value * 0.5 + 0.25) * kMaxPitch), -double(kMaxPitch),
                                  double(kMaxPitch));
  FormatTruncatedInt(PitchToFrequency(static_cast<int>(pitch)), out);
}

void ShowNoteValue(double value, char* out) { CopyParamText(out, NoteValueName(NoteValueIndex(value))); }

const char* NoteValueName(int index) {
  if (index < 0 || index >= kNumNoteValues) return "";
  return kNoteValueNames[index];
}

int NoteValueIndex(double v) {
  const double position = std::round((1.0 - v) * (kNumNoteValues - 1));
  if (std::isnan(position)) return 0;
  return static_cast<int>(std::clamp(position, 0.0, double(kNumNoteValues - 1)));
}
