// The host side of the VST2 test host: loads a module only through its exported entry points, makes
// instances the way a host does, answers their callbacks and records what they asked. The checks in
// this folder use it from the host's side; the same code builds for Linux and, with mingw, for
// Windows (run under Wine).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "plugin/vst2/VstInterface.h"

using EntryProc = AEffect*(VST_CALLBACK*)(VstHostCallback);

// The module under test, loaded once by main before any check runs.
struct Module {
  EntryProc vstMain = nullptr;
  EntryProc legacyMain = nullptr;

  bool Load(const char* path);
};

Module& TestModule();
// True for the test plug-in (tests/vst/TestSynth.cpp), whose output carries its readings; false for
// the instrument.
bool ClickModel();
void SetClickModel(bool click);

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

  int Count(VstInt32 opcode);
  void ClearLog();
};

VstIntPtr VST_CALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt);

// A MIDI event list as a host builds it: the header followed by as many pointers as events.
class EventList {
 public:
  void AddMidi(int offset, int status, int data1, int data2);
  void AddSysEx(int offset, std::vector<uint8_t> bytes);
  void AddRaw(VstEvent* event) { mOrder.push_back(event); }
  VstEvents* Build();

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
  explicit Instance(bool useLegacyMain = false, VstHostCallback callback = HostCallback);
  ~Instance() { Close(); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void Close();
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  // What a host does before playing: open, rate, block size, processing on.
  void Start(float rate = 44100.0f, int blockSize = 256);
  std::string String(VstInt32 opcode, VstInt32 index = 0);
  void Send(EventList& events) { Dispatch(effProcessEvents, 0, 0, events.Build()); }

  void RenderDouble(int frames, std::vector<double>& left, std::vector<double>& right);
  void RenderFloat(int frames, std::vector<float>& left, std::vector<float>& right, bool accumulate = false);
  // The test plug-in's readings of one rendered block.
  std::vector<double> Readings(int frames = 256);

  float Get(int index) { return effect->getParameter(effect, index); }
  void Set(int index, float value) { effect->setParameter(effect, index, value); }
  std::vector<uint8_t> Chunk(int index);
  VstIntPtr SetChunk(int index, std::vector<uint8_t> bytes);
  std::vector<float> AllParameters();

  HostState host;
  AEffect* effect = nullptr;
};

template <typename Sample>
bool AllFinite(const std::vector<Sample>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](Sample v) { return std::isfinite(v); });
}

int32_t ReadLE32(const std::vector<uint8_t>& bytes, size_t at);

// Buffer of 256 bytes preset to a marker, for checking how far the plug-in writes.
struct GuardedText {
  static constexpr unsigned char kMarker = 0x55;
  unsigned char bytes[256];
  GuardedText() { std::memset(bytes, kMarker, sizeof(bytes)); }
  char* ptr() { return reinterpret_cast<char*>(bytes); }
  bool Untouched() const;
  // True when a terminator lies within the first `limit` bytes and nothing after it was written.
  bool WithinLimit(int limit) const;
};
