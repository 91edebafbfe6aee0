#include "plugin/lv2/Lv2Ui.h"

#include <lv2/instance-access/instance-access.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "plugin/lv2/Lv2Plugin.h"
#include "plugin/lv2/Lv2Uris.h"
#include "plugin/vst2/IPlugVST.h"

namespace {

void* FindFeature(const LV2_Feature* const* features, const char* uri) {
  for (int i = 0; features && features[i]; ++i) {
    if (std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
  }
  return nullptr;
}

}  // namespace

Lv2Ui* Lv2Ui::Create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                     const LV2_Feature* const* features) {
  void* parent = FindFeature(features, LV2_UI__parent);
  auto* plugin = static_cast<Lv2Plugin*>(FindFeature(features, LV2_INSTANCE_ACCESS_URI));
  if (!parent || !plugin || !write || !widget) return nullptr;
  AEffect* effect = plugin->Effect();
  if (effect->dispatcher(effect, effEditOpen, 0, 0, parent, 0.0f) != 1) return nullptr;
  auto* ui = new Lv2Ui(plugin, write, controller, static_cast<const LV2UI_Touch*>(FindFeature(features, LV2_UI__touch)));
  PluginEditor* editor = plugin->Plug()->GetGUI();
  *widget = editor->NativeWindow();
  ui->mResize = static_cast<const LV2UI_Resize*>(FindFeature(features, LV2_UI__resize));
  if (ui->mResize) ui->mResize->ui_resize(ui->mResize->handle, editor->WindowWidth(), editor->WindowHeight());
  return ui;
}

Lv2Ui::Lv2Ui(Lv2Plugin* plugin, LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
    : mPlugin(plugin),
      mWrite(write),
      mController(controller),
      mTouch(touch),
      mHostValues(static_cast<size_t>(plugin->ParameterCount()), std::numeric_limits<float>::quiet_NaN()),
      mPluginValues(static_cast<size_t>(plugin->ParameterCount()), std::numeric_limits<float>::quiet_NaN()),
      mNow(static_cast<size_t>(plugin->ParameterCount()), 0.0f),
      mEdits(static_cast<size_t>(plugin->ParameterCount())) {}

Lv2Ui::~Lv2Ui() {
  AEffect* effect = mPlugin->Effect();
  // Closing ends a gesture still held; its end and last value still reach the host.
  effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
  PassEditsToHost();
}

void Lv2Ui::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  if (format != 0 || size != sizeof(float) || !buffer || port < kLv2PortFirstParameter) return;
  const int parameter = static_cast<int>(port - kLv2PortFirstParameter);
  if (parameter >= mPlugin->ParameterCount()) return;
  float value;
  std::memcpy(&value, buffer, sizeof(value));
  if (!std::isfinite(value)) return;
  mHostValues[static_cast<size_t>(parameter)] = value;
  // The face shows what the plug-in will take; the echo of our own write, or a host value the
  // plug-in keeps its own over (a restored state's), leaves it as it is.
  if (!mPlugin->WillTake(parameter, value)) return;
  if (PluginEditor* editor = mPlugin->Plug()->GetGUI()) editor->ApplyParameterFromPlugin(parameter, value, false);
}

int Lv2Ui::Idle() {
  AEffect* effect = mPlugin->Effect();
  effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
  PassEditsToHost();
  // The editor took a new scale: the host's frame follows the window.
  if (mPlugin->TakeWindowResized() && mResize) {
    const PluginEditor* editor = mPlugin->Plug()->GetGUI();
    mResize->ui_resize(mResize->handle, editor->WindowWidth(), editor->WindowHeight());
  }
  return 0;
}

void Lv2Ui::PassEditsToHost() {
  // The edits first, then the values, so that every value an edit reported is among those written.
  EditGestures& gestures = mPlugin->Gestures();
  for (int i = 0; i < mPlugin->ParameterCount(); ++i) mEdits[static_cast<size_t>(i)] = gestures.Take(i);
  mPlugin->ReadParameterValues(mNow.data());
  for (int i = 0; i < mPlugin->ParameterCount(); ++i) {
    const size_t slot = static_cast<size_t>(i);
    const EditGestures::Pending& edit = mEdits[slot];
    const float now = mNow[slot];
    const uint32_t port = kLv2PortFirstParameter + static_cast<uint32_t>(i);
    if (edit.begun && mTouch) mTouch->touch(mTouch->handle, port, true);
    // Written when the editor changed it, or when the plug-in's value moved on by itself to one the
    // host does not hold (a value the host sent and the plug-in has not taken yet is left alone).
    const bool movedByItself = now != mPluginValues[slot] && now != mHostValues[slot];
    if (edit.changed || movedByItself) Write(i, now);
    if (edit.ended && mTouch) mTouch->touch(mTouch->handle, port, false);
    mPluginValues[slot] = now;
  }
}

void Lv2Ui::Write(int parameter, float value) {
  mHostValues[static_cast<size_t>(parameter)] = value;
  mWrite(mController, kLv2PortFirstParameter + static_cast<uint32_t>(parameter), sizeof(float), 0, &value);
}
