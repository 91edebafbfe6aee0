#include "shell/Synth.h"

#include <algorithm>

#include "params/IPlugParam.h"
#include "resources/Version.h"

namespace {

constexpr int kNumMappableParams = 60;

bool IsMappedParameter(int p) { return p >= 0 && p < kNumMappableParams; }

}  // namespace

Synth::Synth(VstHostCallback host, int nParams, int nPresets)
    : IPlugVST(host, "0-2", nParams, nPresets, "Sarn", "", "Kelmor Music", FourCharCode('s', 'a', 'r', 'n'),
               kVersionCode, true, true) {}

void Synth::ArmLearn(bool armed, bool unlearn) {
  LockGuard lock(Mutex());
  mLearnController = -1;
  mLearnParameter = -1;
  mUnlearnMode = unlearn;
  mLearnArmed = armed;
}

void Synth::CaptureLearnParameter(int index) {
  LockGuard lock(Mutex());
  if (mLearnArmed && index >= 0 && index < kNumMappableParams) {
    mLearnParameter = index;
    ApplyMidiLearn();
  }
}

bool Synth::CaptureLearnController(int controller) {
  if (!mLearnArmed || controller < 0 || controller >= kNumControllers) return false;
  mLearnController = controller;
  ApplyMidiLearn();
  return true;
}

void Synth::ApplyMidiLearn() {
  if (!mLearnArmed) return;
  if (!mUnlearnMode) {
    if (mLearnController >= 0 && mLearnParameter >= 0) {
      // One controller per parameter after a learn.
      UnmapParameter(mLearnParameter);
      mConfig.SetControllerMapping(mLearnController, mLearnParameter);
      mLearnArmed = false;
    }
  } else if (mLearnController >= 0) {
    mConfig.SetControllerMapping(mLearnController, -1);
    mLearnArmed = mUnlearnMode = false;
  } else if (mLearnParameter >= 0) {
    UnmapParameter(mLearnParameter);
    mLearnArmed = mUnlearnMode = false;
  }
  if (!mLearnArmed) LearnEnded();
}

int Synth::ControllerMapping(int controller) const {
  const int entry = mConfig.ControllerMapping(controller);
  return IsMappedParameter(entry) ? entry : -1;
}

void Synth::SetControllerMapping(int controller, int parameter) {
  mConfig.SetControllerMapping(controller, IsMappedParameter(parameter) ? parameter : -1);
}

void Synth::UnmapParameter(int parameter) {
  for (int c = 0; c < kNumControllers; ++c) {
    if (mConfig.ControllerMapping(c) == parameter) mConfig.SetControllerMapping(c, -1);
  }
}

void Synth::ControllerChange(int controller, int value) {
  const int p = ControllerMapping(controller);
  if (p < 0) return;
  IPlugParam* param = GetParam(p);
  if (!param) return;
  const double v = value / 127.0;
  if (param->Value() == v) return;
  SetParameterFromEditor(p, v);
  if (GetGUI()) GetGUI()->ApplyParameterFromPlugin(p, v, true);
}

void Synth::MidiThru(const MidiMessage& message) {
  if (mConfig.MidiThru()) SendMidiMessage(message);
}

void Synth::ProgramChange(int program) {
  if (mConfig.IgnoreProgramChange()) return;
  RecallPreset(program);  // 64 and above name no program and change nothing
}

void Synth::Reset() {
  IPlugVST::Reset();
  LockGuard lock(Mutex());
  mLearnArmed = false;
}

void Synth::Activate(bool on) {
  IPlugVST::Activate(on);
  if (on) ApplyAllParameters();
}
