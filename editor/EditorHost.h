// What the editor needs of the plug-in that owns it: parameter definitions and texts, edits with the
// begin and end of a gesture, and the idle hook. The shell adapts the plug-in base to it; the editor knows
// nothing else of the plug-in, so it can be tested with a small stand-in.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "params/NormalizedMapping.h"

// A parameter as the controls see it.
struct EditorParameter {
  double minimum = 0.0;
  double maximum = 1.0;
  double shape = 1.0;       // normalized n maps to minimum + n^shape * (maximum - minimum)
  bool isBoolean = false;
  int displayPrecision = 0;
  bool negatedDisplay = false;
  std::vector<std::pair<int, std::string>> displayTexts;  // plain value and its text

  // The control position of a plain value, limited to the range; 0 for a NaN or an empty range.
  double ToNormalized(double plain) const { return NormalizedFromPlain(plain, minimum, maximum, shape); }
};

class EditorHost {
 public:
  virtual ~EditorHost() = default;

  // False for an index that names no parameter.
  virtual bool DescribeParameter(int index, EditorParameter& parameter) const = 0;
  // The display text of the current value (display texts included), the unit label, the name.
  virtual std::string ParameterDisplayText(int index) const = 0;
  virtual std::string ParameterLabel(int index) const = 0;
  virtual std::string ParameterName(int index) const = 0;
  // The plain value of a parameter; 0 for an index that names none.
  virtual double ParameterValue(int index) const = 0;
  // The number a typed text starts with, read as the plug-in reads numbers from its host; false when
  // it starts with none.
  virtual bool ReadNumber(const std::string& text, double& value) const = 0;

  // A user edit on the editor's thread: stores the value, tells the host, applies it to the sound.
  virtual void SetParameterFromEditor(int index, double normalized) = 0;
  // The host is told when a mouse gesture on a parameter starts and ends.
  virtual void BeginParameterEdit(int index) = 0;
  virtual void EndParameterEdit(int index) = 0;
  // The plug-in's idle hook, run after 21 quiet redraw ticks and on the host's idle calls.
  virtual void Idle() = 0;
  // The editor changed size.
  virtual void ResizeEditor() = 0;
};
