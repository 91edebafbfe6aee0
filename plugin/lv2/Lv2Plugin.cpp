#include "plugin/lv2/Lv2Plugin.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "plugin/lv2/Lv2Uris.h"
#include "plugin/vst2/IPlugVST.h"
#include "plugin/vst2/PluginFactory.h"

namespace {

// The instance being created: it may call its host before the AEffect's user field can point here.
thread_local Lv2Plugin* tCreating = nullptr;

std::mutex& CreationMutex() {
  static std::mutex mutex;
  return mutex;
}

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
  for (int i = 0; features && features[i]; ++i) {
    if (std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
  }
  return nullptr;
}

// The host's largest run from the options it passes (buf-size), or 0 when it names none.
int MaxBlockLength(const LV2_Feature* const* features, LV2_URID_Map* map) {
  const auto* options = static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
  if (!options) return 0;
  const LV2_URID maxLength = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID nominalLength = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
  const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
  int found = 0;
  for (const LV2_Options_Option* o = options; o->key; ++o) {
    if ((o->key == maxLength || o->key == nominalLength) && o->type == atomInt && o->value) {
      found = std::max(found, *static_cast<const int32_t*>(o->value));
    }
  }
  return found;
}

// A number of any of the atom number types.
bool NumberOf(const LV2_Atom* atom, LV2_URID intType, LV2_URID longType, LV2_URID floatType, LV2_URID doubleType,
              double& out) {
  if (!atom) return false;
  if (atom->type == floatType) out = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
  else if (atom->type == doubleType) out = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
  else if (atom->type == intType) out = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
  else if (atom->type == longType) out = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
  else return false;
  return std::isfinite(out);
}

}  // namespace

Lv2Plugin* Lv2Plugin::Create(double sampleRate, const LV2_Feature* const* features) {
  auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(FindFeature(features, LV2_URID__map)));
  if (!map || !(sampleRate > 0.0) || !std::isfinite(sampleRate)) return nullptr;
  const int hostBlock = MaxBlockLength(features, map);
  const int blockSize = hostBlock > 0 ? std::min(hostBlock, IPlugVST::kMaxBlockSize) : kDefaultBlockSize;

  std::lock_guard<std::mutex> lock(CreationMutex());
  std::unique_ptr<Lv2Plugin> binding;
  try {
    binding.reset(new Lv2Plugin(nullptr, map, sampleRate, blockSize));
    tCreating = binding.get();
    IPlugVST* plug = CreatePluginInstance(&Lv2Plugin::HostCallback);
    tCreating = nullptr;
    if (!plug) return nullptr;
    plug->FillEmptyPresets(plug->NPresets());
    binding->mEffect = plug->GetAEffect();
  } catch (...) {
    tCreating = nullptr;
    return nullptr;
  }
  AEffect* effect = binding->mEffect;
  effect->user = binding.get();
  binding->mParameterCount = effect->numParams;
  binding->mControls.assign(static_cast<size_t>(effect->numParams), nullptr);
  // Ports start as seen at their defaults, so that a new instance keeps the program it loaded (the
  // bank's first), as the VST2 module does; a host that sets a port to another value is heard.
  binding->mSeenControls.resize(static_cast<size_t>(effect->numParams));
  IPlugVST* plug = binding->Plug();
  for (int i = 0; i < effect->numParams; ++i) {
    binding->mSeenControls[static_cast<size_t>(i)] = static_cast<float>(plug->GetParam(i)->Default());
  }
  binding->mGestures = EditGestures(effect->numParams);
  binding->Dispatch(effOpen);
  binding->Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  binding->Dispatch(effSetBlockSize, 0, blockSize);
  return binding.release();
}

Lv2Plugin::Lv2Plugin(AEffect* effect, LV2_URID_Map* map, double sampleRate, int blockSize)
    : mEffect(effect), mParameterCount(0), mSampleRate(sampleRate), mBlockSize(blockSize), mGestures(0) {
  auto uri = [map](const char* text) { return map->map(map->handle, text); };
  mUris.atomBlank = uri(LV2_ATOM__Blank);
  mUris.atomObject = uri(LV2_ATOM__Object);
  mUris.atomChunk = uri(LV2_ATOM__Chunk);
  mUris.atomInt = uri(LV2_ATOM__Int);
  mUris.atomFloat = uri(LV2_ATOM__Float);
  mUris.atomDouble = uri(LV2_ATOM__Double);
  mUris.atomLong = uri(LV2_ATOM__Long);
  mUris.midiEvent = uri(LV2_MIDI__MidiEvent);
  mUris.timePosition = uri(LV2_TIME__Position);
  mUris.timeBeatsPerMinute = uri(LV2_TIME__beatsPerMinute);
  mUris.timeBarBeat = uri(LV2_TIME__barBeat);
  mUris.timeBar = uri(LV2_TIME__bar);
  mUris.timeBeatsPerBar = uri(LV2_TIME__beatsPerBar);
  mUris.timeBeatUnit = uri(LV2_TIME__beatUnit);
  mUris.timeSpeed = uri(LV2_TIME__speed);
  mUris.timeFrame = uri(LV2_TIME__frame);
  mUris.stateBank = uri(kLv2StateBank);
  mUris.stateProgram = uri(kLv2StateProgram);

  mPending.resize(kMaxEvents);
  mMidiEvents.resize(kMaxEvents);
  mEventList.resize(sizeof(VstEvents) + sizeof(VstEvent*) * kMaxEvents);
  mTime.sampleRate = sampleRate;
}

Lv2Plugin::~Lv2Plugin() {
  if (mEffect) mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);
}

IPlugVST* Lv2Plugin::Plug() const { return mEffect ? static_cast<IPlugVST*>(mEffect->object) : nullptr; }

void Lv2Plugin::ReadParameterValues(float* out) const {
  IPlugVST* plug = Plug();
  IPlugBase::LockGuard lock(plug->Mutex());
  for (int i = 0; i < mParameterCount; ++i) out[i] = static_cast<float>(plug->GetParam(i)->Value());
}

bool Lv2Plugin::WillTake(int index, float portValue) const {
  IPlugVST* plug = Plug();
  IPlugBase::LockGuard lock(plug->Mutex());
  const IPlugParam* param = plug->GetParam(index);
  return param && portValue != mSeenControls[static_cast<size_t>(index)] &&
         portValue != static_cast<float>(param->Value());
}

VstIntPtr Lv2Plugin::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void Lv2Plugin::ConnectPort(uint32_t port, void* data) {
  if (port == kLv2PortEvents) {
    mEvents = static_cast<const LV2_Atom_Sequence*>(data);
  } else if (port == kLv2PortLeft || port == kLv2PortRight) {
    mOutputs[port - kLv2PortLeft] = static_cast<float*>(data);
  } else if (port >= kLv2PortFirstParameter && port - kLv2PortFirstParameter < mControls.size()) {
    mControls[port - kLv2PortFirstParameter] = static_cast<const float*>(data);
  }
}

void Lv2Plugin::Activate() {
  if (mActive) return;
  mActive = true;
  Dispatch(effMainsChanged, 0, 1);
}

void Lv2Plugin::Deactivate() {
  if (!mActive) return;
  mActive = false;
  Dispatch(effMainsChanged, 0, 0);
}

// ---- Audio thread ----

void Lv2Plugin::Run(uint32_t frames) {
  if (!mOutputs[0] || !mOutputs[1] || frames == 0) return;
  ApplyControlPorts();
  const int count = CollectEvents();
  // Runs longer than the block size are rendered in pieces, each with its own events, as the VST2
  // binding cuts long host blocks.
  int next = 0;
  const uint32_t blockSize = static_cast<uint32_t>(mBlockSize);
  for (uint32_t start = 0; start < frames;) {
    const uint32_t end = std::min(frames, start + blockSize);
    const int first = next;
    while (next < count && mPending[static_cast<size_t>(next)].frame < end) ++next;
    RenderPiece(start, end - start, mPending.data() + first, next - first);
    start = end;
  }
  if (mHaveTime && (mTime.flags & kVstTransportPlaying)) mTime.samplePos += frames;
}

void Lv2Plugin::ApplyControlPorts() {
  IPlugVST* plug = Plug();
  IPlugBase::LockGuard lock(plug->Mutex());
  for (int i = 0; i < mParameterCount; ++i) {
    const float* port = mControls[static_cast<size_t>(i)];
    if (!port) continue;
    const float value = *port;
    float& seen = mSeenControls[static_cast<size_t>(i)];
    if (value == seen || !std::isfinite(value)) continue;
    seen = value;
    IPlugParam* param = plug->GetParam(i);
    // A port holds a float: a value that rounds to the port's is the same setting, and keeps the
    // program's exact value.
    if (static_cast<float>(param->Value()) == value) continue;
    double plain = value;
    if (param->Kind() != IPlugParam::kContinuous && param->Step() > 0.0) {
      plain = param->Min() + std::round((plain - param->Min()) / param->Step()) * param->Step();
    }
    if (PluginEditor* editor = plug->GetGUI()) editor->ApplyParameterFromPlugin(i, plain, false);
    param->SetPlainClamped(plain);
    plug->ApplyParameter(i);
  }
}

int Lv2Plugin::CollectEvents() {
  if (!mEvents) return 0;
  int count = 0;
  LV2_ATOM_SEQUENCE_FOREACH(mEvents, event) {
    const LV2_Atom& body = event->body;
    if (body.type == mUris.midiEvent) {
      if (count == kMaxEvents || body.size == 0 || body.size > 3) continue;
      const auto* bytes = reinterpret_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&body));
      // Channel messages only; system messages mean nothing to the instrument.
      if (bytes[0] < 0x80 || bytes[0] >= 0xF0) continue;
      PendingMidi& m = mPending[static_cast<size_t>(count++)];
      m.frame = static_cast<uint32_t>(std::max<int64_t>(event->time.frames, 0));
      m.bytes[0] = bytes[0];
      m.bytes[1] = body.size > 1 ? bytes[1] : 0;
      m.bytes[2] = body.size > 2 ? bytes[2] : 0;
    } else if (body.type == mUris.atomObject || body.type == mUris.atomBlank) {
      const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
      if (object->body.otype == mUris.timePosition) ReadPosition(object);
    }
  }
  return count;
}

void Lv2Plugin::ReadPosition(const LV2_Atom_Object* position) {
  const LV2_Atom* bpm = nullptr;
  const LV2_Atom* barBeat = nullptr;
  const LV2_Atom* bar = nullptr;
  const LV2_Atom* beatsPerBar = nullptr;
  const LV2_Atom* beatUnit = nullptr;
  const LV2_Atom* speed = nullptr;
  const LV2_Atom* frame = nullptr;
  lv2_atom_object_get(position, mUris.timeBeatsPerMinute, &bpm, mUris.timeBarBeat, &barBeat, mUris.timeBar, &bar,
                      mUris.timeBeatsPerBar, &beatsPerBar, mUris.timeBeatUnit, &beatUnit, mUris.timeSpeed, &speed,
                      mUris.timeFrame, &frame, 0);
  auto number = [this](const LV2_Atom* atom, double& out) {
    return NumberOf(atom, mUris.atomInt, mUris.atomLong, mUris.atomFloat, mUris.atomDouble, out);
  };
  double v = 0.0;
  if (number(bpm, v) && v > 0.0) {
    mTime.tempo = v;
    mTime.flags |= kVstTempoValid;
  }
  double perBar = 0.0, unit = 0.0;
  if (number(beatsPerBar, perBar) && number(beatUnit, unit) && perBar > 0.0 && unit > 0.0) {
    mTime.timeSigNumerator = static_cast<VstInt32>(perBar);
    mTime.timeSigDenominator = static_cast<VstInt32>(unit);
    mTime.flags |= kVstTimeSigValid;
    double barNumber = 0.0, beat = 0.0;
    if (number(bar, barNumber) && number(barBeat, beat)) {
      // Quarter notes from the bar and beat: a beat is a 1/unit note.
      mTime.barStartPos = barNumber * perBar * 4.0 / unit;
      mTime.ppqPos = mTime.barStartPos + beat * 4.0 / unit;
      mTime.flags |= kVstPpqPosValid | kVstBarsValid;
    }
  }
  if (number(speed, v)) {
    if (v != 0.0) mTime.flags |= kVstTransportPlaying;
    else mTime.flags &= ~kVstTransportPlaying;
  }
  if (number(frame, v)) mTime.samplePos = v;
  mHaveTime = true;
}

void Lv2Plugin::RenderPiece(uint32_t start, uint32_t frames, const PendingMidi* events, int count) {
  if (count > 0) {
    auto* list = reinterpret_cast<VstEvents*>(mEventList.data());
    list->numEvents = count;
    list->reserved = 0;
    for (int i = 0; i < count; ++i) {
      VstMidiEvent& e = mMidiEvents[static_cast<size_t>(i)];
      std::memset(&e, 0, sizeof(e));
      e.type = kVstMidiType;
      e.byteSize = sizeof(VstMidiEvent);
      e.deltaFrames = static_cast<VstInt32>(std::min(events[i].frame, start + frames - 1) - start);
      e.midiData[0] = static_cast<char>(events[i].bytes[0]);
      e.midiData[1] = static_cast<char>(events[i].bytes[1]);
      e.midiData[2] = static_cast<char>(events[i].bytes[2]);
      list->events[i] = reinterpret_cast<VstEvent*>(&e);
    }
    Dispatch(effProcessEvents, 0, 0, list);
  }
  float* outputs[2] = {mOutputs[0] + start, mOutputs[1] + start};
  mEffect->processReplacing(mEffect, nullptr, outputs, static_cast<VstInt32>(frames));
}

// ---- The plug-in's calls to its host ----

VstIntPtr VST_CALLBACK Lv2Plugin::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                               void* ptr, float) {
  if (opcode == audioMasterVersion) return kVstVersion;
  Lv2Plugin* binding = (effect && effect->user) ? static_cast<Lv2Plugin*>(effect->user) : tCreating;
  return binding ? binding->Answer(opcode, index, ptr) : 0;
}

VstIntPtr Lv2Plugin::Answer(VstInt32 opcode, VstInt32 index, void* ptr) {
  switch (opcode) {
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetTime:
      return mHaveTime ? reinterpret_cast<VstIntPtr>(&mTime) : 0;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(mSampleRate);
    case audioMasterGetBlockSize:
      return mBlockSize;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
      // No host name: no host-specific behaviour, and bank chunks for the state.
      if (ptr) static_cast<char*>(ptr)[0] = 0;
      return 0;
    case audioMasterBeginEdit:
      mGestures.Begin(index);
      return 1;
    case audioMasterAutomate:
      mGestures.Changed(index);
      return 1;
    case audioMasterEndEdit:
      mGestures.End(index);
      return 1;
    case audioMasterSizeWindow:
      mWindowResized = true;
      return 1;
    default:
      // MIDI out, display updates and process levels have no counterpart here.
      return 0;
  }
}

// ---- State ----

LV2_State_Status Lv2Plugin::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
  IPlugVST* plug = Plug();
  IPlugBase::LockGuard lock(plug->Mutex());
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, 0, 0, &data);
  if (size <= 0 || !data) return LV2_STATE_ERR_UNKNOWN;
  const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  LV2_State_Status status =
      store(handle, mUris.stateBank, data, static_cast<size_t>(size), mUris.atomChunk, flags);
  if (status != LV2_STATE_SUCCESS) return status;
  const int32_t program = static_cast<int32_t>(Dispatch(effGetProgram));
  return store(handle, mUris.stateProgram, &program, sizeof(program), mUris.atomInt, flags);
}

LV2_State_Status Lv2Plugin::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  size_t bankSize = 0, programSize = 0;
  uint32_t bankType = 0, programType = 0, flags = 0;
  const void* bank = retrieve(handle, mUris.stateBank, &bankSize, &bankType, &flags);
  const void* program = retrieve(handle, mUris.stateProgram, &programSize, &programType, &flags);
  if (!bank && !program) return LV2_STATE_ERR_NO_PROPERTY;
  if (bank && (bankType != mUris.atomChunk || bankSize == 0 || bankSize > INT32_MAX)) {
    return LV2_STATE_ERR_BAD_TYPE;
  }
  int32_t programNumber = -1;
  if (program) {
    if (programType != mUris.atomInt || programSize != sizeof(int32_t)) return LV2_STATE_ERR_BAD_TYPE;
    std::memcpy(&programNumber, program, sizeof(programNumber));
    if (programNumber < 0 || programNumber >= mEffect->numPrograms) return LV2_STATE_ERR_UNKNOWN;
  }

  IPlugVST* plug = Plug();
  IPlugBase::LockGuard lock(plug->Mutex());
  // The bank is all or nothing (the VST2 binding's chunk load); the program is known to exist.
  if (bank && !Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bankSize), const_cast<void*>(bank))) {
    return LV2_STATE_ERR_UNKNOWN;
  }
  if (programNumber >= 0) Dispatch(effSetProgram, 0, programNumber);
  TakePortsAsSeen();
  return LV2_STATE_SUCCESS;
}

void Lv2Plugin::TakePortsAsSeen() {
  for (int i = 0; i < mParameterCount; ++i) {
    const float* port = mControls[static_cast<size_t>(i)];
    if (port) mSeenControls[static_cast<size_t>(i)] = *port;
  }
}
