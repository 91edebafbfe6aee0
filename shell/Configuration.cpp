#include "shell/Configuration.h"

#include <climits>
#include <new>

#include "editor/UserFolders.h"
#include "plugin/NumberText.h"

namespace {

const char kSettingsFolderName[] = "KelmorMusic";
const char kFileName[] = "sarn.ini";

const char kStartupBankSection[] = "Startup Bank";
const char kStartupBankKey[] = "File";
const char kGlobalSection[] = "Global";
const char kProgramFolderKey[] = "Path to Program Files";
const char kEditorSizeKey[] = "Editor Size";
const char kAutomaticSize[] = "Automatic";
const char kMidiGlobalSection[] = "MIDI Global";
const char kMidiThruKey[] = "MIDI Thru";
const char kIgnoreProgramChangeKey[] = "Ignore Program Change";
const char kMidiControlSection[] = "MIDI Control";

// Reads are bounded as fixed buffers would bound them: paths to 258 characters, switches and
// controller values to 63.
constexpr size_t kPathBuffer = 259;
constexpr size_t kValueBuffer = 64;

std::string SettingsFolder(const std::string& appDataFolder) {
  return appDataFolder + PathSeparator() + kSettingsFolderName;
}

std::string SettingsFilePath(const std::string& appDataFolder) {
  if (appDataFolder.empty()) return {};
  return SettingsFolder(appDataFolder) + PathSeparator() + kFileName;
}

std::string ControllerKey(int controller) { return "CC" + std::to_string(controller); }

const char* SwitchText(bool on) { return on ? "true" : "false"; }

bool EqualsTrueIgnoringCase(const std::string& text) {
  static const char kTrue[] = "true";
  if (text.size() != sizeof kTrue - 1) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != kTrue[i]) return false;
  }
  return true;
}

// A controller's value from the file: its number, or -1 when the text is not a number. A 0 counts
// only when the text really says 0, so "abc" unassigns instead of assigning parameter 0.
int ControllerEntry(const std::string& text) {
  const int value = ReadLeadingInteger(text);
  return value != 0 || text[0] == '0' ? value : -1;
}

}  // namespace

Configuration::Configuration() : Configuration(LocalAppDataFolder(), ::DocumentsFolder()) {}

Configuration::Configuration(const std::string& appDataFolder, const std::string& documentsFolder)
    : mDocumentsFolder(documentsFolder), mProgramFolder(documentsFolder), mFile(SettingsFilePath(appDataFolder)) {
  mControllerMap.fill(-1);
  // Without a known settings folder there is nowhere sensible to keep the file.
  if (appDataFolder.empty()) return;
  ProfileFile::CreateFolder(SettingsFolder(appDataFolder));  // fails harmlessly when it exists
  if (mFile.Exists() || mFile.CreateIfMissing()) ReadConfiguration();
}

int Configuration::ReadConfiguration() {
  const bool existed = mFile.Exists();
  try {
    mStartupBankFile.clear();
    mChosenStartupBank.clear();
    const std::string bank = mFile.ReadString(kStartupBankSection, kStartupBankKey, "", kPathBuffer);
    if (!bank.empty()) mStartupBankFile = mChosenStartupBank = bank;

    const std::string folder = mFile.ReadString(kGlobalSection, kProgramFolderKey, "", kPathBuffer);
    if (!folder.empty()) mProgramFolder = folder;

    // "100", "150" or "200" (percent); anything else leaves the size to the host and the screen.
    const std::string size = mFile.ReadString(kGlobalSection, kEditorSizeKey, kAutomaticSize, kValueBuffer);
    const int percent = ReadLeadingInteger(size);
    mEditorSize = percent == 100 || percent == 150 || percent == 200 ? percent : 0;

    mMidiThru = ReadSwitch(kMidiThruKey, mMidiThru);
    mIgnoreProgramChange = ReadSwitch(kIgnoreProgramChangeKey, mIgnoreProgramChange);

    for (int controller = 0; controller < kNumControllers; ++controller) {
      const std::string value =
          mFile.ReadString(kMidiControlSection, ControllerKey(controller).c_str(), "-1", kValueBuffer);
      if (!value.empty()) mControllerMap[controller] = ControllerEntry(value);
    }
  } catch (const std::bad_alloc&) {
    // Whatever was read so far stays; the rest keeps its previous value.
  }
  return existed ? kRead : kFileMissing;
}

bool Configuration::SaveConfiguration(int kind) {
  try {
    bool saved = WriteStartupBankSection();
    if (kind < 0 || kind == kSaveMidiThru) {
      saved = mFile.WriteString(kMidiGlobalSection, kMidiThruKey, SwitchText(mMidiThru)) && saved;
    }
    if (kind < 0 || kind == kSaveIgnoreProgramChange) {
      saved = mFile.WriteString(kMidiGlobalSection, kIgnoreProgramChangeKey, SwitchText(mIgnoreProgramChange)) &&
              saved;
    }
    if (kind < 0) {
      saved = mFile.EmptySection(kMidiControlSection) && saved;
      for (int controller = 0; controller < kNumControllers; ++controller) {
        if (mControllerMap[controller] < 0) continue;
        saved = mFile.WriteString(kMidiControlSection, ControllerKey(controller).c_str(),
                                  std::to_string(mControllerMap[controller]).c_str()) &&
                saved;
      }
    }
    return saved;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool Configuration::SetStartupBank(const std::string& path) {
  try {
    mStartupBankFile = mChosenStartupBank = path;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return WriteStartupBankSection();
}

bool Configuration::ClearStartupBank() {
  mStartupBankFile.clear();
  mChosenStartupBank.clear();
  return mFile.EmptySection(kStartupBankSection);
}

bool Configuration::SaveDefaultPath(const std::string& path) {
  try {
    mProgramFolder = path;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return mFile.WriteString(kGlobalSection, kProgramFolderKey, path.c_str());
}

bool Configuration::SaveEditorSize(int percent) {
  mEditorSize = percent == 100 || percent == 150 || percent == 200 ? percent : 0;
  const std::string text = mEditorSize != 0 ? std::to_string(mEditorSize) : kAutomaticSize;
  return mFile.WriteString(kGlobalSection, kEditorSizeKey, text.c_str());
}

int Configuration::ControllerMapping(int controller) const {
  return controller >= 0 && controller < kNumControllers ? mControllerMap[controller] : -1;
}

void Configuration::SetControllerMapping(int controller, int parameter) {
  if (controller >= 0 && controller < kNumControllers) mControllerMap[controller] = parameter;
}

bool Configuration::ReadSwitch(const char* key, bool current) const {
  const std::string value = mFile.ReadString(kMidiGlobalSection, key, SwitchText(current), kValueBuffer);
  return value.empty() ? current : EqualsTrueIgnoringCase(value);
}

bool Configuration::WriteStartupBankSection() {
  const bool emptied = mFile.EmptySection(kStartupBankSection);
  return mFile.WriteString(kStartupBankSection, kStartupBankKey, mChosenStartupBank.c_str()) && emptied;
}
