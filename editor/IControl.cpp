#include "editor/IControl.h"

#include <cmath>
#include <cstdio>

#include "editor/EditorHost.h"
#include "editor/IGraphics.h"
#include "editor/PopupMenu.h"
#include "editor/StandardControls.h"
#include "raster/CachedFont.h"

IControl::IControl(EditorHost* plug, const Rect& rect, int parameterIndex, Blend blend)
    : mPlug(plug), mRect(rect), mTargetRect(rect), mParameterIndex(parameterIndex), mBlend(blend) {}

void IControl::RequestRedraw() {
  mRedrawRequested.store(true, std::memory_order_release);
  if (mGraphics) mGraphics->RedrawRequestPosted();
}

void IControl::MouseDown(int, int, const MouseMods& mods) {
  if (mods.right) PromptForValue();
}

void IControl::MouseDoubleClick(int, int, const MouseMods&) {
  if (mDoubleClickValue >= 0.0) {
    mValue = mDoubleClickValue;
    MarkDirty(true);
  }
}

void IControl::SetValueFromPlugin(double value) {
  if (mDoubleClickValue < 0.0) mValue = mDoubleClickValue = value;
  if (value != mValue) {
    mValue = value;
    MarkDirty(false);
    mRedrawPending = true;
  }
}

void IControl::SetValueFromUser(double value) {
  if (value != mValue) {
    mValue = value;
    MarkDirty(true);
    mRedrawPending = true;
  }
}

void IControl::SetHidden(bool hidden) {
  mHidden = hidden;
  mRedrawPending = true;
  MarkDirty(false);
}

void IControl::SetGreyed(bool greyed) {
  mGreyed = greyed;
  mBlend.weight = greyed ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y) const { return !mTargetRect.Empty() && mTargetRect.Contains(x, y); }

void IControl::MarkDirty(bool informPlugin) {
  mValue = mValue < mClampLow ? mClampLow : std::min(mValue, mClampHigh);
  mDirty = true;
  if (!informPlugin || !mPlug || mParameterIndex < 0) return;
  mPlug->SetParameterFromEditor(mParameterIndex, mValue);
  if (mValueText) {
    mValueText->SetTextFromPlugin(LICE_Utf8Prefix(mPlug->ParameterDisplayText(mParameterIndex), 31) + " " +
                                  LICE_Utf8Prefix(mPlug->ParameterLabel(mParameterIndex), 31));
  }
  if (mNameText) mNameText->SetTextFromPlugin(mPlug->ParameterName(mParameterIndex));
}

void IControl::MarkClean() {
  mDirty = mRedrawPending;
  mRedrawPending = false;
}

void IControl::SetAuxValueFromPlugin(int entry, double value) {
  if (entry < 0 || entry >= static_cast<int>(mAuxParameters.size())) return;
  AuxParameter& aux = mAuxParameters[static_cast<size_t>(entry)];
  if (aux.value != value) {
    aux.value = value;
    MarkDirty(false);
    mRedrawPending = true;
  }
}

// The right-button value prompt: a menu of a switch's display texts, or a text entry for a number.
void IControl::PromptForValue() {
  EditorParameter parameter;
  if (mValuePromptDisabled || !mPlug || !mGraphics || !mPlug->DescribeParameter(mParameterIndex, parameter)) {
    return;
  }
  const double plain = mPlug->ParameterValue(mParameterIndex);
  if (parameter.isBoolean && !parameter.displayTexts.empty()) {
    PopupMenu menu;
    for (const auto& [value, text] : parameter.displayTexts) {
      menu.AddItem(text, value == static_cast<int>(plain) ? PopupMenuItem::kChecked : 0);
    }
    PopupMenu* chosen = mGraphics->ShowPopupMenu(menu, mRect);
    if (chosen && chosen->ChosenPosition() >= 0) {
      const double value = parameter.displayTexts[static_cast<size_t>(chosen->ChosenPosition())].first;
      const double range = parameter.maximum - parameter.minimum;
      SetValueFromUser(range > 0.0 ? (value - parameter.minimum) / range : 0.0);
    }
    return;
  }
  char text[64];
  const double shown = parameter.negatedDisplay ? -plain : plain;
  if (parameter.displayPrecision > 0) {
    std::snprintf(text, sizeof(text), "%.*f", parameter.displayPrecision, shown);
  } else {
    std::snprintf(text, sizeof(text), "%d", static_cast<int>(shown));
  }
  const int cx = (mRect.left + mRect.right) / 2;
  const int cy = (mRect.top + mRect.bottom) / 2;
  mGraphics->OpenTextEntry(this, mTextStyle, Rect(cx - 20, cy - 8, cx + 20, cy + 8), text, mParameterIndex);
}
