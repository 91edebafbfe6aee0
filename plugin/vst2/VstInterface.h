// The VST 2.4 plug-in interface as records and constants: the descriptor a host receives, the event,
// time, pin, speaker, editor-rectangle and key-name records, and the opcode and flag numbers.
// Layouts follow the published binary interface: 8-byte packing on Windows, natural alignment
// elsewhere (identical for these records), C calling convention for every callback.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VST_CALLBACK __cdecl
#pragma pack(push, 8)
#else
#define VST_CALLBACK
#endif

using VstInt16 = int16_t;
using VstInt32 = int32_t;
using VstIntPtr = intptr_t;

struct AEffect;

using VstHostCallback = VstIntPtr(VST_CALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                 VstIntPtr value, void* ptr, float opt);
using VstDispatcherProc = VstIntPtr(VST_CALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                   VstIntPtr value, void* ptr, float opt);
using VstProcessProc = void(VST_CALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                           VstInt32 frames);
using VstProcessDoubleProc = void(VST_CALLBACK*)(AEffect* effect, double** inputs, double** outputs,
                                                 VstInt32 frames);
using VstSetParameterProc = void(VST_CALLBACK*)(AEffect* effect, VstInt32 index, float value);
using VstGetParameterProc = float(VST_CALLBACK*)(AEffect* effect, VstInt32 index);

// Four-character constants with the first character in the most significant byte.
constexpr VstInt32 VstFourCC(char a, char b, char c, char d) {
  return static_cast<VstInt32>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                               (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                               (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                               static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr VstInt32 kEffectMagic = VstFourCC('V', 's', 't', 'P');

// The descriptor the entry point returns; the host calls the plug-in only through it.
struct AEffect {
  VstInt32 magic;
  VstDispatcherProc dispatcher;
  VstProcessProc process;  // accumulating single-precision process
  VstSetParameterProc setParameter;
  VstGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr reserved1;
  VstIntPtr reserved2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;  // the plug-in instance
  void* user;    // free for the host
  VstInt32 uniqueID;
  VstInt32 version;
  VstProcessProc processReplacing;
  VstProcessDoubleProc processDoubleReplacing;
  char future[56];
};

enum VstEffectFlags : VstInt32 {
  effFlagsHasEditor = 1 << 0,
  effFlagsCanMono = 1 << 3,
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher opcodes (host to plug-in).
enum VstEffectOpcode : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effProcessVarIo = 41,
  effSetSpeakerArrangement = 42,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetParameterProperties = 56,
  effGetVstVersion = 58,
  effGetMidiKeyName = 66,
  effBeginSetProgram = 67,
  effEndSetProgram = 68,
  effGetSpeakerArrangement = 69,
  effStartProcess = 71,
  effStopProcess = 72,
  effSetProcessPrecision = 77,
};

// Host callback opcodes (plug-in to host).
enum VstHostOpcode : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterIOChanged = 13,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterCanDo = 37,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
};

constexpr VstInt32 kVstProcessLevelOffline = 4;
constexpr VstInt32 kVstVersion = 2400;
constexpr VstInt32 kPlugCategEffect = 1;
constexpr VstInt32 kPlugCategSynth = 2;

// Host buffer lengths the plug-in writes into, terminator included. The published limits are
// shorter (8 for parameter strings), but hosts pass larger buffers and names here need 31.
constexpr int kVstProgramNameBytes = 25;
constexpr int kVstStringBytes = 32;

// Events.
enum VstEventType : VstInt32 { kVstMidiType = 1, kVstSysExType = 6 };

struct VstEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  char data[16];
};

// A list of events; the host allocates as many pointers as numEvents says.
struct VstEvents {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];
};

struct VstMidiEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 noteLength;
  VstInt32 noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

struct VstMidiSysexEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 dumpBytes;
  VstIntPtr reserved1;
  char* sysexDump;
  VstIntPtr reserved2;
};

// Transport.
struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};

enum VstTimeInfoFlags : VstInt32 {
  kVstTransportChanged = 1 << 0,
  kVstTransportPlaying = 1 << 1,
  kVstTransportCycleActive = 1 << 2,
  kVstTransportRecording = 1 << 3,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
  kVstSmpteValid = 1 << 14,
  kVstClockValid = 1 << 15,
};

// Pins and speakers.
struct VstPinProperties {
  char label[64];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[8];
  char future[48];
};

enum VstPinFlags : VstInt32 { kVstPinIsActive = 1 << 0, kVstPinIsStereo = 1 << 1, kVstPinUseSpeaker = 1 << 2 };

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  VstInt32 type;
  char future[28];
};

struct VstSpeakerArrangement {
  VstInt32 type;
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];
};

enum VstSpeakerArrangementType : VstInt32 {
  kSpeakerArrUserDefined = -2,
  kSpeakerArrEmpty = -1,
  kSpeakerArrMono = 0,
  kSpeakerArrStereo = 1,
};

// Editor rectangle, in pixels.
struct ERect {
  VstInt16 top;
  VstInt16 left;
  VstInt16 bottom;
  VstInt16 right;
};

struct MidiKeyName {
  VstInt32 thisProgramIndex;
  VstInt32 thisKeyNumber;
  char keyName[64];
  VstInt32 reserved;
  VstInt32 flags;
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

// Sizes of the binary interface; a mismatch would corrupt every host exchange.
static_assert(sizeof(VstIntPtr) == sizeof(void*), "VstIntPtr must hold a pointer");
static_assert(sizeof(VstEvent) == 32 && sizeof(VstMidiEvent) == 32, "event record size");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo size");
static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties size");
static_assert(sizeof(VstSpeakerProperties) == 112 && sizeof(VstSpeakerArrangement) == 904,
              "speaker record size");
static_assert(sizeof(ERect) == 8 && sizeof(MidiKeyName) == 80, "ERect/MidiKeyName size");
#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(AEffect) == 192, "AEffect size (64-bit)");
static_assert(offsetof(AEffect, numPrograms) == 40 && offsetof(AEffect, reserved1) == 64 &&
                  offsetof(AEffect, object) == 96 && offsetof(AEffect, uniqueID) == 112 &&
                  offsetof(AEffect, processReplacing) == 120,
              "AEffect field offsets (64-bit)");
static_assert(sizeof(VstEvents) == 32, "VstEvents size (64-bit)");
static_assert(sizeof(VstMidiSysexEvent) == 48, "VstMidiSysexEvent size (64-bit)");
#else
static_assert(sizeof(AEffect) == 144, "AEffect size (32-bit)");
static_assert(offsetof(AEffect, numPrograms) == 20 && offsetof(AEffect, reserved1) == 40 &&
                  offsetof(AEffect, object) == 64 && offsetof(AEffect, uniqueID) == 72 &&
                  offsetof(AEffect, processReplacing) == 80,
              "AEffect field offsets (32-bit)");
static_assert(sizeof(VstEvents) == 16, "VstEvents size (32-bit)");
static_assert(sizeof(VstMidiSysexEvent) == 32, "VstMidiSysexEvent size (32-bit)");
#endif
