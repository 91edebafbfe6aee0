// Shared libraries that look like VST2 modules but are not usable ones, for the renderer's
// bad-module tests. BROKEN_KIND selects the fault.
#include "plugin/vst2/VstInterface.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

#if BROKEN_KIND == 1
// No entry point at all: an ordinary library.
EXPORT int SomethingElse() { return 42; }
#elif BROKEN_KIND == 2
// An entry point that creates no instance.
EXPORT AEffect* VSTPluginMain(VstHostCallback) { return nullptr; }
#elif BROKEN_KIND == 3
// An entry point that returns something other than a plug-in descriptor.
static AEffect gNotAnEffect = {};
EXPORT AEffect* VSTPluginMain(VstHostCallback) {
  gNotAnEffect.magic = VstFourCC('N', 'o', 'p', 'e');
  return &gNotAnEffect;
}
#endif
