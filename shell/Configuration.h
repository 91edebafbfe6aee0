// The user's global settings, those that belong to no program: the startup bank, the folder for
// program and bank files, the editor's size, the two MIDI switches and the controller assignments. They live in one
// INI file per user ("sarn.ini" in the "KelmorMusic" settings folder), shared by every instance.
// Each instance reads the file when it is built and on request, and writes the parts the user
// changes; instances see each other's changes only when they read the file again.
#pragma once

#include <array>
#include <string>

#include "shell/ProfileFile.h"

class Configuration {
 public:
  static constexpr int kNumControllers = 120;
  // Results of ReadConfiguration.
  static constexpr int kRead = 0;
  static constexpr int kFileMissing = 11;
  // Kinds of SaveConfiguration: everything but the program folder, or one MIDI switch only (the
  // numbers of the option-menu commands that toggle the switches).
  static constexpr int kSaveAll = -1;
  static constexpr int kSaveMidiThru = 19;
  static constexpr int kSaveIgnoreProgramChange = 20;

  // Finds the settings folder under the user's local application data and the documents folder,
  // creates the folder and an empty file when missing, and reads the file.
  Configuration();
  // The same with the two folders given; an empty application-data folder means no file at all,
  // and the settings keep their initial values.
  Configuration(const std::string& appDataFolder, const std::string& documentsFolder);

  // Reads every setting from the file; kFileMissing when the file did not exist, else kRead.
  int ReadConfiguration();
  // Rewrites the startup bank section and, depending on kind, the MIDI switches and the controller
  // assignments. False when a write failed; the settings in memory stay as they are.
  bool SaveConfiguration(int kind);
  // Makes path the startup bank and writes it to the file.
  bool SetStartupBank(const std::string& path);
  // Unselects the startup bank, in memory and in the file.
  bool ClearStartupBank();
  // Makes path the program folder and writes it to the file.
  bool SaveDefaultPath(const std::string& path);

  const std::string& ConfigurationFilePath() const { return mFile.Path(); }
  const std::string& DocumentsFolder() const { return mDocumentsFolder; }

  const std::string& ProgramFolder() const { return mProgramFolder; }
  void SetProgramFolder(const std::string& path) { mProgramFolder = path; }  // memory only

  // The startup bank of this instance: empty when none is chosen or it failed to load at start.
  const std::string& StartupBankFile() const { return mStartupBankFile; }
  // Forgets the startup bank for this start only (after it failed to load). The user's choice stays:
  // every later write of the configuration file keeps naming it, so it loads at the next start.
  void ForgetStartupBank() { mStartupBankFile.clear(); }

  // The editor's size chosen by the user in percent (100, 150, 200), or 0 for automatic.
  int EditorSize() const { return mEditorSize; }
  // Makes percent (0: automatic) the editor's size and writes it to the file.
  bool SaveEditorSize(int percent);

  bool MidiThru() const { return mMidiThru; }
  void SetMidiThru(bool on) { mMidiThru = on; }
  bool IgnoreProgramChange() const { return mIgnoreProgramChange; }
  void SetIgnoreProgramChange(bool on) { mIgnoreProgramChange = on; }

  // The parameter controller (0..119) is assigned to, or -1. Entries read from the file outside
  // 0..59 are kept as read; whoever maps controllers treats them as unassigned.
  int ControllerMapping(int controller) const;
  void SetControllerMapping(int controller, int parameter);

 private:
  bool ReadSwitch(const char* key, bool current) const;
  bool WriteStartupBankSection();

  std::string mDocumentsFolder;
  std::string mProgramFolder;
  std::string mStartupBankFile;
  // The startup bank as the file names it, which the startup bank section is always written from.
  std::string mChosenStartupBank;
  int mEditorSize = 0;
  bool mMidiThru = false;
  bool mIgnoreProgramChange = false;
  std::array<int, kNumControllers> mControllerMap;
  ProfileFile mFile;
};
