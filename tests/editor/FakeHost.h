// A stand-in for the plug-in behind an editor: parameters with a range and shape, and a log of what
// the editor asked for.
#pragma once

#include <string>
#include <vector>

#include "editor/EditorHost.h"
#include "plugin/NumberText.h"

class FakeHost : public EditorHost {
 public:
  struct Call {
    char what;  // 'b' begin edit, 's' set from editor, 'e' end edit
    int index;
    double value;
  };

  explicit FakeHost(int count = 4) : parameters(static_cast<size_t>(count)), values(static_cast<size_t>(count)) {}

  bool DescribeParameter(int index, EditorParameter& parameter) const override {
    if (index < 0 || index >= static_cast<int>(parameters.size())) return false;
    parameter = parameters[static_cast<size_t>(index)];
    return true;
  }
  std::string ParameterDisplayText(int index) const override { return std::to_string(ParameterValue(index)); }
  std::string ParameterLabel(int) const override { return "dB"; }
  std::string ParameterName(int index) const override { return "P" + std::to_string(index); }
  double ParameterValue(int index) const override {
    return index >= 0 && index < static_cast<int>(values.size()) ? values[static_cast<size_t>(index)] : 0.0;
  }
  bool ReadNumber(const std::string& text, double& value) const override { return ParseLeadingDecimal(text, value); }
  void SetParameterFromEditor(int index, double normalized) override { calls.push_back({'s', index, normalized}); }
  void BeginParameterEdit(int index) override { calls.push_back({'b', index, 0.0}); }
  void EndParameterEdit(int index) override { calls.push_back({'e', index, 0.0}); }
  void Idle() override { ++idles; }
  void ResizeEditor() override { ++resizes; }

  std::vector<EditorParameter> parameters;
  std::vector<double> values;
  std::vector<Call> calls;
  int idles = 0;
  int resizes = 0;
};
