#include "engine/Engine.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/PitchTables.h"

namespace {

// Offsets are clamped into this range where they enter: a negative offset would never match a
// sample index and would block every message behind it; a huge one would overflow when delayed.
constexpr int32_t kMaxOffset = 1 << 24;
constexpr int kMessagesPerStorageStep = 512;  // 4096 bytes of 8-byte messages
constexpr int kMaxQueueReserve = 1 << 20;

// The bass filter envelope opens the cutoff by this share of the whole pitch range above the
// filter's floor: from about 11 Hz at envelope 0 to about 217 Hz at 1.
constexpr double kBassSweepShare = 0.38;
constexpr int kBassFilterFloor = 700;  // pitch units, about 11 Hz
constexpr double kBassFilterResonance = 0.04;  // Q 1.32: a gentle peak
// Bass and Cello come through the register low-pass (200 Hz at the default Tone), which takes much
// of their level; this lifts them back toward Viola and Violin.
constexpr double kLowRegisterGain = 1.66;
// The bass section's gain is the master volume alone, outside the string/synth mix: half of it puts
// the bass voice level with the synthesizer at the default mix of 0.5.
constexpr double kBassVoiceGain = 0.5;
// The strings reach the output as the sum of three chorus lines: about a third brings them back to
// the level of one.
constexpr double kStringMixGain = 0.33;

// The register low-pass of Bass and Cello follows Tone at a fortieth: 200 Hz at the default 8000 Hz.
double RegisterCutoff(double tone) { return tone * 200 / 8000; }

}  // namespace

Engine::Engine() : host_(&defaultHost_) {
  wheelSmoother_.SetStepTime(0.001);
  wheelSmoother_.SetCutoff(10.0);
}

// ---------------------------------------------------------------- MIDI in

void Engine::HandleMidiMessage(const MidiMessage& incoming) {
  host_->MidiThru(incoming);
  MidiMessage m = incoming;
  // Status bytes without meaning (data bytes, system messages) and data bytes outside 0..127
  // are not MIDI the instrument can act on.
  if (m.status < 0x80 || m.status >= 0xF0 || m.data1 > 127 || m.data2 > 127) return;
  if (m.offset < 0) m.offset = 0;
  if (m.offset > kMaxOffset) m.offset = kMaxOffset;

  bool delayed = false;
  switch (m.StatusNibble()) {
    case 0x8:
      break;
    case 0x9:
      if (m.data2 == 0) m.status = 0x80;
      break;
    case 0xB: {
      const int controller = m.data1;
      if (controller == 120 || controller == 123) {
        AllNotesOff();
        return;
      }
      if (controller >= 120) return;
      if (host_->CaptureLearnController(controller)) return;
      delayed = controller != 64;
      break;
    }
    case 0xC:
      host_->ProgramChange(m.data1);
      return;
    case 0xD:
    case 0xE:
      delayed = true;
      break;
    default:
      return;
  }
  // Continuous controllers are spread onto the control grid half a period later.
  if (delayed && m.offset > controlPeriod_) m.offset += controlPeriod_ / 2;
  inputQueue_.Add(m);
}

void Engine::PullMidiEvents() {
  while (!inputQueue_.Exhausted() && inputQueue_.Front().offset < controlPeriod_) {
    MidiMessage m = inputQueue_.Front();
    inputQueue_.PopFront();
    switch (m.StatusNibble()) {
      case 0x9:
        if (m.data2 == 0) m.status = 0x80;
        fifo_.Push(m);
        break;
      case 0x8:
        fifo_.Push(m);
        break;
      case 0xB:
        if (m.data1 == 1) {
          wheel_ = m.data2 / 127.0;
        } else if (m.data1 == 64) {
          fifo_.Push(m);
        } else {
          host_->ControllerChange(m.data1, m.data2);
        }
        break;
      default:
        break;
    }
  }
  inputQueue_.SubtractOffsets(controlPeriod_);
}

// ---------------------------------------------------------------- render loop

void Engine::ControlStep() {
  ++controlSteps_;
  // What fell quiet during the last period is set to exact zero, so the engine can idle again.
  ladder_.SettleIfQuiet();
  phaser_.SettleIfQuiet();
  delay_.SettleIfQuiet();
  PullMidiEvents();

  lfoPhase_ += lfoIncrement_;
  if (lfoPhase_ >= 1.0) lfoPhase_ -= 2.0;
  lfoValue_ = (lfoPhase_ < 0.0 ? lfoPhase_ * -2.0 : lfoPhase_ + lfoPhase_) - 1.0;

  const double smoothedWheel = wheelSmoother_.Process(wheel_);
  vcfModulation_ = lfoValue_ * settings_.vcfLfoAmount + smoothedWheel * settings_.vcfWheelAmount +
                   settings_.vcfAdsrAmount * synthEnvelope_.value;

  bassFilterEnvelope_.Tick();
  bassFilter_.SetCutoff(bassFilterEnvelope_.value * kMaxPitch * kBassSweepShare);

  for (Chorus& unit : chorus_) unit.Tick();
  phaser_.Tick();

  TimeInfo time;
  host_->QueryTransport(time);
  delay_.SetTime(settings_.delayTime, time.tempo);
}

void Engine::RenderBlock(double* left, double* right, int frames) {
  if (!left || !right || frames <= 0) return;
  std::memset(left, 0, sizeof(double) * static_cast<size_t>(frames));
  std::memset(right, 0, sizeof(double) * static_cast<size_t>(frames));
  if (controlPeriod_ <= 0) {
    // No usable sample rate yet: silence, and nothing piles up in the queues meanwhile.
    inputQueue_.Clear();
    fifo_.Clear();
    return;
  }

  // Sampled once per call: switching these mid-block takes effect from the next block.
  const bool lowFlag = LowSwitchesOn();
  const bool bassFlag = BassVoiceOn();
  const bool phaserFlag = settings_.phaserString || settings_.phaserSynth || settings_.phaserBass;

  int remaining = frames;
  int position = 0;
  while (remaining > 0) {
    int chunk;
    if (countdown_ <= 0) {
      ControlStep();
      if (remaining >= controlPeriod_) {
        chunk = controlPeriod_;
      } else {
        chunk = remaining;
        countdown_ = controlPeriod_ - remaining;
      }
    } else if (countdown_ < remaining) {
      chunk = countdown_;
      countdown_ = 0;
    } else {
      chunk = remaining;
      countdown_ -= remaining;
    }
    RenderChunk(left + position, right + position, chunk, lowFlag, bassFlag, phaserFlag);
    position += chunk;
    remaining -= chunk;
  }
}

void Engine::Dispatch(const MidiMessage& m) {
  switch (m.StatusNibble()) {
    case 0xB:
      SetSustainPedal(m.data2 > 0);
      break;
    case 0x8:
      NoteOff(m.data1);
      break;
    case 0x9:
      NoteOn(m.data1);
      break;
    default:
      break;
  }
}

// True when rendering would write only zeros and change nothing but clocks, phases and the synth
// filter's glide: no voice, no section envelope running, every filter and line at rest.
bool Engine::NothingCanSound(bool phaserFlag) const {
  if (activeVoices_ != 0 || !stringEnvelope_.IsIdle() || !synthEnvelope_.IsIdle() || !bassEnvelope_.IsIdle()) {
    return false;
  }
  for (const HP6* stage : {&string8Stage_, &string4Stage_, &synth8Stage_, &synth4Stage_}) {
    if (stage->state != 0.0) return false;
  }
  if (!ladder_.IsSilent()) return false;
  for (const Chorus& unit : chorus_) {
    if (!unit.IsSilent()) return false;
  }
  if (phaserFlag && !phaser_.IsSilent()) return false;
  return delay_.IsSilent();
}

// What rendering `frames` silent samples would do; the outputs are already zero.
void Engine::AdvanceSilent(int frames, bool phaserFlag) {
  ladder_.AdvanceSilent(frames, vcfModulation_);
  for (Chorus& unit : chorus_) unit.AdvanceSilent(frames);
  if (phaserFlag) phaser_.AdvanceSilent(frames);
  delay_.AdvanceSilent(frames);
  tones_.AdvanceCounters(frames);
  ++silentChunks_;
}

void Engine::RenderChunk(double* left, double* right, int frames, bool lowFlag, bool bassFlag,
                         bool phaserFlag) {
  if (idleFastPath_ && fifo_.Empty() && NothingCanSound(phaserFlag)) {
    AdvanceSilent(frames, phaserFlag);
    return;
  }
  if (avx2Kernel_) LoadVoiceLanes(bassFlag);
  int i = 0;
  while (i < frames) {
    if (!fifo_.Empty() && fifo_.Front().offset == i) {
      // Note events read and write the voices themselves: the lanes go back before and come in after.
      if (avx2Kernel_) StoreVoiceLanes();
      while (!fifo_.Empty() && fifo_.Front().offset == i) {
        const MidiMessage m = fifo_.Front();
        fifo_.PopFront();
        Dispatch(m);
      }
      if (avx2Kernel_) LoadVoiceLanes(bassFlag);
    }
    // A run of samples goes up to the next note event: nothing else reaches the voices.
    int end = frames;
    if (!fifo_.Empty() && fifo_.Front().offset > i && fifo_.Front().offset < end) end = fifo_.Front().offset;

    if (avx2Kernel_) {
      // The voices first, a whole run of them, then the sections sample by sample; the voices take
      // nothing from the sections, so the order of the work does not change a bit.
      if (end - i > VoiceLanes::kMaxRun) end = i + VoiceLanes::kMaxRun;
      RunVoiceLanes(end - i);
      for (int j = i; j < end; ++j) {
        RenderSample(left + j, right + j, runStrings_[j - i], runSynth_[j - i], lowFlag, bassFlag, phaserFlag);
      }
    } else {
      for (int j = i; j < end; ++j) {
        // Lane 0 sums the 8' outputs, lane 1 the 4' outputs; they stay 0 while no voice is active.
        Double2 stringSum = {0.0, 0.0}, synthSum = {0.0, 0.0};
        if (activeVoices_ != 0) RunVoices(bassFlag, stringSum, synthSum);
        RenderSample(left + j, right + j, stringSum, synthSum, lowFlag, bassFlag, phaserFlag);
      }
    }
    i = end;
  }
  if (avx2Kernel_) StoreVoiceLanes();
}

// The sections after the voices for one sample: section envelopes, high-passes, ladder, bass voice,
// chorus, phaser and delay.
inline void Engine::RenderSample(double* left, double* right, Double2 stringSum, Double2 synthSum, bool lowFlag,
                                 bool bassFlag, bool phaserFlag) {
  const Settings& set = settings_;
  stringEnvelope_.Tick();
  synthEnvelope_.Tick();
  bassEnvelope_.Tick();

  double string8 = stringSum[0], string4 = stringSum[1], synth8 = synthSum[0], synth4 = synthSum[1];

  string8 = string8Stage_.Process(string8);
  string4 = string4Stage_.Process(string4);
  synth8 = synth8Stage_.Process(synth8);
  synth4 = synth4Stage_.Process(synth4);

  double s = (set.stringViola ? string8 : 0.0) + (set.stringViolin ? string4 : 0.0);
  double y = ladder_.Process((set.synth8 ? synth8 : 0.0) + (set.synth4 ? synth4 : 0.0), vcfModulation_);
  if (set.adsrToVca) y *= synthEnvelope_.value;

  double t = 0.0;
  if (lowFlag && !bassEnvelope_.IsIdle()) {
    const ToneGenerator::Pair low = tones_.BassSamples(bassKey_);
    const double g = set.bassVolume;
    const double e = bassEnvelope_.value;
    const double b16 = bass16Stage_.Process(g * low.first * e);
    const double b8 = bass8Stage_.Process(g * low.second * e);
    s += kLowRegisterGain * toneFilter_.Process((set.stringBass ? b16 : 0.0) + (set.stringCello ? b8 : 0.0));
    if (bassFlag) t = kBassVoiceGain * bassFilter_.Process((set.bass16 ? b16 : 0.0) + (set.bass8 ? b8 : 0.0));
  }

  if (set.chorusSynth) s += y;
  const double c = chorus_[0].Process(s) + chorus_[1].Process(s) + chorus_[2].Process(s);
  const double strings = c * stringEnvelope_.value;

  const double stringL = strings * gains_[0], stringR = strings * gains_[1];
  const double synthL = y * gains_[2], synthR = y * gains_[3];
  const double bassL = t * gains_[4], bassR = t * gains_[5];

  double outL, outR;
  if (phaserFlag) {
    double phaserL = 0.0, phaserR = 0.0, directL = 0.0, directR = 0.0;
    (set.phaserString ? phaserL : directL) += stringL;
    (set.phaserString ? phaserR : directR) += stringR;
    (set.phaserSynth ? phaserL : directL) += synthL;
    (set.phaserSynth ? phaserR : directR) += synthR;
    (set.phaserBass ? phaserL : directL) += bassL;
    (set.phaserBass ? phaserR : directR) += bassR;
    phaser_.Process(phaserL, phaserR);
    outL = directL + phaserL;
    outR = directR + phaserR;
  } else {
    outL = synthL + stringL + bassL;
    outR = synthR + stringR + bassR;
  }

  delay_.Process(outL, outR);
  *left = outL;
  *right = outR;
  tones_.AdvanceCounters();
}

// The voices' sums for `frames` samples (at most VoiceLanes::kMaxRun) into runStrings_ and
// runSynth_, through the AVX2 kernel.
void Engine::RunVoiceLanes(int frames) {
  if (activeVoices_ == 0) {
    for (int i = 0; i < frames; ++i) runStrings_[i] = runSynth_[i] = Double2{0.0, 0.0};
    return;
  }
  const uint64_t ended = avx2Kernel_(lanes_, laneGroups_, tones_.WaveSet(), &Engine::FinishEnvelopeStage, this,
                                     frames, runStrings_, runSynth_);
  activeVoices_ &= ~ended;
  for (uint64_t e = ended; e != 0; e &= e - 1) voices_[__builtin_ctzll(e)].active = false;
}

// One sample of the active voices, one voice at a time with its 8' and 4' side by side. Voice i goes
// into partial sum i mod 4, and the partial sums are added as (0 + 1) + (2 + 3): the order the AVX2
// loop, four voices wide, gives naturally.
void Engine::RunVoices(bool bassFlag, Double2& strings, Double2& synth) {
  Double2 stringParts[4] = {}, synthParts[4] = {};
  const double* waveSet = tones_.WaveSet();
  const uint32_t* counters = tones_.Counters();
  const int synthKeyLimit = bassFlag ? kLowKeyLimit : -1;  // keys at or below go to the bass voice
  const NormalRange range;
  // Scans the groups of four from the lowest to the highest active voice only; within a group the
  // partial sum of each voice is fixed, so the sums stay in registers.
  const int endGroup = (63 - __builtin_clzll(activeVoices_)) / 4 + 1;
  uint64_t ended = 0;
  for (int g = __builtin_ctzll(activeVoices_) / 4; g != endGroup; ++g) {
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
      Voice& voice = voices_[4 * g + k];
      if (!voice.active) continue;
      const Double2 out = voice.filters.Process(voice.FilterInput(waveSet, counters), range);
      stringParts[k] += out;
      if (voice.key > synthKeyLimit) synthParts[k] += out;
      if (voice.envelope.IsIdle()) {
        voice.active = false;
        ended |= uint64_t{1} << (4 * g + k);
      }
    }
  }
  activeVoices_ &= ~ended;
  strings = (stringParts[0] + stringParts[1]) + (stringParts[2] + stringParts[3]);
  synth = (synthParts[0] + synthParts[1]) + (synthParts[2] + synthParts[3]);
}

// Copies the state of every group of four voices that holds an active voice into the lanes.
void Engine::LoadVoiceLanes(bool bassFlag) {
  laneGroups_ = 0;
  const int synthKeyLimit = bassFlag ? kLowKeyLimit : -1;  // keys at or below go to the bass voice
  for (int g = 0; g < VoiceLanes::kGroups; ++g) {
    if (((activeVoices_ >> (g * VoiceGroup::kSize)) & 0xF) == 0) continue;
    laneGroups_ |= 1u << g;
    VoiceGroup& lanes = lanes_.group[g];
    for (int k = 0; k < VoiceGroup::kSize; ++k) {
      const Voice& v = voices_[g * VoiceGroup::kSize + k];
      lanes.value[k] = v.envelope.value;
      lanes.target[k] = v.envelope.target;
      lanes.coefficient[k] = v.envelope.coefficient;
      lanes.stage[k] = v.envelope.stage;
      lanes.a8[k] = v.filters.Pole(ToneFilterPair::kEight);
      lanes.a4[k] = v.filters.Pole(ToneFilterPair::kFour);
      lanes.b8[k] = v.filters.Gain(ToneFilterPair::kEight);
      lanes.b4[k] = v.filters.Gain(ToneFilterPair::kFour);
      lanes.state8[k] = v.filters.State(ToneFilterPair::kEight);
      lanes.state4[k] = v.filters.State(ToneFilterPair::kFour);
      lanes.active[k] = v.active ? -1 : 0;
      lanes.synth[k] = v.active && v.key > synthKeyLimit ? -1 : 0;
      lanes.phase[k] = tones_.Counter(v.toneSource.counter) * v.toneSource.octave4;
      lanes.increment[k] = tones_.Increment(v.toneSource.counter) * v.toneSource.octave4;
      lanes.offset8[k] = v.toneSource.offset8;
      lanes.offset4[k] = v.toneSource.offset4;
    }
  }
}

// Writes what the voice loop changed back into the voices.
void Engine::StoreVoiceLanes() {
  for (uint32_t m = laneGroups_; m != 0; m &= m - 1) {
    const int g = __builtin_ctz(m);
    const VoiceGroup& lanes = lanes_.group[g];
    for (int k = 0; k < VoiceGroup::kSize; ++k) {
      Voice& v = voices_[g * VoiceGroup::kSize + k];
      v.envelope.value = lanes.value[k];
      v.envelope.target = lanes.target[k];
      v.envelope.coefficient = lanes.coefficient[k];
      v.envelope.stage = static_cast<int>(lanes.stage[k]);
      v.filters.SetState(lanes.state8[k], lanes.state4[k]);
    }
  }
  laneGroups_ = 0;
}

// The stage change at the end of an attack or a release, done by the voice's own envelope.
void Engine::FinishEnvelopeStage(void* owner, VoiceGroup& lanes, int k, int voice) {
  Envelope& e = static_cast<Engine*>(owner)->voices_[voice].envelope;
  e.value = lanes.value[k];
  e.stage = static_cast<int>(lanes.stage[k]);
  e.target = lanes.target[k];
  e.coefficient = lanes.coefficient[k];
  if (e.stage == Envelope::kAttack) {
    e.EndAttack();
  } else {
    e.value = 0.0;
    e.stage = Envelope::kIdle;
  }
  lanes.value[k] = e.value;
  lanes.stage[k] = e.stage;
  lanes.target[k] = e.target;
  lanes.coefficient[k] = e.coefficient;
}

bool Engine::Reset(double sampleRate, int blockSize) {
  // The instrument-wide part, at every reset.
  long long reserve = blockSize > 0 ? blockSize : 0;
  reserve = (reserve + kMessagesPerStorageStep - 1) / kMessagesPerStorageStep * kMessagesPerStorageStep;
  if (reserve > kMaxQueueReserve) reserve = kMaxQueueReserve;
  inputQueue_.Compact(static_cast<int>(reserve));
  std::memset(heldCount_, 0, sizeof heldCount_);
  heldTotal_ = 0;
  countdown_ = 0;

  if (!std::isfinite(sampleRate) || sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate) {
    controlPeriod_ = 0;  // renders silence until a usable rate arrives
    return false;
  }
  controlPeriod_ = static_cast<int>(sampleRate / 1000);
  if (sampleRate == sampleRate_) return false;

  sampleRate_ = sampleRate;
  tones_.SetSampleRate(sampleRate);

  for (HP6* stage : {&string8Stage_, &string4Stage_, &synth8Stage_, &synth4Stage_, &bass16Stage_, &bass8Stage_}) {
    stage->Clear();
    stage->SetStepTime(1.0 / sampleRate);
    stage->SetCutoff(20.0);
  }
  toneFilter_.Clear();
  toneFilter_.SetStepTime(1.0 / sampleRate);
  toneFilter_.SetCutoff(RegisterCutoff(settings_.tone));

  ladder_.SetSampleRate(sampleRate);
  bassFilter_.SetSampleRate(sampleRate);
  bassFilter_.SetResonanceControl(kBassFilterResonance);
  bassFilter_.SetPitchOffset(kBassFilterFloor);

  const double rateScale = Envelope::kLn10 / sampleRate;
  stringEnvelope_.SetRateScale(rateScale);
  stringEnvelope_.SetRetriggerMode(true);
  stringEnvelope_.SetDecay(0.1);
  stringEnvelope_.SetSustainLevel(1.0);
  synthEnvelope_.SetRateScale(rateScale);
  synthEnvelope_.SetRetriggerMode(false);
  bassEnvelope_.SetRateScale(rateScale);
  bassEnvelope_.SetAttack(0.01);
  bassEnvelope_.SetDecay(0.01);
  bassEnvelope_.SetSustainLevel(1.0);
  bassEnvelope_.SetRelease(0.3);
  bassFilterEnvelope_.SetRateScale(Envelope::kLn10 / 1000);  // runs at the control rate
  bassFilterEnvelope_.SetAttack(0.01);
  bassFilterEnvelope_.SetDecay(kBassSweepDecay);
  bassFilterEnvelope_.SetSustainLevel(0.0);
  bassFilterEnvelope_.SetRelease(0.3);

  for (int i = 0; i < 3; ++i) chorus_[i].ResetForRate(sampleRate, settings_.fastSpeed[i], settings_.fastDepth[i]);
  phaser_.Reset(sampleRate);
  delay_.Reset(sampleRate);

  allocationCounter_ = 0;
  for (Voice& voice : voices_) voice.ResetVoice(sampleRate);
  activeVoices_ = 0;
  return true;
}

// ---------------------------------------------------------------- keyboard

void Engine::NoteOn(int key) {
  if (key < 0 || key > 127) return;
  if (heldCount_[key] < std::numeric_limits<int>::max() / 2) {
    ++heldCount_[key];
    ++heldTotal_;
  }

  // The voice that last played this key, else a free voice, else the oldest.
  Voice* chosen = nullptr;
  for (Voice& v : voices_) {
    if (v.key == key) {
      chosen = &v;
      break;
    }
  }
  if (!chosen) {
    for (Voice& v : voices_) {
      if (!v.active) {
        chosen = &v;
        break;
      }
    }
  }
  if (!chosen) {
    chosen = &voices_[0];
    for (Voice& v : voices_) {
      if (v.stamp < chosen->stamp) chosen = &v;
    }
  }

  if (allocationCounter_ == std::numeric_limits<int>::max()) {
    // Keep the age order when the counter would overflow.
    int oldest = std::numeric_limits<int>::max();
    for (Voice& v : voices_) oldest = v.stamp < oldest ? v.stamp : oldest;
    for (Voice& v : voices_) v.stamp -= oldest;
    allocationCounter_ -= oldest;
  }
  ++allocationCounter_;
  chosen->key = key;
  chosen->toneSource = tones_.PrepareVoice(key);
  chosen->active = true;
  activeVoices_ |= uint64_t{1} << (chosen - voices_);
  chosen->held = true;
  chosen->stamp = allocationCounter_;

  // A re-used or stolen voice is not silenced: the attack starts from its current level.
  chosen->SetupVoiceFilters();
  chosen->envelope.Trigger();
  stringEnvelope_.Trigger();

  const bool otherKeysDown = heldTotal_ != 1;
  const bool takenByBass = BassVoiceOn() && key <= kLowKeyLimit;
  if (!(settings_.singleTrigger && otherKeysDown) && !takenByBass) synthEnvelope_.Trigger();
  if (key <= kLowKeyLimit) AddBassKey(key);
  keyboardDisplayFlag_ = true;
}

void Engine::NoteOff(int key) {
  if (key < 0 || key > 127) return;
  heldTotal_ -= heldCount_[key];
  heldCount_[key] = 0;
  for (Voice& v : voices_) {
    if (v.active && v.key == key) {
      v.held = false;
      if (!v.sustained) v.envelope.Release();
    }
  }
  if (!sustain_ && heldTotal_ == 0) {
    stringEnvelope_.Release();
    synthEnvelope_.Release();
  }
  if (key <= kLowKeyLimit) RemoveBassKey(key);  // the pedal does not hold the low section
  keyboardDisplayFlag_ = true;
}

void Engine::SetSustainPedal(bool down) {
  sustain_ = down;
  for (Voice& v : voices_) {
    v.sustained = down;
    if (!down && !v.held) v.envelope.Release();
  }
  if (!down && heldTotal_ == 0) {
    stringEnvelope_.Release();
    synthEnvelope_.Release();
    bassEnvelope_.Release();
    bassFilterEnvelope_.Release();
  }
}

void Engine::AllNotesOff() {
  std::memset(heldCount_, 0, sizeof heldCount_);
  heldTotal_ = 0;
  fifo_.Clear();
  SetSustainPedal(false);
  for (Voice& v : voices_) {
    v.held = false;
    v.envelope.Release();
  }
  RemoveBassKey(-1);
  bassEnvelope_.Release();
  bassFilterEnvelope_.Release();
}

int Engine::LowestBassKey() const {
  for (int k = 0; k <= kLowKeyLimit; ++k) {
    if (bassKeyCount_[k] > 0) return k;
  }
  return bassKey_;
}

void Engine::AddBassKey(int key) {
  if (bassKeyCount_[key] < std::numeric_limits<int>::max() / 2) {
    ++bassKeyCount_[key];
    ++bassKeyTotal_;
  }
  bassKey_ = LowestBassKey();
  if (LowSwitchesOn()) {
    bassEnvelope_.Trigger();
    // Only the first low key starts the filter sweep, so legato lines don't restart it.
    if (bassKeyTotal_ == 1) bassFilterEnvelope_.Trigger();
  } else {
    bassEnvelope_.Release();
    bassFilterEnvelope_.Release();
  }
}

void Engine::RemoveBassKey(int key) {
  if (key < 0) {
    std::memset(bassKeyCount_, 0, sizeof bassKeyCount_);
    bassKeyTotal_ = 0;
  } else if (key <= kLowKeyLimit) {
    bassKeyTotal_ -= bassKeyCount_[key];
    bassKeyCount_[key] = 0;
  }
  if (LowSwitchesOn() && bassKeyTotal_ > 0) {
    bassKey_ = LowestBassKey();
    bassEnvelope_.Trigger();
  } else {
    bassEnvelope_.Release();
    bassFilterEnvelope_.Release();
  }
}

// ---------------------------------------------------------------- settings

void Engine::UpdateSectionGains() {
  const Settings& s = settings_;
  const double stringGain = s.masterVolume * kStringMixGain * s.mix;
  const double synthGain = s.masterVolume * (1.0 - s.mix);
  const double bassGain = s.masterVolume;
  gains_[1] = stringGain * s.panString;
  gains_[0] = stringGain - gains_[1];
  gains_[3] = synthGain * s.panSynth;
  gains_[2] = synthGain - gains_[3];
  gains_[5] = bassGain * s.panBass;
  gains_[4] = bassGain - gains_[5];
}

void Engine::UpdateChorusRates() {
  const Settings& s = settings_;
  for (int i = 0; i < 3; ++i) {
    if (s.chorusSlow) {
      chorus_[i].SetRate(s.slowSpeed[i], s.slowDepth[i]);
    } else {
      chorus_[i].SetRate(s.fastSpeed[i], s.fastDepth[i]);
    }
  }
}

void Engine::SetTone(double hz) {
  settings_.tone = hz;
  toneFilter_.SetCutoff(RegisterCutoff(hz));
  for (Voice& v : voices_) {
    v.tone = hz;
    v.SetupVoiceFilters();
  }
}

void Engine::SetLfoSpeed(double hz) {
  lfoSpeed_ = hz;
  lfoIncrement_ = 2 * hz / lfoRate_;
}

void Engine::SetRelease(double x) {
  stringEnvelope_.SetRelease(x);
  for (Voice& v : voices_) v.envelope.SetRelease(x);
}
