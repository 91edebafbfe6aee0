// The sound engine: tone generator, 64 voices, four shared envelopes, the string, synthesizer
// and bass sections and the effects, rendered in blocks cut into one-millisecond control periods.
// MIDI arrives through HandleMidiMessage before a block is rendered and is dispatched at exact
// sample offsets. Everything is a plain member: nothing is allocated per note.
#pragma once

#include <cstdint>

#include "engine/BassFilter.h"
#include "engine/Chorus.h"
#include "engine/Envelope.h"
#include "engine/EventFifo.h"
#include "engine/LadderFilter.h"
#include "engine/MidiInputQueue.h"
#include "engine/MidiMessage.h"
#include "engine/OnePole.h"
#include "engine/Phaser.h"
#include "engine/SampleRateLimit.h"
#include "engine/StereoDelay.h"
#include "engine/TimeInfo.h"
#include "engine/ToneGenerator.h"
#include "engine/Voice.h"
#include "engine/VoiceLanes.h"

// What the engine asks of the instrument around it. Every call comes from the thread that
// holds the instrument's lock (the audio thread for everything but Thru and ProgramChange,
// which come from the MIDI delivery call).
class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // Every incoming message, before the engine looks at it (MIDI thru).
  virtual void MidiThru(const MidiMessage&) {}
  // Controller 0..119 while MIDI learn waits for one; true when learn took it.
  virtual bool CaptureLearnController(int) { return false; }
  // A program change message (0xC).
  virtual void ProgramChange(int) {}
  // A controller other than 1 and 64, due at this control step (the controller mapping).
  virtual void ControllerChange(int, int) {}
  // Fills the host's transport over the defaults.
  virtual void QueryTransport(TimeInfo&) {}
};

class Engine {
 public:
  static constexpr int kNumVoices = 64;  // one bit each in a 64-bit mask
  static constexpr int kLowKeyLimit = 55;  // keys at or below feed the low section
  // Rates below this or above kMaxSampleRate render silence (a control period needs at least one
  // sample, and the delay lines are sized from the rate).
  static constexpr double kMinSampleRate = 1000.0;
  // Decay settings of the bass filter sweep: it falls to a tenth in about 16 s, with Staccato in
  // about 5 s.
  static constexpr double kBassSweepDecay = 0.8;
  static constexpr double kStaccatoSweepDecay = 0.6;

  Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // nullptr goes back to the default host, which asks for nothing.
  void SetHost(EngineHost* host) { host_ = host ? host : &defaultHost_; }

  // --- Render loop ---
  void HandleMidiMessage(const MidiMessage& message);
  void RenderBlock(double* left, double* right, int frames);
  // Returns true when the rate changed and the engine was reinitialised: the caller must then
  // apply every parameter again. `blockSize` sizes the MIDI input queue.
  bool Reset(double sampleRate, int blockSize);

  // While nothing can sound, whole chunks are skipped with only the clocks, phases and filter glides
  // moved on, exactly as rendering them would. Off renders every sample (for comparison in tests).
  void SetIdleFastPath(bool on) { idleFastPath_ = on; }
  // The voice loop runs four voices per instruction with AVX2 where the processor has it, else one
  // voice (its 8' and 4' side by side) at a time; false keeps it at one (for comparison in tests).
  // Both give the same bits. Returns the voices per instruction in use.
  int AllowAvx2(bool allow) {
    avx2Kernel_ = allow ? Avx2VoiceKernel() : nullptr;
    return avx2Kernel_ ? 4 : 1;
  }
  int SilentChunks() const { return silentChunks_; }  // chunks skipped so far, for tests

  // --- Keyboard ---
  void NoteOn(int key);
  void NoteOff(int key);
  void SetSustainPedal(bool down);
  void AllNotesOff();
  bool IsKeyHeld(int key) const { return key >= 0 && key < 128 && heldCount_[key] > 0; }
  int HeldKeyCount() const { return heldTotal_; }
  bool TakeKeyboardDisplayFlag() {
    const bool was = keyboardDisplayFlag_;
    keyboardDisplayFlag_ = false;
    return was;
  }

  // --- Settings written by the parameter change handling (plain values) ---
  struct Settings {
    double masterVolume = 0.0;
    double mix = 0.0;
    double panString = 0.0, panSynth = 0.0, panBass = 0.0;
    double tone = 8000.0;
    double bassVolume = 0.0;
    double delayTime = 0.0;
    double vcfWheelAmount = 0.0, vcfLfoAmount = 0.0, vcfAdsrAmount = 0.0;  // pitch units
    bool stringViola = false, stringViolin = false, stringBass = false, stringCello = false;
    bool synth8 = false, synth4 = false, bass16 = false, bass8 = false;
    bool chorusSynth = false, chorusSlow = false, adsrToVca = false, singleTrigger = false;
    bool phaserString = false, phaserSynth = false, phaserBass = false;
    double fastSpeed[3] = {}, fastDepth[3] = {}, slowSpeed[3] = {}, slowDepth[3] = {};
  };
  Settings& GetSettings() { return settings_; }
  const Settings& GetSettings() const { return settings_; }

  void UpdateSectionGains();
  void UpdateChorusRates();
  void SetTone(double hz);
  void SetLfoSpeed(double hz);
  void SetStringAttack(double x) { stringEnvelope_.SetAttack(x); }
  void SetRelease(double x);
  void SetStaccato(bool on) { bassFilterEnvelope_.SetDecay(on ? kStaccatoSweepDecay : kBassSweepDecay); }

  // --- Parts, for the parameter handling and for inspection ---
  ToneGenerator& Tones() { return tones_; }
  Voice& GetVoice(int i) { return voices_[i]; }
  Envelope& StringEnvelope() { return stringEnvelope_; }
  Envelope& SynthEnvelope() { return synthEnvelope_; }
  Envelope& BassEnvelope() { return bassEnvelope_; }
  Envelope& BassFilterEnvelope() { return bassFilterEnvelope_; }
  LadderFilter& Ladder() { return ladder_; }
  BassFilter& GetBassFilter() { return bassFilter_; }
  Chorus& GetChorus(int i) { return chorus_[i]; }
  Phaser& GetPhaser() { return phaser_; }
  StereoDelay& Delay() { return delay_; }
  LP6& ToneFilter() { return toneFilter_; }

  double SampleRate() const { return sampleRate_; }
  int ControlPeriod() const { return controlPeriod_; }
  int Countdown() const { return countdown_; }
  int ControlSteps() const { return controlSteps_; }  // counts every control step, for tests
  int BassKey() const { return bassKey_; }
  bool SustainPedal() const { return sustain_; }
  double Wheel() const { return wheel_; }
  double LfoValue() const { return lfoValue_; }
  double VcfModulation() const { return vcfModulation_; }
  double Gain(int i) const { return gains_[i]; }  // string L/R, synth L/R, bass L/R
  const MidiInputQueue& InputQueue() const { return inputQueue_; }
  int FifoSize() const { return fifo_.Size(); }

 private:
  bool LowSwitchesOn() const {
    return settings_.bass16 || settings_.bass8 || settings_.stringBass || settings_.stringCello;
  }
  bool BassVoiceOn() const { return settings_.bass16 || settings_.bass8; }
  void Queue(const MidiMessage& message);
  void PullMidiEvents();
  void ControlStep();
  void RenderChunk(double* left, double* right, int frames, bool lowFlag, bool bassFlag, bool phaserFlag);
  void Dispatch(const MidiMessage& message);
  bool NothingCanSound(bool phaserFlag) const;
  void AdvanceSilent(int frames, bool phaserFlag);
  void RenderSample(double* left, double* right, Double2 stringSum, Double2 synthSum, bool lowFlag, bool bassFlag,
                    bool phaserFlag);
  void RunVoices(bool bassFlag, Double2& strings, Double2& synth);
  void RunVoiceLanes(int frames);
  void LoadVoiceLanes(bool bassFlag);
  void StoreVoiceLanes();
  static void FinishEnvelopeStage(void* owner, VoiceGroup& lanes, int lane, int voice);
  void AddBassKey(int key);
  void RemoveBassKey(int key);
  int LowestBassKey() const;

  EngineHost* host_ = nullptr;
  EngineHost defaultHost_;

  double sampleRate_ = 1.0;
  int controlPeriod_ = 0;
  int countdown_ = 0;
  int controlSteps_ = 0;
  MidiInputQueue inputQueue_;
  EventFifo fifo_;

  // Modulation, updated at every control step.
  double wheel_ = 0.0;
  LP6 wheelSmoother_;
  double lfoRate_ = 1000.0;
  double lfoSpeed_ = 0.0;
  double lfoPhase_ = 0.0;
  double lfoIncrement_ = 0.0;
  double lfoValue_ = -1.0;
  double vcfModulation_ = 0.0;
  double gains_[6] = {};

  // Keyboard: how often each key is held (a key pressed twice is held twice).
  int heldCount_[128] = {};
  int heldTotal_ = 0;
  int bassKeyCount_[kLowKeyLimit + 1] = {};
  int bassKeyTotal_ = 0;
  int bassKey_ = 36;
  bool sustain_ = false;
  int allocationCounter_ = 0;
  bool keyboardDisplayFlag_ = false;
  uint64_t activeVoices_ = 0;  // bit i: voice i is active (mirrors Voice::active)
  bool idleFastPath_ = true;
  // The AVX2 voice loop (null where it cannot run) and its working copy of the active voices' state.
  VoiceKernel avx2Kernel_ = Avx2VoiceKernel();
  VoiceLanes lanes_ = {};
  uint32_t laneGroups_ = 0;  // groups of four voices copied into lanes_
  Double2 runStrings_[VoiceLanes::kMaxRun] = {};  // the kernel's sums for a run of samples
  Double2 runSynth_[VoiceLanes::kMaxRun] = {};
  int silentChunks_ = 0;

  Settings settings_;
  ToneGenerator tones_;
  Voice voices_[kNumVoices];
  Envelope stringEnvelope_, synthEnvelope_, bassEnvelope_, bassFilterEnvelope_;
  HP6 string8Stage_, string4Stage_, synth8Stage_, synth4Stage_, bass16Stage_, bass8Stage_;
  LP6 toneFilter_;
  LadderFilter ladder_;
  BassFilter bassFilter_;
  Chorus chorus_[3];
  Phaser phaser_;
  StereoDelay delay_;
};
