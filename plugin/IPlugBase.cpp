#include "plugin/IPlugBase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void CopyName(char* out, const char* text) {
  std::snprintf(out, IPlugBase::kNameSize, "%s", text ? text : "");
}

// Reads one signed decimal count from [*cursor, end); false when there is none or it is out of range.
bool ParseCount(const char*& cursor, const char* end, int32_t& out) {
  const char* start = cursor;
  if (cursor < end && (*cursor == '-' || *cursor == '+')) ++cursor;
  const char* digits = cursor;
  long value = 0;
  while (cursor < end && *cursor >= '0' && *cursor <= '9') {
    value = value * 10 + (*cursor - '0');
    if (value > IPlugBase::kMaxChannels) return false;
    ++cursor;
  }
  if (cursor == digits) {
    cursor = start;
    return false;
  }
  out = static_cast<int32_t>(*start == '-' ? -value : value);
  return true;
}

void PointAtScratch(AudioChannel& channel) {
  *channel.pointerEntry = channel.scratch.data();
}

}  // namespace

IPlugBase::IPlugBase(const char* channelIO, int nParams, int nPresets, const char* effectName,
                     const char* productName, const char* vendorName, int32_t uniqueId, int32_t version,
                     bool isInstrument, bool handlesMidi)
    : mUniqueID(uniqueId), mVersion(version), mIsInstrument(isInstrument), mHandlesMidi(handlesMidi) {
  CopyName(mEffectName, effectName);
  CopyName(mProductName, productName);
  CopyName(mVendorName, vendorName);

  ParseChannelConfigs(channelIO);
  int nInputs = 0;
  int nOutputs = 0;
  for (const ChannelConfig& config : mChannelConfigs) {
    nInputs = std::max(nInputs, static_cast<int>(config.inputs));
    nOutputs = std::max(nOutputs, static_cast<int>(config.outputs));
  }
  mInChannels.resize(static_cast<size_t>(nInputs));
  mOutChannels.resize(static_cast<size_t>(nOutputs));
  mInPointers.assign(static_cast<size_t>(nInputs), nullptr);
  mOutPointers.assign(static_cast<size_t>(nOutputs), nullptr);
  ResetPointerEntries();

  mParams.resize(static_cast<size_t>(std::max(nParams, 0)));
  mPresets.resize(static_cast<size_t>(std::max(nPresets, 0)));
}

IPlugBase::~IPlugBase() = default;

void IPlugBase::ParseChannelConfigs(const char* channelIO) {
  if (!channelIO) return;
  const char* cursor = channelIO;
  while (*cursor) {
    while (*cursor == ' ') ++cursor;
    const char* tokenEnd = cursor;
    while (*tokenEnd && *tokenEnd != ' ') ++tokenEnd;
    if (tokenEnd == cursor) break;
    // A token must be exactly "<count>-<count>"; anything else is skipped.
    ChannelConfig config;
    const char* p = cursor;
    if (ParseCount(p, tokenEnd, config.inputs) && p < tokenEnd && *p == '-' &&
        ParseCount(++p, tokenEnd, config.outputs) && p == tokenEnd) {
      mChannelConfigs.push_back(config);
    }
    cursor = tokenEnd;
  }
}

void IPlugBase::ResetPointerEntries() {
  for (size_t i = 0; i < mInChannels.size(); ++i) {
    mInChannels[i].pointerEntry = &mInPointers[i];
    PointAtScratch(mInChannels[i]);
  }
  for (size_t i = 0; i < mOutChannels.size(); ++i) {
    mOutChannels[i].pointerEntry = &mOutPointers[i];
    PointAtScratch(mOutChannels[i]);
  }
}

void IPlugBase::Reset() {
  LockGuard lock(mMutex);
}

void IPlugBase::ApplyParameter(int) {}

void IPlugBase::RenderBlock(double** inputs, double** outputs, int frames) {
  if (!outputs || frames <= 0) return;
  const int nIn = NInChannels();
  for (int i = 0; i < NOutChannels(); ++i) {
    if (!outputs[i]) continue;
    const double* in = (inputs && i < nIn) ? inputs[i] : nullptr;
    if (in) {
      std::memmove(outputs[i], in, sizeof(double) * static_cast<size_t>(frames));
    } else {
      std::fill(outputs[i], outputs[i] + frames, 0.0);
    }
  }
}

void IPlugBase::Activate(bool) {}

void IPlugBase::HandleMidiMessage(const MidiMessage& message) {
  SendMidiMessage(message);
}

void IPlugBase::HandleSysEx(const SysExMessage&) {}

bool IPlugBase::GetMidiKeyName(int, char* text) {
  if (text) text[0] = '\0';
  return false;
}

bool IPlugBase::SaveProgramState(DataChunk& chunk) {
  return SerializeParams(chunk);
}

int IPlugBase::LoadProgramState(const DataChunk& chunk, int position) {
  std::vector<double> values;
  position = ReadProgramState(chunk, position, values);
  if (position < 0) return -1;
  SetParameterValues(values);
  return position;
}

int IPlugBase::ReadProgramState(const DataChunk& chunk, int position, std::vector<double>& values) const {
  return ReadParamBlock(chunk, position, values);
}

void IPlugBase::SetParameterFromEditor(int index, double normalized) {
  LockGuard lock(mMutex);
  IPlugParam* param = GetParam(index);
  if (!param) return;
  // A host value still waiting for the next redraw tick is older than this edit: it must not be drawn
  // over the control the user has just moved.
  if (mEditor) mEditor->DropPendingValue(index);
  param->SetFromNormalized(normalized);
  NotifyHostOfParameterChange(index, normalized);
  ApplyParameter(index);
}

void IPlugBase::AttachEditor(PluginEditor* editor) {
  if (!editor) return;
  LockGuard lock(mMutex);
  editor->AttachToPlugin(NParams());
  for (int i = 0; i < NParams(); ++i) {
    const IPlugParam& param = mParams[static_cast<size_t>(i)];
    editor->ApplyParameterFromPlugin(i, param.ToNormalized(param.Value()), true);
  }
  if (editor != mEditor.get()) mEditor.reset(editor);
}

void IPlugBase::SetLatency(int samples) {
  mLatency = samples;
}

void IPlugBase::RedrawParameterControls() {
  if (!mEditor) return;
  for (int i = 0; i < NParams(); ++i) {
    mEditor->ApplyParameterFromPlugin(i, mParams[static_cast<size_t>(i)].Value(), false);
  }
}

int IPlugBase::UnserializePresets(const DataChunk& chunk, int position) {
  std::vector<StoredPreset> bank;
  position = ReadPresets(chunk, position, bank);
  if (position < 0) return -1;
  InstallPresets(bank, mCurrentPresetIdx);
  return position;
}

int IPlugBase::UnserializeHostBank(const DataChunk& chunk, int position) {
  std::vector<StoredPreset> bank;
  position = ReadPresets(chunk, position, bank);
  int current = mCurrentPresetIdx;
  if (position >= 0) position = ReadCurrentProgram(chunk, position, current);
  if (position < 0) return -1;
  InstallPresets(bank, current);
  return position;
}

int IPlugBase::ReadPresets(const DataChunk& chunk, int position, std::vector<StoredPreset>& bank) const {
  // Every program is read and checked before the first one changes, so a bank that ends early or
  // carries a damaged program leaves all programs as they were.
  bank.assign(mPresets.size(), StoredPreset());
  for (StoredPreset& read : bank) {
    position = chunk.GetString(read.name, position);
    if (position >= 0) position = chunk.GetBool(read.initialized, position);
    if (position >= 0 && read.initialized) position = ReadProgramState(chunk, position, read.values);
    if (position < 0) return -1;
  }
  return position;
}

int IPlugBase::ReadCurrentProgram(const DataChunk& chunk, int position, int& program) const {
  // Up to four bytes that begin the tag are a trailer, possibly cut short.
  const int tagBytes = std::min(chunk.Size() - position, 4);
  const bool tagged = tagBytes > 0 && std::memcmp(chunk.Data() + position, kCurrentProgramTag,
                                                  static_cast<size_t>(tagBytes)) == 0;
  if (!tagged) return position;
  int32_t number = -1;
  const int end = chunk.GetInt(number, position + 4);
  if (end < 0 || number < 0 || number >= NPresets()) return -1;
  program = number;
  return end;
}

void IPlugBase::InstallPresets(const std::vector<StoredPreset>& bank, int current) {
  for (size_t i = 0; i < bank.size(); ++i) {
    Preset& preset = mPresets[i];
    preset.SetName(bank[i].name);
    preset.initialized = bank[i].initialized;
    preset.state.Clear();
    if (!preset.initialized) continue;
    // Through the live parameters, so every program is stored again in the current layout.
    SetParameterValues(bank[i].values);
    SaveProgramState(preset.state);
  }
  RecallPreset(current);
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
  Preset* preset = GetPreset(mCurrentPresetIdx);
  if (!preset) return;
  preset->state.Clear();
  SaveProgramState(preset->state);
  if (name && name[0]) preset->SetName(name);
}

void IPlugBase::SetSampleRate(double rate) {
  mSampleRate = rate;
}

void IPlugBase::SetBlockSize(int frames) {
  if (frames < 0 || frames == mBlockSize) return;
  for (AudioChannel& channel : mInChannels) channel.scratch.assign(static_cast<size_t>(frames), 0.0);
  for (AudioChannel& channel : mOutChannels) channel.scratch.assign(static_cast<size_t>(frames), 0.0);
  ResetPointerEntries();
  mBlockSize = frames;
}

IPlugParam* IPlugBase::GetParam(int index) {
  return (index >= 0 && index < NParams()) ? &mParams[static_cast<size_t>(index)] : nullptr;
}

const IPlugParam* IPlugBase::GetParam(int index) const {
  return (index >= 0 && index < NParams()) ? &mParams[static_cast<size_t>(index)] : nullptr;
}

void IPlugBase::ApplyAllParameters() {
  for (int i = 0; i < NParams(); ++i) ApplyParameter(i);
}

bool IPlugBase::SerializeParams(DataChunk& chunk) {
  LockGuard lock(mMutex);
  for (const IPlugParam& param : mParams) chunk.PutDouble(param.Value());
  return !chunk.IsEmpty();
}

int IPlugBase::UnserializeParams(const DataChunk& chunk, int position) {
  LockGuard lock(mMutex);
  std::vector<double> values;
  position = ReadParamBlock(chunk, position, values);
  if (position >= 0) SetParameterValues(values);
  return position;
}

int IPlugBase::ReadParamBlock(const DataChunk& chunk, int position, std::vector<double>& values) const {
  values.assign(mParams.size(), 0.0);
  for (double& value : values) {
    position = chunk.GetDouble(value, position);
    if (position < 0) return -1;
  }
  return position;
}

void IPlugBase::SetParameterValues(const std::vector<double>& values) {
  LockGuard lock(mMutex);
  const size_t count = std::min(values.size(), mParams.size());
  for (size_t i = 0; i < count; ++i) {
    // A stored NaN would pass any range check and reach the engine.
    mParams[i].SetPlainClamped(std::isnan(values[i]) ? 0.0 : values[i]);
  }
  ApplyAllParameters();
}

Preset* IPlugBase::GetPreset(int index) {
  return (index >= 0 && index < NPresets()) ? &mPresets[static_cast<size_t>(index)] : nullptr;
}

const Preset* IPlugBase::GetPreset(int index) const {
  return (index >= 0 && index < NPresets()) ? &mPresets[static_cast<size_t>(index)] : nullptr;
}

const char* IPlugBase::GetPresetName(int index) const {
  const Preset* preset = GetPreset(index);
  return preset ? preset->name.c_str() : "";
}

bool IPlugBase::SerializePresets(DataChunk& chunk) {
  for (const Preset& preset : mPresets) {
    chunk.PutString(preset.name);
    chunk.PutBool(preset.initialized);
    if (preset.initialized) chunk.PutChunk(preset.state);
  }
  return !chunk.IsEmpty();
}

bool IPlugBase::SerializeHostBank(DataChunk& chunk) {
  if (!SerializePresets(chunk)) return false;
  chunk.PutBytes(kCurrentProgramTag, 4);
  chunk.PutInt(mCurrentPresetIdx);
  return true;
}

bool IPlugBase::RecallPreset(int index) {
  Preset* preset = GetPreset(index);
  if (!preset) return false;
  bool ok;
  if (preset->initialized) {
    ok = LoadProgramState(preset->state, 0) > 0;
  } else {
    int userPresets = 0;
    for (const Preset& other : mPresets) {
      if (other.name.find("user preset") != std::string::npos) ++userPresets;
    }
    char name[Preset::kMaxNameLength + 1];
    std::snprintf(name, sizeof(name), "%s %d", "user preset", userPresets + 1);
    preset->SetName(name);
    preset->state.Clear();
    ok = SaveProgramState(preset->state);
    preset->initialized = ok;
  }
  if (ok) {
    mCurrentPresetIdx = index;
    PresetsChanged();
    RedrawParameterControls();
  }
  return ok;
}

void IPlugBase::FillEmptyPresets(int count) {
  for (int n = 0; n < count; ++n) {
    auto empty = std::find_if(mPresets.begin(), mPresets.end(), [](const Preset& p) { return !p.initialized; });
    if (empty == mPresets.end()) return;
    empty->initialized = true;
    empty->SetName("Empty");
    empty->state.Clear();
    SaveProgramState(empty->state);
  }
}

void IPlugBase::WriteChunkHeader(DataChunk& chunk) {
  chunk.Clear();
  chunk.PutBytes("tffp", 4);
  chunk.PutInt(kChunkVersion);
}

int32_t IPlugBase::ReadChunkHeader(const DataChunk& chunk, int& position) {
  char marker[4];
  int32_t version = 0;
  const int afterMarker = chunk.GetBytes(marker, 4, position);
  if (afterMarker < 0 || std::memcmp(marker, "tffp", 4) != 0) return 0;
  const int afterVersion = chunk.GetInt(version, afterMarker);
  if (afterVersion < 0) return 0;
  position = afterVersion;
  return version;
}

bool IPlugBase::LegalIO(int inputs, int outputs) const {
  for (const ChannelConfig& config : mChannelConfigs) {
    const bool inputsMatch = inputs < 0 || config.inputs < 0 || inputs == config.inputs;
    const bool outputsMatch = outputs < 0 || config.outputs < 0 || outputs == config.outputs;
    if (inputsMatch && outputsMatch) return true;
  }
  return false;
}

AudioChannel* IPlugBase::InChannel(int index) {
  return (index >= 0 && index < NInChannels()) ? &mInChannels[static_cast<size_t>(index)] : nullptr;
}

AudioChannel* IPlugBase::OutChannel(int index) {
  return (index >= 0 && index < NOutChannels()) ? &mOutChannels[static_cast<size_t>(index)] : nullptr;
}

void IPlugBase::SetInputConnections(int first, int count, bool connected) {
  for (int i = std::max(first, 0); i < NInChannels() && i - first < count; ++i) {
    AudioChannel& channel = mInChannels[static_cast<size_t>(i)];
    channel.connected = connected;
    if (!connected) PointAtScratch(channel);
  }
}

void IPlugBase::SetOutputConnections(int first, int count, bool connected) {
  for (int i = std::max(first, 0); i < NOutChannels() && i - first < count; ++i) {
    AudioChannel& channel = mOutChannels[static_cast<size_t>(i)];
    channel.connected = connected;
    if (!connected) {
      channel.hostDestination = nullptr;
      PointAtScratch(channel);
    }
  }
}

void IPlugBase::EnsureScratch(int frames) {
  // Only a host that exceeds the block size it announced makes this allocate.
  bool resized = false;
  for (AudioChannel& channel : mInChannels) {
    if (channel.scratch.size() < static_cast<size_t>(frames)) {
      channel.scratch.resize(static_cast<size_t>(frames), 0.0);
      resized = true;
    }
  }
  for (AudioChannel& channel : mOutChannels) {
    if (channel.scratch.size() < static_cast<size_t>(frames)) {
      channel.scratch.resize(static_cast<size_t>(frames), 0.0);
      resized = true;
    }
  }
  if (resized) ResetPointerEntries();
}

void IPlugBase::ProcessFloatBlock(float** inputs, float** outputs, int frames, bool accumulate) {
  if (frames <= 0) return;
  EnsureScratch(frames);
  int hostIndex = 0;
  for (AudioChannel& channel : mInChannels) {
    PointAtScratch(channel);
    if (!channel.connected) continue;
    const float* in = inputs ? inputs[hostIndex++] : nullptr;
    if (!in) {
      std::fill(channel.scratch.begin(), channel.scratch.begin() + frames, 0.0);
      continue;
    }
    for (int s = 0; s < frames; ++s) channel.scratch[static_cast<size_t>(s)] = in[s];
  }
  hostIndex = 0;
  for (AudioChannel& channel : mOutChannels) {
    PointAtScratch(channel);
    channel.hostDestination = (channel.connected && outputs) ? outputs[hostIndex++] : nullptr;
  }
  RenderBlock(InputPointers(), OutputPointers(), frames);
  for (AudioChannel& channel : mOutChannels) {
    float* out = channel.hostDestination;
    if (!out) continue;
    const double* rendered = channel.scratch.data();
    if (accumulate) {
      for (int s = 0; s < frames; ++s) out[s] += static_cast<float>(rendered[s]);
    } else {
      for (int s = 0; s < frames; ++s) out[s] = static_cast<float>(rendered[s]);
    }
  }
}

void IPlugBase::ProcessDoubleBlock(double** inputs, double** outputs, int frames) {
  if (frames <= 0) return;
  EnsureScratch(frames);
  int hostIndex = 0;
  for (AudioChannel& channel : mInChannels) {
    double* in = (channel.connected && inputs) ? inputs[hostIndex++] : nullptr;
    *channel.pointerEntry = in ? in : channel.scratch.data();
  }
  hostIndex = 0;
  for (AudioChannel& channel : mOutChannels) {
    double* out = (channel.connected && outputs) ? outputs[hostIndex++] : nullptr;
    *channel.pointerEntry = out ? out : channel.scratch.data();
  }
  RenderBlock(InputPointers(), OutputPointers(), frames);
}

int32_t IPlugBase::GetVersionDecimal() const {
  const int32_t major = (mVersion >> 16) & 0xFFFF;
  const int32_t minor = (mVersion >> 8) & 0xFF;
  const int32_t fix = mVersion & 0xFF;
  return major * 10000 + minor * 100 + fix;
}
