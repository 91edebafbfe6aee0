// The VST 2.4 binding of the plug-in base: the host descriptor, the dispatcher, the process and
// parameter callbacks, and the host-side operations through the host callback (audioMaster).
#pragma once

#include <cstdint>

#include "engine/SampleRateLimit.h"
#include "plugin/DataChunk.h"
#include "plugin/HostEditQueue.h"
#include "plugin/IPlugBase.h"
#include "plugin/vst2/VstInterface.h"

// Threads: the host calls the dispatcher on its user-interface thread and the process callbacks on
// its audio thread; setParameter/getParameter come from either. Every callback holds the plug-in
// lock (recursive) for its whole duration, except effEditClose and effClose, which close windows
// whose threads may need the lock to finish. The host is told of edits (begin, automate, end, display
// updates) only from its user-interface thread: they are queued wherever they happen and delivered at
// effEditIdle and effEditClose, after the lock is released.
// Host arguments are checked at this boundary: null pointers, indices, sizes, non-finite numbers.
class IPlugVST : public IPlugBase {
 public:
  // Largest block rendered in one piece; longer host blocks are rendered in pieces of the block size.
  static constexpr int kDefaultBlockSize = 1024;
  static constexpr int kMaxBlockSize = 65536;

  IPlugVST(VstHostCallback hostCallback, const char* channelIO, int nParams, int nPresets,
           const char* effectName, const char* productName, const char* vendorName, int32_t uniqueId,
           int32_t version, bool isInstrument, bool handlesMidi);
  ~IPlugVST() override;

  // The descriptor handed to the host; its object field points back at this instance.
  AEffect* GetAEffect() { return &mAEffect; }

  // Host-side operations. The four edit notifications are queued for DeliverHostEdits.
  void BeginParameterEdit(int index) override;
  void NotifyHostOfParameterChange(int index, double normalized) override;
  void EndParameterEdit(int index) override;
  void NotifyHostOfProgramChange() override;
  bool IsRenderingOffline() override;
  int64_t GetSamplePosition() override;
  double GetTempo() override;
  void GetTimeSignature(int& numerator, int& denominator) override;
  void GetTransportInfo(TimeInfo& info) override;
  // Asks the host's product string and vendor version once; later calls return the stored code.
  int GetHost() override;
  void ResizeEditor() override;
  // Once per instance, at effOpen.
  void HostSpecificInit() override;
  void AttachEditor(PluginEditor* editor) override;
  void SetLatency(int samples) override;
  bool SendMidiMessage(const MidiMessage& message) override;
  bool SendSysEx(const SysExMessage& message) override;

  // Hosts whose vendor is "native instruments" or "juce vst host" (any case) always exchange program
  // chunks. The vendor string is asked on the first call only.
  bool IsChunkQuirkHost();

  // Bits of the host capabilities the host asked about through effCanDo.
  static constexpr int kCapCockosExtensions = 1 << 0;
  static constexpr int kCapCockosViewAsConfig = 1 << 1;
  int HostCapabilities() const { return mHostCapabilities; }

 protected:
  // The host callback; 0 when the host gave none.
  VstIntPtr CallHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

 private:
  static VstIntPtr VST_CALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);
  static void VST_CALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void VST_CALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                               VstInt32 frames);
  static void VST_CALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                     VstInt32 frames);
  static void VST_CALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value);
  static float VST_CALLBACK VSTGetParameter(AEffect* effect, VstInt32 index);

  // Host's user-interface thread, lock not held: tells the host every queued edit, in order.
  void DeliverHostEdits();
  // effEditClose, lock not held.
  VstIntPtr CloseEditor();
  // Every opcode but effClose and effEditClose, lock held.
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr GetChunk(bool wantBank, void** data);
  VstIntPtr SetChunk(bool wantBank, const void* data, VstIntPtr size);
  VstIntPtr ProcessEvents(const VstEvents* events);
  VstIntPtr String2Parameter(int index, const char* text);
  VstIntPtr GetPinProperties(bool input, int index, VstPinProperties* properties);
  void SetSpeakerArrangement(bool input, const VstSpeakerArrangement* arrangement);
  VstIntPtr CanDo(const char* text);
  VstIntPtr VendorSpecific(int index, VstIntPtr value, void* ptr, float opt);
  void SetParameterFromHost(int index, float value);
  float GetParameterForHost(int index);

  // Renders a host block in pieces of at most the block size (no allocation in the audio path).
  void ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate);
  void ProcessDouble(double** inputs, double** outputs, int frames);
  const VstTimeInfo* QueryTime(VstInt32 filter);
  void UpdateEditorRect();

  VstHostCallback mHostCallback;
  AEffect mAEffect;
  ERect mEditRect = {0, 0, 0, 0};
  VstSpeakerArrangement mInputArrangement;
  VstSpeakerArrangement mOutputArrangement;
  // State handed to the host by effGetChunk; valid until the next chunk call.
  DataChunk mProgramChunk;
  DataChunk mBankChunk;
  HostEditQueue mHostEdits;
  bool mQuirkDecided = false;
  bool mQuirkHost = false;
  bool mHostInitialized = false;
  int mHostCapabilities = 0;
};
