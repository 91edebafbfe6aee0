// The instrument's 60 parameters. The index is a parameter's identity: host automation, the order of
// values in programs and banks, MIDI controller assignments and the editor's controls all use it.
#pragma once

#include "params/IPlugParam.h"

enum EParams : int {
  kMasterVolume,
  kTune,
  kTone,
  kAttack,
  kRelease,
  kStringBass,
  kStringCello,
  kStringViola,
  kStringViolin,
  kLfoSpeed,
  kMixStringSynth,
  kBassVolume,
  kBassStaccato,
  kBass16,
  kBass8,
  kSynth8,
  kSynth4,
  kChorusSynth,
  kHollowWaveform,
  kSingleTrigger,
  kVcfWheel,
  kVcfLfo,
  kVcfAdsr,
  kVcfCutoff,
  kVcfResonance,
  kSynthAttack,
  kSynthDecay,
  kSynthSustain,
  kSynthRelease,
  kPanString,
  kPanSynth,
  kPanBass,
  kPhaserSpeed,
  kPhaserFeedback,
  kPhaserString,
  kPhaserSynth,
  kPhaserBass,
  kDelayTime,
  kDelayFeedback,
  kDelayMix,
  kDelayX2,
  kDelaySync,
  kDelayVibe,
  kDelayPingPong,
  kChorusSlow,
  kSynthAdsrToVca,
  kChorus1SpeedFast,
  kChorus2SpeedFast,
  kChorus3SpeedFast,
  kChorus1DepthFast,
  kChorus2DepthFast,
  kChorus3DepthFast,
  kChorus1SpeedSlow,
  kChorus2SpeedSlow,
  kChorus3SpeedSlow,
  kChorus1DepthSlow,
  kChorus2DepthSlow,
  kChorus3DepthSlow,
  kDelayVibeSpeed,
  kDelayVibeDepth,
  kNumParams
};

static_assert(kNumParams == 60, "the instrument has exactly 60 parameters");

// Defines params[0..kNumParams-1] (freshly created, empty objects) and sets their display functions.
// Delay: Time gets no display function here; it shows note values only while Delay: Sync is on.
void DefineInstrumentParameters(IPlugParam* params);
