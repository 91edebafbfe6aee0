// The maker's layer between the VST2 binding and the instrument: the controller map, MIDI learn
// and unlearn, program changes and MIDI thru. It answers the engine's calls out (EngineHost).
#pragma once

#include "engine/Engine.h"
#include "plugin/vst2/IPlugVST.h"

class Synth : public IPlugVST, public EngineHost {
 public:
  static constexpr int kNumControllers = 120;

  Synth(VstHostCallback host, int nParams, int nPresets);

  // Arms (or disarms) a learn; in unlearn mode the armed action removes a mapping.
  void ArmLearn(bool armed, bool unlearn);
  // Run at the start of every ApplyParameter, under the plug-in lock.
  void CaptureLearnParameter(int index);

  int ControllerMapping(int controller) const;
  void SetControllerMapping(int controller, int parameter);
  bool LearnArmed() const { return mLearnArmed; }
  bool MidiThru() const { return mMidiThru; }
  void SetMidiThru(bool on) { mMidiThru = on; }
  bool IgnoreProgramChange() const { return mIgnoreProgramChange; }
  void SetIgnoreProgramChange(bool on) { mIgnoreProgramChange = on; }

  // Host resets disarm learn; the instrument adds the engine reset.
  void Reset() override;
  // Switching processing on applies every parameter.
  void Activate(bool on) override;

  // EngineHost: called from the engine's MIDI handling and control steps, under the plug-in lock.
  void MidiThru(const MidiMessage& message) override;
  bool CaptureLearnController(int controller) override;
  void ProgramChange(int program) override;
  void ControllerChange(int controller, int value) override;
  void QueryTransport(TimeInfo& info) override { GetTransportInfo(info); }

 private:
  void ApplyMidiLearn();

  int mControllerMap[kNumControllers];
  bool mMidiThru = false;
  bool mIgnoreProgramChange = false;
  bool mLearnArmed = false;
  bool mUnlearnMode = false;
  int mLearnController = -1;
  int mLearnParameter = -1;
};
