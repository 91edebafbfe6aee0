// The instrument's own controls: lamps, knobs and sliders, push buttons, keyboard keys, the MIDI-learn
// switch, the program selector and the options menu.
#pragma once

#include <atomic>
#include <string>

#include "editor/StandardControls.h"

class InstrumentHost;
class PopupMenu;

// An indicator lamp mirroring a two-state parameter (frame 2 = on).
class IKLBitmapControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;
};

// Every knob and slider.
class IKLKnobControl : public IKnobMultiControl {
 public:
  using IKnobMultiControl::IKnobMultiControl;
};

// A push button: toggles its parameter on release, or steps through the programs.
class IKLUtilityKick : public IContactControl {
 public:
  static constexpr int kPreviousProgram = -62;
  static constexpr int kNextProgram = -63;

  // index: a parameter number or one of the program commands.
  IKLUtilityKick(EditorHost* plug, InstrumentHost* instrument, int x, int y, int index, const BitmapStrip& strip);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseUp(int x, int y, const MouseMods& mods) override;
  void MouseDoubleClick(int x, int y, const MouseMods& mods) override { MouseDown(x, y, mods); }
  bool Draw(IGraphics& graphics) override;
  bool Pressed() const { return mPressed; }

 private:
  void Toggle(int parameter, double value);

  InstrumentHost* mInstrument;
  bool mPressed = false;
};

// One key of the on-screen keyboard. Left plays while held; right latches the note until the next
// click on the key, whose release stops it.
class IKLKey : public IContactControl {
 public:
  IKLKey(EditorHost* plug, InstrumentHost* instrument, int x, int y, int note, const BitmapStrip& strip);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseUp(int x, int y, const MouseMods& mods) override;
  void MouseDoubleClick(int x, int y, const MouseMods& mods) override { MouseDown(x, y, mods); }
  // Shows the key as held whenever the instrument holds it, from the mouse or from MIDI.
  bool Draw(IGraphics& graphics) override;
  int Note() const { return mNote; }
  bool Latched() const { return mLatched; }

 private:
  InstrumentHost* mInstrument;
  int mNote;
  bool mLatched = false;
};

// LEARN / UNLEARN: a left click arms or disarms a learn; a right click while disarmed swaps the mode.
class IKLSwitchMidiLearn : public ISwitchControl {
 public:
  static constexpr int kLearnImage = 111;
  static constexpr int kUnlearnImage = 120;

  IKLSwitchMidiLearn(EditorHost* plug, InstrumentHost* instrument, int x, int y, const BitmapStrip& strip);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseDoubleClick(int x, int y, const MouseMods& mods) override { MouseDown(x, y, mods); }
  bool LearnMode() const { return mLearnMode; }
  // Any thread: a learn has ended; the switch goes dark at the next tick.
  void LearnEnded();
  void RedrawRequested() override;

 private:
  InstrumentHost* mInstrument;
  bool mLearnMode = true;
  std::atomic<bool> mEnded{false};
};

// The program number and name: the number opens the program menu, the name a rename entry.
class IKLPresetMenu : public IControl {
 public:
  static constexpr int kNameLength = 27;
  static constexpr int kRenameLimit = 256;

  IKLPresetMenu(EditorHost* plug, InstrumentHost* instrument, const Rect& numberField, const Rect& nameField,
                const TextStyle& style);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics& graphics) override;
  void TextEntered(const std::string& text) override;
  const std::string& NumberText() const { return mNumberText; }
  const std::string& NameText() const { return mNameText; }

 private:
  void ShowProgramMenu();

  InstrumentHost* mInstrument;
  std::string mNumberText;
  std::string mNameText;
  Rect mNumberField;
  Rect mNameField;
};

// The options menu, printed on the panel: commands for programs, banks, settings and the web.
class IKLOptionMenu : public IControl {
 public:
  static constexpr int kVisitWebSite = 23;
  // The commands of the "Editor Size" entries follow this one.
  static constexpr int kFirstEditorSize = 24;

  IKLOptionMenu(EditorHost* plug, InstrumentHost* instrument, const Rect& rect, const char* webHost,
                const char* webAddress);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(IGraphics&) override { return true; }
  // The menu as the current state greys and checks it.
  void BuildMenu(PopupMenu& menu) const;
  // The command number of an entry chosen from menu (the top menu or one of its submenus), or -1.
  static int CommandFor(const PopupMenu& top, const PopupMenu* chosen);

 private:
  InstrumentHost* mInstrument;
  std::string mWebHost;
  std::string mWebAddress;
};
