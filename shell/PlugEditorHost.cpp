#include "shell/PlugEditorHost.h"

#include "plugin/IPlugBase.h"
#include "plugin/NumberText.h"

bool PlugEditorHost::DescribeParameter(int index, EditorParameter& parameter) const {
  const IPlugParam* param = mPlug.GetParam(index);
  if (!param) return false;
  parameter.minimum = param->Min();
  parameter.maximum = param->Max();
  parameter.shape = param->Shape();
  parameter.isBoolean = param->Kind() == IPlugParam::kBoolean;
  parameter.displayPrecision = param->DisplayPrecision();
  parameter.negatedDisplay = false;
  parameter.displayTexts.clear();
  for (int i = 0; i < param->NDisplayTexts(); ++i) {
    const IPlugParam::DisplayText* text = param->DisplayTextAt(i);
    parameter.displayTexts.emplace_back(text->value, text->text);
  }
  return true;
}

std::string PlugEditorHost::ParameterDisplayText(int index) const {
  IPlugBase::LockGuard lock(mPlug.Mutex());  // the host may be writing the value
  const IPlugParam* param = mPlug.GetParam(index);
  if (!param) return {};
  char text[kParamTextSize];
  param->FormatValue(param->Value(), false, text, true);
  return text;
}

std::string PlugEditorHost::ParameterLabel(int index) const {
  const IPlugParam* param = mPlug.GetParam(index);
  return param ? param->UnitLabel() : "";
}

std::string PlugEditorHost::ParameterName(int index) const {
  const IPlugParam* param = mPlug.GetParam(index);
  return param ? param->Name() : "";
}

double PlugEditorHost::ParameterValue(int index) const {
  IPlugBase::LockGuard lock(mPlug.Mutex());  // the host may be writing the value
  const IPlugParam* param = mPlug.GetParam(index);
  return param ? param->Value() : 0.0;
}

void PlugEditorHost::SetParameterFromEditor(int index, double normalized) {
  mPlug.SetParameterFromEditor(index, normalized);
}

void PlugEditorHost::BeginParameterEdit(int index) { mPlug.BeginParameterEdit(index); }

void PlugEditorHost::EndParameterEdit(int index) { mPlug.EndParameterEdit(index); }

void PlugEditorHost::Idle() { mPlug.Idle(); }

void PlugEditorHost::ResizeEditor() { mPlug.ResizeEditor(); }

bool PlugEditorHost::ReadNumber(const std::string& text, double& value) const {
  return ParseLeadingDecimal(text, value);
}
