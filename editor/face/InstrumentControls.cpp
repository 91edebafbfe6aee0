#include "editor/face/InstrumentControls.h"

#include <cstdio>
#include <memory>

#include "editor/EditorHost.h"
#include "editor/IGraphics.h"
#include "editor/InstrumentHost.h"
#include "editor/PopupMenu.h"
#include "params/ParameterTable.h"
#include "raster/CachedFont.h"

// ---- Push button ----

IKLUtilityKick::IKLUtilityKick(EditorHost* plug, InstrumentHost* instrument, int x, int y, int index,
                               const BitmapStrip& strip)
    : IContactControl(plug, x, y, index, strip), mInstrument(instrument) {}

void IKLUtilityKick::MouseDown(int, int, const MouseMods&) {
  mPressed = true;
  mDirty = true;
}

void IKLUtilityKick::MouseUp(int, int, const MouseMods&) {
  mPressed = false;
  mDirty = true;
  const int count = mInstrument ? mInstrument->ProgramCount() : 0;
  if (mParameterIndex == kPreviousProgram && count > 0) {
    const int previous = mInstrument->CurrentProgram() - 1;
    mInstrument->SelectProgram(previous < 0 ? count - 1 : previous);
  } else if (mParameterIndex == kNextProgram && count > 0) {
    const int next = mInstrument->CurrentProgram() + 1;
    mInstrument->SelectProgram(next >= count ? 0 : next);
  } else if (mParameterIndex >= 0 && mPlug) {
    const double value = mPlug->ParameterValue(mParameterIndex) < 0.5 ? 1.0 : 0.0;
    Toggle(mParameterIndex, value);
    // The synthesizer's chorus and the slow chorus go together.
    if (mParameterIndex == kChorusSynth) Toggle(kChorusSlow, value);
  }
}

void IKLUtilityKick::Toggle(int parameter, double value) {
  mPlug->SetParameterFromEditor(parameter, value);
  if (IGraphics* graphics = Graphics()) graphics->ApplyParameterFromPlugin(parameter, value, true);
}

bool IKLUtilityKick::Draw(IGraphics& graphics) {
  return graphics.DrawBitmapFrame(mStrip, mRect, mPressed ? 2 : 1, Blend());
}

// ---- Keyboard key ----

IKLKey::IKLKey(EditorHost* plug, InstrumentHost* instrument, int x, int y, int note, const BitmapStrip& strip)
    : IContactControl(plug, x, y, -1, strip), mInstrument(instrument), mNote(note) {}

void IKLKey::MouseDown(int x, int y, const MouseMods& mods) {
  ISwitchControl::MouseDown(x, y, mods);
  if (mLatched) {
    mLatched = false;
    return;
  }
  if (mInstrument) mInstrument->PlayNote(mNote, true);
  mLatched = mods.right;
}

void IKLKey::MouseUp(int, int, const MouseMods&) {
  if (mLatched) return;
  if (mInstrument) mInstrument->PlayNote(mNote, false);
  mValue = 0.0;
  MarkDirty(true);
}

bool IKLKey::Draw(IGraphics& graphics) {
  mValue = mInstrument && mInstrument->IsKeyHeld(mNote) ? 1.0 : 0.0;
  return graphics.DrawBitmapFrame(mStrip, mRect, FrameForValue(mValue, mStrip.frames), mBlend);
}

// ---- MIDI-learn switch ----

IKLSwitchMidiLearn::IKLSwitchMidiLearn(EditorHost* plug, InstrumentHost* instrument, int x, int y,
                                       const BitmapStrip& strip)
    : ISwitchControl(plug, x, y, -1, strip), mInstrument(instrument) {}

void IKLSwitchMidiLearn::MouseDown(int x, int y, const MouseMods& mods) {
  if (mods.left) {
    ISwitchControl::MouseDown(x, y, mods);
    if (mInstrument) mInstrument->ArmLearn(mValue > 0.0, !mLearnMode);
    return;
  }
  if (!mods.right || mValue != 0.0) return;
  mLearnMode = !mLearnMode;
  if (IGraphics* graphics = Graphics()) {
    mStrip = mLearnMode ? graphics->LoadBitmapStrip(kLearnImage, "img/learn.png", 2)
                        : graphics->LoadBitmapStrip(kUnlearnImage, "img/unlearn.png", 2);
  }
  MarkDirty(true);
}

void IKLSwitchMidiLearn::LearnEnded() {
  mEnded.store(true, std::memory_order_release);
  RequestRedraw();
}

void IKLSwitchMidiLearn::RedrawRequested() {
  if (mEnded.exchange(false, std::memory_order_acq_rel)) {
    SetValueFromPlugin(0.0);
    MarkDirty(true);
  } else {
    MarkDirty(false);
  }
}

// ---- Program selector ----

IKLPresetMenu::IKLPresetMenu(EditorHost* plug, InstrumentHost* instrument, const Rect& numberField,
                             const Rect& nameField, const TextStyle& style)
    : IControl(plug, numberField.Union(nameField)),
      mInstrument(instrument),
      mNumberField(numberField),
      mNameField(nameField) {
  mTextStyle = style;
  mTextEntryLength = kNameLength;
}

bool IKLPresetMenu::Draw(IGraphics& graphics) {
  const int current = mInstrument ? mInstrument->CurrentProgram() : 0;
  char number[16];
  std::snprintf(number, sizeof(number), "%02d", current);
  mNumberText = number;
  mNameText = mInstrument ? LICE_Utf8Prefix(mInstrument->ProgramName(current), kNameLength) : std::string();
  graphics.DrawTextIn(mTextStyle, mNumberText, mNumberField);
  graphics.DrawTextIn(mTextStyle, mNameText, mNameField);
  return true;
}

void IKLPresetMenu::MouseDown(int x, int y, const MouseMods&) {
  IGraphics* graphics = Graphics();
  if (!graphics || !mInstrument) return;
  if (mNameField.Contains(x, y)) {
    graphics->OpenTextEntry(this, mTextStyle, mNameField, mInstrument->ProgramName(mInstrument->CurrentProgram()),
                            -1);
  } else if (mNumberField.Contains(x, y)) {
    ShowProgramMenu();
  }
}

void IKLPresetMenu::ShowProgramMenu() {
  static const char* const kTitles[] = {"00 - 15", "16 - 31", "32 - 47", "48 - 63"};
  PopupMenu top;
  PopupMenu* group = nullptr;
  const int count = mInstrument->ProgramCount();
  const int current = mInstrument->CurrentProgram();
  for (int i = 0; i < count; ++i) {
    if (i % 16 == 0 && i / 16 < 4) {
      group = top.AddSubmenu(kTitles[i / 16], std::make_unique<PopupMenu>()).submenu.get();
    }
    if (!group) continue;
    char number[16];
    std::snprintf(number, sizeof(number), "%02u: ", static_cast<unsigned>(i));
    group->AddItem(number + LICE_Utf8Prefix(mInstrument->ProgramName(i), 31),
                   i == current ? PopupMenuItem::kChecked : 0);
  }
  PopupMenu* chosen = Graphics()->ShowPopupMenu(top, Rect(mNumberField.left, mNumberField.bottom,
                                                          mNumberField.left, mNumberField.bottom));
  if (!chosen || chosen == &top || chosen->ChosenPosition() < 0) return;
  int base = 0;
  for (int g = 0; g < top.NItems(); ++g) {
    if (top.Item(g)->submenu.get() == chosen) base = 16 * g;
  }
  mInstrument->SelectProgram(base + chosen->ChosenPosition());
}

void IKLPresetMenu::TextEntered(const std::string& text) {
  if (!mInstrument) return;
  mInstrument->RenameCurrentProgram(LICE_Utf8Prefix(text, kRenameLimit));
  MarkDirty(false);
}

// ---- Options menu ----

IKLOptionMenu::IKLOptionMenu(EditorHost* plug, InstrumentHost* instrument, const Rect& rect, const char* webHost,
                             const char* webAddress)
    : IControl(plug, rect), mInstrument(instrument), mWebHost(webHost), mWebAddress(webAddress) {}

void IKLOptionMenu::BuildMenu(PopupMenu& menu) const {
  const bool copied = mInstrument && mInstrument->HasCopiedProgram();
  const bool startup = mInstrument && mInstrument->HasStartupBank();
  menu.AddItem("Copy Program");
  menu.AddItem("Paste Program", copied ? 0 : PopupMenuItem::kGreyed);
  menu.AddItem("Init Program");
  menu.AddSeparator();
  menu.AddItem("Load Program");
  menu.AddItem("Save Program");
  menu.AddItem("Load Bank");
  menu.AddItem("Save Bank");
  menu.AddSeparator();
  menu.AddItem("Select Startup Bank");
  menu.AddItem("Load Startup Bank", startup ? 0 : PopupMenuItem::kGreyed);
  menu.AddItem("Unselect Startup Bank", startup ? 0 : PopupMenuItem::kGreyed);
  menu.AddSeparator();
  menu.AddItem("Default Path for Program Files...");
  auto midi = std::make_unique<PopupMenu>();
  midi->AddItem("MIDI Thru", mInstrument && mInstrument->MidiThru() ? PopupMenuItem::kChecked : 0);
  midi->AddItem("Ignore Program Change",
                mInstrument && mInstrument->IgnoreProgramChange() ? PopupMenuItem::kChecked : 0);
  menu.AddSubmenu("Global MIDI Settings...", std::move(midi));
  menu.AddItem("Reload Configuration");
  menu.AddItem("Save Configuration");
  menu.AddSeparator();
  auto online = std::make_unique<PopupMenu>();
  online->AddItem("Check Online for Update");
  online->AddItem("Visit " + mWebHost);
  menu.AddSubmenu("Go Online...", std::move(online));
  menu.AddSeparator();
  auto size = std::make_unique<PopupMenu>();
  const int chosen = mInstrument ? mInstrument->EditorSize() : 0;
  static constexpr int kSizes[] = {100, 150, 200, 0};
  static const char* const kSizeTexts[] = {"100 %", "150 %", "200 %", "Automatic"};
  for (int i = 0; i < 4; ++i) size->AddItem(kSizeTexts[i], chosen == kSizes[i] ? PopupMenuItem::kChecked : 0);
  menu.AddSubmenu("Editor Size", std::move(size));
}

int IKLOptionMenu::CommandFor(const PopupMenu& top, const PopupMenu* chosen) {
  if (!chosen || chosen->ChosenPosition() < 0) return -1;
  if (chosen == &top) return chosen->ChosenPosition();
  if (chosen == top.Item(14)->submenu.get()) return 19 + chosen->ChosenPosition();
  if (chosen == top.Item(18)->submenu.get()) return 22 + chosen->ChosenPosition();
  if (chosen == top.Item(20)->submenu.get()) return kFirstEditorSize + chosen->ChosenPosition();
  return -1;
}

void IKLOptionMenu::MouseDown(int x, int y, const MouseMods&) {
  IGraphics* graphics = Graphics();
  if (!graphics) return;
  PopupMenu menu;
  BuildMenu(menu);
  const int command = CommandFor(menu, graphics->ShowPopupMenu(menu, Rect(x, y, x, y)));
  if (command < 0) return;
  if (command == kVisitWebSite) {
    graphics->OpenWebAddress(mWebAddress.c_str(), nullptr, nullptr, nullptr);
  } else if (mInstrument) {
    mInstrument->ExecuteCommand(graphics, command);
  }
}
