// One automatable parameter: plain value, range, step, normalized mapping and display text.
#pragma once

#include <cstdint>
#include <vector>

// Every text a parameter holds or writes: 31 characters and the terminator.
constexpr int kParamTextSize = 32;

// Writes the display text of a plain value into out (kParamTextSize bytes). Plain functions, no state.
using DisplayFunction = void (*)(double value, char* out);

class IPlugParam {
 public:
  enum ParamKind : uint32_t {
    kUndefined = 0,
    kBoolean = 1,
    kInteger = 2,
    kEnumerated = 3,
    kContinuous = 4,
  };

  struct DisplayText {
    int32_t value;
    char text[kParamTextSize];
  };

  // Empty object: kind 0, range 0..1, step 1, shape 1, no texts, no display function.
  IPlugParam();

  void DefineContinuous(const char* name, double defaultValue, double minimum, double maximum, double step,
                        double shape);
  void DefineSwitch(const char* name, bool defaultOn);
  void AddDisplayText(int value, const char* text);

  // Sets the plain value from a host/editor value in 0..1; returns the new plain value.
  double SetFromNormalized(double n);
  double ToNormalized(double v) const;
  // out has room for kParamTextSize bytes.
  void FormatValue(double v, bool isNormalized, char* out, bool useDisplayTexts) const;
  const char* UnitLabel() const;

  // Program restore: stores v limited to [minimum, maximum], without rounding to the step.
  void SetPlainClamped(double v);

  const char* Name() const { return mName; }
  const char* Label() const { return mLabel; }
  double Value() const { return mValue; }
  double Default() const { return mDefault; }
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double Step() const { return mStep; }
  double Shape() const { return mShape; }
  uint32_t Kind() const { return mKind; }
  int DisplayPrecision() const { return mDisplayPrecision; }

  DisplayFunction GetDisplayFunction() const { return mDisplayFunction; }
  void SetDisplayFunction(DisplayFunction function) { mDisplayFunction = function; }

  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  // Entry at position 0..NDisplayTexts()-1, or nullptr outside that range.
  const DisplayText* DisplayTextAt(int position) const;

 private:
  const char* DisplayTextFor(double v) const;

  DisplayFunction mDisplayFunction = nullptr;
  uint32_t mKind = kUndefined;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int32_t mDisplayPrecision = 0;
  char mName[kParamTextSize] = {};
  char mLabel[kParamTextSize] = {};
  std::vector<DisplayText> mDisplayTexts;
};

// Text helpers shared by the parameter and the display functions. They write at most
// kParamTextSize bytes including the terminator and use '.' as decimal point whatever the locale.

// Copies text (nullptr = empty), truncated to kParamTextSize - 1 characters.
void CopyParamText(char* out, const char* text);
// The text "%.*f" gives in the C locale; a number too long for the buffer is written in
// exponent form with the same number of decimals. NaN and infinities give "nan", "inf", "-inf".
void FormatFixed(double v, int decimals, char* out);
// The text "%d" gives for v truncated toward zero; values beyond the int range are clamped to it.
void FormatTruncatedInt(double v, char* out);
