#include "plugin/vst2/IPlugVST.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/NumberText.h"
#include "plugin/Utf8Prefix.h"
#include "plugin/vst2/HostIdentification.h"

namespace {

constexpr VstInt32 kIdentifyMagic = VstFourCC('N', 'v', 'E', 'f');
constexpr VstIntPtr kVendorSpecificHandled = 0xBEEF;
constexpr VstIntPtr kCanDoCockos = static_cast<VstIntPtr>(0xBEEF0000);
// effVendorSpecific's index and value for a host's content scale, given in opt.
constexpr int kVendorPresonus = ('P' << 24) | ('r' << 16) | ('e' << 8) | 'S';
constexpr VstIntPtr kVendorContentScale = ('A' << 24) | ('e' << 16) | ('C' << 8) | 's';
// Host text read by the plug-in (program names, effString2Parameter, effCanDo) is taken up to this
// many characters, so that a host string without terminator is not read without end.
constexpr int kMaxHostTextLength = 255;

// Copies text into a host buffer of `bytes` bytes, cut before a character that does not fit whole,
// always terminated.
void CopyToHost(void* ptr, const char* text, int bytes) {
  char* out = static_cast<char*>(ptr);
  const std::string fitting = Utf8Prefix(text ? text : "", static_cast<size_t>(bytes - 1));
  if (!fitting.empty()) std::memcpy(out, fitting.data(), fitting.size());
  out[fitting.size()] = 0;
}

// Reads host text into a terminated string of at most kMaxHostTextLength characters.
std::string ReadHostText(const void* ptr) {
  const char* text = static_cast<const char*>(ptr);
  size_t length = 0;
  while (length < static_cast<size_t>(kMaxHostTextLength) && text[length]) ++length;
  return std::string(text, length);
}

VstInt32 ArrangementType(int channels) {
  switch (channels) {
    case 0: return kSpeakerArrEmpty;
    case 1: return kSpeakerArrMono;
    case 2: return kSpeakerArrStereo;
    default: return kSpeakerArrUserDefined;
  }
}

IPlugVST* PlugOf(AEffect* effect) {
  return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

}  // namespace

IPlugVST::IPlugVST(VstHostCallback hostCallback, const char* channelIO, int nParams, int nPresets,
                   const char* effectName, const char* productName, const char* vendorName, int32_t uniqueId,
                   int32_t version, bool isInstrument, bool handlesMidi)
    : IPlugBase(channelIO, nParams, nPresets, effectName, productName, vendorName, uniqueId, version,
                isInstrument, handlesMidi),
      mHostCallback(hostCallback) {
  std::memset(&mAEffect, 0, sizeof(mAEffect));
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;
  mAEffect.numPrograms = NPresets();
  mAEffect.numParams = NParams();
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.flags = effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanDoubleReplacing;
  if (isInstrument) mAEffect.flags |= effFlagsIsSynth;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;
  mAEffect.initialDelay = GetLatency();
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = GetUniqueID();
  mAEffect.version = GetVersionDecimal();

  std::memset(&mInputArrangement, 0, sizeof(mInputArrangement));
  std::memset(&mOutputArrangement, 0, sizeof(mOutputArrangement));
  mInputArrangement.numChannels = NInChannels();
  mInputArrangement.type = ArrangementType(NInChannels());
  mOutputArrangement.numChannels = NOutChannels();
  mOutputArrangement.type = ArrangementType(NOutChannels());

  SetBlockSize(kDefaultBlockSize);
  SetInputConnections(0, mAEffect.numInputs, true);
  SetOutputConnections(0, mAEffect.numOutputs, true);
}

IPlugVST::~IPlugVST() = default;

VstIntPtr IPlugVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

// ---- Callbacks from the host ----

VstIntPtr VST_CALLBACK IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return 0;
  if (opcode == effClose) {
    // Work that would keep an editor thread busy (a web request) ends first. The window may still be
    // open (no effEditClose came), and a window closed earlier may still be finishing on its own
    // thread: none may outlive the state it draws. Their threads may need the lock to finish.
    plug->PrepareToClose();
    if (plug->GetGUI()) plug->GetGUI()->CloseAllWindows();
    delete plug;
    return 0;
  }
  if (opcode == effEditClose) {
    // Without the lock: the window's thread may need it to finish what the mouse holds (a key's note,
    // a gesture's end) before the window goes.
    const VstIntPtr closed = plug->CloseEditor();
    plug->DeliverHostEdits();
    return closed;
  }
  // Asking the screen for its scale may mean a round trip to the display server: done before the
  // lock is taken (the answer is kept).
  if ((opcode == effEditGetRect || opcode == effEditOpen) && plug->GetGUI()) plug->GetGUI()->WindowWidth();
  VstIntPtr result = 0;
  {
    LockGuard lock(plug->Mutex());
    try {
      result = plug->Dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
      // Out of memory while building a chunk or a string: the call fails, the host carries on.
      result = 0;
    }
  }
  // The host's user-interface thread collects what the editor had for it, with our lock released, so
  // that a host taking its own lock in these callbacks cannot deadlock against us.
  if (opcode == effEditIdle || opcode == effIdle) plug->DeliverHostEdits();
  return result;
}

VstIntPtr IPlugVST::CloseEditor() {
  if (!GetGUI()) return 0;
  {
    LockGuard lock(Mutex());
    EditorClosed();
  }
  GetGUI()->CloseWindow();
  return 1;
}

void IPlugVST::DeliverHostEdits() {
  std::vector<HostEditQueue::Edit> edits;
  mHostEdits.TakeAll(edits);
  for (const HostEditQueue::Edit& edit : edits) {
    switch (edit.kind) {
      case HostEditQueue::kBegin:
        CallHost(audioMasterBeginEdit, edit.index);
        break;
      case HostEditQueue::kValue:
        CallHost(audioMasterAutomate, edit.index, 0, nullptr, static_cast<float>(edit.value));
        break;
      case HostEditQueue::kEnd:
        CallHost(audioMasterEndEdit, edit.index);
        break;
      case HostEditQueue::kDisplay:
        CallHost(audioMasterUpdateDisplay);
        break;
      case HostEditQueue::kResize:
        if (const PluginEditor* editor = GetGUI()) {
          CallHost(audioMasterSizeWindow, editor->WindowWidth(), editor->WindowHeight());
        }
        break;
    }
  }
}

void VST_CALLBACK IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug || frames <= 0) return;
  LockGuard lock(plug->Mutex());
  plug->ProcessFloat(inputs, outputs, frames, true);
}

void VST_CALLBACK IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                                VstInt32 frames) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug || frames <= 0) return;
  LockGuard lock(plug->Mutex());
  plug->ProcessFloat(inputs, outputs, frames, false);
}

void VST_CALLBACK IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                      VstInt32 frames) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug || frames <= 0) return;
  LockGuard lock(plug->Mutex());
  plug->ProcessDouble(inputs, outputs, frames);
}

void VST_CALLBACK IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return;
  LockGuard lock(plug->Mutex());
  plug->SetParameterFromHost(index, value);
}

float VST_CALLBACK IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 index) {
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return 0.0f;
  LockGuard lock(plug->Mutex());
  return plug->GetParameterForHost(index);
}

void IPlugVST::SetParameterFromHost(int index, float value) {
  IPlugParam* param = GetParam(index);
  // A non-finite value is refused; the rest is limited to the normalized range, since the parameter's
  // mapping has no lower clamp and a negative value raised to a fractional shape gives NaN.
  if (!param || !std::isfinite(value)) return;
  const double normalized = std::min(std::max(static_cast<double>(value), 0.0), 1.0);
  if (GetGUI()) GetGUI()->ApplyParameterFromPlugin(index, normalized, true);
  param->SetFromNormalized(normalized);
  ApplyParameter(index);
}

float IPlugVST::GetParameterForHost(int index) {
  const IPlugParam* param = GetParam(index);
  return param ? static_cast<float>(param->ToNormalized(param->Value())) : 0.0f;
}

void IPlugVST::ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate) {
  if (DoesMidi()) CallHost(audioMasterWantMidi);
  const int nIn = std::min(NInChannels(), kMaxChannels);
  const int nOut = std::min(NOutChannels(), kMaxChannels);
  float* pieceIn[kMaxChannels];
  float* pieceOut[kMaxChannels];
  const int blockSize = std::max(GetBlockSize(), 1);
  for (int done = 0; done < frames;) {
    const int piece = std::min(frames - done, blockSize);
    for (int c = 0; c < nIn; ++c) pieceIn[c] = (inputs && inputs[c]) ? inputs[c] + done : nullptr;
    for (int c = 0; c < nOut; ++c) pieceOut[c] = (outputs && outputs[c]) ? outputs[c] + done : nullptr;
    ProcessFloatBlock(pieceIn, pieceOut, piece, accumulate);
    done += piece;
  }
}

void IPlugVST::ProcessDouble(double** inputs, double** outputs, int frames) {
  if (DoesMidi()) CallHost(audioMasterWantMidi);
  const int nIn = std::min(NInChannels(), kMaxChannels);
  const int nOut = std::min(NOutChannels(), kMaxChannels);
  double* pieceIn[kMaxChannels];
  double* pieceOut[kMaxChannels];
  const int blockSize = std::max(GetBlockSize(), 1);
  for (int done = 0; done < frames;) {
    const int piece = std::min(frames - done, blockSize);
    for (int c = 0; c < nIn; ++c) pieceIn[c] = (inputs && inputs[c]) ? inputs[c] + done : nullptr;
    for (int c = 0; c < nOut; ++c) pieceOut[c] = (outputs && outputs[c]) ? outputs[c] + done : nullptr;
    ProcessDoubleBlock(pieceIn, pieceOut, piece);
    done += piece;
  }
}

// ---- Dispatcher ----

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen:
      HostSpecificInit();
      ApplyAllParameters();
      return 0;

    case effSetProgram: {
      ModifyCurrentPreset();
      const bool inRange = value >= 0 && value < NPresets();
      RecallPreset(inRange ? static_cast<int>(value) : -1);
      return 0;
    }
    case effGetProgram:
      return GetCurrentPresetIdx();
    case effSetProgramName:
      if (ptr) {
        ModifyCurrentPreset(ReadHostText(ptr).c_str());
        PresetsChanged();
      }
      return 0;
    case effGetProgramName:
      if (ptr) CopyToHost(ptr, GetPresetName(GetCurrentPresetIdx()), kVstProgramNameBytes);
      return 0;

    case effGetParamLabel:
      if (ptr && GetParam(index)) CopyToHost(ptr, GetParam(index)->UnitLabel(), kVstStringBytes);
      return 0;
    case effGetParamDisplay:
      if (ptr && GetParam(index)) {
        char text[kParamTextSize] = {};
        GetParam(index)->FormatValue(GetParam(index)->Value(), false, text, true);
        CopyToHost(ptr, text, kVstStringBytes);
      }
      return 0;
    case effGetParamName:
      if (ptr && GetParam(index)) CopyToHost(ptr, GetParam(index)->Name(), kVstStringBytes);
      return 0;

    case effSetSampleRate:
      // NaN, infinite, zero, negative and rates above kMaxSampleRate keep the rate the plug-in has.
      if (std::isfinite(opt) && opt > 0.0f && opt <= kMaxSampleRate) {
        SetSampleRate(opt);
        Reset();
      }
      return 0;
    case effSetBlockSize:
      // A block size below 1 is refused; larger host blocks than kMaxBlockSize are rendered in pieces.
      if (value >= 1) {
        SetBlockSize(static_cast<int>(std::min<VstIntPtr>(value, kMaxBlockSize)));
        Reset();
      }
      return 0;
    case effMainsChanged:
      if (value) {
        Activate(true);
      } else {
        Activate(false);
        Reset();
      }
      return 0;

    case effEditGetRect:
      if (ptr && GetGUI()) {
        UpdateEditorRect();
        *static_cast<ERect**>(ptr) = &mEditRect;
        return 1;
      }
      return 0;
    case effEditOpen:
      if (GetGUI() && ptr && GetGUI()->OpenWindow(ptr)) {
        EditorOpened();
        return 1;
      }
      return 0;
    case effEditIdle:
    case effIdle:
      Idle();
      return 0;

    case effIdentify:
      return kIdentifyMagic;
    case effGetChunk:
      if (!ptr) return 0;
      return GetChunk(index == 0 && !IsChunkQuirkHost(), static_cast<void**>(ptr));
    case effSetChunk:
      if (!ptr) return 0;
      return SetChunk(index == 0 && !IsChunkQuirkHost(), ptr, value);
    case effProcessEvents:
      return ProcessEvents(static_cast<const VstEvents*>(ptr));
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return String2Parameter(index, static_cast<const char*>(ptr));
    case effGetProgramNameIndexed: {
      if (!ptr) return 0;
      const char* name = GetPresetName(index);
      CopyToHost(ptr, name, kVstProgramNameBytes);
      return name[0] ? 1 : 0;
    }

    case effGetInputProperties:
      return GetPinProperties(true, index, static_cast<VstPinProperties*>(ptr));
    case effGetOutputProperties:
      return GetPinProperties(false, index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effProcessVarIo:
      return 0;
    case effSetSpeakerArrangement:
      SetSpeakerArrangement(true, reinterpret_cast<const VstSpeakerArrangement*>(value));
      SetSpeakerArrangement(false, static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputArrangement;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputArrangement;
      return 1;

    case effGetEffectName:
      if (!ptr) return 0;
      CopyToHost(ptr, GetEffectName(), kVstStringBytes);
      return 1;
    case effGetVendorString:
      if (!ptr) return 0;
      CopyToHost(ptr, GetVendorName(), kVstStringBytes);
      return 1;
    case effGetProductString:
      if (!ptr) return 0;
      CopyToHost(ptr, GetProductName(), kVstStringBytes);
      return 1;
    case effGetVendorVersion:
      return GetVersionDecimal();
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(static_cast<const char*>(ptr));
    case effGetTailSize:
      return GetTailSize();
    case effGetVstVersion:
      return kVstVersion;

    case effGetMidiKeyName: {
      if (!ptr) return 0;
      MidiKeyName* keyName = static_cast<MidiKeyName*>(ptr);
      std::memset(keyName->keyName, 0, sizeof(keyName->keyName));
      const bool named = GetMidiKeyName(keyName->thisKeyNumber, keyName->keyName);
      keyName->keyName[sizeof(keyName->keyName) - 1] = 0;
      return named ? 1 : 0;
    }

    default:
      return 0;
  }
}

VstIntPtr IPlugVST::GetChunk(bool wantBank, void** data) {
  DataChunk& chunk = wantBank ? mBankChunk : mProgramChunk;
  WriteChunkHeader(chunk);
  bool saved;
  if (wantBank) {
    ModifyCurrentPreset();
    saved = SerializeHostBank(chunk);
  } else {
    saved = SaveProgramState(chunk);
    chunk.PutString(GetPresetName(GetCurrentPresetIdx()));
  }
  if (!saved || chunk.IsEmpty()) return 0;
  *data = const_cast<uint8_t*>(chunk.Data());
  return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(bool wantBank, const void* data, VstIntPtr size) {
  // An empty or negative size holds no state; loading it would set parameter 0 from nothing.
  if (size <= 0 || size > INT32_MAX) return 0;
  const int bytes = static_cast<int>(size);
  DataChunk& chunk = wantBank ? mBankChunk : mProgramChunk;
  if (!chunk.Assign(data, bytes)) return 0;

  // Every load below reads the whole chunk before it changes anything, so a refused chunk
  // returns 0 with the programs and parameters as they were.
  int position = 0;
  const int32_t version = ReadChunkHeader(chunk, position);
  if (wantBank && version >= kChunkVersion) {
    if (UnserializeHostBank(chunk, position) < 0) return 0;
    RedrawParameterControls();
    return 1;
  }

  // A program state, then the program's name when the chunk goes on.
  std::vector<double> values;
  std::string name;
  int end = ReadProgramState(chunk, position, values);
  if (end >= 0 && end < bytes) {
    const int afterName = chunk.GetString(name, end);
    if (afterName >= 0) end = afterName;
  }

  // These hosts hand back a bank under the program call when the plug-in gave them one.
  if (IsChunkQuirkHost() && end != bytes) {
    mBankChunk.Assign(data, bytes);
    int bankPosition = 0;
    if (ReadChunkHeader(mBankChunk, bankPosition) >= kChunkVersion) {
      if (UnserializeHostBank(mBankChunk, bankPosition) < 0) return 0;
      RedrawParameterControls();
      return 1;
    }
  }
  if (end < 0) return 0;
  SetParameterValues(values);
  ModifyCurrentPreset(name.c_str());  // an empty or unreadable name keeps the old one
  RedrawParameterControls();
  return 1;
}

VstIntPtr IPlugVST::ProcessEvents(const VstEvents* events) {
  if (!events) return 0;
  for (int i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = events->events[i];
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
      MidiMessage message;
      message.offset = midi->deltaFrames;
      message.status = static_cast<uint8_t>(midi->midiData[0]);
      message.data1 = static_cast<uint8_t>(midi->midiData[1]);
      message.data2 = static_cast<uint8_t>(midi->midiData[2]);
      HandleMidiMessage(message);
    } else if (event->type == kVstSysExType) {
      const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      if (!sysex->sysexDump || sysex->dumpBytes <= 0) continue;
      SysExMessage message;
      message.offset = sysex->deltaFrames;
      message.size = sysex->dumpBytes;
      message.data = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
      HandleSysEx(message);
    }
  }
  return 1;
}

VstIntPtr IPlugVST::String2Parameter(int index, const char* text) {
  IPlugParam* param = GetParam(index);
  if (!param) return 0;
  if (!text) return 1;
  const std::string value = ReadHostText(text);
  double v = 0.0;
  if (param->NDisplayTexts() == 0) {
    // Text that does not start with a finite number changes nothing.
    if (!ParseLeadingDecimal(value, v) || !std::isfinite(v)) return 0;
  } else {
    bool found = false;
    for (int i = 0; i < param->NDisplayTexts() && !found; ++i) {
      const IPlugParam::DisplayText* entry = param->DisplayTextAt(i);
      if (entry && value == entry->text) {
        v = entry->value;
        found = true;
      }
    }
    if (!found) return 0;
  }
  if (GetGUI()) GetGUI()->ApplyParameterFromPlugin(index, v, false);
  param->SetPlainClamped(v);
  ApplyParameter(index);
  return 1;
}

VstIntPtr IPlugVST::GetPinProperties(bool input, int index, VstPinProperties* properties) {
  const int count = input ? NInChannels() : NOutChannels();
  if (!properties || index < 0 || index >= count) return 0;
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) properties->flags |= kVstPinIsStereo;
  const AudioChannel* channel = input ? InChannel(index) : OutChannel(index);
  char label[kVstStringBytes];
  if (channel && !channel->label.empty()) {
    std::snprintf(label, sizeof(label), "%s", channel->label.c_str());
  } else {
    std::snprintf(label, sizeof(label), input ? "Input %d" : "Output %d", index + 1);
  }
  CopyToHost(properties->label, label, kVstStringBytes);
  return 1;
}

void IPlugVST::SetSpeakerArrangement(bool input, const VstSpeakerArrangement* arrangement) {
  if (!arrangement) return;
  const int count = input ? NInChannels() : NOutChannels();
  const int first = std::min(std::max(static_cast<int>(arrangement->numChannels), 0), count);
  if (input) {
    SetInputConnections(first, count - first, false);
  } else {
    SetOutputConnections(first, count - first, false);
  }
}

VstIntPtr IPlugVST::CanDo(const char* text) {
  if (!text) return 0;
  const std::string what = ReadHostText(text);
  if (what == "receiveVstTimeInfo") return 1;
  if (DoesMidi() && (what == "sendVstEvents" || what == "sendVstMidiEvent" || what == "receiveVstEvents" ||
                     what == "receiveVstMidiEvent")) {
    return 1;
  }
  if (what == "hasCockosExtensions") {
    mHostCapabilities |= kCapCockosExtensions;
    return kCanDoCockos;
  }
  if (what == "hasCockosViewAsConfig") {
    mHostCapabilities |= kCapCockosViewAsConfig;
    return kCanDoCockos;
  }
  return 0;
}

// Cockos extensions: index 7 formats a normalized value of parameter `value` for the host's
// envelope display; index 8 asks whether the parameter is stepped.
VstIntPtr IPlugVST::VendorSpecific(int index, VstIntPtr value, void* ptr, float opt) {
  // The host's content scale for the editor (1.0, 1.5, 2.0, ...), as several hosts send it.
  if (index == kVendorPresonus && value == kVendorContentScale) {
    if (GetGUI()) GetGUI()->SetHostScale(opt);
    return 1;
  }
  const bool validParam = value >= 0 && value < NParams();
  if (index == 7 && ptr) {
    if (validParam) {
      // The host's value is limited to 0..1 so that display functions see a value in range.
      const double normalized = std::isfinite(opt) ? std::min(std::max(static_cast<double>(opt), 0.0), 1.0) : 0.0;
      char text[kParamTextSize] = {};
      GetParam(static_cast<int>(value))->FormatValue(normalized, true, text, true);
      CopyToHost(ptr, text, kVstStringBytes);
    }
    return kVendorSpecificHandled;
  }
  if (index == 8 && validParam && GetParam(static_cast<int>(value))->Kind() != IPlugParam::kContinuous) {
    return kVendorSpecificHandled;
  }
  return 0;
}

// ---- Host-side operations ----

void IPlugVST::BeginParameterEdit(int index) { mHostEdits.Begin(index); }

void IPlugVST::NotifyHostOfParameterChange(int index, double normalized) { mHostEdits.Value(index, normalized); }

void IPlugVST::EndParameterEdit(int index) { mHostEdits.End(index); }

void IPlugVST::NotifyHostOfProgramChange() { mHostEdits.DisplayChanged(); }

bool IPlugVST::IsRenderingOffline() {
  return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

const VstTimeInfo* IPlugVST::QueryTime(VstInt32 filter) {
  return reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, filter));
}

int64_t IPlugVST::GetSamplePosition() {
  const VstTimeInfo* time = QueryTime(0);
  if (!time || !(time->samplePos >= 0.0)) return 0;
  // 2^62 keeps the conversion defined for any huge position a host may report.
  if (time->samplePos >= 4.611686018427387904e18) return INT64_C(4611686018427387904);
  return static_cast<int64_t>(time->samplePos + 0.5);
}

double IPlugVST::GetTempo() {
  const VstTimeInfo* time = QueryTime(kVstTempoValid);
  if (time && (time->flags & kVstTempoValid) && time->tempo >= 0.0 && std::isfinite(time->tempo)) {
    return time->tempo;
  }
  return 0.0;
}

void IPlugVST::GetTimeSignature(int& numerator, int& denominator) {
  numerator = 0;
  denominator = 0;
  const VstTimeInfo* time = QueryTime(kVstTimeSigValid);
  if (time && (time->flags & kVstTimeSigValid) && time->timeSigNumerator >= 0 && time->timeSigDenominator >= 0) {
    numerator = time->timeSigNumerator;
    denominator = time->timeSigDenominator;
  }
}

void IPlugVST::GetTransportInfo(TimeInfo& info) {
  constexpr VstInt32 kWanted = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid |
                               kVstTimeSigValid;
  const VstTimeInfo* time = QueryTime(kWanted);
  if (!time || !(time->flags & kWanted)) return;
  // Non-finite numbers from the host are not taken over.
  auto usable = [](double v) { return std::isfinite(v) && v >= 0.0; };
  if (std::isfinite(time->samplePos)) info.samplePosition = time->samplePos;
  if ((time->flags & kVstPpqPosValid) && usable(time->ppqPos)) info.quarterNotePosition = time->ppqPos;
  if ((time->flags & kVstTempoValid) && usable(time->tempo) && time->tempo > 0.0) info.tempo = time->tempo;
  if ((time->flags & kVstBarsValid) && usable(time->barStartPos)) info.lastBarPosition = time->barStartPos;
  if ((time->flags & kVstCyclePosValid) && usable(time->cycleStartPos) && usable(time->cycleEndPos)) {
    info.cycleStart = time->cycleStartPos;
    info.cycleEnd = time->cycleEndPos;
  }
  if ((time->flags & kVstTimeSigValid) && time->timeSigNumerator > 0 && time->timeSigDenominator > 0) {
    info.numerator = time->timeSigNumerator;
    info.denominator = time->timeSigDenominator;
  }
  info.transportRunning = (time->flags & kVstTransportPlaying) != 0;
  info.cycleActive = (time->flags & kVstTransportCycleActive) != 0;
}

int IPlugVST::GetHost() {
  if (mHost != kHostUninit) return mHost;
  // The host writes at most 64 characters by the interface; the rest of the buffer is headroom.
  char product[kMaxHostTextLength + 1] = {};
  CallHost(audioMasterGetProductString, 0, 0, product);
  product[kMaxHostTextLength] = 0;
  mHostVersion = product[0] ? PackHostVersion(static_cast<int64_t>(CallHost(audioMasterGetVendorVersion))) : 0;
  mHost = IdentifyHost(product);
  return mHost;
}

bool IPlugVST::IsChunkQuirkHost() {
  if (!mQuirkDecided) {
    char vendor[kMaxHostTextLength + 1] = {};
    CallHost(audioMasterGetVendorString, 0, 0, vendor);
    vendor[kMaxHostTextLength] = 0;
    mQuirkHost = IsChunkQuirkVendor(vendor);
    mQuirkDecided = true;
  }
  return mQuirkHost;
}

void IPlugVST::HostSpecificInit() {
  if (mHostInitialized) return;
  mHostInitialized = true;
  switch (GetHost()) {
    case kHostForte:
    case kHostAudition:
    case kHostOrion:
    case kHostSAWStudio:
      // These hosts wire only the first stereo pair of inputs and every output.
      SetInputConnections(2, NInChannels() - 2, false);
      SetOutputConnections(2, NOutChannels() - 2, true);
      break;
    default:
      break;
  }
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  HostIdentified();
}

void IPlugVST::UpdateEditorRect() {
  PluginEditor* editor = GetGUI();
  if (!editor) return;
  mEditRect.top = 0;
  mEditRect.left = 0;
  mEditRect.bottom = static_cast<VstInt16>(std::min(std::max(editor->WindowHeight(), 0), INT16_MAX));
  mEditRect.right = static_cast<VstInt16>(std::min(std::max(editor->WindowWidth(), 0), INT16_MAX));
}

void IPlugVST::AttachEditor(PluginEditor* editor) {
  IPlugBase::AttachEditor(editor);
  if (!GetGUI()) return;
  // Only an editor with a window layer is promised to the host; without one (the headless layer) hosts
  // show their own view of the parameters.
  if (GetGUI()->HasWindow()) mAEffect.flags |= effFlagsHasEditor;
  UpdateEditorRect();
}

// Any thread (the X11 editor's own included): the host hears of it on its user-interface thread.
void IPlugVST::ResizeEditor() {
  if (!GetGUI()) return;
  mHostEdits.WindowResized();
  EditorResized();
}

void IPlugVST::SetLatency(int samples) {
  IPlugBase::SetLatency(samples);
  mAEffect.initialDelay = samples;
}

bool IPlugVST::SendMidiMessage(const MidiMessage& message) {
  VstMidiEvent event;
  std::memset(&event, 0, sizeof(event));
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  VstEvents events;
  std::memset(&events, 0, sizeof(events));
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendSysEx(const SysExMessage& message) {
  VstMidiSysexEvent event;
  std::memset(&event, 0, sizeof(event));
  event.type = kVstSysExType;
  event.byteSize = sizeof(VstMidiSysexEvent);
  event.deltaFrames = message.offset;
  event.dumpBytes = message.size;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message.data));
  VstEvents events;
  std::memset(&events, 0, sizeof(events));
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}
