// A VST2 test host: loads a module only through its exported entry points and checks the host
// interface from the host's side (opcodes, strings, chunks, MIDI, processing, bad arguments,
// threads). Built for Linux and, with mingw, for Windows (run under Wine).
//
//   vst_test_host <module> --model click|sarn      run the checks
//   vst_test_host <module> --render <file>          write a fixed render for comparison
//   vst_test_host --compare <file> <file> [<file>]  compare renders of different builds
//
// "click" is the test plug-in (tests/vst/TestSynth.cpp), whose output reports what it received;
// "sarn" is the instrument. Prints one line per failed check and "N passed, N failed" per test case.
#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "editor/face/FaceLayout.h"
#include "plugin/vst2/VstInterface.h"
#include "resources/Version.h"
#include "tests/vst/TestSynthProtocol.h"

namespace {

// ---------------------------------------------------------------- harness

int gCaseFailures = 0;
const char* gCaseName = "";

void Fail(const char* file, int line, const char* format, ...) {
  ++gCaseFailures;
  std::printf("FAIL [%s] %s:%d: ", gCaseName, file, line);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}

#define CHECK(cond) \
  do { \
    if (!(cond)) Fail(__FILE__, __LINE__, "%s", #cond); \
  } while (0)
#define CHECK_INT(actual, expected) \
  do { \
    const long long a_ = static_cast<long long>(actual); \
    const long long e_ = static_cast<long long>(expected); \
    if (a_ != e_) Fail(__FILE__, __LINE__, "%s = %lld, expected %lld", #actual, a_, e_); \
  } while (0)
#define CHECK_NEAR(actual, expected, tolerance) \
  do { \
    const double a_ = static_cast<double>(actual); \
    const double e_ = static_cast<double>(expected); \
    if (!(std::fabs(a_ - e_) <= (tolerance))) \
      Fail(__FILE__, __LINE__, "%s = %.9g, expected %.9g", #actual, a_, e_); \
  } while (0)
#define CHECK_STR(actual, expected) \
  do { \
    const std::string a_(actual); \
    const std::string e_(expected); \
    if (a_ != e_) Fail(__FILE__, __LINE__, "%s = \"%s\", expected \"%s\"", #actual, a_.c_str(), e_.c_str()); \
  } while (0)

// ---------------------------------------------------------------- module

using EntryProc = AEffect*(VST_CALLBACK*)(VstHostCallback);

struct Module {
  EntryProc vstMain = nullptr;
  EntryProc legacyMain = nullptr;

  bool Load(const char* path) {
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
};

Module gModule;
bool gClickModel = false;  // the test plug-in, whose output carries its readings

// ---------------------------------------------------------------- host side

// What the host answers and what it saw, per instance.
struct HostState {
  std::string vendor = "Test Host Maker";
  std::string product = "Test Host";
  VstIntPtr vendorVersion = 1000;
  VstIntPtr processLevel = 2;
  bool answerTime = true;
  VstTimeInfo time = {};
  VstIntPtr processEventsAnswer = 1;

  std::mutex mutex;
  std::vector<VstInt32> calls;
  std::vector<std::pair<int, float>> automation;
  std::vector<VstMidiEvent> midiOut;
  std::vector<std::vector<uint8_t>> sysexOut;
  std::vector<VstInt32> sysexByteSizes;

  int Count(VstInt32 opcode) {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(std::count(calls.begin(), calls.end(), opcode));
  }
  void ClearLog() {
    std::lock_guard<std::mutex> lock(mutex);
    calls.clear();
    automation.clear();
    midiOut.clear();
    sysexOut.clear();
    sysexByteSizes.clear();
  }
};

// The host state of an instance that is being created (its AEffect's user field is not set yet).
thread_local HostState* tCreating = nullptr;

void CopyHostString(void* ptr, const std::string& text) {
  if (!ptr) return;
  std::snprintf(static_cast<char*>(ptr), 64, "%s", text.c_str());
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

// A MIDI event list as a host builds it: the header followed by as many pointers as events.
class EventList {
 public:
  void AddMidi(int offset, int status, int data1, int data2) {
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
  void AddSysEx(int offset, std::vector<uint8_t> bytes) {
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
  void AddRaw(VstEvent* event) { mOrder.push_back(event); }

  VstEvents* Build() {
    const std::vector<VstEvent*>& all = mOrder;
    const size_t bytes = offsetof(VstEvents, events) + sizeof(VstEvent*) * std::max<size_t>(all.size(), 2);
    mStorage.assign((bytes + sizeof(VstIntPtr) - 1) / sizeof(VstIntPtr), 0);
    VstEvents* list = reinterpret_cast<VstEvents*>(mStorage.data());
    list->numEvents = static_cast<VstInt32>(all.size());
    for (size_t i = 0; i < all.size(); ++i) list->events[i] = all[i];
    return list;
  }

 private:
  std::vector<std::unique_ptr<VstMidiEvent>> mMidi;
  std::vector<std::vector<uint8_t>> mSysExData;
  std::vector<std::unique_ptr<VstMidiSysexEvent>> mSysEx;
  std::vector<VstEvent*> mOrder;
  std::vector<VstIntPtr> mStorage;
};

// One plug-in instance with its host state.
class Instance {
 public:
  explicit Instance(bool useLegacyMain = false, VstHostCallback callback = HostCallback) {
    EntryProc entry = useLegacyMain ? gModule.legacyMain : gModule.vstMain;
    tCreating = &host;
    effect = entry ? entry(callback) : nullptr;
    tCreating = nullptr;
    if (effect) effect->user = &host;
  }
  ~Instance() { Close(); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void Close() {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
  }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }

  // What a host does before playing: open, rate, block size, processing on.
  void Start(float rate = 44100.0f, int blockSize = 256) {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
  }

  std::string String(VstInt32 opcode, VstInt32 index = 0) {
    char text[256] = {};
    Dispatch(opcode, index, 0, text);
    return text;
  }

  void Send(EventList& events) { Dispatch(effProcessEvents, 0, 0, events.Build()); }

  void RenderDouble(int frames, std::vector<double>& left, std::vector<double>& right) {
    left.assign(static_cast<size_t>(frames), 0.0);
    right.assign(static_cast<size_t>(frames), 0.0);
    double* outputs[2] = {left.data(), right.data()};
    effect->processDoubleReplacing(effect, nullptr, outputs, frames);
  }

  void RenderFloat(int frames, std::vector<float>& left, std::vector<float>& right, bool accumulate = false) {
    if (!accumulate) {
      left.assign(static_cast<size_t>(frames), 0.0f);
      right.assign(static_cast<size_t>(frames), 0.0f);
    }
    float* outputs[2] = {left.data(), right.data()};
    (accumulate ? effect->process : effect->processReplacing)(effect, nullptr, outputs, frames);
  }

  // The test plug-in's readings of one rendered block.
  std::vector<double> Readings(int frames = 256) {
    std::vector<double> left;
    std::vector<double> right;
    RenderDouble(frames, left, right);
    right.resize(kReadingCount);
    return right;
  }

  float Get(int index) { return effect->getParameter(effect, index); }
  void Set(int index, float value) { effect->setParameter(effect, index, value); }

  std::vector<uint8_t> Chunk(int index) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, index, 0, &data);
    if (size <= 0 || !data) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
  }
  VstIntPtr SetChunk(int index, std::vector<uint8_t> bytes) {
    return Dispatch(effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.empty() ? nullptr : bytes.data());
  }

  std::vector<float> AllParameters() {
    std::vector<float> values;
    for (int i = 0; i < 60; ++i) values.push_back(Get(i));
    return values;
  }

  HostState host;
  AEffect* effect = nullptr;
};

bool AllFinite(const std::vector<double>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](double v) { return std::isfinite(v); });
}
bool AllFinite(const std::vector<float>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](float v) { return std::isfinite(v); });
}

int32_t ReadLE32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                              (static_cast<uint32_t>(bytes[at + 3]) << 24));
}

// Buffer of 256 bytes preset to a marker, for checking how far the plug-in writes.
struct GuardedText {
  static constexpr unsigned char kMarker = 0x55;
  unsigned char bytes[256];
  GuardedText() { std::memset(bytes, kMarker, sizeof(bytes)); }
  char* ptr() { return reinterpret_cast<char*>(bytes); }
  bool Untouched() const {
    return std::all_of(std::begin(bytes), std::end(bytes), [](unsigned char b) { return b == kMarker; });
  }
  // True when a terminator lies within the first `limit` bytes and nothing after it was written.
  bool WithinLimit(int limit) const {
    const void* end = std::memchr(bytes, 0, static_cast<size_t>(limit));
    if (!end) return false;
    const size_t used = static_cast<const unsigned char*>(end) - bytes + 1;
    for (size_t i = used; i < sizeof(bytes); ++i) {
      if (bytes[i] != kMarker) return false;
    }
    return true;
  }
};

// ---------------------------------------------------------------- checks: descriptor and entry

void TestEntryPoints() {
  CHECK(gModule.vstMain != nullptr);
  CHECK(gModule.legacyMain != nullptr);
  for (bool legacy : {false, true}) {
    Instance plug(legacy);
    CHECK(plug.effect != nullptr);
    if (!plug.effect) continue;
    const AEffect& e = *plug.effect;
    CHECK_INT(e.magic, VstFourCC('V', 's', 't', 'P'));
    CHECK(e.dispatcher && e.process && e.processReplacing && e.processDoubleReplacing && e.setParameter &&
          e.getParameter);
    CHECK_INT(e.numPrograms, 64);
    CHECK_INT(e.numParams, 60);
    CHECK_INT(e.numInputs, 0);
    CHECK_INT(e.numOutputs, 2);
    CHECK_INT(e.flags & ~effFlagsHasEditor, 0x1130);
    CHECK_INT(e.uniqueID, 0x7361726E);
    CHECK_INT(e.version, kVersionDecimal);
    CHECK_INT(e.initialDelay, 0);
    CHECK_NEAR(e.ioRatio, 1.0, 0.0);
    CHECK(e.object != nullptr);
  }
}

void TestNullHostCallback() {
  // A host that gives no callback still gets a working plug-in that never calls it.
  Instance plug(false, nullptr);
  CHECK(plug.effect != nullptr);
  if (!plug.effect) return;
  // The plug-in object comes from the module's heap, which must align to 16 for its SSE2 states
  // (the 32-bit Windows C heap alone gives 8).
  CHECK(reinterpret_cast<uintptr_t>(plug.effect->object) % 16 == 0);
  plug.Start();
  EventList events;
  events.AddMidi(10, 0x90, 60, 100);
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(512, left, right);
  CHECK(AllFinite(left) && AllFinite(right));
  CHECK(!plug.Chunk(0).empty());
  CHECK(!plug.Chunk(1).empty());
}

void TestSimpleOpcodes() {
  Instance plug;
  plug.Start();
  struct Row {
    VstInt32 opcode;
    VstIntPtr expected;
  };
  const Row rows[] = {
      {effIdentify, VstFourCC('N', 'v', 'E', 'f')},
      {effCanBeAutomated, 1},
      {effGetPlugCategory, 2},
      {effGetVendorVersion, kVersionDecimal},
      {effGetVstVersion, 2400},
      {effGetTailSize, 0},
      {effProcessVarIo, 0},
      {effGetProgram, 0},
      {effEditIdle, 0},
      {effIdle, 0},
      {effMainsChanged, 0},
      {9, 0},
      {16, 0},
      {effSetBypass, 0},
      {effGetParameterProperties, 0},
      {70, 0},
      {effStartProcess, 0},
      {effSetProcessPrecision, 0},
      {200, 0},
      {-1, 0},
  };
  for (const Row& row : rows) {
    const VstIntPtr result = plug.Dispatch(row.opcode);
    if (result != row.expected) Fail(__FILE__, __LINE__, "opcode %d gave %lld, expected %lld", row.opcode,
                                     static_cast<long long>(result), static_cast<long long>(row.expected));
  }
  // effCanBeAutomated answers yes for every index.
  CHECK_INT(plug.Dispatch(effCanBeAutomated, 59), 1);
  // A second effOpen is harmless; the dispatcher of an effect without object returns 0.
  CHECK_INT(plug.Dispatch(effOpen), 0);
  AEffect orphan = *plug.effect;
  orphan.object = nullptr;
  CHECK_INT(orphan.dispatcher(&orphan, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
  CHECK_INT(plug.effect->dispatcher(nullptr, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
  orphan.processReplacing(&orphan, nullptr, nullptr, 64);
  orphan.setParameter(&orphan, 0, 0.5f);
  CHECK_NEAR(orphan.getParameter(&orphan, 0), 0.0, 0.0);
}

void TestIdentityStrings() {
  Instance plug;
  struct Row {
    VstInt32 opcode;
    const char* expected;
  };
  const Row rows[] = {{effGetEffectName, "Sarn"}, {effGetVendorString, "Kelmor Music"}, {effGetProductString, ""}};
  for (const Row& row : rows) {
    GuardedText text;
    CHECK_INT(plug.Dispatch(row.opcode, 0, 0, text.ptr()), 1);
    CHECK_STR(text.ptr(), row.expected);
    CHECK(text.WithinLimit(32));
    CHECK_INT(plug.Dispatch(row.opcode, 0, 0, nullptr), 0);
  }
}

// ---------------------------------------------------------------- checks: parameters

void TestParameterStrings() {
  Instance plug;
  plug.Start();
  for (int i = 0; i < 60; ++i) {
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      GuardedText text;
      CHECK_INT(plug.Dispatch(opcode, i, 0, text.ptr()), 0);
      if (!text.WithinLimit(32)) Fail(__FILE__, __LINE__, "opcode %d index %d writes past 32 bytes", opcode, i);
      plug.Dispatch(opcode, i, 0, nullptr);
    }
    if (plug.String(effGetParamName, i).empty()) Fail(__FILE__, __LINE__, "parameter %d has no name", i);
    if (!plug.String(effGetParamLabel, i).empty()) Fail(__FILE__, __LINE__, "parameter %d has a label", i);
  }
  for (int bad : {60, -1, 1000, INT32_MIN}) {
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      GuardedText text;
      CHECK_INT(plug.Dispatch(opcode, bad, 0, text.ptr()), 0);
      if (!text.Untouched()) Fail(__FILE__, __LINE__, "opcode %d index %d wrote to the buffer", opcode, bad);
    }
  }
  struct Row {
    int index;
    const char* name;
  };
  const Row names[] = {{0, "Master Volume"}, {2, "Tone"}, {5, "String: Bass"}, {33, "Phaser: Feedback"},
                       {46, "Chorus 1 Speed (Fast)"}, {59, "Delay Vibe Depth"}};
  for (const Row& row : names) CHECK_STR(plug.String(effGetParamName, row.index), row.name);
}

void TestParameterDisplayDefaults() {
  Instance plug;
  plug.Start();
  // Values of the initial program of the test plug-in (the table's defaults).
  struct Row {
    int index;
    const char* text;
  };
  const Row rows[] = {{0, "0.0"}, {2, "8000"}, {3, "0.10"}, {5, "off"}, {7, "on"}, {33, "-0.300"}, {37, "0.50"},
                      {10, "50:50"}};
  for (const Row& row : rows) CHECK_STR(plug.String(effGetParamDisplay, row.index), row.text);
  CHECK_NEAR(plug.Get(9), 0.5538, 1e-4);
  CHECK_NEAR(plug.Get(7), 1.0, 0.0);
  CHECK_NEAR(plug.Get(0), 0.5, 1e-7);
}

void TestSetAndGetParameter() {
  Instance plug;
  plug.Start();
  plug.Set(3, 0.25f);
  CHECK_NEAR(plug.Get(3), 0.25, 1e-6);
  CHECK_STR(plug.String(effGetParamDisplay, 3), "0.25");
  plug.Set(5, 0.49f);
  CHECK_STR(plug.String(effGetParamDisplay, 5), "off");
  plug.Set(5, 0.5f);
  CHECK_STR(plug.String(effGetParamDisplay, 5), "on");
  CHECK_NEAR(plug.Get(5), 1.0, 0.0);
  // Outside the index range nothing happens and 0 is read.
  const std::vector<float> before = plug.AllParameters();
  for (int bad : {60, -1, 61, INT32_MAX, INT32_MIN}) {
    plug.Set(bad, 0.75f);
    CHECK_NEAR(plug.Get(bad), 0.0, 0.0);
  }
  CHECK(plug.AllParameters() == before);
  // Non-finite values are refused; values beyond 0..1 are limited to it.
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    plug.Set(3, bad);
    CHECK_NEAR(plug.Get(3), 0.25, 1e-6);
    plug.Set(2, bad);
    CHECK(std::isfinite(plug.Get(2)));
  }
  plug.Set(3, -1.0f);
  CHECK_NEAR(plug.Get(3), 0.0, 0.0);
  plug.Set(2, -0.5f);  // shape sqrt(2): a negative value must not become NaN
  CHECK_NEAR(plug.Get(2), 0.0, 0.0);
  CHECK_STR(plug.String(effGetParamDisplay, 2), "2000");
  plug.Set(3, 7.0f);
  CHECK_NEAR(plug.Get(3), 1.0, 0.0);
  for (float v : plug.AllParameters()) CHECK(std::isfinite(v) && v >= 0.0f && v <= 1.0f);
  if (gClickModel) CHECK_NEAR(plug.Readings()[kReadNonFiniteApplied], 0.0, 0.0);
}

void TestString2Parameter() {
  Instance plug;
  plug.Start();
  char on[] = "on";
  char maybe[] = "maybe";
  CHECK_INT(plug.Dispatch(effString2Parameter, 5, 0, on), 1);
  CHECK_NEAR(plug.Get(5), 1.0, 0.0);
  const float before = plug.Get(6);  // the loaded program's value: a refused text leaves it
  CHECK_INT(plug.Dispatch(effString2Parameter, 6, 0, maybe), 0);
  CHECK_NEAR(plug.Get(6), before, 0.0);
  struct Row {
    int index;
    const char* text;
    VstIntPtr result;
    const char* display;
  };
  const Row rows[] = {
      {3, "0.5", 1, "0.50"},     {3, "1e9", 1, "1.00"},   {3, "-4", 1, "0.00"},  {3, " 0.3 ", 1, "0.30"},
      {3, "abc", 0, "0.30"},     {3, "nan", 0, "0.30"},   {3, "inf", 0, "0.30"}, {3, "dB 6", 0, "0.30"},
      {3, "-", 0, "0.30"},       {3, ".", 0, "0.30"},     {3, "+e5", 0, "0.30"}, {3, "0.4x", 1, "0.40"},
      {9, "6 dB", 1, "6.00"},    {9, "7.5Hz", 1, "7.50"}, {9, "  2e0 s", 1, "2.00"}, {9, ".5", 1, "0.50"},
      {9, "3e", 1, "3.00"},      {9, "1,5", 1, "1.00"},   {9, "-.25", 1, "0.00"},
      {2, "12345", 1, "12345"},  {33, "0.25", 1, "0.250"}, {7, "off", 1, "off"},  {7, "OFF", 0, "off"},
      {7, "off ", 0, "off"},
  };
  for (const Row& row : rows) {
    std::string text = row.text;
    const VstIntPtr result = plug.Dispatch(effString2Parameter, row.index, 0, &text[0]);
    if (result != row.result)
      Fail(__FILE__, __LINE__, "\"%s\" on %d gave %lld", row.text, row.index, static_cast<long long>(result));
    CHECK_STR(plug.String(effGetParamDisplay, row.index), row.display);
  }
  CHECK_INT(plug.Dispatch(effString2Parameter, 60, 0, on), 0);
  CHECK_INT(plug.Dispatch(effString2Parameter, -1, 0, on), 0);
  CHECK_INT(plug.Dispatch(effString2Parameter, 3, 0, nullptr), 1);
  CHECK_STR(plug.String(effGetParamDisplay, 3), "0.40");
  // Host text without a terminator within 255 characters is cut there, not read without end.
  std::vector<char> longText(300, '1');
  longText.push_back(0);
  CHECK_INT(plug.Dispatch(effString2Parameter, 3, 0, longText.data()), 1);
  CHECK_STR(plug.String(effGetParamDisplay, 3), "1.00");
}

void TestVendorSpecific() {
  Instance plug;
  plug.Start();
  GuardedText text;
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, 0, text.ptr(), 1.0f), 0xBEEF);
  CHECK_STR(text.ptr(), "6.0");
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, 0, text.ptr(), 0.0f), 0xBEEF);
  CHECK_STR(text.ptr(), "-oo");
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, 3, text.ptr(), 0.5f), 0xBEEF);
  CHECK_STR(text.ptr(), "0.50");
  GuardedText untouched;
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, 60, untouched.ptr(), 0.5f), 0xBEEF);
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, -1, untouched.ptr(), 0.5f), 0xBEEF);
  CHECK(untouched.Untouched());
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
  GuardedText odd;
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, 37, odd.ptr(), NAN), 0xBEEF);
  CHECK(odd.WithinLimit(32));
  CHECK_INT(plug.Dispatch(effVendorSpecific, 7, 23, odd.ptr(), 1e30f), 0xBEEF);
  CHECK(odd.WithinLimit(32));
  CHECK_INT(plug.Dispatch(effVendorSpecific, 8, 5), 0xBEEF);   // switch
  CHECK_INT(plug.Dispatch(effVendorSpecific, 8, 3), 0);        // continuous
  CHECK_INT(plug.Dispatch(effVendorSpecific, 8, 60), 0);
  CHECK_INT(plug.Dispatch(effVendorSpecific, 8, -1), 0);
  CHECK_INT(plug.Dispatch(effVendorSpecific, 0, 0), 0);
  CHECK_INT(plug.Dispatch(effVendorSpecific, 9, 0, text.ptr()), 0);
}

// ---------------------------------------------------------------- checks: programs

void TestPrograms() {
  Instance plug;
  plug.Start();
  plug.Set(3, 0.3f);
  CHECK_INT(plug.Dispatch(effSetProgram, 0, 3), 0);
  CHECK_INT(plug.Dispatch(effGetProgram), 3);
  plug.Set(3, 0.9f);
  plug.Dispatch(effSetProgram, 0, 0);
  CHECK_NEAR(plug.Get(3), 0.3, 1e-6);  // program 0 was stored when leaving it
  plug.Dispatch(effSetProgram, 0, 3);
  CHECK_NEAR(plug.Get(3), 0.9, 1e-6);
  for (VstIntPtr bad : {VstIntPtr(64), VstIntPtr(-1), VstIntPtr(1000)}) {
    plug.Dispatch(effSetProgram, 0, bad);
    CHECK_INT(plug.Dispatch(effGetProgram), 3);
  }

  char name[] = "Test Name";
  CHECK_INT(plug.Dispatch(effSetProgramName, 0, 0, name), 0);
  CHECK_STR(plug.String(effGetProgramName), "Test Name");
  CHECK_STR(plug.String(effGetProgramNameIndexed, 3), "Test Name");
  plug.Dispatch(effSetProgramName, 0, 0, nullptr);
  plug.Dispatch(effGetProgramName, 0, 0, nullptr);
  CHECK_STR(plug.String(effGetProgramName), "Test Name");

  // Program names reach the host with at most 24 characters.
  char longName[] = "A program name far longer than twenty-four characters";
  plug.Dispatch(effSetProgramName, 0, 0, longName);
  for (VstInt32 opcode : {effGetProgramName, effGetProgramNameIndexed}) {
    GuardedText text;
    const VstIntPtr result = plug.Dispatch(opcode, 3, 0, text.ptr());
    if (opcode == effGetProgramNameIndexed) CHECK_INT(result, 1);
    CHECK(text.WithinLimit(25));
    CHECK_STR(text.ptr(), std::string(longName, 24));
  }
  for (int bad : {64, -1}) {
    GuardedText text;
    CHECK_INT(plug.Dispatch(effGetProgramNameIndexed, bad, 0, text.ptr()), 0);
    CHECK_STR(text.ptr(), "");
  }
  CHECK_INT(plug.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
  for (int i = 0; i < 64; ++i) {
    if (plug.String(effGetProgramNameIndexed, i).empty()) Fail(__FILE__, __LINE__, "program %d has no name", i);
  }
}

// ---------------------------------------------------------------- checks: chunks

void TestChunkLayout() {
  Instance plug;
  plug.Start();
  const std::vector<uint8_t> bank = plug.Chunk(0);
  CHECK(bank.size() > 8 + 64 * 5);
  if (bank.size() > 16) {
    CHECK(std::memcmp(bank.data(), "tffp", 4) == 0);
    CHECK_INT(ReadLE32(bank, 4), 0x00010000);
    const int32_t length = ReadLE32(bank, 8);
    const std::string first(reinterpret_cast<const char*>(bank.data()) + 12, static_cast<size_t>(std::max(length, 0)));
    CHECK_STR(first, plug.String(effGetProgramNameIndexed, 0));
  }
  char name[] = "Chunk Program";
  plug.Dispatch(effSetProgramName, 0, 0, name);
  const std::vector<uint8_t> program = plug.Chunk(1);
  CHECK(program.size() > 8 + 480);
  if (program.size() > 8 + 480) {
    CHECK(std::memcmp(program.data(), "tffp", 4) == 0);
    CHECK_INT(ReadLE32(program, 4), 0x00010000);
    const size_t tail = program.size() - std::strlen(name);
    CHECK_INT(ReadLE32(program, tail - 4), std::strlen(name));
    CHECK(std::memcmp(program.data() + tail, name, std::strlen(name)) == 0);
  }
  CHECK_INT(plug.Dispatch(effGetChunk, 0, 0, nullptr), 0);
  CHECK_INT(plug.Dispatch(effGetChunk, 1, 0, nullptr), 0);
  // Any index other than 0 means the current program.
  CHECK(plug.Chunk(7) == program);
}

void TestChunkRoundTrips() {
  Instance plug;
  plug.Start();
  plug.Set(3, 0.37f);
  plug.Set(5, 1.0f);
  char name[] = "Saved";
  plug.Dispatch(effSetProgramName, 0, 0, name);
  const std::vector<uint8_t> program = plug.Chunk(1);
  plug.Set(3, 0.8f);
  plug.Set(5, 0.0f);
  char other[] = "Renamed";
  plug.Dispatch(effSetProgramName, 0, 0, other);
  CHECK_INT(plug.SetChunk(1, program), 1);
  CHECK_NEAR(plug.Get(3), 0.37, 1e-6);
  CHECK_NEAR(plug.Get(5), 1.0, 0.0);
  CHECK_STR(plug.String(effGetProgramName), "Saved");

  plug.Dispatch(effSetProgram, 0, 5);
  char five[] = "Bank Five";
  plug.Dispatch(effSetProgramName, 0, 0, five);
  plug.Set(4, 0.61f);
  const std::vector<uint8_t> bank = plug.Chunk(0);
  plug.Dispatch(effSetProgramName, 0, 0, other);
  plug.Set(4, 0.11f);
  plug.Dispatch(effSetProgram, 0, 0);
  CHECK_INT(plug.SetChunk(0, bank), 1);
  CHECK_STR(plug.String(effGetProgramNameIndexed, 5), "Bank Five");
  CHECK_STR(plug.String(effGetProgramNameIndexed, 0), "Saved");
  // The bank carries the current program: program 5 is selected again, and program 0 kept its values.
  CHECK_INT(plug.Dispatch(effGetProgram), 5);
  CHECK_NEAR(plug.Get(4), 0.61, 1e-6);
  plug.Dispatch(effSetProgram, 0, 0);
  CHECK_NEAR(plug.Get(3), 0.37, 1e-6);
  plug.Dispatch(effSetProgram, 0, 5);
  CHECK_NEAR(plug.Get(4), 0.61, 1e-6);

  // A second instance takes the whole bank over.
  Instance copy;
  copy.Start();
  CHECK_INT(copy.SetChunk(0, bank), 1);
  for (int i = 0; i < 64; ++i) {
    if (copy.String(effGetProgramNameIndexed, i) != plug.String(effGetProgramNameIndexed, i))
      Fail(__FILE__, __LINE__, "program %d has another name in the copy", i);
  }
  copy.Dispatch(effSetProgram, 0, 5);
  CHECK(copy.AllParameters() == plug.AllParameters());
}

// A host that keeps only the bank chunk (no program number of its own) reopens a session in a fresh
// instance: the chunk's trailer, "CurP" and the program number, brings back the program it was saved
// on, and the host's parameter restore that follows lands in that program, not in program 0. A chunk
// without the trailer loads as before; a damaged trailer refuses the whole chunk.
void TestBankChunkReopensOnItsProgram() {
  std::vector<float> factory0, factory1, edited;
  std::string name0;
  std::vector<uint8_t> bank;
  {
    Instance session;
    session.Start();
    name0 = session.String(effGetProgramNameIndexed, 0);
    factory0 = session.AllParameters();
    session.Dispatch(effSetProgram, 0, 1);
    factory1 = session.AllParameters();
    char name[] = "My Pad";
    session.Dispatch(effSetProgramName, 0, 0, name);
    session.Set(3, factory1[3] > 0.5f ? 0.12f : 0.87f);
    session.Set(23, factory1[23] > 0.5f ? 0.21f : 0.78f);
    edited = session.AllParameters();
    bank = session.Chunk(0);
  }
  CHECK(edited != factory1);
  CHECK(edited != factory0);
  if (bank.size() < 16) return Fail(__FILE__, __LINE__, "no bank chunk");
  CHECK(std::memcmp(bank.data() + bank.size() - 8, "CurP", 4) == 0);
  CHECK_INT(ReadLE32(bank, bank.size() - 4), 1);

  const std::vector<uint8_t> old(bank.begin(), bank.end() - 8);
  auto withTrailer = [&old](const std::vector<uint8_t>& trailer) {
    std::vector<uint8_t> chunk = old;
    chunk.insert(chunk.end(), trailer.begin(), trailer.end());
    return chunk;
  };
  struct Row {
    const char* what;
    std::vector<uint8_t> chunk;
    int accepted;
    int program;  // selected afterwards
  };
  const Row rows[] = {
      {"as saved", bank, 1, 1},
      {"without trailer", old, 1, 0},
      {"other bytes after the bank", withTrailer({'x', 'y', 'z', 0, 1, 0, 0, 0}), 1, 0},
      {"program 63", withTrailer({'C', 'u', 'r', 'P', 63, 0, 0, 0}), 1, 63},
      {"program 64", withTrailer({'C', 'u', 'r', 'P', 64, 0, 0, 0}), 0, 0},
      {"program -1", withTrailer({'C', 'u', 'r', 'P', 0xFF, 0xFF, 0xFF, 0xFF}), 0, 0},
      {"number cut short", withTrailer({'C', 'u', 'r', 'P', 1, 0}), 0, 0},
      {"tag cut short", withTrailer({'C', 'u'}), 0, 0},
  };
  for (const Row& row : rows) {
    Instance fresh;
    fresh.Start();
    const VstIntPtr result = fresh.SetChunk(0, row.chunk);
    if (result != row.accepted) Fail(__FILE__, __LINE__, "%s: effSetChunk = %d", row.what, static_cast<int>(result));
    if (fresh.Dispatch(effGetProgram) != row.program) Fail(__FILE__, __LINE__, "%s: on another program", row.what);
    const bool loaded = row.accepted == 1;
    if ((fresh.String(effGetProgramNameIndexed, 1) == "My Pad") != loaded)
      Fail(__FILE__, __LINE__, "%s: program 1 is named \"%s\"", row.what, fresh.String(effGetProgramNameIndexed, 1).c_str());
    if (row.program == 1 && fresh.AllParameters() != edited)
      Fail(__FILE__, __LINE__, "%s: program 1 without its edited values", row.what);
    if (row.program == 0 && fresh.AllParameters() != factory0)
      Fail(__FILE__, __LINE__, "%s: program 0 without its values", row.what);
    // The host then restores the parameters it saved; program 0 must come through untouched.
    for (int i = 0; i < 60; ++i) fresh.Set(i, edited[static_cast<size_t>(i)]);
    if (row.program != 0) {
      fresh.Dispatch(effSetProgram, 0, 0);
      if (fresh.AllParameters() != factory0) Fail(__FILE__, __LINE__, "%s: program 0 was overwritten", row.what);
      if (fresh.String(effGetProgramName) != name0) Fail(__FILE__, __LINE__, "%s: program 0 renamed", row.what);
    }
  }
}

void TestChunkBadInput() {
  Instance plug;
  plug.Start();
  plug.Set(0, 0.3f);
  const std::vector<float> before = plug.AllParameters();
  uint8_t byte = 0;
  for (VstIntPtr size : {VstIntPtr(0), VstIntPtr(-1), VstIntPtr(-1000), VstIntPtr(INT32_MIN)}) {
    for (int index : {0, 1}) {
      const VstIntPtr result = plug.Dispatch(effSetChunk, index, size, &byte);
      if (result != 0) Fail(__FILE__, __LINE__, "size %lld index %d accepted", static_cast<long long>(size), index);
    }
  }
  CHECK(plug.AllParameters() == before);
  CHECK_INT(plug.Dispatch(effSetChunk, 0, 100, nullptr), 0);
  CHECK_INT(plug.Dispatch(effSetChunk, 1, 100, nullptr), 0);
  CHECK(plug.AllParameters() == before);

  // Garbage of any length: no crash, no value outside 0..1, and the plug-in keeps working.
  uint32_t seed = 12345;
  auto random = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
  const size_t lengths[] = {1, 3, 7, 8, 12, 100, 479, 480, 481, 600, 5000};
  for (size_t length : lengths) {
    for (int index : {0, 1}) {
      std::vector<uint8_t> garbage(length);
      for (uint8_t& b : garbage) b = static_cast<uint8_t>(random() >> 24);
      plug.SetChunk(index, garbage);
      if (length >= 8) {
        std::memcpy(garbage.data(), "tffp\0\0\1\0", 8);
        plug.SetChunk(index, garbage);
      }
    }
  }
  // Doubles that are NaN or infinite in an old-layout parameter block.
  std::vector<uint8_t> block(480, 0xFF);
  plug.SetChunk(1, block);
  for (float v : plug.AllParameters()) CHECK(std::isfinite(v) && v >= 0.0f && v <= 1.0f);
  std::vector<double> left, right;
  plug.RenderDouble(1024, left, right);
  CHECK(AllFinite(left) && AllFinite(right));
  CHECK(!plug.Chunk(0).empty());
  if (gClickModel) CHECK_NEAR(plug.Readings()[kReadNonFiniteApplied], 0.0, 0.0);
  // A bank header followed by nothing valid fails.
  std::vector<uint8_t> badBank = {'t', 'f', 'f', 'p', 0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F};
  CHECK_INT(plug.SetChunk(0, badBank), 0);
}

// A bank or program chunk cut short is refused and changes nothing: no parameter, no program name.
void TestTruncatedChunksChangeNothing() {
  std::vector<uint8_t> bank;
  std::vector<uint8_t> program;
  {
    Instance source;
    source.Start();
    for (int i = 0; i < 60; ++i) source.Set(i, static_cast<float>((i * 37) % 100) / 100.0f);
    char name[] = "Source Program";
    source.Dispatch(effSetProgramName, 0, 0, name);
    bank = source.Chunk(0);
    program = source.Chunk(1);
  }
  Instance plug;
  plug.Start();
  plug.Dispatch(effSetProgram, 0, 3);
  plug.Set(0, 0.3f);
  char kept[] = "Kept";
  plug.Dispatch(effSetProgramName, 0, 0, kept);
  auto names = [&plug]() {
    std::string all;
    for (int i = 0; i < 64; ++i) all += plug.String(effGetProgramNameIndexed, i) + "|";
    return all;
  };
  const std::vector<float> before = plug.AllParameters();
  const std::string namesBefore = names();
  struct Row {
    int index;
    const std::vector<uint8_t>* chunk;
    size_t length;
  };
  const Row rows[] = {
      {0, &bank, bank.size() - 1},    {0, &bank, bank.size() / 2}, {0, &bank, 8 + 4 + 14 + 1 + 200},
      {1, &program, 8 + 10 + 4 + 4}, {1, &program, 8 + 10 + 4 + 4 + 14 + 8 * 20 + 3},
      {1, &program, program.size() - (4 + 14) - 1},
  };
  for (const Row& row : rows) {
    const std::vector<uint8_t> cut(row.chunk->begin(), row.chunk->begin() + static_cast<long>(row.length));
    const VstIntPtr result = plug.SetChunk(row.index, cut);
    if (result != 0) Fail(__FILE__, __LINE__, "chunk %d cut to %zu bytes accepted", row.index, row.length);
    CHECK(plug.AllParameters() == before);
    CHECK(names() == namesBefore);
    CHECK_INT(plug.Dispatch(effGetProgram), 3);
  }
  // The whole chunks still load.
  CHECK_INT(plug.SetChunk(1, program), 1);
  CHECK_STR(plug.String(effGetProgramNameIndexed, 3), "Source Program");
  CHECK_INT(plug.SetChunk(0, bank), 1);
  CHECK(names() != namesBefore);
}

void TestQuirkHostChunks() {
  // A bank and a program chunk from an ordinary host, to hand to the quirk hosts.
  std::vector<uint8_t> bank;
  {
    Instance normal;
    normal.Start();
    normal.Dispatch(effSetProgram, 0, 2);
    char name[] = "From Bank";
    normal.Dispatch(effSetProgramName, 0, 0, name);
    normal.Set(3, 0.44f);
    normal.Dispatch(effSetProgram, 0, 0);
    bank = normal.Chunk(0);
  }
  struct Row {
    const char* vendor;
    bool quirk;
  };
  const Row rows[] = {{"native instruments", true}, {"Native Instruments", true}, {"NATIVE INSTRUMENTS", true},
                      {"JUCE VST Host", true},      {"juce vst host", true},      {"native instruments x", false},
                      {" native instruments", false}, {"Test Host Maker", false}, {"", false}};
  for (const Row& row : rows) {
    Instance plug;
    plug.host.vendor = row.vendor;
    plug.Start();
    char name[] = "Current";
    plug.Dispatch(effSetProgramName, 0, 0, name);
    const std::vector<uint8_t> asBank = plug.Chunk(0);
    const std::vector<uint8_t> asProgram = plug.Chunk(1);
    if ((asBank == asProgram) != row.quirk) Fail(__FILE__, __LINE__, "vendor \"%s\": bank chunk %s", row.vendor,
                                                 row.quirk ? "not the program chunk" : "is the program chunk");
    CHECK(plug.host.Count(audioMasterGetVendorString) <= 1);

    // Setting a program chunk at index 0 restores the program for a quirk host.
    const float saved = plug.Get(3);
    plug.Set(3, saved > 0.5f ? 0.1f : 0.9f);
    if (row.quirk) {
      CHECK_INT(plug.SetChunk(0, asProgram), 1);
      CHECK_NEAR(plug.Get(3), saved, 1e-6);
      // A whole bank handed over under the program call still loads as a bank.
      CHECK_INT(plug.SetChunk(0, bank), 1);
      CHECK_STR(plug.String(effGetProgramNameIndexed, 2), "From Bank");
      CHECK_INT(plug.SetChunk(1, bank), 1);
      CHECK_STR(plug.String(effGetProgramNameIndexed, 2), "From Bank");
    } else {
      CHECK_INT(plug.SetChunk(0, bank), 1);
      CHECK_STR(plug.String(effGetProgramNameIndexed, 2), "From Bank");
    }
  }
}

// ---------------------------------------------------------------- checks: pins, speakers, can-do

void TestPinProperties() {
  Instance plug;
  VstPinProperties pin;
  std::memset(&pin, 0x55, sizeof(pin));
  CHECK_INT(plug.Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  CHECK_INT(pin.flags, 3);
  CHECK_STR(pin.label, "Output 1");
  CHECK(std::memchr(pin.label, 0, 32) != nullptr);
  CHECK(static_cast<unsigned char>(pin.label[40]) == 0x55);
  CHECK_INT(plug.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  CHECK_INT(pin.flags, 1);
  CHECK_STR(pin.label, "Output 2");
  for (int bad : {2, -1, 64}) CHECK_INT(plug.Dispatch(effGetOutputProperties, bad, 0, &pin), 0);
  CHECK_INT(plug.Dispatch(effGetInputProperties, 0, 0, &pin), 0);
  CHECK_INT(plug.Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

void TestSpeakerArrangements() {
  Instance plug;
  plug.Start();
  VstSpeakerArrangement* input = nullptr;
  VstSpeakerArrangement* output = nullptr;
  CHECK_INT(plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
  CHECK(input && output);
  if (input && output) {
    CHECK_INT(input->type, -1);
    CHECK_INT(input->numChannels, 0);
    CHECK_INT(output->type, 1);
    CHECK_INT(output->numChannels, 2);
  }
  CHECK_INT(plug.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
  CHECK_INT(plug.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);

  // A mono output arrangement leaves the second host buffer alone.
  VstSpeakerArrangement mono;
  std::memset(&mono, 0, sizeof(mono));
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  CHECK_INT(plug.Dispatch(effSetSpeakerArrangement, 0, 0, &mono), 1);
  std::vector<float> left(256, 7.0f), right(256, 7.0f);
  float* outputs[2] = {left.data(), right.data()};
  plug.effect->processReplacing(plug.effect, nullptr, outputs, 256);
  CHECK(std::all_of(right.begin(), right.end(), [](float v) { return v == 7.0f; }));
  CHECK(std::none_of(left.begin(), left.end(), [](float v) { return v == 7.0f; }));
  // Channel counts beyond the plug-in's or negative ones are harmless.
  mono.numChannels = -5;
  CHECK_INT(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono), 1);
  mono.numChannels = 1000;
  CHECK_INT(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono), 1);
  double* doubles[2] = {nullptr, nullptr};
  plug.effect->processDoubleReplacing(plug.effect, nullptr, doubles, 256);
}

void TestCanDo() {
  Instance plug;
  struct Row {
    const char* text;
    uint32_t expected;
  };
  const Row rows[] = {{"receiveVstTimeInfo", 1},
                      {"sendVstEvents", 1},
                      {"sendVstMidiEvent", 1},
                      {"receiveVstEvents", 1},
                      {"receiveVstMidiEvent", 1},
                      {"hasCockosExtensions", 0xBEEF0000u},
                      {"hasCockosViewAsConfig", 0xBEEF0000u},
                      {"sendvstmidievent", 0},
                      {"sendVstMidiEventFlagIsRealtime", 0},
                      {"bypass", 0},
                      {"offline", 0},
                      {"", 0}};
  for (const Row& row : rows) {
    std::string text = row.text;
    const uint32_t result = static_cast<uint32_t>(plug.Dispatch(effCanDo, 0, 0, &text[0]));
    if (result != row.expected) Fail(__FILE__, __LINE__, "canDo \"%s\" = 0x%X, expected 0x%X", row.text, result,
                                     row.expected);
  }
  CHECK_INT(plug.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

void TestMidiKeyName() {
  Instance plug;
  MidiKeyName key;
  std::memset(&key, 0x55, sizeof(key));
  key.thisProgramIndex = 0;
  key.thisKeyNumber = 60;
  const VstIntPtr result = plug.Dispatch(effGetMidiKeyName, 0, 0, &key);
  CHECK(std::memchr(key.keyName, 0, sizeof(key.keyName)) != nullptr);
  if (gClickModel) {
    CHECK_INT(result, 1);
    CHECK_STR(key.keyName, "Key 60");
    key.thisKeyNumber = 200;
    CHECK_INT(plug.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    CHECK_STR(key.keyName, "");
  } else {
    CHECK(result == 0 || result == 1);
    if (result == 0) CHECK_STR(key.keyName, "");
  }
  CHECK_INT(plug.Dispatch(effGetMidiKeyName, 0, 0, nullptr), 0);
}

void TestEditorOpcodes() {
  Instance plug;
  plug.Start();
  const bool hasEditor = (plug.effect->flags & effFlagsHasEditor) != 0;
  if (gClickModel) CHECK(hasEditor);
  ERect* rect = nullptr;
  char parent[16] = {};
  if (hasEditor) {
    CHECK_INT(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    CHECK(rect != nullptr);
    if (rect) {
      CHECK_INT(rect->top, 0);
      CHECK_INT(rect->left, 0);
      CHECK_INT(rect->bottom, kTestEditorHeight);
      CHECK_INT(rect->right, kTestEditorWidth);
    }
    CHECK_INT(plug.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
    CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, nullptr), 0);
    if (gClickModel) {
      CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, parent), 1);
      CHECK_INT(plug.Dispatch(effEditIdle), 0);
      CHECK_INT(plug.Dispatch(effEditClose), 1);
      const std::vector<double> readings = plug.Readings();
      CHECK_NEAR(readings[kReadEditorOpened], 1.0, 0.0);
      CHECK_NEAR(readings[kReadEditorClosed], 1.0, 0.0);
      // Host changes reach the editor's controls.
      const double updates = readings[kReadEditorUpdates];
      plug.Set(3, 0.5f);
      char on[] = "on";
      plug.Dispatch(effString2Parameter, 5, 0, on);
      CHECK_NEAR(plug.Readings()[kReadEditorUpdates], updates + 2, 0.0);
    }
  } else {
    // An editor without a window layer: its size is known, but no window opens.
    CHECK_INT(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    CHECK(rect != nullptr);
    if (rect) {
      CHECK_INT(rect->right - rect->left, kFaceWidth);
      CHECK_INT(rect->bottom - rect->top, kFaceHeight);
    }
    CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, parent), 0);
  }
}

// ---------------------------------------------------------------- checks: events and processing

void TestProcessEventsArguments() {
  Instance plug;
  plug.Start();
  CHECK_INT(plug.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
  EventList empty;
  CHECK_INT(plug.Dispatch(effProcessEvents, 0, 0, empty.Build()), 1);
  EventList odd;
  VstEvent unknown = {};
  unknown.type = 2;
  unknown.byteSize = sizeof(VstEvent);
  odd.AddRaw(&unknown);
  odd.AddRaw(nullptr);
  VstMidiSysexEvent noDump;
  std::memset(&noDump, 0, sizeof(noDump));
  noDump.type = kVstSysExType;
  noDump.dumpBytes = 100;
  odd.AddRaw(reinterpret_cast<VstEvent*>(&noDump));
  odd.AddMidi(-50, 0x90, 60, 100);      // offsets before the block
  odd.AddMidi(1 << 30, 0x90, 61, 100);  // far after it
  odd.AddMidi(10, 0xF8, 0, 0);          // real-time byte
  CHECK_INT(plug.Dispatch(effProcessEvents, 0, 0, odd.Build()), 1);
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  CHECK(AllFinite(left) && AllFinite(right));
}

void TestProcessFrameCounts() {
  Instance plug;
  plug.Start();
  std::vector<float> left(64, 3.0f), right(64, 3.0f);
  float* outputs[2] = {left.data(), right.data()};
  std::vector<double> dleft(64, 3.0), dright(64, 3.0);
  double* doubles[2] = {dleft.data(), dright.data()};
  plug.host.ClearLog();
  for (VstInt32 frames : {0, -1, -256, INT32_MIN}) {
    plug.effect->processReplacing(plug.effect, nullptr, outputs, frames);
    plug.effect->process(plug.effect, nullptr, outputs, frames);
    plug.effect->processDoubleReplacing(plug.effect, nullptr, doubles, frames);
  }
  CHECK(std::all_of(left.begin(), left.end(), [](float v) { return v == 3.0f; }));
  CHECK(std::all_of(dright.begin(), dright.end(), [](double v) { return v == 3.0; }));
  CHECK_INT(plug.host.Count(audioMasterWantMidi), 0);
  // Null output arrays and null buffers are skipped.
  plug.effect->processReplacing(plug.effect, nullptr, nullptr, 64);
  plug.effect->processDoubleReplacing(plug.effect, nullptr, nullptr, 64);
  plug.effect->process(plug.effect, nullptr, nullptr, 64);
  float* oneFloat[2] = {left.data(), nullptr};
  plug.effect->processReplacing(plug.effect, nullptr, oneFloat, 64);
  double* oneDouble[2] = {nullptr, dright.data()};
  plug.effect->processDoubleReplacing(plug.effect, nullptr, oneDouble, 64);
  CHECK(AllFinite(left) && AllFinite(dright));
  // The host is asked for MIDI once per processed block.
  plug.host.ClearLog();
  std::vector<double> l, r;
  for (int i = 0; i < 5; ++i) plug.RenderDouble(128, l, r);
  std::vector<float> fl, fr;
  plug.RenderFloat(128, fl, fr);
  CHECK_INT(plug.host.Count(audioMasterWantMidi), 6);
}

void TestLongBlocksRenderInPieces() {
  Instance plug;
  plug.Start(44100.0f, 256);
  EventList events;
  events.AddMidi(700, 0x90, 60, 100);
  events.AddMidi(1500, 0x90, 64, 100);
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(2000, left, right);
  CHECK(AllFinite(left) && AllFinite(right));
  if (gClickModel) {
    CHECK_NEAR(left[700], 1.0, 0.0);
    CHECK_NEAR(left[1500], 1.0, 0.0);
    CHECK_NEAR(std::count(left.begin(), left.end(), 1.0), 2, 0);
    // Pieces of at most the block size, each starting with its readings.
    CHECK_NEAR(right[kReadPieceFrames], 256, 0.0);
    CHECK_NEAR(right[256 * 6 + kReadPieceFrames], 256, 0.0);
    CHECK_NEAR(right[256 * 7 + kReadPieceFrames], 2000 - 7 * 256, 0.0);
    CHECK_NEAR(right[256 * 7 + kReadMaxPieceFrames], 256, 0.0);
  }
  std::vector<float> fl, fr;
  plug.RenderFloat(3000, fl, fr);
  CHECK(AllFinite(fl) && AllFinite(fr));
  if (gClickModel) CHECK_NEAR(plug.Readings()[kReadMaxPieceFrames], 256, 0.0);
}

void TestRateAndBlockChanges() {
  Instance plug;
  plug.Start(44100.0f, 256);
  std::vector<double> left, right;
  struct Row {
    float rate;
    VstIntPtr block;
    double expectRate;   // rate the plug-in then works at
    double expectBlock;  // block size it then works with
  };
  const Row rows[] = {
      {48000.0f, 64, 48000, 64},    {96000.0f, 512, 96000, 512},   {22050.0f, 1, 22050, 1},
      {NAN, 128, 22050, 128},       {-44100.0f, 128, 22050, 128},  {0.0f, 128, 22050, 128},
      {INFINITY, 128, 22050, 128},  {500.0f, 0, 500, 128},         {44100.0f, -5, 44100, 128},
      {1e12f, 1 << 30, 44100, 65536}, {192000.0f, 4096, 192000, 4096},
  };
  for (const Row& row : rows) {
    plug.Dispatch(effSetSampleRate, 0, 0, nullptr, row.rate);
    plug.Dispatch(effSetBlockSize, 0, row.block);
    EventList events;
    events.AddMidi(5, 0x90, 60, 100);
    plug.Send(events);
    plug.RenderDouble(1000, left, right);
    if (!AllFinite(left) || !AllFinite(right)) Fail(__FILE__, __LINE__, "rate %g block %lld: non-finite output",
                                                    row.rate, static_cast<long long>(row.block));
    if (gClickModel && row.expectBlock >= kReadingCount) {  // smaller pieces carry no readings
      const std::vector<double> readings = plug.Readings();
      if (readings[kReadSampleRate] != row.expectRate || readings[kReadBlockSize] != row.expectBlock)
        Fail(__FILE__, __LINE__, "rate %g block %lld: plug-in works at %g with %g", row.rate,
             static_cast<long long>(row.block), readings[kReadSampleRate], readings[kReadBlockSize]);
    }
  }
  plug.Dispatch(effMainsChanged, 0, 0);
  plug.RenderDouble(300, left, right);
  CHECK(AllFinite(left) && AllFinite(right));
  if (gClickModel) CHECK_NEAR(plug.Readings()[kReadActivations], 1, 0.0);
}

void TestFloatPathsMatchDouble() {
  // Three instances fed the same: replacing equals the double path converted to float, and
  // accumulating adds exactly that to what the host buffer held.
  Instance a, b, c;
  for (Instance* plug : {&a, &b, &c}) {
    plug->Start();
    EventList events;
    events.AddMidi(3, 0x90, 57, 100);
    events.AddMidi(100, 0x90, 64, 90);
    plug->Send(events);
  }
  bool replacingMatches = true;
  bool accumulatingMatches = true;
  for (int block = 0; block < 8; ++block) {
    std::vector<double> dl, dr;
    a.RenderDouble(300, dl, dr);
    std::vector<float> fl, fr;
    b.RenderFloat(300, fl, fr);
    std::vector<float> al(300, 0.25f), ar(300, -0.5f);
    c.RenderFloat(300, al, ar, true);
    for (size_t i = 0; i < 300; ++i) {
      if (fl[i] != static_cast<float>(dl[i]) || fr[i] != static_cast<float>(dr[i])) replacingMatches = false;
      if (al[i] != 0.25f + fl[i] || ar[i] != -0.5f + fr[i]) accumulatingMatches = false;
    }
  }
  CHECK(replacingMatches);
  CHECK(accumulatingMatches);
}

// ---------------------------------------------------------------- checks: host identification

void TestHostQuestionsAskedOnce() {
  {
    Instance plug;
    plug.host.product = "";
    plug.Start();
    plug.Dispatch(effOpen);
    std::vector<double> l, r;
    plug.RenderDouble(512, l, r);
    CHECK(plug.host.Count(audioMasterGetProductString) <= 1);
    CHECK_INT(plug.host.Count(audioMasterGetVendorVersion), 0);
    if (gClickModel) {
      const std::vector<double> readings = plug.Readings();
      CHECK_NEAR(readings[kReadHostCode], 0, 0.0);
      CHECK_NEAR(readings[kReadHostVersion], 0, 0.0);
    }
  }
  {
    Instance plug;
    plug.host.product = "REAPER";
    plug.host.vendorVersion = 20503;
    plug.Start();
    plug.Dispatch(effOpen);
    std::vector<double> l, r;
    for (int i = 0; i < 3; ++i) plug.RenderDouble(512, l, r);
    CHECK_INT(plug.host.Count(audioMasterGetProductString), 1);
    CHECK_INT(plug.host.Count(audioMasterGetVendorVersion), 1);
    if (gClickModel) {
      const std::vector<double> readings = plug.Readings();
      CHECK_NEAR(readings[kReadHostCode], 1, 0.0);
      CHECK_NEAR(readings[kReadHostVersion], 132355, 0.0);
    }
  }
}

void TestHostCodes() {
  struct Row {
    const char* product;
    int code;
  };
  const Row rows[] = {
      {"Cubase", 3},          {"reaper", 1},           {"REAPER", 1},          {"Nuendo", 4},
      {"SONAR by Cakewalk", 5}, {"Samplitude", 8},     {"Fruity Wrapper", 7},  {"Ableton Live", 9},
      {"Melodyne", 12},       {"VstManLib", 13},       {"AULab", 14},          {"GarageBand", 22},
      {"Forte", 15},          {"Chainer", 16},         {"Adobe Audition", 17}, {"Orion", 18},
      {"SAWStudio", 20},      {"Logic", 21},           {"Digital Performer", 23}, {"AudioMulch", 25},
      {"PreSonus Studio One", 26}, {"VST3PluginTestHost", 27}, {"ProTools", 2}, {"Ardour", 28},
      {"OpenMPT", 30},        {"Renoise", 29},         {"Standalone", 24},     {"Steinberg Cubase 12", 3},
      {"cubase live", 3},     {"Live 11", 9},          {"Unknown DAW", 0},
  };
  for (const Row& row : rows) {
    Instance plug;
    plug.host.product = row.product;
    plug.host.vendorVersion = 10203;
    plug.Start();
    const std::vector<double> readings = plug.Readings();
    if (readings[kReadHostCode] != row.code)
      Fail(__FILE__, __LINE__, "product \"%s\" gave host code %g, expected %d", row.product, readings[kReadHostCode],
           row.code);
    CHECK_NEAR(readings[kReadHostVersion], 1 * 65536 + 2 * 256 + 3, 0.0);
  }
  // Host code 15 rewires channels beyond the second: nothing changes for this plug-in.
  Instance forte;
  forte.host.product = "Forte";
  forte.Start();
  std::vector<double> l, r;
  forte.RenderDouble(256, l, r);
  CHECK_INT(forte.effect->numOutputs, 2);
  CHECK(AllFinite(l) && AllFinite(r));
}

// ---------------------------------------------------------------- checks: time and host-side operations

void TestTimeQueries() {
  Instance plug;
  plug.Start();
  VstTimeInfo& time = plug.host.time;
  time.samplePos = 1234.6;
  time.sampleRate = 44100;
  time.ppqPos = 8.5;
  time.tempo = 133.0;
  time.barStartPos = 8.0;
  time.cycleStartPos = 4.0;
  time.cycleEndPos = 12.0;
  time.timeSigNumerator = 3;
  time.timeSigDenominator = 8;
  time.flags = kVstTransportPlaying | kVstTransportCycleActive | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
               kVstCyclePosValid | kVstTimeSigValid;
  std::vector<double> readings = plug.Readings();
  CHECK_NEAR(readings[kReadTempo], 133.0, 0.0);
  CHECK_NEAR(readings[kReadSamplePosition], 1235, 0.0);
  CHECK_NEAR(readings[kReadTimeSigNumerator], 3, 0.0);
  CHECK_NEAR(readings[kReadTimeSigDenominator], 8, 0.0);
  CHECK_NEAR(readings[kReadInfoTempo], 133.0, 0.0);
  CHECK_NEAR(readings[kReadInfoSamplePosition], 1234.6, 0.0);
  CHECK_NEAR(readings[kReadInfoQuarterNote], 8.5, 0.0);
  CHECK_NEAR(readings[kReadInfoLastBar], 8.0, 0.0);
  CHECK_NEAR(readings[kReadInfoCycleStart], 4.0, 0.0);
  CHECK_NEAR(readings[kReadInfoCycleEnd], 12.0, 0.0);
  CHECK_NEAR(readings[kReadInfoNumerator], 3, 0.0);
  CHECK_NEAR(readings[kReadInfoDenominator], 8, 0.0);
  CHECK_NEAR(readings[kReadInfoRunning], 1, 0.0);
  CHECK_NEAR(readings[kReadInfoCycleActive], 1, 0.0);

  // Only the flagged values count; the rest keep the defaults (tempo 120, positions -1, 4/4).
  time.flags = kVstTempoValid;
  time.tempo = -5.0;
  readings = plug.Readings();
  CHECK_NEAR(readings[kReadTempo], 0.0, 0.0);
  CHECK_NEAR(readings[kReadInfoTempo], 120.0, 0.0);
  CHECK_NEAR(readings[kReadTimeSigNumerator], 0, 0.0);
  CHECK_NEAR(readings[kReadInfoQuarterNote], -1.0, 0.0);
  CHECK_NEAR(readings[kReadInfoNumerator], 4, 0.0);
  CHECK_NEAR(readings[kReadInfoRunning], 0, 0.0);

  time.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
  time.tempo = NAN;
  time.samplePos = NAN;
  time.ppqPos = INFINITY;
  time.timeSigNumerator = 0;
  readings = plug.Readings();
  CHECK_NEAR(readings[kReadTempo], 0.0, 0.0);
  CHECK_NEAR(readings[kReadInfoTempo], 120.0, 0.0);
  CHECK_NEAR(readings[kReadSamplePosition], 0, 0.0);
  CHECK_NEAR(readings[kReadInfoSamplePosition], -1.0, 0.0);
  CHECK_NEAR(readings[kReadInfoQuarterNote], -1.0, 0.0);
  CHECK_NEAR(readings[kReadInfoNumerator], 4, 0.0);
  CHECK_NEAR(readings[kReadTimeSigNumerator], 0, 0.0);
  CHECK_NEAR(readings[kReadTimeSigDenominator], 8, 0.0);

  time.flags = kVstTempoValid;
  time.tempo = 90.0;
  time.samplePos = 1e300;
  readings = plug.Readings();
  CHECK_NEAR(readings[kReadTempo], 90.0, 0.0);
  CHECK(readings[kReadSamplePosition] > 1e18);

  // No answer at all: zeros from the single queries, defaults in the transport record.
  plug.host.answerTime = false;
  readings = plug.Readings();
  CHECK_NEAR(readings[kReadTempo], 0.0, 0.0);
  CHECK_NEAR(readings[kReadSamplePosition], 0.0, 0.0);
  CHECK_NEAR(readings[kReadTimeSigNumerator], 0, 0.0);
  CHECK_NEAR(readings[kReadTimeSigDenominator], 0, 0.0);
  CHECK_NEAR(readings[kReadInfoTempo], 120.0, 0.0);
  CHECK_NEAR(readings[kReadInfoSamplePosition], -1.0, 0.0);

  CHECK_NEAR(readings[kReadOffline], 0, 0.0);
  plug.host.processLevel = 4;
  CHECK_NEAR(plug.Readings()[kReadOffline], 1, 0.0);
}

void TestHostSideOperations() {
  Instance plug;
  plug.Start();
  plug.host.ClearLog();
  EventList events;
  events.AddMidi(70, 0x90, 60, 100);
  events.AddMidi(80, 0x90, 62, 0);
  events.AddMidi(90, 0xB0, kCcAutomate, 127);
  events.AddSysEx(12, {0xF0, 0x7D, 0x01, 0x02, 0xF7});
  plug.Send(events);
  // MIDI thru with the offsets and bytes as they came.
  CHECK_INT(plug.host.midiOut.size(), 3);
  if (plug.host.midiOut.size() == 3) {
    const VstMidiEvent& first = plug.host.midiOut[0];
    CHECK_INT(first.type, 1);
    CHECK_INT(first.byteSize, 32);
    CHECK_INT(first.deltaFrames, 70);
    CHECK_INT(first.flags, 0);
    CHECK_INT(static_cast<uint8_t>(first.midiData[0]), 0x90);
    CHECK_INT(static_cast<uint8_t>(first.midiData[1]), 60);
    CHECK_INT(static_cast<uint8_t>(first.midiData[2]), 100);
    CHECK_INT(first.midiData[3], 0);
    CHECK_INT(plug.host.midiOut[1].deltaFrames, 80);
    CHECK_INT(static_cast<uint8_t>(plug.host.midiOut[1].midiData[2]), 0);
  }
  CHECK_INT(plug.host.sysexOut.size(), 1);
  if (plug.host.sysexOut.size() == 1) {
    CHECK((plug.host.sysexOut[0] == std::vector<uint8_t>{0xF0, 0x7D, 0x01, 0x02, 0xF7}));
    CHECK_INT(plug.host.sysexByteSizes[0], sizeof(VstMidiSysexEvent));
  }
  // The edit gesture: begin, automate with the normalized value, end, in that order, told on the
  // host's user-interface thread when it next calls effEditIdle.
  CHECK_INT(plug.host.automation.size(), 0);
  plug.Dispatch(effEditIdle);
  std::vector<VstInt32> gesture;
  for (VstInt32 opcode : plug.host.calls) {
    if (opcode == audioMasterBeginEdit || opcode == audioMasterAutomate || opcode == audioMasterEndEdit)
      gesture.push_back(opcode);
  }
  CHECK((gesture == std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
  CHECK_INT(plug.host.automation.size(), 1);
  if (!plug.host.automation.empty()) {
    CHECK_INT(plug.host.automation[0].first, 0);
    CHECK_NEAR(plug.host.automation[0].second, 1.0, 0.0);
  }
  CHECK_NEAR(plug.Get(0), 1.0, 0.0);

  // A program change selects the program and tells the host; latency reaches the descriptor.
  EventList more;
  more.AddMidi(0, 0xC0, 5, 0);
  more.AddMidi(0, 0xB0, kCcLatency, 12);
  plug.Send(more);
  CHECK_INT(plug.Dispatch(effGetProgram), 5);
  plug.Dispatch(effEditIdle);
  CHECK_INT(plug.host.Count(audioMasterUpdateDisplay), 1);
  CHECK_INT(plug.effect->initialDelay, 12);

  // The click sounds at the note's offset; the zero-velocity note-on sounds nothing.
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  CHECK_NEAR(left[70], 1.0, 0.0);
  CHECK_NEAR(std::count(left.begin(), left.end(), 1.0), 1, 0);
}

void TestClickTiming() {
  Instance plug;
  plug.Start(44100.0f, 256);
  EventList events;
  events.AddMidi(0, 0x90, 60, 100);
  events.AddMidi(70, 0x90, 62, 100);
  events.AddMidi(255, 0x90, 64, 100);
  events.AddMidi(300, 0x90, 65, 100);  // beyond the block: the next block at 44
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  for (int i = 0; i < 256; ++i) {
    const double expected = (i == 0 || i == 70 || i == 255) ? 1.0 : 0.0;
    if (left[static_cast<size_t>(i)] != expected)
      Fail(__FILE__, __LINE__, "sample %d = %g, expected %g", i, left[static_cast<size_t>(i)], expected);
  }
  plug.RenderDouble(256, left, right);
  CHECK_NEAR(left[44], 1.0, 0.0);
  CHECK_NEAR(std::count(left.begin(), left.end(), 1.0), 1, 0);
  std::vector<float> fl, fr;
  EventList again;
  again.AddMidi(70, 0x90, 60, 100);
  plug.Send(again);
  plug.RenderFloat(256, fl, fr);
  CHECK_NEAR(fl[70], 1.0, 0.0);
  CHECK_NEAR(fl[69], 0.0, 0.0);
}

void TestSarnNoteAtOffset() {
  // A note at offset 70 of the first 256-sample block at 44.1 kHz: silent before sample 70, sounding
  // from it. The synthesizer section alone, fastest attack, so the note is heard at once (the string
  // section reaches the output only through the chorus delay lines).
  Instance plug;
  plug.Start(44100.0f, 256);
  plug.Set(15, 1.0f);   // Synth: 8'
  plug.Set(10, 0.0f);   // Mix String/Synth: synthesizer only
  plug.Set(25, 0.0f);   // Synth: Attack
  plug.Set(23, 1.0f);   // VCF Cutoff open
  plug.Set(39, 0.0f);   // Delay: Mix dry
  EventList events;
  events.AddMidi(70, 0x90, 60, 100);
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  int first = -1;
  for (int i = 0; i < 256 && first < 0; ++i) {
    if (left[static_cast<size_t>(i)] != 0.0 || right[static_cast<size_t>(i)] != 0.0) first = i;
  }
  CHECK_INT(first, 70);
  double peak = 0.0;
  for (int block = 0; block < 40; ++block) {
    for (size_t i = 0; i < left.size(); ++i) peak = std::max(peak, std::fabs(left[i]) + std::fabs(right[i]));
    CHECK(AllFinite(left) && AllFinite(right));
    plug.RenderDouble(256, left, right);
  }
  CHECK(peak > 1e-3);
}

void TestSarnSilenceWithoutNotes() {
  Instance plug;
  plug.Start(44100.0f, 256);
  std::vector<double> left, right;
  bool silent = true;
  for (int block = 0; block < 20; ++block) {
    plug.RenderDouble(256, left, right);
    for (size_t i = 0; i < left.size(); ++i) silent = silent && left[i] == 0.0 && right[i] == 0.0;
  }
  CHECK(silent);
}

// ---------------------------------------------------------------- checks: threads

void TestParallelInstances() {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 6;
  std::atomic<int> created(0);
  std::atomic<int> bad(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &created, &bad]() {
      for (int n = 0; n < kPerThread; ++n) {
        Instance plug((t + n) % 2 == 1);
        if (!plug.effect) {
          ++bad;
          continue;
        }
        ++created;
        plug.Start();
        EventList events;
        events.AddMidi(n, 0x90, 48 + t, 100);
        plug.Send(events);
        std::vector<double> left, right;
        for (int b = 0; b < 3; ++b) plug.RenderDouble(256, left, right);
        if (!AllFinite(left) || !AllFinite(right)) ++bad;
        if (plug.Chunk(0).empty()) ++bad;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  CHECK_INT(created.load(), kThreads * kPerThread);
  CHECK_INT(bad.load(), 0);
}

void TestConcurrentCallsOnOneInstance() {
  // The audio thread renders while the user-interface thread changes parameters, programs and state.
  Instance plug;
  plug.Start();
  const std::vector<uint8_t> bank = plug.Chunk(0);
  std::atomic<bool> finite(true);
  std::thread audio([&plug, &finite]() {
    std::vector<double> left, right;
    for (int b = 0; b < 150; ++b) {
      EventList events;
      events.AddMidi(b % 200, 0x90, 40 + b % 40, 100);
      events.AddMidi((b * 7) % 200, 0x80, 40 + (b + 20) % 40, 0);
      plug.Send(events);
      plug.RenderDouble(256, left, right);
      if (!AllFinite(left) || !AllFinite(right)) finite = false;
    }
  });
  for (int i = 0; i < 150; ++i) {
    plug.Set(i % 60, static_cast<float>(i % 11) / 10.0f);
    plug.Get((i * 7) % 60);
    if (i % 10 == 0) plug.Dispatch(effSetProgram, 0, i % 64);
    if (i % 25 == 0) plug.SetChunk(0, bank);
    if (i % 15 == 0) plug.Chunk(1);
    plug.String(effGetParamDisplay, i % 60);
  }
  audio.join();
  CHECK(finite.load());
}

// ---------------------------------------------------------------- render and compare

// A fixed MIDI sequence over 24 blocks of 256 samples at 44.1 kHz.
void FixedSequence(Instance& plug, int block, EventList& events) {
  const int keys[] = {48, 55, 60, 64, 67, 36, 72};
  if (block % 4 == 0) events.AddMidi(17 + block, 0x90, keys[(block / 4) % 7], 100);
  if (block % 4 == 2) events.AddMidi(5 * block, 0x80, keys[(block / 4) % 7], 0);
  if (block == 6) events.AddMidi(100, 0xB0, 1, 90);
  if (block == 10) events.AddMidi(3, 0xB0, 64, 127);
  if (block == 18) events.AddMidi(200, 0xB0, 64, 0);
  if (block == 12) plug.Set(15, 1.0f);
  if (block == 14) plug.Set(39, 0.4f);
}

constexpr int kRenderBlocks = 24;
constexpr int kRenderBlock = 256;

bool WriteRender(const char* path) {
  Instance doublePath;
  Instance floatPath;
  if (!doublePath.effect || !floatPath.effect) return false;
  doublePath.Start(44100.0f, kRenderBlock);
  floatPath.Start(44100.0f, kRenderBlock);
  std::vector<double> samples;
  std::vector<float> floats;
  for (int block = 0; block < kRenderBlocks; ++block) {
    for (Instance* plug : {&doublePath, &floatPath}) {
      EventList events;
      FixedSequence(*plug, block, events);
      plug->Send(events);
    }
    std::vector<double> left, right;
    doublePath.RenderDouble(kRenderBlock, left, right);
    std::vector<float> fl, fr;
    floatPath.RenderFloat(kRenderBlock, fl, fr);
    for (int i = 0; i < kRenderBlock; ++i) {
      samples.push_back(left[static_cast<size_t>(i)]);
      samples.push_back(right[static_cast<size_t>(i)]);
      floats.push_back(fl[static_cast<size_t>(i)]);
      floats.push_back(fr[static_cast<size_t>(i)]);
    }
  }
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool ok = std::fwrite(samples.data(), sizeof(double), samples.size(), file) == samples.size() &&
                  std::fwrite(floats.data(), sizeof(float), floats.size(), file) == floats.size();
  return std::fclose(file) == 0 && ok;
}

struct Render {
  std::vector<double> samples;
  std::vector<float> floats;
};

bool ReadRender(const char* path, Render& render) {
  const size_t count = static_cast<size_t>(kRenderBlocks) * kRenderBlock * 2;
  render.samples.assign(count, 0.0);
  render.floats.assign(count, 0.0f);
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  const bool ok = std::fread(render.samples.data(), sizeof(double), count, file) == count &&
                  std::fread(render.floats.data(), sizeof(float), count, file) == count && std::fgetc(file) == EOF;
  std::fclose(file);
  return ok;
}

int CompareRenders(int count, char** paths) {
  std::vector<Render> renders(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (!ReadRender(paths[i], renders[static_cast<size_t>(i)])) {
      std::printf("cannot read render %s\n", paths[i]);
      std::printf("0 passed, 1 failed\n");
      return 1;
    }
  }
  double peak = 0.0;
  for (double v : renders[0].samples) peak = std::max(peak, std::fabs(v));
  if (!AllFinite(renders[0].samples) || !AllFinite(renders[0].floats)) peak = 0.0;
  std::printf("reference %s: peak %.6g\n", paths[0], peak);
  int passed = 0;
  int failed = 0;
  if (peak > 0.0) {
    ++passed;
  } else {
    std::printf("FAIL the reference render is silent\n");
    ++failed;
  }
  for (int i = 1; i < count; ++i) {
    double maxDouble = 0.0;
    double maxFloat = 0.0;
    const Render& a = renders[0];
    const Render& b = renders[static_cast<size_t>(i)];
    // Doubles may differ only by rounding in the last bits; floats by at most one float rounding step.
    bool floatsClose = true;
    for (size_t s = 0; s < a.samples.size(); ++s) {
      maxDouble = std::max(maxDouble, std::fabs(a.samples[s] - b.samples[s]));
      const double floatDifference = std::fabs(static_cast<double>(a.floats[s]) - static_cast<double>(b.floats[s]));
      maxFloat = std::max(maxFloat, floatDifference);
      const double scale = std::max(std::fabs(static_cast<double>(a.floats[s])), std::fabs(static_cast<double>(b.floats[s])));
      if (floatDifference > scale * FLT_EPSILON) floatsClose = false;
    }
    const bool identical = std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(double)) == 0 &&
                           std::memcmp(a.floats.data(), b.floats.data(), a.floats.size() * sizeof(float)) == 0;
    const bool finite = AllFinite(b.samples) && AllFinite(b.floats);
    const bool ok = finite && maxDouble <= 1e-12 && floatsClose;
    std::printf("%s %s: %s, largest difference %.3g (double), %.3g (float)\n", ok ? "ok" : "FAIL", paths[i],
                identical ? "bit-identical" : "differs", maxDouble, maxFloat);
    (ok ? passed : failed)++;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}

// ---------------------------------------------------------------- main

struct TestCase {
  const char* name;
  void (*run)();
  bool clickOnly;
  bool sarnOnly;
};

const TestCase kTests[] = {
    {"EntryPoints", TestEntryPoints, false, false},
    {"NullHostCallback", TestNullHostCallback, false, false},
    {"SimpleOpcodes", TestSimpleOpcodes, false, false},
    {"IdentityStrings", TestIdentityStrings, false, false},
    {"ParameterStrings", TestParameterStrings, false, false},
    {"ParameterDisplayDefaults", TestParameterDisplayDefaults, true, false},
    {"SetAndGetParameter", TestSetAndGetParameter, false, false},
    {"String2Parameter", TestString2Parameter, false, false},
    {"VendorSpecific", TestVendorSpecific, false, false},
    {"Programs", TestPrograms, false, false},
    {"ChunkLayout", TestChunkLayout, false, false},
    {"ChunkRoundTrips", TestChunkRoundTrips, false, false},
    {"BankChunkReopensOnItsProgram", TestBankChunkReopensOnItsProgram, false, false},
    {"ChunkBadInput", TestChunkBadInput, false, false},
    {"TruncatedChunksChangeNothing", TestTruncatedChunksChangeNothing, false, false},
    {"QuirkHostChunks", TestQuirkHostChunks, false, false},
    {"PinProperties", TestPinProperties, false, false},
    {"SpeakerArrangements", TestSpeakerArrangements, false, false},
    {"CanDo", TestCanDo, false, false},
    {"MidiKeyName", TestMidiKeyName, false, false},
    {"EditorOpcodes", TestEditorOpcodes, false, false},
    {"ProcessEventsArguments", TestProcessEventsArguments, false, false},
    {"ProcessFrameCounts", TestProcessFrameCounts, false, false},
    {"LongBlocksRenderInPieces", TestLongBlocksRenderInPieces, false, false},
    {"RateAndBlockChanges", TestRateAndBlockChanges, false, false},
    {"FloatPathsMatchDouble", TestFloatPathsMatchDouble, false, false},
    {"HostQuestionsAskedOnce", TestHostQuestionsAskedOnce, false, false},
    {"HostCodes", TestHostCodes, true, false},
    {"TimeQueries", TestTimeQueries, true, false},
    {"HostSideOperations", TestHostSideOperations, true, false},
    {"ClickTiming", TestClickTiming, true, false},
    {"SarnNoteAtOffset", TestSarnNoteAtOffset, false, true},
    {"SarnSilenceWithoutNotes", TestSarnSilenceWithoutNotes, false, true},
    {"ParallelInstances", TestParallelInstances, false, false},
    {"ConcurrentCallsOnOneInstance", TestConcurrentCallsOnOneInstance, false, false},
};

int Usage() {
  std::printf("usage: vst_test_host <module> --model click|sarn\n"
              "       vst_test_host <module> --render <file>\n"
              "       vst_test_host --compare <file> <file> [<file>]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc >= 4 && std::strcmp(argv[1], "--compare") == 0) return CompareRenders(argc - 2, argv + 2);
  if (argc != 4) return Usage();
  if (!gModule.Load(argv[1])) {
    std::printf("cannot load %s or find VSTPluginMain\n0 passed, 1 failed\n", argv[1]);
    return 1;
  }
  if (std::strcmp(argv[2], "--render") == 0) {
    const bool ok = WriteRender(argv[3]);
    std::printf("%s\n%d passed, %d failed\n", ok ? "render written" : "render failed", ok ? 1 : 0, ok ? 0 : 1);
    return ok ? 0 : 1;
  }
  if (std::strcmp(argv[2], "--model") != 0) return Usage();
  gClickModel = std::strcmp(argv[3], "click") == 0;
  if (!gClickModel && std::strcmp(argv[3], "sarn") != 0) return Usage();

  int passed = 0;
  int failed = 0;
  for (const TestCase& test : kTests) {
    if ((test.clickOnly && !gClickModel) || (test.sarnOnly && gClickModel)) continue;
    gCaseName = test.name;
    gCaseFailures = 0;
    test.run();
    std::printf("%s %s\n", gCaseFailures ? "FAILED" : "ok    ", test.name);
    (gCaseFailures ? failed : passed)++;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
