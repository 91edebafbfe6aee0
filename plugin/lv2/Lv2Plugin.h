// The LV2 binding of the instrument: one plug-in instance, created as the VST2 entry point creates it
// and driven through its AEffect exactly as a VST2 host drives it (MIDI events with their frame offsets
// through effProcessEvents, then processReplacing), so that both formats give the same samples. This
// object is the instance's host: it answers the time query from the host's time:Position, and keeps
// the editor's edits for the UI, which passes them to the LV2 host.
//
// Threads: Run on the host's audio thread; Save and Restore on a thread the host keeps apart from Run
// (the plug-in lock serialises them anyway); the UI's calls on the host's GUI thread. Control ports
// are read only in Run.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "plugin/lv2/EditGestures.h"
#include "plugin/vst2/VstInterface.h"

class IPlugVST;

class Lv2Plugin {
 public:
  // Largest run rendered in one piece when the host names no maximum block length.
  static constexpr int kDefaultBlockSize = 1024;
  // MIDI events taken from one run; more are dropped.
  static constexpr int kMaxEvents = 2048;

  // Null when the host lacks urid:map or the instance cannot be created.
  static Lv2Plugin* Create(double sampleRate, const LV2_Feature* const* features);
  ~Lv2Plugin();
  Lv2Plugin(const Lv2Plugin&) = delete;
  Lv2Plugin& operator=(const Lv2Plugin&) = delete;

  void ConnectPort(uint32_t port, void* data);
  void Activate();
  void Deactivate();
  void Run(uint32_t frames);

  // The bank chunk of the VST2 module (all programs, names) and the current program's number.
  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  // The bank and program when given (a session), or only the program (a preset). Everything is
  // checked before anything changes: a state that cannot be restored whole changes nothing.
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  AEffect* Effect() const { return mEffect; }
  IPlugVST* Plug() const;
  int ParameterCount() const { return mParameterCount; }
  // Every parameter's plain value as a port holds it, read under the plug-in lock (out holds
  // ParameterCount() values).
  void ReadParameterValues(float* out) const;
  EditGestures& Gestures() { return mGestures; }
  // True once after the editor asked its host for a new window size (a new display scale).
  bool TakeWindowResized() { return std::exchange(mWindowResized, false); }
  // Whether the next run will take this port value (it differs from the value last seen on the port
  // and from the parameter's), so that the UI shows a host change as soon as the host makes it.
  bool WillTake(int index, float portValue) const;

 private:
  struct PendingMidi {
    uint32_t frame;
    uint8_t bytes[3];
  };

  Lv2Plugin(AEffect* effect, LV2_URID_Map* map, double sampleRate, int blockSize);
  static VstIntPtr VST_CALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                             void* ptr, float opt);
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, void* ptr);
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  void ApplyControlPorts();
  // Position changes are taken before the run is rendered; MIDI events are collected in order.
  int CollectEvents();
  void ReadPosition(const LV2_Atom_Object* position);
  void RenderPiece(uint32_t start, uint32_t frames, const PendingMidi* events, int count);
  // After a restore the ports' present values count as seen, so that the restored state stands.
  void TakePortsAsSeen();

  AEffect* mEffect;
  int mParameterCount;
  double mSampleRate;
  int mBlockSize;
  EditGestures mGestures;
  bool mWindowResized = false;  // the user-interface thread's, like the call that sets it

  struct Uris {
    LV2_URID atomBlank, atomObject, atomChunk, atomInt, atomFloat, atomDouble, atomLong, midiEvent,
        timePosition, timeBeatsPerMinute, timeBarBeat, timeBar, timeBeatsPerBar, timeBeatUnit, timeSpeed,
        timeFrame, stateBank, stateProgram;
  } mUris;

  const LV2_Atom_Sequence* mEvents = nullptr;
  float* mOutputs[2] = {nullptr, nullptr};
  std::vector<const float*> mControls;
  std::vector<float> mSeenControls;

  std::vector<PendingMidi> mPending;
  std::vector<uint8_t> mEventList;  // a VstEvents record with room for kMaxEvents pointers
  std::vector<VstMidiEvent> mMidiEvents;

  // The host's transport as the time query answers it; no answer until a position arrived.
  VstTimeInfo mTime = {};
  bool mHaveTime = false;
  bool mActive = false;
};
