// The general-purpose controls: bitmap (lamps, the background), switch, contact, knob and text.
#pragma once

#include <string>

#include "editor/IControl.h"

// Frame (1..N) that shows value v on a strip of N frames: (N - 1) * v + 0.5, truncated, plus 1.
int FrameForValue(double value, int frames);

class IBitmapControl : public IControl {
 public:
  IBitmapControl(EditorHost* plug, int x, int y, int parameterIndex, const BitmapStrip& strip,
                 int blendMode = Blend::kSourceAlpha);
  bool Draw(IGraphics& graphics) override;
  const BitmapStrip& Strip() const { return mStrip; }
  void SetStrip(const BitmapStrip& strip) { mStrip = strip; }

 protected:
  BitmapStrip mStrip;
};

// Each press steps the value by one frame and wraps after the last.
class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseDoubleClick(int x, int y, const MouseMods& mods) override { MouseDown(x, y, mods); }
};

// A switch whose subclasses define press and release.
class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;
};

class IKnobControl : public IControl {
 public:
  static constexpr int kVertical = 0;
  static constexpr int kHorizontal = 1;

  IKnobControl(EditorHost* plug, const Rect& rect, int parameterIndex, int direction, double gearing)
      : IControl(plug, rect, parameterIndex), mDirection(direction), mGearing(gearing) {}
  int Direction() const { return mDirection; }
  double Gearing() const { return mGearing; }

 protected:
  int mDirection;
  double mGearing;  // the full range takes gearing times the control's extent of mouse travel
};

// A knob or slider drawn from a strip of frames; drag and wheel move it.
class IKnobMultiControl : public IKnobControl {
 public:
  IKnobMultiControl(EditorHost* plug, int x, int y, int parameterIndex, const BitmapStrip& strip, int direction,
                    double gearing);
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  void MouseWheel(int x, int y, const MouseMods& mods, int steps) override;
  bool Draw(IGraphics& graphics) override;
  const BitmapStrip& Strip() const { return mStrip; }

 protected:
  BitmapStrip mStrip;
};

class ITextControl : public IControl {
 public:
  ITextControl(EditorHost* plug, const Rect& rect, const TextStyle& style, const std::string& text);
  bool Draw(IGraphics& graphics) override;
  void SetTextFromPlugin(const std::string& text);
  const std::string& Text() const { return mText; }

 protected:
  std::string mText;
};

// The drawing rectangle of a strip's frame at (x, y).
Rect StripFrameRect(int x, int y, const BitmapStrip& strip);
