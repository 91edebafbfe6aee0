#include "tests/vst/host/VstTestHost.h"

#include <cstddef>
#include <cstdio>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "tests/vst/TestSynthProtocol.h"

namespace {

Module gModule;
bool gClickModel = false;

// The host state of an instance that is being created (its AEffect's user field is not set yet).
thread_local HostState* tCreating = nullptr;

void CopyHostString(void* ptr, const std::string& text) {
  if (!ptr) return;
  std::snprintf(static_cast<char*>(ptr), 64, "%s", text.c_str());
}

}  // namespace

bool Module::Load(const char* path) {
#if defined(_WIN32)
  HMODULE handle = LoadLibraryA(path);
  if (!handle) return false;
  vstMain = reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(handle, "VSTPluginMain")));
  legacyMain = reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(handle, "main")));
#else
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::printf("dlopen: %s\n", dlerror());
    return false;
  }
  vstMain = reinterpret_cast<EntryProc>(dlsym(handle, "VSTPluginMain"));
  legacyMain = reinterpret_cast<EntryProc>(dlsym(handle, "main"));
#endif
  return vstMain != nullptr;
}

Module& TestModule() { return gModule; }
bool ClickModel() { return gClickModel; }
void SetClickModel(bool click) { gClickModel = click; }

int HostState::Count(VstInt32 opcode) {
  std::lock_guard<std::mutex> lock(mutex);
  return static_cast<int>(std::count(calls.begin(), calls.end(), opcode));
}

void HostState::ClearLog() {
  std::lock_guard<std::mutex> lock(mutex);
  calls.clear();
  automation.clear();
  midiOut.clear();
  sysexOut.clear();
  sysexByteSizes.clear();
}

VstIntPtr VST_CALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
  HostState* host = (effect && effect->user) ? static_cast<HostState*>(effect->user) : tCreating;
  if (opcode == audioMasterVersion) return kVstVersion;
  if (!host) return 0;
  std::lock_guard<std::mutex> lock(host->mutex);
  host->calls.push_back(opcode);
  switch (opcode) {
    case audioMasterAutomate:
      host->automation.emplace_back(index, opt);
      return 0;
    case audioMasterGetVendorString:
      CopyHostString(ptr, host->vendor);
      return 1;
    case audioMasterGetProductString:
      CopyHostString(ptr, host->product);
      return 1;
    case audioMasterGetVendorVersion:
      return host->vendorVersion;
    case audioMasterGetCurrentProcessLevel:
      return host->processLevel;
    case audioMasterGetTime:
      (void)value;
      return host->answerTime ? reinterpret_cast<VstIntPtr>(&host->time) : 0;
    case audioMasterProcessEvents: {
      const VstEvents* events = static_cast<const VstEvents*>(ptr);
      for (int i = 0; events && i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (event->type == kVstMidiType) {
          host->midiOut.push_back(*reinterpret_cast<const VstMidiEvent*>(event));
        } else if (event->type == kVstSysExType) {
          const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
          const uint8_t* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
          host->sysexOut.emplace_back(bytes, bytes + sysex->dumpBytes);
          host->sysexByteSizes.push_back(sysex->byteSize);
        }
      }
      return host->processEventsAnswer;
    }
    case audioMasterGetSampleRate:
      return 44100;
    case audioMasterGetBlockSize:
      return 256;
    default:
      return 0;
  }
}

void EventList::AddMidi(int offset, int status, int data1, int data2) {
  VstMidiEvent event = {};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = offset;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(data1);
  event.midiData[2] = static_cast<char>(data2);
  auto stored = std::make_unique<VstMidiEvent>(event);
  mOrder.push_back(reinterpret_cast<VstEvent*>(stored.get()));
  mMidi.push_back(std::move(stored));
}

void EventList::AddSysEx(int offset, std::vector<uint8_t> bytes) {
  mSysExData.push_back(std::move(bytes));
  auto event = std::make_unique<VstMidiSysexEvent>();
  std::memset(event.get(), 0, sizeof(VstMidiSysexEvent));
  event->type = kVstSysExType;
  event->byteSize = sizeof(VstMidiSysexEvent);
  event->deltaFrames = offset;
  event->dumpBytes = static_cast<VstInt32>(mSysExData.back().size());
  event->sysexDump = reinterpret_cast<char*>(mSysExData.back().data());
  mSysEx.push_back(std::move(event));
  mOrder.push_back(reinterpret_cast<VstEvent*>(mSysEx.back().get()));
}

VstEvents* EventList::Build() {
  const size_t bytes = offsetof(VstEvents, events) + sizeof(VstEvent*) * std::max<size_t>(mOrder.size(), 2);
  mStorage.assign((bytes + sizeof(VstIntPtr) - 1) / sizeof(VstIntPtr), 0);
  VstEvents* list = reinterpret_cast<VstEvents*>(mStorage.data());
  list->numEvents = static_cast<VstInt32>(mOrder.size());
  for (size_t i = 0; i < mOrder.size(); ++i) list->events[i] = mOrder[i];
  return list;
}

Instance::Instance(bool useLegacyMain, VstHostCallback callback) {
  EntryProc entry = useLegacyMain ? gModule.legacyMain : gModule.vstMain;
  tCreating = &host;
  effect = entry ? entry(callback) : nullptr;
  tCreating = nullptr;
  if (effect) effect->user = &host;
}

void Instance::Close() {
  if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  effect = nullptr;
}

void Instance::Start(float rate, int blockSize) {
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
}

std::string Instance::String(VstInt32 opcode, VstInt32 index) {
  char text[256] = {};
  Dispatch(opcode, index, 0, text);
  return text;
}

void Instance::RenderDouble(int frames, std::vector<double>& left, std::vector<double>& right) {
  left.assign(static_cast<size_t>(frames), 0.0);
  right.assign(static_cast<size_t>(frames), 0.0);
  double* outputs[2] = {left.data(), right.data()};
  effect->processDoubleReplacing(effect, nullptr, outputs, frames);
}

void Instance::RenderFloat(int frames, std::vector<float>& left, std::vector<float>& right, bool accumulate) {
  if (!accumulate) {
    left.assign(static_cast<size_t>(frames), 0.0f);
    right.assign(static_cast<size_t>(frames), 0.0f);
  }
  float* outputs[2] = {left.data(), right.data()};
  (accumulate ? effect->process : effect->processReplacing)(effect, nullptr, outputs, frames);
}

std::vector<double> Instance::Readings(int frames) {
  std::vector<double> left;
  std::vector<double> right;
  RenderDouble(frames, left, right);
  right.resize(kReadingCount);
  return right;
}

std::vector<uint8_t> Instance::Chunk(int index) {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, index, 0, &data);
  if (size <= 0 || !data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr Instance::SetChunk(int index, std::vector<uint8_t> bytes) {
  return Dispatch(effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.empty() ? nullptr : bytes.data());
}

std::vector<float> Instance::AllParameters() {
  std::vector<float> values;
  for (int i = 0; i < 60; ++i) values.push_back(Get(i));
  return values;
}

int32_t ReadLE32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                              (static_cast<uint32_t>(bytes[at + 3]) << 24));
}

bool GuardedText::Untouched() const {
  return std::all_of(std::begin(bytes), std::end(bytes), [](unsigned char b) { return b == kMarker; });
}

bool GuardedText::WithinLimit(int limit) const {
  const void* end = std::memchr(bytes, 0, static_cast<size_t>(limit));
  if (!end) return false;
  const size_t used = static_cast<const unsigned char*>(end) - bytes + 1;
  for (size_t i = used; i < sizeof(bytes); ++i) {
    if (bytes[i] != kMarker) return false;
  }
  return true;
}
