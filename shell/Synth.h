// The maker's layer between the VST2 binding and the instrument: the user's settings (configuration
// file), the controller map, MIDI learn and unlearn, program changes and MIDI thru, the options-menu
// commands and the program operations. It answers the engine's calls out (EngineHost).
#pragma once

#include <atomic>
#include <string>

#include "editor/InstrumentHost.h"
#include "engine/Engine.h"
#include "plugin/DataChunk.h"
#include "plugin/vst2/IPlugVST.h"
#include "shell/Configuration.h"

class IGraphics;

class Synth : public IPlugVST, public EngineHost, public InstrumentHost {
 public:
  static constexpr int kNumControllers = Configuration::kNumControllers;

  // Options-menu commands, by number; other numbers do nothing.
  static constexpr int kCommandCopyProgram = 0;
  static constexpr int kCommandPasteProgram = 1;
  static constexpr int kCommandInitProgram = 2;
  static constexpr int kCommandLoadProgram = 4;
  static constexpr int kCommandSaveProgram = 5;
  static constexpr int kCommandLoadBank = 6;
  static constexpr int kCommandSaveBank = 7;
  static constexpr int kCommandSelectStartupBank = 9;
  static constexpr int kCommandLoadStartupBank = 10;
  static constexpr int kCommandUnselectStartupBank = 11;
  static constexpr int kCommandDefaultPath = 13;
  static constexpr int kCommandReloadConfiguration = 15;
  static constexpr int kCommandSaveConfiguration = 16;
  static constexpr int kCommandMidiThru = Configuration::kSaveMidiThru;
  static constexpr int kCommandIgnoreProgramChange = Configuration::kSaveIgnoreProgramChange;
  static constexpr int kCommandCheckForUpdate = 22;
  // "Editor Size": 100 %, 150 %, 200 %, Automatic.
  static constexpr int kCommandEditorSize100 = 24;
  static constexpr int kCommandEditorSize150 = 25;
  static constexpr int kCommandEditorSize200 = 26;
  static constexpr int kCommandEditorSizeAutomatic = 27;

  // Finds and reads the configuration file.
  Synth(VstHostCallback host, int nParams, int nPresets);

  // ---- Settings ----
  Configuration& Settings() { return mConfig; }
  int ReadConfiguration() { return mConfig.ReadConfiguration(); }

  // ---- MIDI control ----
  // Arms (or disarms) a learn; in unlearn mode the armed action removes a mapping.
  void ArmLearn(bool armed, bool unlearn) override;
  // Run at the start of every ApplyParameter, under the plug-in lock.
  void CaptureLearnParameter(int index);
  // The parameter controller drives, or -1 when it drives none (also for entries outside 0..59).
  int ControllerMapping(int controller) const;
  void SetControllerMapping(int controller, int parameter);
  bool LearnArmed() const { return mLearnArmed; }
  bool MidiThru() const override { return mConfig.MidiThru(); }
  void SetMidiThru(bool on) { mConfig.SetMidiThru(on); }
  bool IgnoreProgramChange() const override { return mConfig.IgnoreProgramChange(); }
  int EditorSize() const override { return mConfig.EditorSize(); }
  void SetIgnoreProgramChange(bool on) { mConfig.SetIgnoreProgramChange(on); }

  // ---- Commands and program operations, on the editor's thread ----
  // Runs options-menu command number, asking and reporting through editor (no editor: nobody is
  // asked, dialogs count as cancelled).
  void ExecuteCommand(IGraphics* editor, int number) override;
  void CopyProgram();
  // Nothing when nothing was copied.
  void PasteProgram();
  // Every parameter to its default; the current program becomes "Init".
  virtual void InitProgram();
  void SelectProgram(int index) override;
  // Stores the current values into the current program under name (at most 256 bytes), refreshes the
  // host's display and reports every parameter.
  void RenameCurrentProgram(const std::string& name) override;
  int ProgramCount() const override { return NPresets(); }
  int CurrentProgram() const override { return GetCurrentPresetIdx(); }
  std::string ProgramName(int index) const override;
  bool HasCopiedProgram() const override;
  bool HasStartupBank() const override;
  // Tells the host every parameter's normalized value.
  void ReportAllParameters();
  // Asks the maker's server for a newer release; see VersionCheck. Ends early once the host closes
  // the instance.
  int CheckForUpdate(IGraphics* editor);
  void PrepareToClose() override { mClosing = true; }
  // At construction: the configured startup bank, or else LoadStartupBank().
  void LoadStartupPrograms();
  // The startup bank file when one is set and loads, else the factory bank.
  virtual void LoadStartupBank();
  // The bank stored in the module; false when it is missing or does not load.
  virtual bool LoadFactoryBank() { return false; }

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

 protected:
  // A learn has ended and learning is no longer armed (the face's learn switch goes dark).
  virtual void LearnEnded() {}

 private:
  void ApplyMidiLearn();
  // Every controller that drives parameter drives nothing afterwards.
  void UnmapParameter(int parameter);

  Configuration mConfig;
  bool mLearnArmed = false;
  bool mUnlearnMode = false;
  int mLearnController = -1;
  int mLearnParameter = -1;
  DataChunk mCopyBuffer;
  int mCopiedProgramIndex = -1;
  std::atomic<bool> mClosing{false};  // the host is closing the instance: web requests end now
};

// The folder of a chosen file: the path cut before its last '\' or '/' (searched from the end down
// to the second character); empty when there is none.
std::string FolderOfPath(const std::string& path);
// A program name made fit for a file name: < > : " / \ | ? * become '_'.
std::string ProgramFileName(const std::string& programName);
