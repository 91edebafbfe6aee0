// The LV2 module's entry points: the plug-in descriptor and the UI descriptor (same module, so that
// the UI reaches the instance it belongs to).
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>

#include <cstring>

#include "plugin/lv2/Lv2Plugin.h"
#include "plugin/lv2/Lv2Ui.h"
#include "plugin/lv2/Lv2Uris.h"

#define LV2_ENTRY __attribute__((visibility("default")))

namespace {

Lv2Plugin* Binding(LV2_Handle handle) { return static_cast<Lv2Plugin*>(handle); }

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
  return Lv2Plugin::Create(rate, features);
}
void ConnectPort(LV2_Handle handle, uint32_t port, void* data) { Binding(handle)->ConnectPort(port, data); }
void Activate(LV2_Handle handle) { Binding(handle)->Activate(); }
void Run(LV2_Handle handle, uint32_t frames) { Binding(handle)->Run(frames); }
void Deactivate(LV2_Handle handle) { Binding(handle)->Deactivate(); }
void Cleanup(LV2_Handle handle) { delete Binding(handle); }

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*) {
  return Binding(handle)->Save(store, state);
}
LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                         const LV2_Feature* const*) {
  return Binding(handle)->Restore(retrieve, state);
}
const LV2_State_Interface kStateInterface = {Save, Restore};

const void* ExtensionData(const char* uri) {
  return std::strcmp(uri, LV2_STATE__interface) == 0 ? &kStateInterface : nullptr;
}

const LV2_Descriptor kDescriptor = {kLv2PluginUri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup,
                                    ExtensionData};

Lv2Ui* View(LV2UI_Handle handle) { return static_cast<Lv2Ui*>(handle); }

LV2UI_Handle UiInstantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                           LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (!pluginUri || std::strcmp(pluginUri, kLv2PluginUri) != 0) return nullptr;
  return Lv2Ui::Create(write, controller, widget, features);
}
void UiCleanup(LV2UI_Handle handle) { delete View(handle); }
void UiPortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  View(handle)->PortEvent(port, size, format, buffer);
}
int UiIdle(LV2UI_Handle handle) { return View(handle)->Idle(); }
const LV2UI_Idle_Interface kIdleInterface = {UiIdle};

const void* UiExtensionData(const char* uri) {
  return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kUiDescriptor = {kLv2UiUri, UiInstantiate, UiCleanup, UiPortEvent, UiExtensionData};

}  // namespace

extern "C" {

LV2_ENTRY const LV2_Descriptor* lv2_descriptor(uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }

LV2_ENTRY const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) { return index == 0 ? &kUiDescriptor : nullptr; }

}  // extern "C"
