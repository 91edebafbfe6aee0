#include "tools/render/VstModule.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The module being created: its AEffect's user field cannot point at the host before the entry
// point has returned, but the plug-in may call the host from inside it.
thread_local VstModule* tCreating = nullptr;

void CopyHostString(void* ptr, const char* text) {
  // Hosts' strings are at most 64 bytes with the terminator.
  if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", text);
}

}  // namespace

VstModule::~VstModule() { Close(); }

bool VstModule::Load(const std::string& path, std::string& error) {
  Close();
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    error = "module not found: " + path;
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = path + " is not a file";
    return false;
  }
  // A path without a slash would make dlopen search the library path instead of the file named.
  const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    error = "cannot load module " + path + ": " + (reason ? reason : "unknown reason");
    return false;
  }
  EntryProc entry = reinterpret_cast<EntryProc>(dlsym(handle_, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<EntryProc>(dlsym(handle_, "main"));
  if (!entry) {
    error = path + " is not a VST2 module (it exports neither VSTPluginMain nor main)";
    Close();
    return false;
  }

  return Create(entry, path, error);
}

bool VstModule::Create(EntryProc entry, const std::string& name, std::string& error) {
  tCreating = this;
  AEffect* effect = entry(&VstModule::HostCallback);
  tCreating = nullptr;
  if (!effect) {
    error = "the module " + name + " did not create a plug-in instance";
    Close();
    return false;
  }
  if (effect->magic != kEffectMagic || !effect->dispatcher) {
    error = name + " did not return a VST2 plug-in (wrong magic number)";
    Close();  // effect_ is still null: a descriptor that is no plug-in is never called
    return false;
  }
  effect->user = this;
  effect_ = effect;
  return true;
}

VstIntPtr VstModule::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return effect_ ? effect_->dispatcher(effect_, opcode, index, value, ptr, opt) : 0;
}

void VstModule::Close() {
  if (effect_) {
    effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    effect_ = nullptr;
  }
  if (handle_) {
    dlclose(handle_);
    handle_ = nullptr;
  }
}

VstIntPtr VST_CALLBACK VstModule::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt) {
  if (opcode == audioMasterVersion) return kVstVersion;
  VstModule* host = (effect && effect->magic == kEffectMagic && effect->user)
                        ? static_cast<VstModule*>(effect->user)
                        : tCreating;
  return host ? host->Answer(opcode, index, value, ptr, opt) : 0;
}

VstIntPtr VstModule::Answer(VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(TimeInfo());
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(transport_.sampleRate);
    case audioMasterGetBlockSize:
      return transport_.blockSize;
    case audioMasterGetCurrentProcessLevel:
      return kVstProcessLevelOffline;
    case audioMasterGetVendorString:
      CopyHostString(ptr, kHostVendor);
      return 1;
    case audioMasterGetProductString:
      CopyHostString(ptr, kHostProduct);
      return 1;
    case audioMasterGetVendorVersion:
      return kHostVersion;
    case audioMasterCanDo: {
      if (!ptr) return 0;
      const char* what = static_cast<const char*>(ptr);
      for (const char* can : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo"}) {
        if (std::strcmp(what, can) == 0) return 1;
      }
      return 0;
    }
    default:
      // Automation, edit gestures, display updates and MIDI out mean nothing to an offline render.
      return 0;
  }
}

const VstTimeInfo* VstModule::TimeInfo() {
  VstTimeInfo& t = timeInfo_;
  std::memset(&t, 0, sizeof(t));
  t.samplePos = transport_.samplePosition;
  t.sampleRate = transport_.sampleRate;
  t.ppqPos = transport_.quarterNotes;
  t.tempo = transport_.tempo;
  t.barStartPos = transport_.barStartQuarterNotes;
  t.timeSigNumerator = transport_.numerator;
  t.timeSigDenominator = transport_.denominator;
  t.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
  if (transport_.playing) t.flags |= kVstTransportPlaying;
  return &t;
}

std::string ModuleBesideExecutable() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return "Sarn.so";
  path[length] = 0;
  const std::string executable(path);
  const size_t slash = executable.find_last_of('/');
  return (slash == std::string::npos ? std::string(".") : executable.substr(0, slash)) + "/Sarn.so";
}
