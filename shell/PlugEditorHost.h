// The plug-in base as the editor core sees it (EditorHost): parameter definitions and texts from the
// plug-in's parameters, and the editor's edits, gestures, idle ticks and size changes passed on to it.
#pragma once

#include <string>

#include "editor/EditorHost.h"

class IPlugBase;

class PlugEditorHost : public EditorHost {
 public:
  explicit PlugEditorHost(IPlugBase& plug) : mPlug(plug) {}

  bool DescribeParameter(int index, EditorParameter& parameter) const override;
  std::string ParameterDisplayText(int index) const override;
  std::string ParameterLabel(int index) const override;
  std::string ParameterName(int index) const override;
  double ParameterValue(int index) const override;
  bool ReadNumber(const std::string& text, double& value) const override;

  void SetParameterFromEditor(int index, double normalized) override;
  void BeginParameterEdit(int index) override;
  void EndParameterEdit(int index) override;
  void Idle() override;
  void ResizeEditor() override;

 private:
  IPlugBase& mPlug;
};
