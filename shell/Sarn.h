// The instrument: the sound engine as a plain member, its 60 parameters and 64 programs.
#pragma once

#include "engine/Engine.h"
#include "shell/Synth.h"

class Sarn : public Synth {
 public:
  static constexpr int kNumPrograms = 64;

  explicit Sarn(VstHostCallback host);

  void Reset() override;
  void ApplyParameter(int index) override;
  void RenderBlock(double** inputs, double** outputs, int frames) override;
  void HandleMidiMessage(const MidiMessage& message) override;
  bool SaveProgramState(DataChunk& chunk) override;
  int ReadProgramState(const DataChunk& chunk, int position, std::vector<double>& values) const override;
  void PresetsChanged() override { RedrawParameterControls(); }
  virtual void AllNotesOff();
  // The editor keyboard plays here, serialised with rendering by the plug-in lock.
  void PlayNote(int key, bool on);

  // Loads the factory bank stored in the module; false when it is missing or does not load.
  bool LoadFactoryBank() override;
  // Also shows every default in the editor's controls.
  void InitProgram() override;

  Engine& GetEngine() { return mEngine; }

 private:
  void DefineParameters();

  Engine mEngine;
};
