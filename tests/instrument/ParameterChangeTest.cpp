// Every one of the 60 parameters, set as a host sets it (a normalized value), reaches the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/instrument/InstrumentFixture.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// The cutoff an LP6 was set to, read back from its pole.
double CutoffHz(const LP6& f) { return -std::log(f.a) / (kTwoPi * f.stepTime); }
double CutoffHz(const ToneFilterPair& f, int lane) { return -std::log(f.Pole(lane)) / (kTwoPi * f.StepTime()); }

// Renders exactly one control period, so exactly one control step runs (at its first sample).
void OneControlStep(TestInstrument& inst) { inst.Render(inst.engine.ControlPeriod(), inst.engine.ControlPeriod()); }

int FindVoice(Engine& e, int key) {
  for (int i = 0; i < Engine::kNumVoices; ++i) {
    if (e.GetVoice(i).active && e.GetVoice(i).key == key) return i;
  }
  return -1;
}

// --- Output: master volume, mix and the three pans give the six section gains -----------------

struct GainRow {
  int index;  // -1: defaults only
  double normalized;
  double gains[6];  // string L/R, synth L/R, bass L/R
};

const GainRow kGainRows[] = {
    {-1, 0.0, {0.0825, 0.0825, 0.25, 0.25, 0.5, 0.5}},
    {kMasterVolume, 0.0, {0, 0, 0, 0, 0, 0}},
    {kMasterVolume, 1.0, {0.165, 0.165, 0.5, 0.5, 1.0, 1.0}},
    {kMasterVolume, 0.25, {0.04125, 0.04125, 0.125, 0.125, 0.25, 0.25}},
    {kMixStringSynth, 0.0, {0, 0, 0.5, 0.5, 0.5, 0.5}},
    {kMixStringSynth, 1.0, {0.165, 0.165, 0, 0, 0.5, 0.5}},
    {kPanString, 0.0, {0.165, 0, 0.25, 0.25, 0.5, 0.5}},
    {kPanString, 1.0, {0, 0.165, 0.25, 0.25, 0.5, 0.5}},
    {kPanSynth, 0.0, {0.0825, 0.0825, 0.5, 0, 0.5, 0.5}},
    {kPanSynth, 0.75, {0.0825, 0.0825, 0.125, 0.375, 0.5, 0.5}},
    {kPanBass, 0.0, {0.0825, 0.0825, 0.25, 0.25, 1.0, 0}},
    {kPanBass, 1.0, {0.0825, 0.0825, 0.25, 0.25, 0, 1.0}},
};

TEST(ParameterChange, OutputGains) {
  for (const GainRow& row : kGainRows) {
    TestInstrument inst;
    if (row.index >= 0) {
      inst.Set(row.index, row.normalized);
    }
    for (int g = 0; g < 6; ++g) {
      EXPECT_NEAR(inst.engine.Gain(g), row.gains[g], 1e-12)
          << "parameter " << row.index << " at " << row.normalized << ", gain " << g;
    }
  }
}

// --- Plain-value settings: the engine quantity a parameter writes ------------------------------

struct ValueRow {
  int index;
  double normalized;
  double expected;
  double (*read)(Engine&);
  const char* what;
};

double MasterVolume(Engine& e) { return e.GetSettings().masterVolume; }
double MixSetting(Engine& e) { return e.GetSettings().mix; }
double PanString(Engine& e) { return e.GetSettings().panString; }
double BaseIndex(Engine& e) { return e.Tones().BaseIndex(); }
double ToneLowPassHz(Engine& e) { return CutoffHz(e.ToneFilter()); }
double StringAttack(Engine& e) { return e.StringEnvelope().attack; }
double StringRelease(Engine& e) { return e.StringEnvelope().release; }
double BassVolume(Engine& e) { return e.GetSettings().bassVolume; }
double FilterEnvelopeDecay(Engine& e) { return e.BassFilterEnvelope().decay; }
double WheelAmount(Engine& e) { return e.GetSettings().vcfWheelAmount; }
double LfoAmount(Engine& e) { return e.GetSettings().vcfLfoAmount; }
double AdsrAmount(Engine& e) { return e.GetSettings().vcfAdsrAmount; }
double CutoffTarget(Engine& e) { return e.Ladder().TargetIndex(); }
double Resonance(Engine& e) { return e.Ladder().Resonance(); }
double SynthAttack(Engine& e) { return e.SynthEnvelope().attack; }
double SynthDecay(Engine& e) { return e.SynthEnvelope().decay; }
double SynthSustain(Engine& e) { return e.SynthEnvelope().sustain; }
double SynthRelease(Engine& e) { return e.SynthEnvelope().release; }
double PhaserSpeed(Engine& e) { return e.GetPhaser().Speed(); }
double PhaserFeedback(Engine& e) { return e.GetPhaser().Feedback(); }
double DelayTime(Engine& e) { return e.GetSettings().delayTime; }
double DryGain(Engine& e) { return e.Delay().DryGain(); }
double WetGain(Engine& e) { return e.Delay().WetGain(); }
double VibeSpeed(Engine& e) { return e.Delay().VibeSpeed(); }
double VibeDepth(Engine& e) { return e.Delay().VibeDepth(); }

const ValueRow kValueRows[] = {
    {kMasterVolume, 0.5, 1.0, MasterVolume, "master volume"},
    {kMixStringSynth, 0.3, 0.3, MixSetting, "mix"},
    {kPanString, 0.2, 0.2, PanString, "string pan"},
    {kTune, 1.0, 2752, BaseIndex, "base index"},
    {kTune, 0.0, 2624, BaseIndex, "base index"},
    {kTune, 0.5, 2688, BaseIndex, "base index"},
    {kTone, 1.0, 450.0, ToneLowPassHz, "register low-pass Hz"},
    {kTone, 0.0, 50.0, ToneLowPassHz, "register low-pass Hz"},
    {kAttack, 0.5, 0.4, StringAttack, "string attack"},
    {kAttack, 1.0, 0.8, StringAttack, "string attack"},
    {kRelease, 0.7, 0.7, StringRelease, "string release"},
    {kBassVolume, 0.5, 1.0, BassVolume, "bass volume"},
    {kBassVolume, 1.0, 4.0, BassVolume, "bass volume"},
    {kBassStaccato, 1.0, 0.6, FilterEnvelopeDecay, "filter envelope decay"},
    {kBassStaccato, 0.0, 0.8, FilterEnvelopeDecay, "filter envelope decay"},
    {kVcfWheel, 0.5, 4040, WheelAmount, "wheel amount"},
    {kVcfWheel, 1.0, 8080, WheelAmount, "wheel amount"},
    {kVcfLfo, 0.25, 2020, LfoAmount, "LFO amount"},
    {kVcfLfo, 1.0, 8080, LfoAmount, "LFO amount"},
    {kVcfAdsr, 0.75, 6060, AdsrAmount, "ADSR amount"},
    {kVcfAdsr, 1.0, 8080, AdsrAmount, "ADSR amount"},
    {kVcfCutoff, 1.0, 16160, CutoffTarget, "cutoff target"},
    {kVcfCutoff, 0.25, 8080, CutoffTarget, "cutoff target"},  // shape 0.5: v = 0.5
    {kVcfCutoff, 0.0, 0, CutoffTarget, "cutoff target"},
    {kVcfResonance, 1.0, 0.9, Resonance, "resonance"},
    {kVcfResonance, 0.5, 0.45, Resonance, "resonance"},
    {kSynthAttack, 0.3, 0.3, SynthAttack, "synth attack"},
    {kSynthDecay, 0.6, 0.6, SynthDecay, "synth decay"},
    {kSynthSustain, 0.4, 0.4, SynthSustain, "synth sustain"},
    {kSynthRelease, 0.9, 0.9, SynthRelease, "synth release"},
    {kPhaserSpeed, 1.0, 15.0, PhaserSpeed, "phaser speed"},
    {kPhaserSpeed, 0.5, 3.75, PhaserSpeed, "phaser speed"},  // shape 2
    {kPhaserFeedback, 1.0, 1.0, PhaserFeedback, "phaser feedback"},
    {kPhaserFeedback, 0.0, -1.0, PhaserFeedback, "phaser feedback"},
    {kDelayTime, 0.2, 0.2, DelayTime, "delay time"},
    {kDelayMix, 0.0, 1.0, DryGain, "dry gain"},
    {kDelayMix, 0.0, 0.0, WetGain, "wet gain"},
    {kDelayMix, 0.5, 0.7071067811865476, DryGain, "dry gain"},
    {kDelayMix, 0.5, 0.7071067811865476, WetGain, "wet gain"},
    {kDelayMix, 1.0, 0.0, DryGain, "dry gain"},
    {kDelayMix, 1.0, 1.0, WetGain, "wet gain"},
    {kDelayVibeSpeed, 1.0, 15.0, VibeSpeed, "vibe speed"},
    {kDelayVibeDepth, 1.0, 0.1, VibeDepth, "vibe depth"},
    {kDelayVibeDepth, 0.5, 0.05, VibeDepth, "vibe depth"},
};

TEST(ParameterChange, PlainValueSettings) {
  for (const ValueRow& row : kValueRows) {
    TestInstrument inst;
    inst.Set(row.index, row.normalized);
    EXPECT_NEAR(row.read(inst.engine), row.expected, 1e-9)
        << row.what << " after parameter " << row.index << " at " << row.normalized;
  }
}

// --- Switches: n >= 0.5 is on ------------------------------------------------------------------

struct FlagRow {
  int index;
  bool (*read)(Engine&);
};

const FlagRow kFlagRows[] = {
    {kStringBass, [](Engine& e) { return e.GetSettings().stringBass; }},
    {kStringCello, [](Engine& e) { return e.GetSettings().stringCello; }},
    {kStringViola, [](Engine& e) { return e.GetSettings().stringViola; }},
    {kStringViolin, [](Engine& e) { return e.GetSettings().stringViolin; }},
    {kBass16, [](Engine& e) { return e.GetSettings().bass16; }},
    {kBass8, [](Engine& e) { return e.GetSettings().bass8; }},
    {kSynth8, [](Engine& e) { return e.GetSettings().synth8; }},
    {kSynth4, [](Engine& e) { return e.GetSettings().synth4; }},
    {kChorusSynth, [](Engine& e) { return e.GetSettings().chorusSynth; }},
    {kHollowWaveform, [](Engine& e) { return e.Tones().Hollow(); }},
    {kSingleTrigger, [](Engine& e) { return e.GetSettings().singleTrigger; }},
    {kPhaserString, [](Engine& e) { return e.GetSettings().phaserString; }},
    {kPhaserSynth, [](Engine& e) { return e.GetSettings().phaserSynth; }},
    {kPhaserBass, [](Engine& e) { return e.GetSettings().phaserBass; }},
    {kChorusSlow, [](Engine& e) { return e.GetSettings().chorusSlow; }},
    {kSynthAdsrToVca, [](Engine& e) { return e.GetSettings().adsrToVca; }},
};

TEST(ParameterChange, Switches) {
  for (const FlagRow& row : kFlagRows) {
    TestInstrument inst;
    const std::pair<double, bool> steps[] = {{1.0, true}, {0.0, false}, {0.5, true}, {0.49, false}, {0.7, true}};
    for (const auto& step : steps) {
      inst.Set(row.index, step.first);
      EXPECT_EQ(row.read(inst.engine), step.second) << "parameter " << row.index << " at " << step.first;
    }
  }
}

// --- Strings: tone, attack, release ------------------------------------------------------------

TEST(ParameterChange, ToneSetsRegisterLowPassAndEveryVoiceFilter) {
  TestInstrument inst;
  EXPECT_NEAR(CutoffHz(inst.engine.ToneFilter()), 200.0, 1e-6) << "default tone";
  inst.Midi(0, 0x90, 60, 100);
  inst.Midi(0, 0x90, 40, 100);
  inst.Render(64);
  const int v60 = FindVoice(inst.engine, 60);
  const int v40 = FindVoice(inst.engine, 40);
  ASSERT_GE(v60, 0);
  ASSERT_GE(v40, 0);
  const int idle = (v60 != 10 && v40 != 10) ? 10 : 11;

  inst.Set(kTone, 1.0);  // 18000
  EXPECT_NEAR(inst.engine.GetSettings().tone, 18000.0, 1e-9);
  struct Expect {
    int voice;
    double hz4, hz8;
  } rows[] = {{v60, 3600, 1800}, {v40, 1800, 900}, {idle, 1800, 900}};
  for (const Expect& r : rows) {
    const Voice& voice = inst.engine.GetVoice(r.voice);
    EXPECT_NEAR(voice.tone, 18000.0, 1e-9) << "voice " << r.voice;
    EXPECT_NEAR(CutoffHz(voice.filters, ToneFilterPair::kFour), r.hz4, 1e-6) << "voice " << r.voice << " 4'";
    EXPECT_NEAR(CutoffHz(voice.filters, ToneFilterPair::kEight), r.hz8, 1e-6) << "voice " << r.voice << " 8'";
  }
}

TEST(ParameterChange, ReleaseReachesStringAndVoiceEnvelopesAndARunningRelease) {
  TestInstrument inst;
  inst.Midi(0, 0x90, 60, 100);
  inst.Midi(0, 0x90, 72, 100);
  inst.Render(256);
  inst.Midi(0, 0x80, 60, 0);
  inst.Render(64);
  const int releasing = FindVoice(inst.engine, 60);
  const int held = FindVoice(inst.engine, 72);
  ASSERT_GE(releasing, 0);
  ASSERT_GE(held, 0);
  ASSERT_EQ(inst.engine.GetVoice(releasing).envelope.GetStage(), Envelope::kRelease);
  ASSERT_NE(inst.engine.GetVoice(held).envelope.GetStage(), Envelope::kRelease);
  const double heldCoefficient = inst.engine.GetVoice(held).envelope.coefficient;

  inst.Set(kRelease, 0.4);
  EXPECT_NEAR(inst.engine.StringEnvelope().release, 0.4, 1e-12);
  for (int i = 0; i < Engine::kNumVoices; ++i) {
    EXPECT_NEAR(inst.engine.GetVoice(i).envelope.release, 0.4, 1e-12) << "voice " << i;
  }
  // (5^(3.3 - 3) + 0.05) * ln(10) / 44100
  EXPECT_NEAR(inst.engine.GetVoice(releasing).envelope.coefficient, 8.722968197407983e-05, 1e-15);
  EXPECT_EQ(inst.engine.GetVoice(held).envelope.coefficient, heldCoefficient);

  // The held voice takes the stored release when its key is let go.
  inst.Midi(0, 0x80, 72, 0);
  inst.Render(64);
  EXPECT_NEAR(inst.engine.GetVoice(held).envelope.coefficient, 8.722968197407983e-05, 1e-15);
}

// --- Modulation LFO: increment 2v / 1000 per control step --------------------------------------

struct LfoRow {
  int index;
  double normalized;
  double afterOneStep, afterTwoSteps;  // LFO value 2 * phase - 1 from phase 0
};

// Shape 2: n 0.2 gives 0.6 (increment 0.0012), n 0.5 gives 3.75 (increment 0.0075).
const LfoRow kLfoRows[] = {
    {kLfoSpeed, 0.2, -0.9976, -0.9952},
    {kLfoSpeed, 0.5, -0.985, -0.97},
    {kLfoSpeed, 0.0, -1.0, -1.0},
};

TEST(ParameterChange, LfoSpeedSetsTheIncrement) {
  for (const LfoRow& row : kLfoRows) {
    TestInstrument inst;  // never rendered: phase 0
    inst.Set(row.index, row.normalized);
    OneControlStep(inst);
    EXPECT_NEAR(inst.engine.LfoValue(), row.afterOneStep, 1e-12) << "n " << row.normalized;
    OneControlStep(inst);
    EXPECT_NEAR(inst.engine.LfoValue(), row.afterTwoSteps, 1e-12) << "n " << row.normalized;
  }
}

// --- Synthesizer: cutoff glide, resonance, envelope --------------------------------------------

TEST(ParameterChange, CutoffGlideDirection) {
  TestInstrument inst;
  inst.Set(kVcfCutoff, 0.25);  // target 8080
  inst.Render(17000);
  ASSERT_EQ(inst.engine.Ladder().CurrentIndex(), 8080);
  inst.Set(kVcfCutoff, 0.25);
  EXPECT_EQ(inst.engine.Ladder().GlideStep(), 0) << "target equals the current cutoff";
  inst.Set(kVcfCutoff, 1.0);
  EXPECT_EQ(inst.engine.Ladder().GlideStep(), 1);
  inst.Set(kVcfCutoff, 0.0);
  EXPECT_EQ(inst.engine.Ladder().GlideStep(), -1);
}

TEST(ParameterChange, CutoffMoveZeroToOneTakes16160Samples) {
  TestInstrument inst;
  inst.Set(kVcfCutoff, 0.0);
  inst.Render(17000);
  ASSERT_EQ(inst.engine.Ladder().CurrentIndex(), 0);
  inst.Set(kVcfCutoff, 1.0);
  inst.Render(16159, 101);
  EXPECT_EQ(inst.engine.Ladder().CurrentIndex(), 16159);
  inst.Render(1);
  EXPECT_EQ(inst.engine.Ladder().CurrentIndex(), 16160);
  inst.Render(100);
  EXPECT_EQ(inst.engine.Ladder().CurrentIndex(), 16160);
}

TEST(ParameterChange, ResonanceRecomputesOutputGain) {
  const std::pair<double, double> rows[] = {{0.0, 1.0}, {1.0, 1.36}, {0.5 / 0.9, 2.0}};
  for (const auto& row : rows) {
    TestInstrument inst;
    inst.Render(16);
    inst.Set(kVcfResonance, row.first);
    EXPECT_EQ(inst.engine.Ladder().CachedIndex(), -1) << "coefficients marked stale";
    inst.Render(1);
    EXPECT_NEAR(inst.engine.Ladder().OutputGain(), row.second, 1e-9) << "resonance parameter " << row.first;
  }
}

TEST(ParameterChange, SynthSustainMovesTheTargetOnlyDuringDecay) {
  TestInstrument inst;
  Envelope& env = inst.engine.SynthEnvelope();
  inst.Set(kSynthAttack, 0.5);
  inst.Midi(0, 0x90, 60, 100);
  inst.Render(16);
  ASSERT_EQ(env.GetStage(), Envelope::kAttack);
  const double attackTarget = env.target;
  inst.Set(kSynthSustain, 0.3);
  EXPECT_EQ(env.sustain, 0.3);
  EXPECT_EQ(env.target, attackTarget) << "attack stage keeps its target";

  inst.Set(kSynthAttack, 0.0);
  inst.Render(44100);
  ASSERT_EQ(env.GetStage(), Envelope::kDecay);
  inst.Set(kSynthSustain, 0.8);
  EXPECT_EQ(env.sustain, 0.8);
  EXPECT_EQ(env.target, 0.8) << "decay stage heads for the new level at once";

  inst.Midi(0, 0x80, 60, 0);
  inst.Render(64);
  ASSERT_EQ(env.GetStage(), Envelope::kRelease);
  const double releaseTarget = env.target;
  inst.Set(kSynthSustain, 0.5);
  EXPECT_EQ(env.sustain, 0.5);
  EXPECT_EQ(env.target, releaseTarget);
}

// --- Phaser feedback takes effect at the next control step ------------------------------------

TEST(ParameterChange, PhaserFeedbackAtTheNextControlStep) {
  TestInstrument inst;
  OneControlStep(inst);
  const double before = inst.engine.GetPhaser().LoopFeedback();
  inst.Set(kPhaserFeedback, 0.0);  // -1
  EXPECT_EQ(inst.engine.GetPhaser().LoopFeedback(), before);
  OneControlStep(inst);
  EXPECT_NEAR(inst.engine.GetPhaser().LoopFeedback(), -0.999, 1e-12);
}

// --- Delay: time, x2, sync, vibe and ping-pong act at the control step ------------------------

enum ClockCheck { kExactSteps, kOppositeWobble, kSharedClock };

struct DelayClockRow {
  const char* what;
  int index;  // -1: defaults only
  double normalized;
  bool vibe;  // Delay: Vibe on (full depth, speed 15) before the change
  ClockCheck check;
  double left, right;  // clock steps after the control step, for kExactSteps
  bool halfOffset;     // read offset N/2 rather than 0
};

const DelayClockRow kDelayClockRows[] = {
    {"time 0.5, vibe off", -1, 0, false, kExactSteps, 0.5625, 0.5625, true},
    {"time 0.2", kDelayTime, 0.2, false, kExactSteps, 0.3, 0.3, true},
    {"time 1", kDelayTime, 1.0, false, kExactSteps, 1.0, 1.0, true},
    {"time 0", kDelayTime, 0.0, false, kExactSteps, 0.125, 0.125, true},
    {"x2 on", kDelayX2, 1.0, false, kExactSteps, 0.5625, 0.5625, false},
    {"x2 off", kDelayX2, 0.0, false, kExactSteps, 0.5625, 0.5625, true},
    {"sync: 1/8 at 120 bpm is 250 ms", kDelaySync, 1.0, false, kExactSteps, 0.2083333333333333, 0.2083333333333333,
     false},
    {"vibe on", kDelayVibe, 1.0, false, kOppositeWobble, 0, 0, true},
    {"vibe off", kDelayVibe, 0.0, true, kExactSteps, 0.5625, 0.5625, true},
    {"ping-pong shares the left clock", kDelayPingPong, 1.0, true, kSharedClock, 0, 0, true},
    {"ping-pong off", kDelayPingPong, 0.0, true, kOppositeWobble, 0, 0, true},
};

TEST(ParameterChange, DelaySwitchesShapeTheClock) {
  for (const DelayClockRow& row : kDelayClockRows) {
    TestInstrument inst;
    inst.Set(kDelayVibe, row.vibe ? 1.0 : 0.0);
    inst.Set(kDelayVibeDepth, 1.0);
    inst.Set(kDelayVibeSpeed, 1.0);
    if (row.index >= 0) inst.Set(row.index, row.normalized);
    for (int i = 0; i < 20; ++i) OneControlStep(inst);
    const StereoDelay& d = inst.engine.Delay();
    switch (row.check) {
      case kExactSteps:
        EXPECT_NEAR(d.ClockStep(0), row.left, 1e-12) << row.what;
        EXPECT_NEAR(d.ClockStep(1), row.right, 1e-12) << row.what;
        break;
      case kOppositeWobble:
        EXPECT_GT(std::fabs(d.ClockStep(0) - d.ClockStep(1)), 0.01) << row.what;
        EXPECT_NEAR(d.ClockStep(0) + d.ClockStep(1), 2 * 0.5625, 1e-12) << row.what;
        break;
      case kSharedClock:
        EXPECT_GT(std::fabs(d.ClockStep(0) - 0.5625), 0.01) << row.what << ": still wobbling";
        EXPECT_EQ(d.ClockStep(0), d.ClockStep(1)) << row.what;
        break;
    }
    EXPECT_EQ(d.ReadOffset(), row.halfOffset ? d.Stages() >> 1 : 0) << row.what;
  }
}

struct FeedbackRow {
  int index;
  double normalized;
  bool repeats;
};

const FeedbackRow kFeedbackRows[] = {{kDelayFeedback, 0.0, false}, {kDelayFeedback, 0.8, true}};

TEST(ParameterChange, DelayFeedbackIsHeardAsRepeats) {
  // A short burst through a wet-only delay of about 75 ms: late energy only with feedback.
  for (const FeedbackRow& row : kFeedbackRows) {
    TestInstrument inst;
    inst.Set(kDelayMix, 1.0);
    inst.Set(kDelayVibe, 0.0);
    inst.Set(kDelayTime, 0.0);
    inst.Set(row.index, row.normalized);
    inst.SetPlain(kRelease, 0.0);
    inst.Midi(0, 0x90, 69, 100);
    inst.Midi(2000, 0x80, 69, 0);
    inst.Render(44100, 4096);
    double late = 0.0;
    for (size_t i = 30000; i < inst.left.size(); ++i) late += inst.left[i] * inst.left[i];
    if (row.repeats) {
      EXPECT_GT(late, 1e-4) << "feedback " << row.normalized;
    } else {
      EXPECT_LT(late, 1e-12) << "feedback " << row.normalized;
    }
  }
}

TEST(ParameterChange, SyncSwapsTheDelayTimeDisplay) {
  TestInstrument inst;
  char text[kParamTextSize];
  inst.params[kDelayTime].FormatValue(0.5, false, text, true);
  EXPECT_STREQ(text, "0.50");
  inst.Set(kDelaySync, 1.0);
  inst.params[kDelayTime].FormatValue(0.5, false, text, true);
  EXPECT_STREQ(text, "1/8");
  inst.Set(kDelaySync, 0.0);
  inst.params[kDelayTime].FormatValue(0.5, false, text, true);
  EXPECT_STREQ(text, "0.50");
}

// --- Chorus: speeds and depths (x 0.1) per unit, fast or slow ---------------------------------

struct ChorusRow {
  int index;
  double normalized;
  bool slow;
  int unit;
  double speed, depth;  // < 0: not checked
};

const ChorusRow kChorusRows[] = {
    {kChorus1SpeedFast, 1.0, false, 0, 15.0, -1}, {kChorus2SpeedFast, 0.5, false, 1, 3.75, -1},
    {kChorus3SpeedFast, 0.2, false, 2, 0.6, -1},  {kChorus1DepthFast, 1.0, false, 0, -1, 0.1},
    {kChorus2DepthFast, 0.5, false, 1, -1, 0.05}, {kChorus3DepthFast, 0.0, false, 2, -1, 0.0},
    {kChorus1SpeedSlow, 0.5, true, 0, 3.75, -1},  {kChorus2SpeedSlow, 1.0, true, 1, 15.0, -1},
    {kChorus3SpeedSlow, 0.2, true, 2, 0.6, -1},   {kChorus1DepthSlow, 0.7, true, 0, -1, 0.07},
    {kChorus2DepthSlow, 1.0, true, 1, -1, 0.1},   {kChorus3DepthSlow, 0.25, true, 2, -1, 0.025},
};

TEST(ParameterChange, ChorusSpeedsAndDepths) {
  for (const ChorusRow& row : kChorusRows) {
    TestInstrument inst;
    inst.Set(kChorusSlow, row.slow ? 1.0 : 0.0);
    const double otherSpeed = inst.engine.GetChorus(row.unit).Speed();
    const double otherDepth = inst.engine.GetChorus(row.unit).Depth();
    inst.Set(row.index, row.normalized);
    const Chorus& c = inst.engine.GetChorus(row.unit);
    EXPECT_NEAR(c.Speed(), row.speed >= 0 ? row.speed : otherSpeed, 1e-9) << "parameter " << row.index;
    EXPECT_NEAR(c.Depth(), row.depth >= 0 ? row.depth : otherDepth, 1e-12) << "parameter " << row.index;

    // The same setting is stored but not heard while the other mode is selected.
    TestInstrument other;
    other.Set(kChorusSlow, row.slow ? 0.0 : 1.0);
    const double speed = other.engine.GetChorus(row.unit).Speed();
    const double depth = other.engine.GetChorus(row.unit).Depth();
    other.Set(row.index, row.normalized);
    EXPECT_EQ(other.engine.GetChorus(row.unit).Speed(), speed) << "parameter " << row.index << " other mode";
    EXPECT_EQ(other.engine.GetChorus(row.unit).Depth(), depth) << "parameter " << row.index << " other mode";
  }
}

TEST(ParameterChange, ChorusSlowCopiesSlowRatesAndKeepsPhases) {
  TestInstrument inst;
  inst.Render(5000);
  double phases[3];
  for (int u = 0; u < 3; ++u) {
    phases[u] = inst.engine.GetChorus(u).Phase();
    ASSERT_NE(phases[u], 0.0);
  }
  inst.Set(kChorusSlow, 1.0);
  // Slow defaults: speeds 0.48, 0.94, 0.51; depths 0.5, 0.3, 0.4 scaled by 0.1.
  const double speeds[3] = {0.48, 0.94, 0.51}, depths[3] = {0.05, 0.03, 0.04};
  for (int u = 0; u < 3; ++u) {
    EXPECT_NEAR(inst.engine.GetChorus(u).Speed(), speeds[u], 1e-9) << "unit " << u;
    EXPECT_NEAR(inst.engine.GetChorus(u).Depth(), depths[u], 1e-12) << "unit " << u;
    EXPECT_EQ(inst.engine.GetChorus(u).Phase(), phases[u]) << "unit " << u;
  }
  inst.Set(kChorusSlow, 0.0);
  const double fast[3] = {5.14, 7.3, 0.91}, fastDepths[3] = {0.05, 0.03, 0.04};
  for (int u = 0; u < 3; ++u) {
    EXPECT_NEAR(inst.engine.GetChorus(u).Speed(), fast[u], 1e-9) << "unit " << u;
    EXPECT_NEAR(inst.engine.GetChorus(u).Depth(), fastDepths[u], 1e-12) << "unit " << u;
    EXPECT_EQ(inst.engine.GetChorus(u).Phase(), phases[u]) << "unit " << u;
  }
}

// --- Bad host values never reach the engine ----------------------------------------------------

// Every rate-independent setting the parameter handling writes, with a name for failure messages.
std::vector<std::pair<std::string, double>> Snapshot(Engine& e) {
  std::vector<std::pair<std::string, double>> out;
  auto add = [&out](const std::string& name, double v) { out.emplace_back(name, v); };
  const Engine::Settings& s = e.GetSettings();
  add("masterVolume", s.masterVolume);
  add("mix", s.mix);
  add("panString", s.panString);
  add("panSynth", s.panSynth);
  add("panBass", s.panBass);
  add("tone", s.tone);
  add("bassVolume", s.bassVolume);
  add("delayTime", s.delayTime);
  add("vcfWheel", s.vcfWheelAmount);
  add("vcfLfo", s.vcfLfoAmount);
  add("vcfAdsr", s.vcfAdsrAmount);
  for (int i = 0; i < 3; ++i) {
    add("fastSpeed" + std::to_string(i), s.fastSpeed[i]);
    add("fastDepth" + std::to_string(i), s.fastDepth[i]);
    add("slowSpeed" + std::to_string(i), s.slowSpeed[i]);
    add("slowDepth" + std::to_string(i), s.slowDepth[i]);
    add("chorusSpeed" + std::to_string(i), e.GetChorus(i).Speed());
    add("chorusDepth" + std::to_string(i), e.GetChorus(i).Depth());
  }
  const char* flagNames = "viola violin bass cello synth8 synth4 bass16 bass8 chorusSynth chorusSlow adsrToVca "
                          "singleTrigger phaserString phaserSynth phaserBass hollow";
  const bool flags[] = {s.stringViola, s.stringViolin, s.stringBass, s.stringCello, s.synth8, s.synth4,
                        s.bass16, s.bass8, s.chorusSynth, s.chorusSlow, s.adsrToVca, s.singleTrigger,
                        s.phaserString, s.phaserSynth, s.phaserBass, e.Tones().Hollow()};
  for (size_t i = 0; i < sizeof(flags) / sizeof(flags[0]); ++i) {
    add(std::string("flag ") + std::to_string(i) + " of " + flagNames, flags[i] ? 1.0 : 0.0);
  }
  for (int g = 0; g < 6; ++g) add("gain" + std::to_string(g), e.Gain(g));
  add("baseIndex", e.Tones().BaseIndex());
  add("toneLowPassA", e.ToneFilter().a);
  add("toneLowPassB", e.ToneFilter().b);
  for (int v = 0; v < Engine::kNumVoices; v += 21) {
    add("voice" + std::to_string(v) + " filter4.a", e.GetVoice(v).filters.Pole(ToneFilterPair::kFour));
    add("voice" + std::to_string(v) + " filter8.a", e.GetVoice(v).filters.Pole(ToneFilterPair::kEight));
    add("voice" + std::to_string(v) + " release", e.GetVoice(v).envelope.release);
  }
  add("ladderTarget", e.Ladder().TargetIndex());
  add("ladderGlide", e.Ladder().GlideStep());
  add("ladderResonance", e.Ladder().Resonance());
  Envelope* envelopes[] = {&e.StringEnvelope(), &e.SynthEnvelope(), &e.BassEnvelope(), &e.BassFilterEnvelope()};
  const char* envelopeNames[] = {"string", "synth", "bass", "bassFilter"};
  for (int k = 0; k < 4; ++k) {
    const Envelope& env = *envelopes[k];
    const std::string n = envelopeNames[k];
    add(n + ".attack", env.attack);
    add(n + ".decay", env.decay);
    add(n + ".sustain", env.sustain);
    add(n + ".release", env.release);
    add(n + ".rateScale", env.rateScale);
  }
  add("phaserSpeed", e.GetPhaser().Speed());
  add("phaserFeedback", e.GetPhaser().Feedback());
  add("delayDry", e.Delay().DryGain());
  add("delayWet", e.Delay().WetGain());
  add("delayVibeSpeed", e.Delay().VibeSpeed());
  add("delayVibeDepth", e.Delay().VibeDepth());
  return out;
}

TEST(ParameterChangeBadInput, NonFiniteAndOutOfRangeValuesKeepTheEngineFinite) {
  const double bad[] = {-1.0, 2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity()};
  for (double value : bad) {
    TestInstrument inst;
    inst.SetPlain(kSynth8, 1);
    inst.Midi(0, 0x90, 48, 100);
    inst.Midi(0, 0x90, 67, 100);
    inst.Render(512);
    for (int index = 0; index < kNumParams; ++index) {
      inst.Set(index, value);
      EXPECT_TRUE(std::isfinite(inst.params[index].Value())) << "parameter " << index << " at " << value;
      for (const auto& setting : Snapshot(inst.engine)) {
        ASSERT_TRUE(std::isfinite(setting.second))
            << setting.first << " after parameter " << index << " at " << value;
      }
    }
    inst.Midi(0, 0x90, 36, 100);
    inst.Render(8192);
    for (size_t i = 0; i < inst.left.size(); ++i) {
      ASSERT_TRUE(std::isfinite(inst.left[i]) && std::isfinite(inst.right[i])) << "sample " << i << " at " << value;
    }
  }
}

TEST(ParameterChangeBadInput, NanKeepsTheCurrentValueAndEndsClampToTheRange) {
  for (int index = 0; index < kNumParams; ++index) {
    TestInstrument inst;
    const double before = inst.params[index].Value();
    inst.Set(index, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(inst.params[index].Value(), before) << "parameter " << index;
    inst.Set(index, 2.0);
    EXPECT_EQ(inst.params[index].Value(), inst.params[index].Max()) << "parameter " << index;
    inst.Set(index, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(inst.params[index].Value(), inst.params[index].Min()) << "parameter " << index;
  }
}

// --- A rate change re-applies every parameter --------------------------------------------------

TEST(ParameterChange, ResetAtANewRateRestoresEverySetting) {
  const std::pair<int, double> changes[] = {
      {kMasterVolume, 0.3}, {kTune, 0.8},          {kTone, 0.9},         {kAttack, 0.6},     {kRelease, 0.4},
      {kMixStringSynth, 0.7}, {kPanString, 0.1},   {kPanBass, 0.9},      {kBassStaccato, 1}, {kVcfWheel, 0.3},
      {kVcfCutoff, 0.4},    {kVcfResonance, 0.8},  {kSynthAttack, 0.2},  {kSynthDecay, 0.5}, {kSynthSustain, 0.6},
      {kSynthRelease, 0.3}, {kPhaserSpeed, 0.4},   {kPhaserFeedback, 0.9}, {kDelayFeedback, 0.7},
      {kDelayMix, 0.25},    {kDelayVibeSpeed, 0.3}, {kDelayVibeDepth, 0.6}, {kChorusSlow, 1},
      {kChorus2SpeedSlow, 0.6}, {kChorus3DepthSlow, 0.9}, {kHollowWaveform, 1}, {kPhaserSynth, 1},
      {kDelayVibe, 0},  // the vibe LFO runs on across a reset, so its phase would differ
  };
  TestInstrument fresh(48000);
  TestInstrument moved(44100);
  for (const auto& c : changes) {
    fresh.Set(c.first, c.second);
    moved.Set(c.first, c.second);
  }
  // Both have played the same key, so voice 0 holds key 60 in both.
  fresh.Midi(0, 0x90, 60, 100);
  fresh.Render(3000);
  moved.Midi(0, 0x90, 60, 100);
  moved.Render(3000);
  ASSERT_TRUE(moved.engine.Reset(48000, 256));
  moved.ApplyAll();
  ASSERT_EQ(moved.engine.SampleRate(), 48000);

  const auto a = Snapshot(fresh.engine);
  const auto b = Snapshot(moved.engine);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) EXPECT_DOUBLE_EQ(a[i].second, b[i].second) << a[i].first;
  EXPECT_NEAR(moved.engine.Gain(0), 0.3 * 2 * 0.33 * 0.7 * 0.9, 1e-12);
  EXPECT_EQ(moved.engine.Ladder().TargetIndex(), static_cast<int>(std::sqrt(0.4) * 16160));

  // The same clock once the control step has run at the new rate.
  OneControlStep(fresh);
  OneControlStep(moved);
  EXPECT_EQ(fresh.engine.Delay().ClockStep(0), moved.engine.Delay().ClockStep(0));
  EXPECT_EQ(fresh.engine.Delay().ReadOffset(), moved.engine.Delay().ReadOffset());
  EXPECT_EQ(fresh.engine.GetPhaser().LoopFeedback(), moved.engine.GetPhaser().LoopFeedback());
}

// The tables above name every one of the 60 parameters.
TEST(ParameterChange, EveryParameterHasARow) {
  std::set<int> covered;
  for (const GainRow& r : kGainRows) covered.insert(r.index);
  for (const ValueRow& r : kValueRows) covered.insert(r.index);
  for (const FlagRow& r : kFlagRows) covered.insert(r.index);
  for (const LfoRow& r : kLfoRows) covered.insert(r.index);
  for (const DelayClockRow& r : kDelayClockRows) covered.insert(r.index);
  for (const FeedbackRow& r : kFeedbackRows) covered.insert(r.index);
  for (const ChorusRow& r : kChorusRows) covered.insert(r.index);
  for (int index = 0; index < kNumParams; ++index) {
    EXPECT_EQ(covered.count(index), 1u) << "parameter " << index << " has no row";
  }
}

}  // namespace
