#include "editor/StandardControls.h"

#include "editor/IGraphics.h"

int FrameForValue(double value, int frames) {
  if (frames < 2) return 1;
  const int frame = static_cast<int>((frames - 1) * value + 0.5) + 1;
  return frame < 1 ? 1 : (frame > frames ? frames : frame);
}

Rect StripFrameRect(int x, int y, const BitmapStrip& strip) {
  return Rect(x, y, x + strip.FrameWidth(), y + strip.FrameHeight());
}

IBitmapControl::IBitmapControl(EditorHost* plug, int x, int y, int parameterIndex, const BitmapStrip& strip,
                               int blendMode)
    : IControl(plug, StripFrameRect(x, y, strip), parameterIndex, Blend{blendMode, 1.0f}), mStrip(strip) {}

bool IBitmapControl::Draw(IGraphics& graphics) {
  return graphics.DrawBitmapFrame(mStrip, mRect, FrameForValue(mValue, mStrip.frames), mBlend);
}

void ISwitchControl::MouseDown(int, int, const MouseMods&) {
  mValue += mStrip.frames < 2 ? 1.0 : 1.0 / (mStrip.frames - 1);
  if (mValue > 1.001) mValue = 0.0;
  MarkDirty(true);
}

IKnobMultiControl::IKnobMultiControl(EditorHost* plug, int x, int y, int parameterIndex, const BitmapStrip& strip,
                                     int direction, double gearing)
    : IKnobControl(plug, StripFrameRect(x, y, strip), parameterIndex, direction, gearing), mStrip(strip) {}

void IKnobMultiControl::MouseDrag(int, int, int dx, int dy, const MouseMods& mods) {
  const double gearing = (mods.shift || mods.control) ? mGearing * 10.0 : mGearing;
  const int extent = mDirection == kHorizontal ? mRect.right - mRect.left : mRect.top - mRect.bottom;
  if (extent == 0 || !(gearing != 0.0)) return;
  mValue += static_cast<double>(mDirection == kHorizontal ? dx : dy) / static_cast<double>(extent) / gearing;
  MarkDirty(true);
}

void IKnobMultiControl::MouseWheel(int, int, const MouseMods& mods, int steps) {
  mValue += steps * ((mods.shift || mods.control) ? 0.001 : 0.01);
  MarkDirty(true);
}

bool IKnobMultiControl::Draw(IGraphics& graphics) {
  return graphics.DrawBitmapFrame(mStrip, mRect, FrameForValue(mValue, mStrip.frames), mBlend);
}

ITextControl::ITextControl(EditorHost* plug, const Rect& rect, const TextStyle& style, const std::string& text)
    : IControl(plug, rect), mText(text) {
  mTextStyle = style;
}

bool ITextControl::Draw(IGraphics& graphics) {
  if (mText.empty()) return true;
  return graphics.DrawTextIn(mTextStyle, mText, mRect);
}

void ITextControl::SetTextFromPlugin(const std::string& text) {
  if (text == mText) return;
  MarkDirty(false);
  mText = text;
}
