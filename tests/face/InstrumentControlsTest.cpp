#include <thread>

#include "FaceFixture.h"
#include "editor/PopupMenu.h"
#include "editor/face/InstrumentControls.h"
#include "params/ParameterTable.h"
#include "raster/Bitmap.h"

namespace {

constexpr int kPrevButton = 2;
constexpr int kNextButton = 3;
constexpr int kOptions = 4;
constexpr int kLearnSwitch = 6;
constexpr int kChorusSlowLamp = 32;
constexpr int kChorusSynthLamp = 36;
constexpr int kChorusSynthButton = 37;
constexpr int kViolaLamp = 14;
constexpr int kViolaButton = 15;
constexpr int kTuneSlider = 42;

int KeyIndex(const Sarn&, int note, IGraphics* editor) {
  for (int i = 74; i < editor->NControls(); ++i) {
    if (static_cast<IKLKey*>(editor->GetControl(i))->Note() == note) return i;
  }
  return -1;
}

TEST_F(FaceTest, ProgramButtonsWrapAround) {
  sarn->SelectProgram(63);
  Click(kNextButton);
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 0);
  Click(kPrevButton);
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 63);
  Click(kPrevButton);
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 62);
}

TEST_F(FaceTest, ChorusSynthSwitchesChorusSlowWithIt) {
  sarn->SetParameterFromEditor(kChorusSynth, 0.0);
  sarn->SetParameterFromEditor(kChorusSlow, 0.0);
  editor->Tick();
  Click(kChorusSynthButton);
  EXPECT_EQ(Plain(kChorusSynth), 1.0);
  EXPECT_EQ(Plain(kChorusSlow), 1.0);
  editor->Tick();
  EXPECT_EQ(Control(kChorusSynthLamp)->Value(), 1.0);
  EXPECT_EQ(Control(kChorusSlowLamp)->Value(), 1.0);
  Click(kChorusSynthButton);
  EXPECT_EQ(Plain(kChorusSynth), 0.0);
  EXPECT_EQ(Plain(kChorusSlow), 0.0);
}

TEST_F(FaceTest, DoubleClicksOnButtonsAndLamps) {
  const double first = Plain(kStringViola);
  const Rect& button = Control(kViolaButton)->DrawRect();
  MouseMods left;
  left.left = true;
  // A double click on a button is two presses: the release after it toggles the parameter twice.
  editor->MouseDown(button.left + 4, button.top + 4, left);
  editor->MouseUp(button.left + 4, button.top + 4, left);
  editor->DoubleClick(button.left + 4, button.top + 4, left);
  editor->MouseUp(button.left + 4, button.top + 4, left);
  EXPECT_EQ(Plain(kStringViola), first);
  // A lamp restores the value it first received, here after the parameter was changed.
  sarn->SetParameterFromEditor(kStringViola, first < 0.5 ? 1.0 : 0.0);
  editor->ApplyParameterFromPlugin(kStringViola, first < 0.5 ? 1.0 : 0.0, true);
  editor->Tick();
  const Rect& lamp = Control(kViolaLamp)->DrawRect();
  editor->DoubleClick(lamp.left + 2, lamp.top + 2, left);
  EXPECT_EQ(Plain(kStringViola), first);
}

TEST_F(FaceTest, RightClickLatchesAKey) {
  const int key = KeyIndex(*sarn, 60, editor);
  Click(key);  // left: plays while held
  EXPECT_FALSE(sarn->IsKeyHeld(60));
  Click(key, true);  // right: still sounding after the release
  EXPECT_TRUE(sarn->IsKeyHeld(60));
  const Rect& r = Control(key)->DrawRect();
  MouseMods left;
  left.left = true;
  editor->MouseDown(r.left + 5, r.bottom - 5, left);  // clears the latch, no second note
  EXPECT_EQ(sarn->GetEngine().HeldKeyCount(), 1);
  editor->MouseUp(r.left + 5, r.bottom - 5, left);
  EXPECT_FALSE(sarn->IsKeyHeld(60));
}

TEST_F(FaceTest, LearnSwitchModesAndLearning) {
  auto* learn = static_cast<IKLSwitchMidiLearn*>(Control(kLearnSwitch));
  Click(kLearnSwitch, true);  // off: swaps to UNLEARN
  EXPECT_FALSE(learn->LearnMode());
  Click(kLearnSwitch, true);
  EXPECT_TRUE(learn->LearnMode());
  Click(kLearnSwitch);  // armed
  EXPECT_TRUE(sarn->LearnArmed());
  Click(kLearnSwitch, true);  // ignored while armed
  EXPECT_TRUE(learn->LearnMode());
  // Moving the Tune slider and then controller 21 assigns it; the switch goes dark.
  const Rect& r = Control(kTuneSlider)->DrawRect();
  MouseMods left;
  left.left = true;
  editor->MouseDown(r.left + 5, r.top + 50, left);
  editor->MouseMove(r.left + 5, r.top + 40, left);
  editor->MouseUp(r.left + 5, r.top + 40, left);
  MidiMessage cc;
  cc.status = 0xB0;
  cc.data1 = 21;
  cc.data2 = 64;
  sarn->HandleMidiMessage(cc);
  std::vector<double> l(256), r2(256);
  double* outputs[2] = {l.data(), r2.data()};
  AEffect* effect = sarn->GetAEffect();
  effect->processDoubleReplacing(effect, nullptr, outputs, 256);
  EXPECT_FALSE(sarn->LearnArmed());
  EXPECT_EQ(sarn->ControllerMapping(21), kTune);
  editor->Tick();
  EXPECT_EQ(learn->Value(), 0.0);
}

TEST_F(FaceTest, OptionsMenuGreysPasteUntilACopyAndActs) {
  editor->QueueMenuChoice(1);  // "Paste Program", greyed: nothing is chosen
  Click(kOptions);
  ASSERT_EQ(editor->MenusShown().size(), 1u);
  const std::vector<std::string> expected = {"Copy Program", "Paste Program", "Init Program", "",
                                             "Load Program", "Save Program", "Load Bank", "Save Bank", "",
                                             "Select Startup Bank", "Load Startup Bank", "Unselect Startup Bank", "",
                                             "Default Path for Program Files...", "Global MIDI Settings...",
                                             "Reload Configuration", "Save Configuration", "", "Go Online...", "",
                                             "Editor Size"};
  EXPECT_EQ(editor->MenusShown()[0].entries, expected);
  EXPECT_TRUE(editor->Messages().empty());
  editor->QueueMenuChoice(0);  // "Copy Program"
  Click(kOptions);
  const std::string copiedName = sarn->GetPresetName(sarn->GetCurrentPresetIdx());
  Click(kNextButton);
  editor->QueueMenuChoice(1);  // now choosable: asks first
  editor->QueueAnswer(IGraphics::kAnswerYes);
  Click(kOptions);
  ASSERT_EQ(editor->Messages().size(), 1u);
  EXPECT_EQ(editor->Messages()[0].caption, "Paste Program");
  EXPECT_EQ(sarn->GetPresetName(sarn->GetCurrentPresetIdx()), copiedName);
  // Submenu titles cannot be chosen; the submenus' entries map to 19, 20 and 22, 23.
  editor->QueueMenuChoice(14);
  Click(kOptions);
  const bool thru = sarn->MidiThru();
  editor->QueueMenuChoice(21);  // the first submenu's block starts after the 21 top entries
  Click(kOptions);
  EXPECT_NE(sarn->MidiThru(), thru);
  editor->QueueMenuChoice(24);  // "Visit ..." in "Go Online..."
  Click(kOptions);
  ASSERT_EQ(editor->OpenedAddresses().size(), 1u);
  editor->QueueMenuChoice(999);  // out of range: dismissed
  Click(kOptions);
  EXPECT_EQ(editor->OpenedAddresses().size(), 1u);
}

TEST_F(FaceTest, EditorSizeFromTheMenuResizesTheWindowAndIsRemembered) {
  constexpr int32_t kPreS = ('P' << 24) | ('r' << 16) | ('e' << 8) | 'S';  // a host's content scale call
  constexpr intptr_t kAeCs = ('A' << 24) | ('e' << 16) | ('C' << 8) | 's';
  AEffect* effect = sarn->GetAEffect();
  // "Editor Size" (100 %, 150 %, 200 %, "Automatic") follows the 21 top entries and the two submenus.
  editor->QueueMenuChoice(27);
  Click(kOptions);
  ASSERT_EQ(editor->MenusShown().size(), 1u);
  EXPECT_EQ(editor->MenusShown()[0].entries.back(), "Editor Size");
  editor->Tick();
  ASSERT_NE(editor->Surface(), nullptr);
  EXPECT_EQ(editor->Surface()->Width(), 1544);
  EXPECT_EQ(editor->Surface()->Height(), 1240);
  effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
  ASSERT_EQ(log.windowSizes.size(), 1u);
  EXPECT_EQ(log.windowSizes[0], std::make_pair(1544, intptr_t{1240}));
  ERect* rect = nullptr;
  ASSERT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
  EXPECT_EQ(rect->right - rect->left, 1544);
  EXPECT_EQ(rect->bottom - rect->top, 1240);
  // The controls keep their face units: a click in the middle of the next-program button still steps.
  const int program = sarn->GetCurrentPresetIdx();
  Click(kNextButton);
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), (program + 1) % sarn->NPresets());
  {
    Sarn later(LoggingHost);
    EXPECT_EQ(later.GetGUI()->WindowWidth(), 1544);
    // The user's choice wins over the host's request.
    later.GetAEffect()->dispatcher(later.GetAEffect(), effVendorSpecific, kPreS, kAeCs, nullptr, 1.5f);
    EXPECT_EQ(later.GetGUI()->WindowWidth(), 1544);
  }
  editor->QueueMenuChoice(28);  // "Automatic": the host's scale, then the screen's, decide
  Click(kOptions);
  Sarn automatic(LoggingHost);
  EXPECT_EQ(automatic.GetGUI()->WindowWidth(), 772);
  automatic.GetAEffect()->dispatcher(automatic.GetAEffect(), effVendorSpecific, kPreS, kAeCs, nullptr, 1.5f);
  EXPECT_EQ(automatic.GetGUI()->WindowWidth(), 1158);
  EXPECT_EQ(automatic.GetGUI()->WindowHeight(), 930);
}

TEST_F(FaceTest, ProgramMenuAndRename) {
  auto* selector = static_cast<IKLPresetMenu*>(Control(1));
  const std::string longName = "A Very Long Program Name That Goes On";  // 37 bytes
  sarn->RenameCurrentProgram(longName);
  sarn->SelectProgram(5);
  sarn->RenameCurrentProgram("Five");
  // The number field opens the program menu: four groups of sixteen, the current one checked.
  editor->QueueMenuChoice(4 + 16 + 0);  // second group's block follows the top's 4 and the first's 16
  editor->MouseDown(410, 30, MouseMods{true});
  ASSERT_EQ(editor->MenusShown().size(), 1u);
  EXPECT_EQ(editor->MenusShown()[0].entries, (std::vector<std::string>{"00 - 15", "16 - 31", "32 - 47", "48 - 63"}));
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 16);
  editor->QueueMenuChoice(1);  // a group title: nothing happens
  editor->MouseDown(410, 30, MouseMods{true});
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 16);
  sarn->SelectProgram(0);
  editor->PaintAll();
  EXPECT_EQ(selector->NumberText(), "00");
  EXPECT_EQ(selector->NameText(), longName.substr(0, 27));
  // The name field opens a rename entry with the whole name; committing renames the program.
  editor->MouseDown(500, 30, MouseMods{true});
  ASSERT_TRUE(editor->TextEntryOpen());
  EXPECT_EQ(editor->OpenEntry().text, longName);
  editor->CommitTextEntry(std::string(300, 'x') + "\xff\xfe");
  EXPECT_EQ(std::string(sarn->GetPresetName(0)).size(), 255u);
  editor->MouseDown(500, 30, MouseMods{true});
  editor->Wheel(500, 30, -120);  // the wheel cancels the entry
  EXPECT_FALSE(editor->TextEntryOpen());
  EXPECT_EQ(std::string(sarn->GetPresetName(0)), std::string(255, 'x'));

  // Byte limits end before a character that does not fit whole: the name field's 27 bytes and the
  // host's program-name buffer of 24 characters and a terminator.
  sarn->RenameCurrentProgram(std::string(25, 'a') + "\xE2\x82\xAC");
  editor->PaintAll();
  EXPECT_EQ(selector->NameText(), std::string(25, 'a'));
  char hostName[25];
  AEffect* effect = sarn->GetAEffect();
  sarn->RenameCurrentProgram(std::string(23, 'c') + "\xC3\xA9");
  effect->dispatcher(effect, effGetProgramName, 0, 0, hostName, 0.0f);
  EXPECT_EQ(std::string(hostName), std::string(23, 'c'));
}

TEST_F(FaceTest, ARepaintChangesNoPixelOutsideItsArea) {
  // The window shows the surface outside a repaint area as it is (an X11 Expose copies it unpainted),
  // so text must stay inside the area like the bitmaps do.
  editor->PaintAll();
  const Rect field = Control(1)->DrawRect();
  LICE_IBitmap& surface = *editor->Surface();
  std::vector<LICE_pixel> before;
  for (int y = field.top; y < field.bottom; ++y) {
    for (int x = field.left; x < field.right; ++x) before.push_back(surface.Row(y)[x]);
  }
  sarn->RenameCurrentProgram("WWWWWWWWWWWWWWWWWWWWWWWWWW");
  const Rect left(field.left, field.top, (field.left + field.right) / 2, field.bottom);
  editor->PaintArea(left);
  int changedOutside = 0, changedInside = 0;
  size_t i = 0;
  for (int y = field.top; y < field.bottom; ++y) {
    for (int x = field.left; x < field.right; ++x, ++i) {
      const bool changed = surface.Row(y)[x] != before[i];
      (left.Contains(x, y) ? changedInside : changedOutside) += changed;
    }
  }
  EXPECT_GT(changedInside, 0);
  EXPECT_EQ(changedOutside, 0);
}

TEST_F(FaceTest, HostChangesAndProgramChangesReachTheFace) {
  AEffect* effect = sarn->GetAEffect();
  effect->setParameter(effect, kTune, 1.0f);
  Rect area;
  ASSERT_TRUE(editor->CollectDirtyArea(area));
  EXPECT_EQ(Control(kTuneSlider)->Value(), 1.0);
  editor->PaintArea(area);
  // A program change redraws the selector and every control that changed.
  effect->dispatcher(effect, effSetProgram, 0, 7, nullptr, 0.0f);
  editor->Tick();
  EXPECT_EQ(static_cast<IKLPresetMenu*>(Control(1))->NumberText(), "07");
  for (int i = 7; i <= 73; ++i) {
    const int p = Control(i)->ParameterIndex();
    if (dynamic_cast<IKLUtilityKick*>(Control(i))) continue;
    EXPECT_DOUBLE_EQ(Control(i)->Value(), sarn->GetParam(p)->ToNormalized(Plain(p))) << i;
  }
}

TEST_F(FaceTest, ASliderDragReachesTheHostAsOneGesture) {
  const Rect& r = Control(kTuneSlider)->DrawRect();
  MouseMods left;
  left.left = true;
  // The host collects at each effEditIdle; values between two collections reach it as one.
  AEffect* effect = sarn->GetAEffect();
  const auto idle = [&] { effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f); };
  idle();  // what the start had for the host (its program display)
  log.opcodes.clear();
  editor->MouseDown(r.left + 5, r.top + 50, left);
  editor->MouseMove(r.left + 5, r.top + 45, left);
  idle();
  editor->MouseMove(r.left + 5, r.top + 40, left);
  editor->MouseMove(r.left + 5, r.top + 35, left);
  idle();
  editor->MouseUp(r.left + 5, r.top + 35, left);
  idle();
  EXPECT_EQ(log.opcodes, (std::vector<int>{audioMasterBeginEdit, audioMasterAutomate, audioMasterAutomate,
                                           audioMasterEndEdit}));
}

// Keys and program buttons clicked on the editor's thread while the audio thread renders and the host
// saves its chunk; the sanitizer build watches.
TEST_F(FaceTest, KeysAndProgramsWhileTheHostRendersAndSaves) {
  std::atomic<bool> stop{false};
  AEffect* effect = sarn->GetAEffect();
  std::thread audio([&] {
    std::vector<double> l(64), r(64);
    double* outputs[2] = {l.data(), r.data()};
    while (!stop) effect->processDoubleReplacing(effect, nullptr, outputs, 64);
  });
  std::atomic<int> chunks{0};
  std::thread host([&] {
    while (!stop) {
      void* data = nullptr;
      if (effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f) > 0 && data) ++chunks;
    }
  });
  for (int round = 0; round < 300; ++round) {
    const int key = 74 + round % 49;
    Click(key);
    Click(key, true);
    Click(key);
    Click(round % 2 ? kNextButton : kPrevButton);
    editor->Tick();
  }
  stop = true;
  audio.join();
  host.join();
  EXPECT_GT(chunks.load(), 0);
  EXPECT_EQ(sarn->GetEngine().HeldKeyCount(), 0);
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 0);
}

}  // namespace
