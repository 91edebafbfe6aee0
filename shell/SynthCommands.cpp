// The options-menu commands, the program operations and loading the programs at start-up.
#include <cstdio>
#include <mutex>
#include <string>

#include "editor/IGraphics.h"
#include "plugin/ProgramFiles.h"
#include "plugin/Utf8Prefix.h"
#include "shell/Synth.h"
#include "shell/VersionCheck.h"

namespace {

// Folders shared by every instance of the process, set up by the first command of any instance.
class SharedFolders {
 public:
  enum Kind { kProgram, kStartupBank };

  void EnsureCreated(const Configuration& config) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCreated) return;
    mFolders[kProgram] = config.ProgramFolder();
    mFolders[kStartupBank] = config.DocumentsFolder();
    mCreated = true;
  }
  std::string Get(Kind kind) {
    std::lock_guard<std::mutex> lock(mMutex);
    return mFolders[kind];
  }
  void Set(Kind kind, const std::string& folder) {
    std::lock_guard<std::mutex> lock(mMutex);
    mFolders[kind] = folder;
  }

 private:
  std::mutex mMutex;
  bool mCreated = false;
  std::string mFolders[2];
};

SharedFolders& Folders() {
  static SharedFolders folders;
  return folders;
}

// "%s" texts are formed in a buffer of this size, as the message boxes have always shown them.
std::string Format(const char* pattern, const std::string& value) {
  char text[1024];
  std::snprintf(text, sizeof(text), pattern, value.c_str());
  return text;
}

bool Confirmed(IGraphics* editor, const std::string& text, const char* caption) {
  return !editor || editor->ShowMessage(text.c_str(), caption, IGraphics::kMessageYesNo) != IGraphics::kAnswerNo;
}

void ShowError(IGraphics* editor, const char* text) {
  if (editor) editor->ShowMessage(text, "Error", IGraphics::kMessageOk);
}

// The chosen file, or empty when the dialog was cancelled (or there is no editor to ask).
std::string ChooseFile(IGraphics* editor, int action, const std::string& proposed, const std::string& folder,
                       const char* extensions) {
  if (!editor) return {};
  std::string file = proposed;
  std::string dialogFolder = folder;
  editor->PromptForFile(file, action, dialogFolder, extensions);
  return file;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
  for (size_t i = path.size(); i-- > 1;) {
    if (path[i] == '\\' || path[i] == '/') return path.substr(0, i);
  }
  return {};
}

std::string ProgramFileName(const std::string& programName) {
  std::string name = programName;
  for (char& c : name) {
    switch (c) {
      case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
        c = '_';
        break;
      default:
        break;
    }
  }
  return name;
}

void Synth::ExecuteCommand(IGraphics* editor, int number) {
  Folders().EnsureCreated(mConfig);
  switch (number) {
    case kCommandCopyProgram:
      CopyProgram();
      break;
    case kCommandPasteProgram:
      if (Confirmed(editor, "Do you really want to overwrite the current program?", "Paste Program")) PasteProgram();
      break;
    case kCommandInitProgram:
      if (Confirmed(editor, "Do you really want to initialize the current program?", "Initialize Program")) {
        InitProgram();
      }
      break;
    case kCommandLoadProgram:
    case kCommandLoadBank: {
      const bool bank = number == kCommandLoadBank;
      const std::string path =
          ChooseFile(editor, IGraphics::kFileOpen, "", Folders().Get(SharedFolders::kProgram), bank ? "fxb" : "fxp");
      if (path.empty()) break;
      const bool loaded = bank ? LoadBankFile(*this, path.c_str()) : LoadProgramFile(*this, path.c_str());
      Folders().Set(SharedFolders::kProgram, FolderOfPath(path));
      if (!loaded) ShowError(editor, "Cannot load file!");
      break;
    }
    case kCommandSaveProgram:
    case kCommandSaveBank: {
      const bool bank = number == kCommandSaveBank;
      const std::string proposed = bank ? std::string("Sarn") : ProgramFileName(GetPresetName(GetCurrentPresetIdx()));
      const std::string path = ChooseFile(editor, IGraphics::kFileSave, proposed,
                                          Folders().Get(SharedFolders::kProgram), bank ? "fxb" : "fxp");
      if (path.empty()) break;
      {
        LockGuard lock(Mutex());
        ModifyCurrentPreset();
      }
      const bool saved = bank ? SaveBankFile(*this, path.c_str()) : SaveProgramFile(*this, path.c_str());
      Folders().Set(SharedFolders::kProgram, FolderOfPath(path));
      if (!saved) ShowError(editor, "Cannot save file!");
      break;
    }
    case kCommandSelectStartupBank: {
      const std::string path = ChooseFile(editor, IGraphics::kFileOpen, "", Folders().Get(SharedFolders::kStartupBank), "fxb");
      if (path.empty()) break;
      mConfig.SetStartupBank(path);
      Folders().Set(SharedFolders::kStartupBank, FolderOfPath(path));
      break;
    }
    case kCommandLoadStartupBank: {
      const std::string bankFile = mConfig.StartupBankFile();
      const std::string text = Format("The Startup Bank is:\n%s\n\nDo you really want to reload all programs?", bankFile);
      if (!Confirmed(editor, text, "Load Startup Bank")) break;
      const bool loaded = LoadBankFile(*this, bankFile.c_str());
      if (!loaded) ShowError(editor, "Cannot load file!");
      break;
    }
    case kCommandUnselectStartupBank: {
      const std::string text =
          Format("The Startup Bank is:\n%s\n\nDo you really want to unselect it?", mConfig.StartupBankFile());
      if (Confirmed(editor, text, "Unselect Startup Bank")) mConfig.ClearStartupBank();
      break;
    }
    case kCommandDefaultPath: {
      std::string folder = Folders().Get(SharedFolders::kProgram);
      if (folder.empty()) folder = mConfig.DocumentsFolder();
      const std::string path = ChooseFile(editor, IGraphics::kFileSave, "[file name is ignored]", folder, " ");
      if (path.empty()) break;
      Folders().Set(SharedFolders::kProgram, FolderOfPath(path));
      mConfig.SaveDefaultPath(FolderOfPath(path));
      break;
    }
    case kCommandReloadConfiguration: {
      const std::string text =
          Format("The INI configuration file is:\n%s\n\nDo you really want to reload it?", mConfig.ConfigurationFilePath());
      if (!editor || editor->ShowMessage(text.c_str(), "Reload Configuration", IGraphics::kMessageYesNo) !=
                         IGraphics::kAnswerYes) {
        break;
      }
      int result;
      {
        LockGuard lock(Mutex());
        result = mConfig.ReadConfiguration();
      }
      if (result == Configuration::kFileMissing) {
        editor->ShowMessage("The INI file does not exist.", "Problem with INI File", IGraphics::kMessageOk);
      }
      editor->SetUserScale(mConfig.EditorSize());
      break;
    }
    case kCommandSaveConfiguration: {
      const std::string text =
          Format("The INI configuration file is:\n%s\n\nDo you really want to overwrite it?", mConfig.ConfigurationFilePath());
      if (editor && editor->ShowMessage(text.c_str(), "Save Configuration", IGraphics::kMessageYesNo) ==
                        IGraphics::kAnswerYes) {
        mConfig.SaveConfiguration(-1);
      }
      break;
    }
    // The audio thread reads both switches under the lock; the file is written without it.
    case kCommandMidiThru:
      {
        LockGuard lock(Mutex());
        SetMidiThru(!MidiThru());
      }
      mConfig.SaveConfiguration(kCommandMidiThru);
      break;
    case kCommandIgnoreProgramChange:
      {
        LockGuard lock(Mutex());
        SetIgnoreProgramChange(!IgnoreProgramChange());
      }
      mConfig.SaveConfiguration(kCommandIgnoreProgramChange);
      break;
    case kCommandCheckForUpdate:
      CheckForUpdate(editor);
      break;
    // The editor takes its new size at its next tick; the choice is kept for every later instance.
    case kCommandEditorSize100:
    case kCommandEditorSize150:
    case kCommandEditorSize200:
    case kCommandEditorSizeAutomatic: {
      static constexpr int kSizes[] = {100, 150, 200, 0};
      mConfig.SaveEditorSize(kSizes[number - kCommandEditorSize100]);
      if (editor) editor->SetUserScale(mConfig.EditorSize());
      break;
    }
    default:
      break;
  }
}

int Synth::CheckForUpdate(IGraphics* editor) { return ::CheckForUpdate(editor, &mClosing); }

void Synth::CopyProgram() {
  LockGuard lock(Mutex());
  ModifyCurrentPreset();
  mCopiedProgramIndex = GetCurrentPresetIdx();
  mCopyBuffer.Clear();
  SaveProgramState(mCopyBuffer);
}

void Synth::PasteProgram() {
  if (mCopyBuffer.Size() == 0) return;
  LockGuard lock(Mutex());
  LoadProgramState(mCopyBuffer, 0);
  const std::string name = GetPresetName(mCopiedProgramIndex);  // "" outside the list
  ModifyCurrentPreset(name.c_str());
  RedrawParameterControls();
  ReportAllParameters();
}

void Synth::InitProgram() {
  LockGuard lock(Mutex());
  for (int i = 0; i < NParams(); ++i) {
    const IPlugParam* param = GetParam(i);
    SetParameterFromEditor(i, param->ToNormalized(param->Default()));
  }
  ModifyCurrentPreset("Init");
  RedrawParameterControls();
  ReportAllParameters();
}

void Synth::SelectProgram(int index) {
  LockGuard lock(Mutex());
  ModifyCurrentPreset();
  RecallPreset(index);
  NotifyHostOfProgramChange();
  ReportAllParameters();
}

void Synth::RenameCurrentProgram(const std::string& name) {
  {
    LockGuard lock(Mutex());
    ModifyCurrentPreset(Utf8Prefix(name, 256).c_str());
  }
  NotifyHostOfProgramChange();
  ReportAllParameters();
}

std::string Synth::ProgramName(int index) const {
  LockGuard lock(Mutex());
  return GetPresetName(index);
}

bool Synth::HasCopiedProgram() const {
  LockGuard lock(Mutex());
  return mCopyBuffer.Size() > 0;
}

bool Synth::HasStartupBank() const { return !mConfig.StartupBankFile().empty(); }

void Synth::ReportAllParameters() {
  LockGuard lock(Mutex());
  for (int i = 0; i < NParams(); ++i) {
    const IPlugParam* param = GetParam(i);
    NotifyHostOfParameterChange(i, param->ToNormalized(param->Value()));
  }
}

void Synth::LoadStartupPrograms() {
  LockGuard lock(Mutex());
  const std::string bankFile = mConfig.StartupBankFile();
  if (!bankFile.empty() && LoadBankFile(*this, bankFile.c_str())) return;
  // The configuration file keeps naming the bank; this instance runs without it.
  mConfig.ForgetStartupBank();
  LoadStartupBank();
}

void Synth::LoadStartupBank() {
  LockGuard lock(Mutex());
  const std::string bankFile = mConfig.StartupBankFile();
  if (!bankFile.empty() && LoadBankFile(*this, bankFile.c_str())) return;
  LoadFactoryBank();
  NotifyHostOfProgramChange();
}
