#include "params/IPlugParam.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "params/NormalizedMapping.h"

namespace {

constexpr int kMaxDisplayPrecision = 6;
// With at most 20 decimals the exponent form of any double fits the text buffer.
constexpr int kMaxFormatDecimals = 20;

bool WriteNonFinite(double v, char* out) {
  if (std::isnan(v)) {
    CopyParamText(out, "nan");
    return true;
  }
  if (std::isinf(v)) {
    CopyParamText(out, v > 0.0 ? "inf" : "-inf");
    return true;
  }
  return false;
}

// v truncated toward zero, when it is a number that fits an int.
bool TruncateToInt(double v, int* result) {
  if (!(v > static_cast<double>(INT_MIN) - 1.0 && v < static_cast<double>(INT_MAX) + 1.0)) return false;
  *result = static_cast<int>(v);
  return true;
}

}  // namespace

void CopyParamText(char* out, const char* text) {
  if (!out) return;
  if (!text) text = "";
  size_t length = std::strlen(text);
  if (length > kParamTextSize - 1) length = kParamTextSize - 1;
  std::memcpy(out, text, length);
  out[length] = '\0';
}

void FormatFixed(double v, int decimals, char* out) {
  if (!out) return;
  if (WriteNonFinite(v, out)) return;
  decimals = std::clamp(decimals, 0, kMaxFormatDecimals);
  char scratch[kParamTextSize];
  char* const last = scratch + kParamTextSize - 1;
  std::to_chars_result result = std::to_chars(scratch, last, v, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) {
    result = std::to_chars(scratch, last, v, std::chars_format::scientific, decimals);
    if (result.ec != std::errc()) {
      CopyParamText(out, "");
      return;
    }
  }
  *result.ptr = '\0';
  CopyParamText(out, scratch);
}

void FormatTruncatedInt(double v, char* out) {
  if (!out) return;
  if (std::isnan(v)) {
    CopyParamText(out, "nan");
    return;
  }
  int integer = 0;
  if (!TruncateToInt(v, &integer)) integer = v > 0.0 ? INT_MAX : INT_MIN;
  char scratch[kParamTextSize];
  std::to_chars_result result = std::to_chars(scratch, scratch + sizeof(scratch) - 1, integer);
  *result.ptr = '\0';
  CopyParamText(out, scratch);
}

IPlugParam::IPlugParam() = default;

void IPlugParam::DefineContinuous(const char* name, double defaultValue, double minimum, double maximum,
                                  double step, double shape) {
  if (mKind == kUndefined) mKind = kContinuous;
  CopyParamText(mName, name);
  CopyParamText(mLabel, "");
  mMin = minimum;
  mValue = defaultValue;
  mDefault = defaultValue;
  mStep = step;
  mDisplayPrecision = 0;
  mMax = std::max(maximum, minimum + step);
  // Decimals needed to show one step: 0.01 -> 2, 0.005 -> 3, at most 6.
  for (double s = step; s != std::floor(s) && mDisplayPrecision < kMaxDisplayPrecision; s *= 10.0) {
    ++mDisplayPrecision;
  }
  if (shape != 0.0) mShape = shape;
}

void IPlugParam::DefineSwitch(const char* name, bool defaultOn) {
  if (mKind == kUndefined) mKind = kBoolean;
  DefineContinuous(name, defaultOn ? 1.0 : 0.0, 0.0, 1.0, 1.0, 1.0);
  AddDisplayText(0, "off");
  AddDisplayText(1, "on");
}

void IPlugParam::AddDisplayText(int value, const char* text) {
  DisplayText entry{};
  entry.value = value;
  CopyParamText(entry.text, text);
  mDisplayTexts.push_back(entry);
}

double IPlugParam::SetFromNormalized(double n) {
  // Host and MIDI values enter here unchecked: a NaN keeps the current value and anything outside
  // 0..1 (infinities included) is clamped, so the stored value is never NaN or infinite.
  if (std::isnan(n)) return mValue;
  double value = PlainFromNormalized(n, mMin, mMax, mShape);
  if (mKind != kContinuous && mStep > 0.0) value = std::floor(value / mStep + 0.5) * mStep;
  mValue = std::min(value, mMax);
  return mValue;
}

double IPlugParam::ToNormalized(double v) const { return NormalizedFromPlain(v, mMin, mMax, mShape); }

void IPlugParam::FormatValue(double v, bool isNormalized, char* out, bool useDisplayTexts) const {
  if (!out) return;
  if (isNormalized) v = PlainFromNormalized(v, mMin, mMax, mShape);
  if (mDisplayFunction) {
    out[0] = '\0';
    mDisplayFunction(v, out);
    out[kParamTextSize - 1] = '\0';
    return;
  }
  if (useDisplayTexts) {
    const char* text = DisplayTextFor(v);
    if (text && text[0] != '\0') {
      CopyParamText(out, text);
      return;
    }
  }
  if (mDisplayPrecision > 0) {
    FormatFixed(v, mDisplayPrecision, out);
  } else {
    FormatTruncatedInt(v, out);
  }
}

const char* IPlugParam::UnitLabel() const {
  if (mDisplayTexts.empty()) return mLabel;
  const char* text = DisplayTextFor(mValue);
  if (text && text[0] != '\0') return "";
  return mLabel;
}

void IPlugParam::SetPlainClamped(double v) {
  if (std::isnan(v)) return;
  mValue = std::min(std::max(v, mMin), mMax);
}

const IPlugParam::DisplayText* IPlugParam::DisplayTextAt(int position) const {
  if (position < 0 || position >= NDisplayTexts()) return nullptr;
  return &mDisplayTexts[static_cast<size_t>(position)];
}

// Text of the first entry whose value equals v truncated toward zero; nullptr when none matches.
const char* IPlugParam::DisplayTextFor(double v) const {
  int integer = 0;
  if (!TruncateToInt(v, &integer)) return nullptr;
  for (const DisplayText& entry : mDisplayTexts) {
    if (entry.value == integer) return entry.text;
  }
  return nullptr;
}
