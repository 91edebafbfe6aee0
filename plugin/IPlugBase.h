// Host-independent base of the plug-in object: parameters, programs, state chunks, channels and the lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/MidiMessage.h"
#include "engine/TimeInfo.h"
#include "params/IPlugParam.h"
#include "plugin/DataChunk.h"
#include "plugin/PluginEditor.h"
#include "plugin/Preset.h"

// Four characters packed with the first one in the most significant byte ('s','a','r','n' -> 0x7361726E).
constexpr int32_t FourCharCode(char a, char b, char c, char d) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

// One accepted {inputs, outputs} pair; a negative count accepts any number.
struct ChannelConfig {
  int32_t inputs = 0;
  int32_t outputs = 0;
};

struct AudioChannel {
  bool connected = false;
  // This channel's entry in its direction's sample-pointer array.
  double** pointerEntry = nullptr;
  // Block-size doubles: the samples when the host works in single precision, or when not connected.
  std::vector<double> scratch;
  // Output channels only: the host's single-precision buffer of the current block.
  float* hostDestination = nullptr;
  std::string label;
};

class IPlugBase {
 public:
  static constexpr int kNameSize = 128;     // effect, product and vendor names, terminator included
  static constexpr int kMaxChannels = 64;   // larger counts in the channel string are refused
  static constexpr int32_t kChunkVersion = 0x00010000;

  // channelIO: tokens "in-out" separated by spaces ("0-2"). version: major * 65536 + minor * 256 + fix.
  IPlugBase(const char* channelIO, int nParams, int nPresets, const char* effectName, const char* productName,
            const char* vendorName, int32_t uniqueId, int32_t version, bool isInstrument, bool handlesMidi);
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Virtual operations, in slot order ----
  virtual ~IPlugBase();
  // Any thread the host uses; the base only takes and releases the lock.
  virtual void Reset();
  // Moves parameter index's current value into the sound engine; caller holds the lock.
  virtual void ApplyParameter(int index);
  // Audio thread, lock held. Base: input channel i is copied to output i; outputs without input are zeroed.
  virtual void RenderBlock(double** inputs, double** outputs, int frames);
  virtual void EditorOpened() {}
  virtual void EditorClosed() {}
  // The host's idle calls and the editor's quiet ticks.
  virtual void Idle() {}
  virtual void Activate(bool on);
  // Base: passes the message through to the host.
  virtual void HandleMidiMessage(const MidiMessage& message);
  virtual void HandleSysEx(const SysExMessage& message);
  // text holds at least 64 bytes. Base: empty text, false.
  virtual bool GetMidiKeyName(int key, char* text);
  // Base: the bare parameter block. Callers hold the lock.
  virtual bool SaveProgramState(DataChunk& chunk);
  // Reads the whole state first and changes nothing unless it is complete: then every parameter takes
  // its value and is applied. Returns the next position, or -1 with nothing changed.
  virtual int LoadProgramState(const DataChunk& chunk, int position);
  // The stored values of the program state at position, one per parameter, read without changing
  // anything; returns the next position or -1 when the state does not fit. Base: the bare block.
  virtual int ReadProgramState(const DataChunk& chunk, int position, std::vector<double>& values) const;
  virtual void EditorResized() {}
  // The host is about to close the instance (lock not held): work that could keep an editor thread
  // busy for long is asked to end now.
  virtual void PrepareToClose() {}
  virtual void HostIdentified() {}
  // Editor thread, program initialisation and mapped MIDI controllers; takes the lock.
  virtual void SetParameterFromEditor(int index, double normalized);

  // Host side, implemented by the host binding.
  virtual void BeginParameterEdit(int index) = 0;
  virtual void NotifyHostOfParameterChange(int index, double normalized) = 0;
  virtual void EndParameterEdit(int index) = 0;
  virtual void NotifyHostOfProgramChange() = 0;
  virtual bool IsRenderingOffline() = 0;
  virtual int64_t GetSamplePosition() = 0;
  virtual double GetTempo() = 0;
  virtual void GetTimeSignature(int& numerator, int& denominator) = 0;
  virtual void GetTransportInfo(TimeInfo& info) = 0;
  virtual int GetHost() = 0;
  // The editor changed size.
  virtual void ResizeEditor() = 0;
  virtual void HostSpecificInit() = 0;
  // Takes ownership. Under the lock: the editor is attached, every parameter's normalized value goes
  // to it and the editor is kept (a previous one is deleted).
  virtual void AttachEditor(PluginEditor* editor);
  virtual void SetLatency(int samples);
  virtual bool SendMidiMessage(const MidiMessage& message) = 0;
  virtual bool SendSysEx(const SysExMessage& message) = 0;

  // Hands every plain value to the attached editor.
  virtual void RedrawParameterControls();
  // The bank of all programs, read whole before anything changes: a bank that ends early or holds a
  // program that does not fit returns -1 and leaves every program and parameter as it was.
  // Otherwise ends with RecallPreset(current index) and returns the next position.
  virtual int UnserializePresets(const DataChunk& chunk, int position);
  // Stores the current values into the current program; a non-empty name renames it.
  virtual void ModifyCurrentPreset(const char* name = nullptr);
  virtual void PresetsChanged() {}
  virtual void SetSampleRate(double rate);
  virtual void SetBlockSize(int frames);

  // ---- Parameters ----
  int NParams() const { return static_cast<int>(mParams.size()); }
  IPlugParam* GetParam(int index);
  const IPlugParam* GetParam(int index) const;
  void ApplyAllParameters();
  // The parameter block: 8-byte little-endian plain values in index order. Both take the lock.
  bool SerializeParams(DataChunk& chunk);
  // All or nothing: a block that does not fit returns -1 and changes nothing; otherwise as
  // SetParameterValues. Returns the next position or -1.
  int UnserializeParams(const DataChunk& chunk, int position);
  // The parameter block at position into values (one per parameter); -1 when it does not fit.
  int ReadParamBlock(const DataChunk& chunk, int position, std::vector<double>& values) const;
  // Under the lock: parameter i takes values[i] limited to its range (NaN reads as 0), then every
  // parameter is applied. values holds one entry per parameter.
  void SetParameterValues(const std::vector<double>& values);

  // ---- Programs ----
  int NPresets() const { return static_cast<int>(mPresets.size()); }
  Preset* GetPreset(int index);
  const Preset* GetPreset(int index) const;
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  // "" when index is out of range.
  const char* GetPresetName(int index) const;
  bool SerializePresets(DataChunk& chunk);
  // The bank as the host keeps it: the bank, then a trailer naming the current program (the tag
  // "CurP" and the number as a 32-bit value). Program and bank files carry the bank alone.
  bool SerializeHostBank(DataChunk& chunk);
  // A bank, then its trailer when it has one. Without (an older chunk, or bytes after the bank that
  // are not the tag) it loads as UnserializePresets; with one, the program it names becomes current.
  // A trailer cut short or naming no program refuses the whole chunk and changes nothing: loading the
  // bank on another program would let the host's own parameter restore overwrite that program.
  // Returns the next position or -1.
  int UnserializeHostBank(const DataChunk& chunk, int position);
  // Loads program index into the live parameters, or creates it from them ("user preset N") when it
  // was never initialized. The host is not informed.
  bool RecallPreset(int index);
  // Up to count times: the first uninitialized program becomes "Empty" with the current values.
  void FillEmptyPresets(int count);

  // Marks the trailer of a host bank.
  static constexpr char kCurrentProgramTag[4] = {'C', 'u', 'r', 'P'};

  // Empties the chunk and appends "tffp" and kChunkVersion.
  static void WriteChunkHeader(DataChunk& chunk);
  // Version after a "tffp" marker at position (position advances by 8), or 0 with position unchanged.
  static int32_t ReadChunkHeader(const DataChunk& chunk, int& position);

  // ---- Channels and processing ----
  const std::vector<ChannelConfig>& ChannelConfigs() const { return mChannelConfigs; }
  bool LegalIO(int inputs, int outputs) const;
  int NInChannels() const { return static_cast<int>(mInChannels.size()); }
  int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
  AudioChannel* InChannel(int index);
  AudioChannel* OutChannel(int index);
  // Channels [first, first + count) are (dis)connected; a disconnected channel's pointer entry
  // points at its own scratch buffer, so rendering always finds a valid buffer.
  void SetInputConnections(int first, int count, bool connected);
  void SetOutputConnections(int first, int count, bool connected);
  double** InputPointers() { return mInPointers.data(); }
  double** OutputPointers() { return mOutPointers.data(); }
  // Host processing for the binding, lock held by the caller. Connected channels take the host's
  // buffers in order. Single precision goes through the scratch buffers; accumulate adds to the host's
  // output instead of replacing it.
  void ProcessFloatBlock(float** inputs, float** outputs, int frames, bool accumulate);
  void ProcessDoubleBlock(double** inputs, double** outputs, int frames);

  // ---- Description and state ----
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetVendorName() const { return mVendorName; }
  int32_t GetUniqueID() const { return mUniqueID; }
  int32_t GetVersion() const { return mVersion; }
  // major * 10000 + minor * 100 + fix, the form the host and the program files use (10004).
  int32_t GetVersionDecimal() const;
  int GetHostCode() const { return mHost; }
  int GetHostVersion() const { return mHostVersion; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInstrument; }
  bool DoesMidi() const { return mHandlesMidi; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  int GetTailSize() const { return mTailSize; }
  PluginEditor* GetGUI() const { return mEditor.get(); }

  // The plug-in lock (recursive). The host binding and the shell hold it around every host call.
  std::recursive_mutex& Mutex() const { return mMutex; }
  void Lock() const { mMutex.lock(); }
  void Unlock() const { mMutex.unlock(); }
  using LockGuard = std::lock_guard<std::recursive_mutex>;

 protected:
  // Filled by host identification.
  int32_t mHost = -1;
  int32_t mHostVersion = 0;

 private:
  // One program of a bank as read, before anything changes.
  struct StoredPreset {
    std::string name;
    bool initialized = false;
    std::vector<double> values;
  };
  // Reads and checks every program of the bank without changing anything; -1 when one does not fit.
  int ReadPresets(const DataChunk& chunk, int position, std::vector<StoredPreset>& bank) const;
  // The host bank's trailer at position: no tag leaves program and the position as they are; the tag
  // with a program's number sets program and returns the position after it; anything else is -1.
  int ReadCurrentProgram(const DataChunk& chunk, int position, int& program) const;
  // Every program takes its stored name and values, then program current is recalled.
  void InstallPresets(const std::vector<StoredPreset>& bank, int current);

  void ParseChannelConfigs(const char* channelIO);
  void ResetPointerEntries();
  void EnsureScratch(int frames);

  std::vector<ChannelConfig> mChannelConfigs;
  mutable std::recursive_mutex mMutex;
  char mEffectName[kNameSize] = {};
  char mProductName[kNameSize] = {};
  char mVendorName[kNameSize] = {};
  int32_t mUniqueID;
  int32_t mVersion;
  bool mStateChunks = true;
  bool mIsInstrument;
  bool mHandlesMidi;
  int32_t mCurrentPresetIdx = 0;
  double mSampleRate = 44100.0;
  int32_t mBlockSize = 0;
  int32_t mLatency = 0;
  int32_t mTailSize = 0;
  std::vector<IPlugParam> mParams;
  std::unique_ptr<PluginEditor> mEditor;  // destroyed before the parameters it shows
  std::vector<Preset> mPresets;
  std::vector<AudioChannel> mInChannels;
  std::vector<AudioChannel> mOutChannels;
  std::vector<double*> mInPointers;
  std::vector<double*> mOutPointers;
};
