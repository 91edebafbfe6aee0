// The instrument: the sound engine as a plain member, its 60 parameters and 64 programs.
#pragma once

#include "editor/face/FaceLayout.h"
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
  // Every control shows its parameter again, and the program selector its program.
  void RedrawParameterControls() override;
  virtual void AllNotesOff();
  // The editor keyboard plays here, serialised with rendering by the plug-in lock; the audio thread
  // waits at most for one note's voice assignment.
  void PlayNote(int key, bool on) override;
  bool IsKeyHeld(int key) const override;
  // The host's idle calls and the editor's quiet ticks: keys redrawn after notes changed.
  void Idle() override;
  const FaceHandles& Face() const { return mFace; }
  // The editor core that shows the face; owned by the plug-in base with the editor.
  IGraphics* Graphics() const { return mGraphics; }

  // Loads the factory bank stored in the module; false when it is missing or does not load.
  bool LoadFactoryBank() override;
  // Also shows every default in the editor's controls.
  void InitProgram() override;

  Engine& GetEngine() { return mEngine; }

 protected:
  void LearnEnded() override;

 private:
  void DefineParameters();

  IGraphics* mGraphics = nullptr;
  FaceHandles mFace;
  Engine mEngine;
};
