#include "params/ParameterTable.h"

#include "params/DisplayFunctions.h"

namespace {

constexpr double kSqrt2 = 1.4142135623730951;   // Tone: finer control over the lower frequencies
constexpr double kSqrtHalf = 0.7071067811865476;  // VCF Cutoff default, the middle of its travel

}  // namespace

void DefineInstrumentParameters(IPlugParam* p) {
  if (!p) return;
  //                                      name                        default      min       max   step    shape
  p[kMasterVolume].DefineContinuous(      "Master Volume",                1.0,     0.0,      2.0,  0.01,     1.0);
  p[kTune].DefineContinuous(              "Tune",                         0.0,    -1.0,      1.0,  0.01,     1.0);
  p[kTone].DefineContinuous(              "Tone",                      8000.0,  2000.0,  18000.0,   1.0,  kSqrt2);
  p[kAttack].DefineContinuous(            "Attack",                       0.1,     0.0,      1.0,  0.01,     1.0);
  p[kRelease].DefineContinuous(           "Release",                      0.2,     0.0,      1.0,  0.01,     1.0);
  p[kStringBass].DefineSwitch(            "String: Bass",               false);
  p[kStringCello].DefineSwitch(           "String: Cello",              false);
  p[kStringViola].DefineSwitch(           "String: Viola",               true);
  p[kStringViolin].DefineSwitch(          "String: Violin",             false);
  p[kLfoSpeed].DefineContinuous(          "LFO Speed",                    4.6,     0.0,     15.0,  0.01,     2.0);
  p[kMixStringSynth].DefineContinuous(    "Mix String/Synth",             0.5,     0.0,      1.0,  0.01,     1.0);
  p[kBassVolume].DefineContinuous(        "Bass Volume",                  1.0,     0.0,      4.0,  0.01,     2.0);
  p[kBassStaccato].DefineSwitch(          "Bass: Staccato",             false);
  p[kBass16].DefineSwitch(                "Bass: 16'",                  false);
  p[kBass8].DefineSwitch(                 "Bass: 8'",                   false);
  p[kSynth8].DefineSwitch(                "Synth: 8'",                  false);
  p[kSynth4].DefineSwitch(                "Synth: 4'",                  false);
  p[kChorusSynth].DefineSwitch(           "Chorus: Synth",              false);
  p[kHollowWaveform].DefineSwitch(        "Hollow Waveform",            false);
  p[kSingleTrigger].DefineSwitch(         "Single Trigger",             false);
  p[kVcfWheel].DefineContinuous(          "VCF Wheel",                    0.0,     0.0,      1.0,  0.01,     1.0);
  p[kVcfLfo].DefineContinuous(            "VCF LFO",                      0.0,     0.0,      1.0,  0.01,     1.0);
  p[kVcfAdsr].DefineContinuous(           "VCF ADSR",                     0.0,     0.0,      1.0,  0.01,     1.0);
  p[kVcfCutoff].DefineContinuous(         "VCF Cutoff",             kSqrtHalf,     0.0,      1.0,  0.01,     0.5);
  p[kVcfResonance].DefineContinuous(      "VCF Resonance",                0.0,     0.0,      1.0,  0.01,     1.0);
  p[kSynthAttack].DefineContinuous(       "Synth: Attack",                0.0,     0.0,      1.0,  0.01,     1.0);
  p[kSynthDecay].DefineContinuous(        "Synth: Decay",                 0.0,     0.0,      1.0,  0.01,     1.0);
  p[kSynthSustain].DefineContinuous(      "Synth: Sustain",               1.0,     0.0,      1.0,  0.01,     1.0);
  p[kSynthRelease].DefineContinuous(      "Synth: Release",               0.1,     0.0,      1.0,  0.01,     1.0);
  p[kPanString].DefineContinuous(         "Pan String",                   0.5,     0.0,      1.0,  0.01,     1.0);
  p[kPanSynth].DefineContinuous(          "Pan Synth",                    0.5,     0.0,      1.0,  0.01,     1.0);
  p[kPanBass].DefineContinuous(           "Pan Bass",                     0.5,     0.0,      1.0,  0.01,     1.0);
  p[kPhaserSpeed].DefineContinuous(       "Phaser: Speed",               0.19,     0.0,     15.0,  0.01,     2.0);
  p[kPhaserFeedback].DefineContinuous(    "Phaser: Feedback",            -0.3,    -1.0,      1.0, 0.005,     1.0);
  p[kPhaserString].DefineSwitch(          "Phaser: String",             false);
  p[kPhaserSynth].DefineSwitch(           "Phaser: Synth",              false);
  p[kPhaserBass].DefineSwitch(            "Phaser: Bass",               false);
  p[kDelayTime].DefineContinuous(         "Delay: Time",                  0.5,     0.0,      1.0,  0.01,     1.0);
  p[kDelayFeedback].DefineContinuous(     "Delay: Feedback",              0.3,     0.0,      1.0,  0.01,     1.0);
  p[kDelayMix].DefineContinuous(          "Delay: Mix",                   0.0,     0.0,      1.0,  0.01,     1.0);
  p[kDelayX2].DefineSwitch(               "Delay: x2",                  false);
  p[kDelaySync].DefineSwitch(             "Delay: Sync",                false);
  p[kDelayVibe].DefineSwitch(             "Delay: Vibe",                 true);
  p[kDelayPingPong].DefineSwitch(         "Delay: Ping-Pong",           false);
  p[kChorusSlow].DefineSwitch(            "Chorus: Slow",               false);
  p[kSynthAdsrToVca].DefineSwitch(        "Synth: ADSR to VCA",          true);
  p[kChorus1SpeedFast].DefineContinuous(  "Chorus 1 Speed (Fast)",       5.14,     0.0,     15.0,  0.01,     2.0);
  p[kChorus2SpeedFast].DefineContinuous(  "Chorus 2 Speed (Fast)",        7.3,     0.0,     15.0,  0.01,     2.0);
  p[kChorus3SpeedFast].DefineContinuous(  "Chorus 3 Speed (Fast)",       0.91,     0.0,     15.0,  0.01,     2.0);
  p[kChorus1DepthFast].DefineContinuous(  "Chorus 1 Depth (Fast)",        0.5,     0.0,      1.0,  0.01,     1.0);
  p[kChorus2DepthFast].DefineContinuous(  "Chorus 2 Depth (Fast)",        0.3,     0.0,      1.0,  0.01,     1.0);
  p[kChorus3DepthFast].DefineContinuous(  "Chorus 3 Depth (Fast)",        0.4,     0.0,      1.0,  0.01,     1.0);
  p[kChorus1SpeedSlow].DefineContinuous(  "Chorus 1 Speed (Slow)",       0.48,     0.0,     15.0,  0.01,     2.0);
  p[kChorus2SpeedSlow].DefineContinuous(  "Chorus 2 Speed (Slow)",       0.94,     0.0,     15.0,  0.01,     2.0);
  p[kChorus3SpeedSlow].DefineContinuous(  "Chorus 3 Speed (Slow)",       0.51,     0.0,     15.0,  0.01,     2.0);
  p[kChorus1DepthSlow].DefineContinuous(  "Chorus 1 Depth (Slow)",        0.5,     0.0,      1.0,  0.01,     1.0);
  p[kChorus2DepthSlow].DefineContinuous(  "Chorus 2 Depth (Slow)",        0.3,     0.0,      1.0,  0.01,     1.0);
  p[kChorus3DepthSlow].DefineContinuous(  "Chorus 3 Depth (Slow)",        0.4,     0.0,      1.0,  0.01,     1.0);
  p[kDelayVibeSpeed].DefineContinuous(    "Delay Vibe Speed",            0.02,     0.0,     15.0,  0.01,     2.0);
  p[kDelayVibeDepth].DefineContinuous(    "Delay Vibe Depth",             0.2,     0.0,      1.0,  0.01,     1.0);

  p[kMasterVolume].SetDisplayFunction(ShowDecibels);
  p[kTune].SetDisplayFunction(ShowCents);
  p[kMixStringSynth].SetDisplayFunction(ShowBalance);
  p[kBassVolume].SetDisplayFunction(ShowDecibels);
  p[kVcfCutoff].SetDisplayFunction(ShowCutoffHz);
  p[kPanString].SetDisplayFunction(ShowBalance);
  p[kPanSynth].SetDisplayFunction(ShowBalance);
  p[kPanBass].SetDisplayFunction(ShowBalance);
  p[kDelayMix].SetDisplayFunction(ShowBalance);
}
