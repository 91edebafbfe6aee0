// The control base: a normalized value mirroring one parameter, a rectangle, dirty flags, and the mouse
// slots that IGraphics routes to it. Everything runs on the editor's thread, except RequestRedraw.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "editor/EditorTypes.h"

class EditorHost;
class IGraphics;
class ITextControl;

class IControl {
 public:
  struct AuxParameter {
    double value = 0.0;
    int index = -1;
  };

  IControl(EditorHost* plug, const Rect& rect, int parameterIndex = -1, Blend blend = Blend());
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- Slots, in order ----
  // Right button: the value prompt (off unless enabled); otherwise nothing.
  virtual void MouseDown(int x, int y, const MouseMods& mods);
  virtual void MouseUp(int, int, const MouseMods&) {}
  virtual void MouseDrag(int, int, int, int, const MouseMods&) {}
  // Restores the value the control first received from the plug-in.
  virtual void MouseDoubleClick(int x, int y, const MouseMods& mods);
  virtual void MouseWheel(int, int, const MouseMods&, int) {}
  virtual bool KeyDown(int, int, int) { return false; }
  virtual void MouseOver(int, int, const MouseMods&) {}
  virtual void MouseOut() {}
  virtual bool Draw(IGraphics& graphics) = 0;
  // The first value fixes the double-click value without marking the control dirty.
  virtual void SetValueFromPlugin(double value);
  virtual void SetValueFromUser(double value);
  virtual void TextEntered(const std::string&) {}
  virtual void SetHidden(bool hidden);
  virtual void SetGreyed(bool greyed);
  virtual bool HitTest(int x, int y) const;
  // Clamps the value; with informPlugin also sets the parameter and the linked texts.
  virtual void MarkDirty(bool informPlugin);
  virtual void MarkClean();
  virtual bool NeedsRedraw() const { return mDirty; }
  virtual void Hook() {}
  virtual void SetAuxValueFromPlugin(int entry, double value);

  // ---- Fields ----
  const Rect& DrawRect() const { return mRect; }
  const Rect& TargetRect() const { return mTargetRect; }
  void SetTargetRect(const Rect& rect) { mTargetRect = rect; }
  int ParameterIndex() const { return mParameterIndex; }
  double Value() const { return mValue; }
  void SetValue(double value) { mValue = value; }
  double DoubleClickValue() const { return mDoubleClickValue; }
  bool IsHidden() const { return mHidden; }
  bool IsGreyed() const { return mGreyed; }
  bool MouseOverWhenGreyed() const { return mMouseOverWhenGreyed; }
  bool DoubleClickAsPress() const { return mDoubleClickAsPress; }
  void EnableValuePrompt(bool on) { mValuePromptDisabled = !on; }
  const Blend& GetBlend() const { return mBlend; }
  TextStyle& Style() { return mTextStyle; }
  int TextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int length) { mTextEntryLength = length; }
  std::vector<AuxParameter>& AuxParameters() { return mAuxParameters; }
  void LinkValueText(ITextControl* control) { mValueText = control; }
  void LinkNameText(ITextControl* control) { mNameText = control; }
  EditorHost* Plug() const { return mPlug; }
  // The editor the control belongs to (set when it is added).
  IGraphics* Graphics() const { return mGraphics; }
  void SetGraphics(IGraphics* graphics) { mGraphics = graphics; }

  // Any thread: asks for a redraw at the next tick of the editor's thread.
  void RequestRedraw();
  bool TakeRedrawRequest() { return mRedrawRequested.exchange(false, std::memory_order_acq_rel); }
  // Editor thread, at the tick after RequestRedraw.
  virtual void RedrawRequested() { MarkDirty(false); }

 protected:
  int mTextEntryLength = 7;
  TextStyle mTextStyle;
  EditorHost* mPlug;
  Rect mRect;
  Rect mTargetRect;
  int mParameterIndex;
  std::vector<AuxParameter> mAuxParameters;
  double mValue = 0.0;
  double mDoubleClickValue = -1.0;
  double mClampLow = 0.0;
  double mClampHigh = 1.0;
  bool mDirty = true;
  bool mHidden = false;
  bool mGreyed = false;
  bool mRedrawPending = false;
  bool mValuePromptDisabled = true;
  bool mDoubleClickAsPress = false;
  bool mMouseOverWhenGreyed = false;
  Blend mBlend;
  ITextControl* mValueText = nullptr;
  ITextControl* mNameText = nullptr;
  std::string mToolTip;

 private:
  void PromptForValue();

  IGraphics* mGraphics = nullptr;
  std::atomic<bool> mRedrawRequested{false};
};
