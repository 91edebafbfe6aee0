// The module's exported entry point, VSTPluginMain, also exported as main for older hosts.
#include <algorithm>
#include <mutex>

#include "plugin/vst2/IPlugVST.h"
#include "plugin/vst2/PluginFactory.h"

#if defined(_WIN32)
#define VST_EXPORT __declspec(dllexport)
#else
#define VST_EXPORT __attribute__((visibility("default")))
#endif

// 32-bit Windows hosts may call with a 4-byte aligned stack; SSE2 code needs 16.
#if defined(_WIN32) && defined(__i386__)
#define VST_ENTRY_ALIGN __attribute__((force_align_arg_pointer))
#else
#define VST_ENTRY_ALIGN
#endif

namespace {

// Created on first use, so that it exists before any host thread can call in.
std::mutex& CreationMutex() {
  static std::mutex mutex;
  return mutex;
}

AEffect* CreateEffect(VstHostCallback master) {
  // Two instances are never constructed at the same time: construction touches process-wide caches.
  std::lock_guard<std::mutex> lock(CreationMutex());
  IPlugVST* plug = nullptr;
  try {
    plug = CreatePluginInstance(master);
    if (!plug) return nullptr;
    plug->FillEmptyPresets(plug->NPresets());
  } catch (...) {
    delete plug;
    return nullptr;
  }
  AEffect* effect = plug->GetAEffect();
  effect->numPrograms = std::max(effect->numPrograms, 1);
  return effect;
}

}  // namespace

extern "C" {

VST_EXPORT VST_ENTRY_ALIGN AEffect* VST_CALLBACK VSTPluginMain(VstHostCallback master) {
  return CreateEffect(master);
}

#if !defined(_WIN32)
// `main` cannot be declared as a function of this type in C++, so the alias is bound by symbol name.
// On Windows the module definition file exports VSTPluginMain a second time as main.
VST_EXPORT AEffect* VST_CALLBACK VSTPluginMainAlias(VstHostCallback master) __asm__("main");
VST_EXPORT AEffect* VST_CALLBACK VSTPluginMainAlias(VstHostCallback master) {
  return CreateEffect(master);
}
#endif

}  // extern "C"
