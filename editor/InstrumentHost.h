// What the instrument's own controls need of the instrument beyond its parameters: programs, the
// keyboard, MIDI learn and the options-menu commands. The shell implements it.
#pragma once

#include <string>

class IGraphics;

class InstrumentHost {
 public:
  virtual ~InstrumentHost() = default;

  // ---- Programs ----
  virtual int ProgramCount() const = 0;
  virtual int CurrentProgram() const = 0;
  // "" for an index outside the list.
  virtual std::string ProgramName(int index) const = 0;
  // Stores the current values into the current program, loads program index (the face is updated)
  // and tells the host.
  virtual void SelectProgram(int index) = 0;
  // Stores the current values into the current program under a new name and tells the host.
  virtual void RenameCurrentProgram(const std::string& name) = 0;

  // ---- Keyboard, serialized with rendering ----
  virtual void PlayNote(int note, bool on) = 0;
  virtual bool IsKeyHeld(int note) const = 0;

  // ---- MIDI learn: armed captures the next parameter and controller; unlearn removes a mapping ----
  virtual void ArmLearn(bool armed, bool unlearn) = 0;

  // ---- Options menu ----
  virtual void ExecuteCommand(IGraphics* editor, int number) = 0;
  virtual bool HasCopiedProgram() const = 0;
  virtual bool HasStartupBank() const = 0;
  virtual bool MidiThru() const = 0;
  virtual bool IgnoreProgramChange() const = 0;
  // The editor's size the user chose, in percent (100, 150, 200), or 0 for automatic.
  virtual int EditorSize() const = 0;
};
