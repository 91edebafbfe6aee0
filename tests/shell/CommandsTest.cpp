#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "editor/headless/IGraphicsHeadless.h"
#include "params/ParameterTable.h"
#include "plugin/ProgramFiles.h"
#include "shell/Sarn.h"

namespace {

namespace fs = std::filesystem;

// What the plug-in tells the host: automation (index, value) and display updates.
struct HostRecord {
  std::vector<std::pair<int, float>> automated;
  int displayUpdates = 0;
};
HostRecord* gHost = nullptr;

intptr_t RecordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float value) {
  if (!gHost) return 0;
  if (opcode == audioMasterAutomate) gHost->automated.emplace_back(index, value);
  if (opcode == audioMasterUpdateDisplay) ++gHost->displayUpdates;
  return 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Each test gets its own settings and documents folders and a scripted editor.
class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/sarn-commands-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    root = name;
    fs::create_directories(root / "config");
    fs::create_directories(root / "docs");
    fs::create_directories(root / "files");
    std::ofstream(root / "config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"" << (root / "docs").string() << "\"\n";
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    gHost = &host;
    sarn = MakeSarn();
  }
  void TearDown() override {
    sarn.reset();
    gHost = nullptr;
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  std::unique_ptr<Sarn> MakeSarn() {
    auto plug = std::make_unique<Sarn>(RecordingHost);
    plug->FillEmptyPresets(plug->NPresets());
    return plug;
  }
  fs::path Ini() const { return root / "config" / "KelmorMusic" / "sarn.ini"; }
  std::string File(const char* name) const { return (root / "files" / name).string(); }
  void Run(int command) { sarn->ExecuteCommand(&editor, command); }
  // The parameter block of program index.
  std::vector<double> ProgramValues(int index) {
    sarn->SelectProgram(index);
    std::vector<double> values;
    for (int i = 0; i < kNumParams; ++i) values.push_back(sarn->GetParam(i)->Value());
    return values;
  }

  fs::path root;
  HostRecord host;
  IGraphicsHeadless editor;
  std::unique_ptr<Sarn> sarn;
};

TEST_F(Commands, ConfirmationTextsAndNoChangesNothing) {
  sarn->Settings().SetStartupBank("/banks/My Strings.fxb");
  const std::string ini = sarn->Settings().ConfigurationFilePath();
  struct Case {
    int command;
    std::string text;
    const char* caption;
  };
  const Case cases[] = {
      {Synth::kCommandPasteProgram, "Do you really want to overwrite the current program?", "Paste Program"},
      {Synth::kCommandInitProgram, "Do you really want to initialize the current program?", "Initialize Program"},
      {Synth::kCommandLoadStartupBank,
       "The Startup Bank is:\n/banks/My Strings.fxb\n\nDo you really want to reload all programs?", "Load Startup Bank"},
      {Synth::kCommandUnselectStartupBank,
       "The Startup Bank is:\n/banks/My Strings.fxb\n\nDo you really want to unselect it?", "Unselect Startup Bank"},
      {Synth::kCommandReloadConfiguration,
       "The INI configuration file is:\n" + ini + "\n\nDo you really want to reload it?", "Reload Configuration"},
      {Synth::kCommandSaveConfiguration,
       "The INI configuration file is:\n" + ini + "\n\nDo you really want to overwrite it?", "Save Configuration"},
  };
  sarn->CopyProgram();
  sarn->SetParameterFromEditor(kTone, 0.25);
  sarn->SetControllerMapping(7, kDelayMix);
  const double tone = sarn->GetParam(kTone)->Value();
  const std::string iniBefore = ReadFile(Ini());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    editor.ClearRecords();
    editor.QueueAnswer(IGraphics::kAnswerNo);
    Run(c.command);
    ASSERT_EQ(editor.Messages().size(), 1u);
    EXPECT_EQ(editor.Messages()[0].text, c.text);
    EXPECT_EQ(editor.Messages()[0].caption, c.caption);
    EXPECT_EQ(editor.Messages()[0].type, IGraphics::kMessageYesNo);
  }
  EXPECT_DOUBLE_EQ(sarn->GetParam(kTone)->Value(), tone);
  EXPECT_EQ(sarn->ControllerMapping(7), kDelayMix);
  EXPECT_EQ(sarn->Settings().StartupBankFile(), "/banks/My Strings.fxb");
  EXPECT_EQ(ReadFile(Ini()), iniBefore);
}

TEST_F(Commands, UnknownNumbersDoNothing) {
  for (int number : {-1, 3, 8, 12, 14, 17, 18, 21, 23, 1000}) Run(number);
  EXPECT_TRUE(editor.Messages().empty());
  EXPECT_TRUE(editor.FilePrompts().empty());
}

TEST_F(Commands, CopyProgramThreeIntoProgramTen) {
  const std::vector<double> three = ProgramValues(3);
  const std::string threeName = sarn->GetPresetName(3);
  sarn->SelectProgram(3);
  Run(Synth::kCommandCopyProgram);
  sarn->SelectProgram(10);
  ASSERT_NE(ProgramValues(10), three);
  const std::string otherName = sarn->GetPresetName(11);
  editor.QueueAnswer(IGraphics::kAnswerYes);
  Run(Synth::kCommandPasteProgram);
  EXPECT_EQ(sarn->GetPresetName(10), threeName);
  EXPECT_EQ(sarn->GetPresetName(11), otherName);
  EXPECT_EQ(ProgramValues(10), three);
}

TEST_F(Commands, PasteWithNothingCopiedDoesNothing) {
  const std::vector<double> before = ProgramValues(5);
  const std::string name = sarn->GetPresetName(5);
  host.automated.clear();
  editor.QueueAnswer(IGraphics::kAnswerYes);
  Run(Synth::kCommandPasteProgram);
  EXPECT_EQ(sarn->GetPresetName(5), name);
  EXPECT_TRUE(host.automated.empty());
  EXPECT_EQ(ProgramValues(5), before);
}

TEST_F(Commands, InitProgramSetsDefaultsAndRenamesOnlyTheCurrentProgram) {
  sarn->SelectProgram(7);
  const std::vector<double> eight = ProgramValues(8);
  const std::string eightName = sarn->GetPresetName(8);
  sarn->SelectProgram(7);
  host.automated.clear();
  editor.QueueAnswer(IGraphics::kAnswerYes);
  Run(Synth::kCommandInitProgram);
  for (int i = 0; i < kNumParams; ++i) {
    EXPECT_DOUBLE_EQ(sarn->GetParam(i)->Value(), sarn->GetParam(i)->Default()) << sarn->GetParam(i)->Name();
  }
  EXPECT_STREQ(sarn->GetPresetName(7), "Init");
  // Each parameter is set as an edit and then reported once more; the host, collecting at its next
  // effEditIdle, hears each parameter once with its new value.
  sarn->GetAEffect()->dispatcher(sarn->GetAEffect(), effEditIdle, 0, 0, nullptr, 0.0f);
  ASSERT_EQ(host.automated.size(), static_cast<size_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i) {
    EXPECT_EQ(host.automated[static_cast<size_t>(i)].first, i);
    EXPECT_FLOAT_EQ(host.automated[static_cast<size_t>(i)].second,
                    static_cast<float>(sarn->GetParam(i)->ToNormalized(sarn->GetParam(i)->Default())));
  }
  EXPECT_EQ(sarn->GetPresetName(8), eightName);
  EXPECT_EQ(ProgramValues(8), eight);
  // The defaults were stored into program 7.
  for (int i = 0; i < kNumParams; ++i) EXPECT_DOUBLE_EQ(ProgramValues(7)[i], sarn->GetParam(i)->Default());
}

TEST_F(Commands, SaveProgramProposesACleanNameAndRoundTrips) {
  sarn->SelectProgram(2);
  sarn->GetPreset(2)->SetName("Pad/Lead: Two?");
  sarn->SetParameterFromEditor(kTone, 0.8);  // not yet stored in the program: the save stores it
  const std::string path = File("pad.fxp");
  editor.QueueFile(path);
  Run(Synth::kCommandSaveProgram);
  ASSERT_EQ(editor.FilePrompts().size(), 1u);
  EXPECT_EQ(editor.FilePrompts()[0].proposedFile, "Pad_Lead_ Two_");
  EXPECT_EQ(editor.FilePrompts()[0].action, IGraphics::kFileSave);
  EXPECT_EQ(editor.FilePrompts()[0].extensions, "fxp");
  EXPECT_TRUE(editor.Messages().empty());
  ASSERT_TRUE(fs::exists(path));
  const double tone = sarn->GetParam(kTone)->Value();

  // Loaded into another program: same values; the next dialog starts in the file's folder.
  sarn->SelectProgram(20);
  editor.QueueFile(path);
  Run(Synth::kCommandLoadProgram);
  ASSERT_EQ(editor.FilePrompts().size(), 2u);
  EXPECT_EQ(editor.FilePrompts()[1].action, IGraphics::kFileOpen);
  EXPECT_EQ(editor.FilePrompts()[1].proposedFile, "");
  EXPECT_EQ(editor.FilePrompts()[1].folder, (root / "files").string());
  EXPECT_TRUE(editor.Messages().empty());
  EXPECT_DOUBLE_EQ(sarn->GetParam(kTone)->Value(), tone);
}

TEST_F(Commands, SaveAndLoadBank) {
  const std::vector<double> nine = ProgramValues(9);
  const std::string path = File("all.fxb");
  editor.QueueFile(path);
  Run(Synth::kCommandSaveBank);
  ASSERT_EQ(editor.FilePrompts().size(), 1u);
  EXPECT_EQ(editor.FilePrompts()[0].proposedFile, "Sarn");
  EXPECT_EQ(editor.FilePrompts()[0].extensions, "fxb");
  ASSERT_TRUE(fs::exists(path));

  sarn->SelectProgram(9);
  sarn->SetParameterFromEditor(kTone, 0.123);
  sarn->SelectProgram(0);  // stores the change into program 9
  ASSERT_NE(ProgramValues(9), nine);
  editor.QueueFile(path);
  Run(Synth::kCommandLoadBank);
  EXPECT_TRUE(editor.Messages().empty());
  EXPECT_EQ(ProgramValues(9), nine);
}

TEST_F(Commands, CancelledDialogsChangeNothing) {
  sarn->SelectProgram(4);
  const std::vector<double> before = ProgramValues(4);
  const std::string iniBefore = ReadFile(Ini());
  for (int command : {Synth::kCommandLoadProgram, Synth::kCommandSaveProgram, Synth::kCommandLoadBank,
                      Synth::kCommandSaveBank, Synth::kCommandSelectStartupBank, Synth::kCommandDefaultPath}) {
    editor.QueueFile("");
    Run(command);
  }
  EXPECT_EQ(editor.FilePrompts().size(), 6u);
  EXPECT_TRUE(editor.Messages().empty());
  EXPECT_TRUE(fs::is_empty(root / "files"));
  EXPECT_EQ(sarn->Settings().StartupBankFile(), "");
  EXPECT_EQ(ReadFile(Ini()), iniBefore);
  EXPECT_EQ(ProgramValues(4), before);
}

TEST_F(Commands, FailedLoadsAndSavesSayWhatFailedAndLoseNothing) {
  const std::vector<double> before = ProgramValues(0);
  const std::string garbage = File("garbage.fxb");
  std::ofstream(garbage) << "this is not a bank";
  struct Case {
    int command;
    std::string file;
    const char* message;
  };
  const Case cases[] = {
      {Synth::kCommandLoadProgram, File("missing.fxp"), "Cannot load file!"},
      {Synth::kCommandLoadBank, garbage, "Cannot load file!"},
      {Synth::kCommandSaveProgram, (root / "no such folder" / "x.fxp").string(), "Cannot save file!"},
      {Synth::kCommandSaveBank, (root / "no such folder" / "x.fxb").string(), "Cannot save file!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    editor.ClearRecords();
    editor.QueueFile(c.file);
    Run(c.command);
    ASSERT_EQ(editor.Messages().size(), 1u);
    EXPECT_EQ(editor.Messages()[0].text, c.message);
    EXPECT_EQ(editor.Messages()[0].caption, "Error");
    EXPECT_EQ(editor.Messages()[0].type, IGraphics::kMessageOk);
  }
  EXPECT_EQ(ReadFile(garbage), "this is not a bank");
  EXPECT_FALSE(fs::exists(root / "no such folder"));
  EXPECT_EQ(ProgramValues(0), before);
}

TEST_F(Commands, StartupBankSelectLoadAndUnselect) {
  // A bank with a recognisable program 0.
  sarn->SelectProgram(0);
  sarn->SetParameterFromEditor(kTone, 0.777);
  const std::string bank = File("startup.fxb");
  editor.QueueFile(bank);
  Run(Synth::kCommandSaveBank);
  const double savedTone = sarn->GetParam(kTone)->Value();
  sarn->SetParameterFromEditor(kTone, 0.1);

  editor.QueueFile(bank);
  Run(Synth::kCommandSelectStartupBank);
  EXPECT_EQ(sarn->Settings().StartupBankFile(), bank);
  EXPECT_NE(ReadFile(Ini()).find("File=" + bank), std::string::npos);
  EXPECT_NE(sarn->GetParam(kTone)->Value(), savedTone);  // selecting does not load

  editor.QueueAnswer(IGraphics::kAnswerYes);
  Run(Synth::kCommandLoadStartupBank);
  EXPECT_DOUBLE_EQ(sarn->GetParam(kTone)->Value(), savedTone);

  // The next selection starts in the folder of the last one.
  editor.QueueFile("");
  Run(Synth::kCommandSelectStartupBank);
  EXPECT_EQ(editor.FilePrompts().back().folder, (root / "files").string());

  editor.QueueAnswer(IGraphics::kAnswerYes);
  Run(Synth::kCommandUnselectStartupBank);
  EXPECT_EQ(sarn->Settings().StartupBankFile(), "");
  EXPECT_EQ(ReadFile(Ini()).find("File="), std::string::npos);
}

TEST_F(Commands, StartupBankLoadsAtConstructionAndFallsBackToTheFactoryBank) {
  sarn->SelectProgram(0);
  sarn->SetParameterFromEditor(kTone, 0.777);
  const double savedTone = sarn->GetParam(kTone)->Value();
  const std::string bank = File("startup.fxb");
  editor.QueueFile(bank);
  Run(Synth::kCommandSaveBank);
  sarn->Settings().SetStartupBank(bank);

  std::unique_ptr<Sarn> second = MakeSarn();
  EXPECT_EQ(second->Settings().StartupBankFile(), bank);
  EXPECT_DOUBLE_EQ(second->GetParam(kTone)->Value(), savedTone);

  // A missing startup bank: the factory bank, the setting forgotten in memory but kept in the file.
  fs::remove(bank);
  std::unique_ptr<Sarn> third = MakeSarn();
  EXPECT_EQ(third->Settings().StartupBankFile(), "");
  EXPECT_NE(ReadFile(Ini()).find("File=" + bank), std::string::npos);
  EXPECT_STREQ(third->GetPresetName(46), "Glass Harp");
}

// Files that end early are refused whole: the message shows and no program, name or value changes.
TEST_F(Commands, TruncatedFilesChangeNothing) {
  sarn->SelectProgram(2);
  sarn->SetParameterFromEditor(kTone, 0.61);
  const std::string wholeBank = File("whole.fxb");
  const std::string wholeProgram = File("whole.fxp");
  editor.QueueFile(wholeBank);
  Run(Synth::kCommandSaveBank);
  editor.QueueFile(wholeProgram);
  Run(Synth::kCommandSaveProgram);
  // What the files hold differs from what the instance holds afterwards.
  for (int program : {0, 2, 40}) {
    sarn->SelectProgram(program);
    sarn->SetParameterFromEditor(kAttack, 0.123);
    sarn->SetParameterFromEditor(kTone, 0.2);
  }
  auto state = [this]() {
    std::string text = std::to_string(sarn->GetCurrentPresetIdx());
    for (int i = 0; i < kNumParams; ++i) text += " " + std::to_string(sarn->GetParam(i)->Value());
    sarn->ModifyCurrentPreset();
    DataChunk bank;
    sarn->SerializePresets(bank);
    return text + std::string(reinterpret_cast<const char*>(bank.Data()), static_cast<size_t>(bank.Size()));
  };
  const std::string before = state();
  struct Case {
    int command;
    const std::string* whole;
    double fraction;
  };
  const Case cases[] = {
      {Synth::kCommandLoadBank, &wholeBank, 0.5}, {Synth::kCommandLoadBank, &wholeBank, 0.999},
      {Synth::kCommandLoadProgram, &wholeProgram, 0.5}, {Synth::kCommandLoadProgram, &wholeProgram, 0.99},
  };
  for (const Case& c : cases) {
    const std::string bytes = ReadFile(*c.whole);
    const std::string cut = File("cut");
    const auto kept = static_cast<size_t>(static_cast<double>(bytes.size()) * c.fraction);
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, kept);
    SCOPED_TRACE(std::to_string(c.command) + " " + std::to_string(c.fraction));
    editor.ClearRecords();
    editor.QueueFile(cut);
    Run(c.command);
    ASSERT_EQ(editor.Messages().size(), 1u);
    EXPECT_EQ(editor.Messages()[0].text, "Cannot load file!");
    EXPECT_EQ(state(), before);
  }
  // The whole files still load.
  editor.QueueFile(wholeBank);
  Run(Synth::kCommandLoadBank);
  EXPECT_NE(state(), before);
}

// A startup bank that is missing at one start stays chosen: configuration writes in between keep its
// entry, and the next start after the file is back loads it.
TEST_F(Commands, StartupBankMissingAtOneStartLoadsAtTheNext) {
  sarn->SelectProgram(0);
  sarn->SetParameterFromEditor(kTone, 0.777);
  const double savedTone = sarn->GetParam(kTone)->Value();
  const std::string bank = File("startup.fxb");
  editor.QueueFile(bank);
  Run(Synth::kCommandSaveBank);
  editor.QueueFile(bank);
  Run(Synth::kCommandSelectStartupBank);
  fs::rename(bank, bank + ".away");

  std::unique_ptr<Sarn> without = MakeSarn();
  EXPECT_EQ(without->Settings().StartupBankFile(), "");
  EXPECT_STREQ(without->GetPresetName(46), "Glass Harp");
  // Every kind of configuration write this start can make.
  without->ExecuteCommand(&editor, Synth::kCommandMidiThru);
  EXPECT_NE(ReadFile(Ini()).find("File=" + bank), std::string::npos);
  without->ExecuteCommand(&editor, Synth::kCommandIgnoreProgramChange);
  EXPECT_NE(ReadFile(Ini()).find("File=" + bank), std::string::npos);
  without->SetControllerMapping(74, kTone);
  editor.QueueAnswer(IGraphics::kAnswerYes);
  without->ExecuteCommand(&editor, Synth::kCommandSaveConfiguration);
  EXPECT_NE(ReadFile(Ini()).find("CC74=2"), std::string::npos);
  EXPECT_NE(ReadFile(Ini()).find("File=" + bank), std::string::npos);
  // While it is missing, "Load Startup Bank" has nothing to load and says so.
  editor.ClearRecords();
  editor.QueueAnswer(IGraphics::kAnswerYes);
  without->ExecuteCommand(&editor, Synth::kCommandLoadStartupBank);
  ASSERT_EQ(editor.Messages().size(), 2u);
  EXPECT_EQ(editor.Messages()[1].text, "Cannot load file!");
  without.reset();

  fs::rename(bank + ".away", bank);
  std::unique_ptr<Sarn> with = MakeSarn();
  EXPECT_EQ(with->Settings().StartupBankFile(), bank);
  EXPECT_DOUBLE_EQ(with->GetParam(kTone)->Value(), savedTone);
  EXPECT_TRUE(with->MidiThru());
  EXPECT_EQ(with->ControllerMapping(74), kTone);
  // Unselecting still removes it for good.
  editor.QueueAnswer(IGraphics::kAnswerYes);
  with->ExecuteCommand(&editor, Synth::kCommandUnselectStartupBank);
  EXPECT_EQ(ReadFile(Ini()).find("File="), std::string::npos);
}

TEST_F(Commands, DefaultPathForProgramFiles) {
  const std::string chosen = (root / "files" / "[file name is ignored]").string();
  editor.QueueFile(chosen);
  Run(Synth::kCommandDefaultPath);
  ASSERT_EQ(editor.FilePrompts().size(), 1u);
  EXPECT_EQ(editor.FilePrompts()[0].proposedFile, "[file name is ignored]");
  EXPECT_EQ(editor.FilePrompts()[0].extensions, " ");
  EXPECT_EQ(editor.FilePrompts()[0].action, IGraphics::kFileSave);
  EXPECT_EQ(sarn->Settings().ProgramFolder(), (root / "files").string());
  EXPECT_NE(ReadFile(Ini()).find("Path to Program Files=" + (root / "files").string()), std::string::npos);
  // Program dialogs now start there, in this instance and in another one.
  editor.QueueFile("");
  Run(Synth::kCommandLoadProgram);
  EXPECT_EQ(editor.FilePrompts().back().folder, (root / "files").string());
  std::unique_ptr<Sarn> other = MakeSarn();
  IGraphicsHeadless otherEditor;
  otherEditor.QueueFile("");
  other->ExecuteCommand(&otherEditor, Synth::kCommandLoadBank);
  EXPECT_EQ(otherEditor.FilePrompts().back().folder, (root / "files").string());
}

TEST_F(Commands, ReloadAndSaveConfiguration) {
  sarn->SetControllerMapping(74, kTone);
  editor.QueueAnswer(IGraphics::kAnswerYes);
  Run(Synth::kCommandSaveConfiguration);
  EXPECT_NE(ReadFile(Ini()).find("CC74=" + std::to_string(kTone)), std::string::npos);

  // Another instance reads it on reload.
  std::unique_ptr<Sarn> other = MakeSarn();
  other->SetControllerMapping(74, -1);
  IGraphicsHeadless otherEditor;
  otherEditor.QueueAnswer(IGraphics::kAnswerYes);
  other->ExecuteCommand(&otherEditor, Synth::kCommandReloadConfiguration);
  EXPECT_EQ(other->ControllerMapping(74), kTone);
  EXPECT_EQ(otherEditor.Messages().size(), 1u);

  // With the file gone the reload says so.
  fs::remove(Ini());
  editor.ClearRecords();
  editor.QueueAnswer(IGraphics::kAnswerYes);
  Run(Synth::kCommandReloadConfiguration);
  ASSERT_EQ(editor.Messages().size(), 2u);
  EXPECT_EQ(editor.Messages()[1].text, "The INI file does not exist.");
  EXPECT_EQ(editor.Messages()[1].caption, "Problem with INI File");
  EXPECT_EQ(editor.Messages()[1].type, IGraphics::kMessageOk);
}

TEST_F(Commands, MidiSwitchesToggleAndAreSavedAtOnce) {
  Run(Synth::kCommandMidiThru);
  EXPECT_TRUE(sarn->MidiThru());
  EXPECT_NE(ReadFile(Ini()).find("MIDI Thru=true"), std::string::npos);
  Run(Synth::kCommandIgnoreProgramChange);
  EXPECT_TRUE(sarn->IgnoreProgramChange());
  EXPECT_NE(ReadFile(Ini()).find("Ignore Program Change=true"), std::string::npos);
  Run(Synth::kCommandMidiThru);
  EXPECT_FALSE(sarn->MidiThru());
  EXPECT_NE(ReadFile(Ini()).find("MIDI Thru=false"), std::string::npos);
  EXPECT_TRUE(MakeSarn()->IgnoreProgramChange());
  EXPECT_TRUE(editor.Messages().empty());
}

TEST_F(Commands, SelectProgramStoresTheCurrentOneAndTellsTheHost) {
  sarn->SelectProgram(1);
  sarn->SetParameterFromEditor(kTone, 0.9);
  const double tone = sarn->GetParam(kTone)->Value();
  host.automated.clear();
  host.displayUpdates = 0;
  sarn->SelectProgram(2);
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 2);
  sarn->GetAEffect()->dispatcher(sarn->GetAEffect(), effEditIdle, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(host.displayUpdates, 1);
  EXPECT_EQ(host.automated.size(), static_cast<size_t>(kNumParams));
  sarn->SelectProgram(1);
  EXPECT_DOUBLE_EQ(sarn->GetParam(kTone)->Value(), tone);
}

TEST(ProgramFileNames, NineCharactersBecomeUnderscores) {
  EXPECT_EQ(ProgramFileName("Pad/Lead: Two?"), "Pad_Lead_ Two_");
  EXPECT_EQ(ProgramFileName("<>:\"/\\|?*"), "_________");
  EXPECT_EQ(ProgramFileName("Glass Harp"), "Glass Harp");
}

TEST(ProgramFolders, FolderOfAChosenFile) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Banks\\strings.fxb", "C:\\Banks"}, {"/home/me/banks/a.fxp", "/home/me/banks"},
      {"a.fxp", ""},                           {"/a.fxp", ""},
      {"", ""},                                {"x/y\\z.fxb", "x/y"},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(FolderOfPath(path), folder) << path;
}

}  // namespace

namespace {

// A host running with a ',' decimal separator keeps its locale; the plug-in's texts still use '.'.
TEST_F(Commands, ConstructionLeavesTheHostLocaleAlone) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8"};
  const char* chosen = nullptr;
  for (const char* name : names) {
    if (std::setlocale(LC_ALL, name)) {
      chosen = name;
      break;
    }
  }
  if (!chosen) GTEST_SKIP() << "no de_DE locale installed (tools/setup.sh installs one)";
  const std::string before = std::setlocale(LC_ALL, nullptr);
  std::unique_ptr<Sarn> plug = MakeSarn();
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
  char text[kParamTextSize];
  plug->GetParam(kVcfResonance)->FormatValue(0.37, false, text, true);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(std::string(text).find(','), std::string::npos) << text;
  EXPECT_NE(std::string(text).find('.'), std::string::npos) << text;
}

}  // namespace
