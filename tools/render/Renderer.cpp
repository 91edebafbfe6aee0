#include "tools/render/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A VstEvents record with room for any number of event pointers, as a host builds it.
class EventBlock {
 public:
  void Clear() { midi_.clear(); }
  void Add(const MidiFileEvent& event, int offset) {
    VstMidiEvent midi;
    std::memset(&midi, 0, sizeof(midi));
    midi.type = kVstMidiType;
    midi.byteSize = sizeof(VstMidiEvent);
    midi.deltaFrames = offset;
    midi.midiData[0] = static_cast<char>(event.status);
    midi.midiData[1] = static_cast<char>(event.data1);
    midi.midiData[2] = static_cast<char>(event.data2);
    midi_.push_back(midi);
  }
  bool Empty() const { return midi_.empty(); }
  VstEvents* List() {
    const size_t pointers = std::max<size_t>(midi_.size(), 2);
    storage_.assign(offsetof(VstEvents, events) + pointers * sizeof(VstEvent*), 0);
    VstEvents* list = reinterpret_cast<VstEvents*>(storage_.data());
    list->numEvents = static_cast<VstInt32>(midi_.size());
    for (size_t i = 0; i < midi_.size(); ++i) list->events[i] = reinterpret_cast<VstEvent*>(&midi_[i]);
    return list;
  }

 private:
  std::vector<VstMidiEvent> midi_;
  std::vector<unsigned char> storage_;  // VstEvents header and pointer array; pointer-aligned by new
};

}  // namespace

long long Renderer::TotalFrames(const MidiSong& song) const {
  return std::llround(song.lengthSeconds * settings_.sampleRate) + std::llround(settings_.tailSeconds * settings_.sampleRate);
}

int Renderer::OutputChannels() const {
  const AEffect* effect = module_.Effect();
  return effect ? std::min(effect->numOutputs, 2) : 0;
}

bool Renderer::Start(std::string& error) {
  AEffect* effect = module_.Effect();
  if (!effect) {
    error = "no plug-in is loaded";
    return false;
  }
  if (!effect->processReplacing || !(effect->flags & effFlagsCanReplacing)) {
    error = "the plug-in does not offer processReplacing";
    return false;
  }
  if (effect->numOutputs < 1 || effect->numOutputs > kMaxChannels || effect->numInputs < 0 ||
      effect->numInputs > kMaxChannels) {
    error = "the plug-in reports " + std::to_string(effect->numInputs) + " inputs and " +
            std::to_string(effect->numOutputs) + " outputs";
    return false;
  }
  HostTransport& transport = module_.Transport();
  transport.sampleRate = settings_.sampleRate;
  transport.blockSize = settings_.blockSize;
  module_.Dispatch(effOpen);
  module_.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(settings_.sampleRate));
  module_.Dispatch(effSetBlockSize, 0, settings_.blockSize);
  module_.Dispatch(effMainsChanged, 0, 1);
  running_ = true;
  return true;
}

void Renderer::Stop() {
  if (!running_) return;
  module_.Dispatch(effMainsChanged, 0, 0);
  running_ = false;
}

void Renderer::UpdateTransport(const MidiSong& song, long long frame) {
  HostTransport& transport = module_.Transport();
  const double seconds = static_cast<double>(frame) / settings_.sampleRate;
  transport.samplePosition = static_cast<double>(frame);
  transport.tempo = song.TempoAt(seconds);
  transport.quarterNotes = song.QuarterNotesAt(seconds);
  const TimeSignatureChange& signature = song.TimeSignatureAt(seconds);
  transport.numerator = signature.numerator;
  transport.denominator = signature.denominator;
  // Bars counted from the latest time-signature change.
  const double since = song.QuarterNotesAt(signature.seconds);
  const double barQuarters = signature.numerator * 4.0 / signature.denominator;
  transport.barStartQuarterNotes = since + std::floor((transport.quarterNotes - since) / barQuarters) * barQuarters;
}

void Renderer::NoteProgram() {
  const int program = static_cast<int>(module_.Dispatch(effGetProgram));
  if (programsPlayed_.empty() || programsPlayed_.back() != program) programsPlayed_.push_back(program);
}

bool Renderer::Render(const MidiSong& song, WavWriter& writer,
                      const std::function<void(long long, long long)>& progress, std::string& error) {
  AEffect* effect = module_.Effect();
  if (!running_ || !effect) {
    error = "the plug-in is not running";
    return false;
  }
  const long long total = TotalFrames(song);
  if (static_cast<double>(total) > kMaxSeconds * settings_.sampleRate) {
    const double seconds = static_cast<double>(total) / settings_.sampleRate;
    error = "the song and its tail last " + std::to_string(static_cast<long long>(seconds)) +
            " s, longer than the limit of " + std::to_string(static_cast<long long>(kMaxSeconds)) + " s";
    return false;
  }
  const int block = settings_.blockSize;
  std::vector<std::vector<float>> inputs(static_cast<size_t>(effect->numInputs), std::vector<float>(block, 0.0f));
  std::vector<std::vector<float>> outputs(static_cast<size_t>(effect->numOutputs), std::vector<float>(block, 0.0f));
  std::vector<float*> inputPointers, outputPointers;
  for (auto& buffer : inputs) inputPointers.push_back(buffer.data());
  for (auto& buffer : outputs) outputPointers.push_back(buffer.data());
  // Hosts pass valid arrays even for zero channels.
  float* none[1] = {nullptr};
  float** in = inputPointers.empty() ? none : inputPointers.data();

  programsPlayed_.clear();
  EventBlock events;
  size_t next = 0;
  int progressCountdown = 0;
  for (long long start = 0; start < total; start += block) {
    const int frames = static_cast<int>(std::min<long long>(block, total - start));
    events.Clear();
    bool programChange = false;
    while (next < song.events.size()) {
      const MidiFileEvent& event = song.events[next];
      const long long frame = std::llround(event.seconds * settings_.sampleRate);
      if (frame >= start + frames) break;
      events.Add(event, static_cast<int>(std::max<long long>(frame - start, 0)));
      programChange = programChange || (event.status & 0xF0) == 0xC0;
      ++next;
    }
    UpdateTransport(song, start);
    if (!events.Empty()) module_.Dispatch(effProcessEvents, 0, 0, events.List());
    for (auto& buffer : inputs) std::fill(buffer.begin(), buffer.end(), 0.0f);
    for (auto& buffer : outputs) std::fill(buffer.begin(), buffer.end(), 0.0f);
    effect->processReplacing(effect, in, outputPointers.data(), frames);
    // Noted after the block: a program change at the very start replaces the program before it sounds.
    if (programChange || start == 0) NoteProgram();
    if (!writer.Write(outputPointers.data(), frames, error)) return false;
    if (progress && --progressCountdown <= 0) {
      progress(start + frames, total);
      progressCountdown = std::max(1, static_cast<int>(settings_.sampleRate / 4 / block));
    }
  }
  if (progress) progress(total, total);
  return true;
}
