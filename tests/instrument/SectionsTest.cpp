// The sections as heard: which register sounds at which footage, where the low keys go, which
// filters keep running, and how far each modulation source moves the synthesizer's cutoff.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/instrument/InstrumentFixture.h"

namespace {

// Amplitude of the component at `hz` in x[from, from + n) (Goertzel over a Hann window, so strong
// neighbours do not leak in), scaled so a unit sine gives 1.
double Amplitude(const std::vector<double>& x, size_t from, size_t n, double hz, double rate) {
  const double pi = 3.141592653589793;
  const double coefficient = 2.0 * std::cos(2.0 * pi * hz / rate);
  double s1 = 0.0, s2 = 0.0;
  for (size_t i = from; i < from + n; ++i) {
    const double window = 1.0 - std::cos(2.0 * pi * static_cast<double>(i - from) / static_cast<double>(n));
    const double s0 = x[i] * window + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return 2.0 * std::sqrt(s1 * s1 + s2 * s2 - coefficient * s1 * s2) / static_cast<double>(n);
}

// Strings only, the chorus a fixed delay (no pitch wobble), nothing else on.
void PlainStrings(TestInstrument& inst) {
  for (int p : {kChorus1DepthFast, kChorus2DepthFast, kChorus3DepthFast, kStringViola}) inst.SetPlain(p, 0);
}

struct Heard {
  double fundamental;  // amplitude at the key's own pitch
  double octaveUp;     // amplitude an octave above it
  double octaveDown;   // amplitude an octave below it
  double peak;
};

Heard Play(const std::vector<int>& registers, int key, double keyHz) {
  TestInstrument inst;
  PlainStrings(inst);
  for (int p : registers) inst.SetPlain(p, 1);
  inst.engine.NoteOn(key);
  inst.Render(44100);
  const size_t from = 22050, n = 22050;  // the second half second, well after the attack
  return {Amplitude(inst.left, from, n, keyHz, 44100), Amplitude(inst.left, from, n, 2 * keyHz, 44100),
          Amplitude(inst.left, from, n, keyHz / 2, 44100), inst.Peak(from)};
}

// Viola is the key's own pitch (8'), Violin an octave up (4'); Cello is the bass key at 8', Bass at
// 16' (an octave down), and only keys of 55 and below reach them.
TEST(Sections, RegistersSoundAtTheirFootages) {
  struct Row {
    const char* what;
    std::vector<int> registers;
    int key;
    double keyHz;
    double lowest;  // the lowest partial that must sound; nothing below it
  };
  const Row rows[] = {
      {"Viola, key 57", {kStringViola}, 57, 220.0, 220.0},
      {"Violin, key 57", {kStringViolin}, 57, 220.0, 440.0},
      {"Cello, key 45", {kStringCello}, 45, 110.0, 110.0},
      {"Bass, key 45", {kStringBass}, 45, 110.0, 55.0},
  };
  for (const Row& r : rows) {
    const Heard h = Play(r.registers, r.key, r.keyHz);
    ASSERT_GT(h.peak, 0.01) << r.what;
    const double atLowest = r.lowest == r.keyHz ? h.fundamental : r.lowest > r.keyHz ? h.octaveUp : h.octaveDown;
    EXPECT_GT(atLowest, 0.1 * h.peak) << r.what;
    // No partial below the footage's pitch: an octave below it (and for 4', the key's own pitch).
    if (r.lowest >= r.keyHz) {
      EXPECT_LT(h.octaveDown, 1e-3 * h.peak) << r.what;
    }
    if (r.lowest > r.keyHz) {
      EXPECT_LT(h.fundamental, 1e-3 * h.peak) << r.what;
    }
  }
}

TEST(Sections, SilentRegistersAndHighKeysLeaveTheStringsAtZero) {
  struct Row {
    const char* what;
    std::vector<int> registers;
    int key;
  };
  const Row rows[] = {
      {"Viola and Violin off", {}, 60},
      {"Viola and Violin off, low key", {}, 40},
      {"Bass and Cello, key above 55", {kStringBass, kStringCello}, 60},
  };
  for (const Row& r : rows) {
    TestInstrument inst;
    PlainStrings(inst);
    for (int p : r.registers) inst.SetPlain(p, 1);
    inst.engine.NoteOn(r.key);
    inst.Render(4410);
    EXPECT_GT(inst.engine.StringEnvelope().value, 0.5) << r.what;  // the section runs
    EXPECT_EQ(inst.Peak(), 0.0) << r.what;
  }
}

// Bass Volume 0 silences the low registers but their filters keep running: the Tone low-pass decays
// on instead of holding its last state.
TEST(Sections, BassVolumeZeroKeepsTheLowFiltersRunning) {
  TestInstrument inst;
  PlainStrings(inst);
  inst.SetPlain(kStringCello, 1);
  inst.engine.NoteOn(45);
  inst.Render(8820);
  const double before = inst.engine.ToneFilter().state;
  ASSERT_NE(before, 0.0);
  inst.SetPlain(kBassVolume, 0);
  inst.Render(441);
  const double after = inst.engine.ToneFilter().state;
  EXPECT_LT(std::fabs(after), 0.9 * std::fabs(before));
  inst.Render(44100);
  EXPECT_EQ(inst.engine.ToneFilter().state, 0.0);  // decayed to exact zero, not frozen
}

// A key that returns to its voice keeps the tone filters' state: no restart click.
TEST(Sections, ReusedVoiceKeepsItsFilterState) {
  TestInstrument inst;
  inst.engine.NoteOn(60);
  inst.Render(4410);
  inst.engine.NoteOff(60);
  inst.Render(100);
  const Voice& voice = inst.engine.GetVoice(0);
  ASSERT_EQ(voice.key, 60);
  const double eight = voice.filters.State(ToneFilterPair::kEight);
  const double four = voice.filters.State(ToneFilterPair::kFour);
  ASSERT_NE(eight, 0.0);
  inst.engine.NoteOn(60);
  EXPECT_EQ(&inst.engine.GetVoice(0), &voice);
  EXPECT_EQ(voice.filters.State(ToneFilterPair::kEight), eight);
  EXPECT_EQ(voice.filters.State(ToneFilterPair::kFour), four);
}

// Bass 16' takes key 36 and plays note 24 (32.7 Hz, which key 36 alone cannot give); the synthesizer
// (panned hard left, the bass hard right) stays silent for that key and plays key 60.
TEST(Sections, BassVoiceTakesKey36AtSixteenFoot) {
  TestInstrument inst;
  inst.SetPlain(kStringViola, 0);
  inst.SetPlain(kBass16, 1);
  inst.SetPlain(kSynth8, 1);
  inst.SetPlain(kPanSynth, 0);
  inst.SetPlain(kPanBass, 1);
  inst.engine.NoteOn(36);
  inst.Render(44100);
  double bassPeak = 0.0;
  for (size_t i = 22050; i < inst.right.size(); ++i) bassPeak = std::fmax(bassPeak, std::fabs(inst.right[i]));
  EXPECT_GT(bassPeak, 0.01);
  EXPECT_GT(Amplitude(inst.right, 22050, 22050, 32.703, 44100), 0.1 * bassPeak);
  double synthPeak = 0.0;
  for (double v : inst.left) synthPeak = std::fmax(synthPeak, std::fabs(v));
  EXPECT_LT(synthPeak, 1e-9) << "the synthesizer played the bass key";

  inst.engine.NoteOn(60);
  const size_t start = inst.left.size();
  inst.Render(4410);
  double later = 0.0;
  for (size_t i = start; i < inst.left.size(); ++i) later = std::fmax(later, std::fabs(inst.left[i]));
  EXPECT_GT(later, 0.01) << "key 60 is the synthesizer's";
}

// Each source moves the cutoff by up to 8080 pitch units: the triangle LFO between -1 and 1, the
// wheel through its 10 Hz smoother, the synth envelope by its level. VCF Cutoff 0 leaves the filter's
// index at exactly the modulation.
TEST(Sections, ModulationMovesTheCutoffByItsAmount) {
  TestInstrument inst;
  inst.SetPlain(kVcfCutoff, 0);
  inst.SetPlain(kVcfLfo, 1);
  inst.engine.SetLfoSpeed(7.8125);  // 1/64 of a cycle per control step, exactly
  struct Step {
    int steps;  // control steps run so far
    double modulation;
  };
  const Step lfo[] = {{16, -4040.0}, {32, 0.0}, {64, 8080.0}, {96, 0.0}, {128, -8080.0}};
  int done = 0;
  for (const Step& s : lfo) {
    inst.Render(44 * (s.steps - done), 44);
    done = s.steps;
    ASSERT_EQ(inst.engine.ControlSteps(), s.steps);
    EXPECT_EQ(inst.engine.VcfModulation(), s.modulation) << "LFO, step " << s.steps;
    EXPECT_EQ(inst.engine.Ladder().CachedIndex(), s.modulation > 0 ? static_cast<int>(s.modulation) : 0);
  }

  TestInstrument wheel;
  wheel.SetPlain(kVcfWheel, 1);
  wheel.Midi(0, 0xB0, 1, 127);
  const double wheelSteps[] = {492.06095121171563, 954.1560633507358, 1388.1102150405716};
  for (int i = 0; i < 3; ++i) {
    wheel.Render(44, 44);
    EXPECT_NEAR(wheel.engine.VcfModulation(), wheelSteps[i], 1e-9) << "wheel, step " << i + 1;
  }
  wheel.Render(44100);
  EXPECT_NEAR(wheel.engine.VcfModulation(), 8080.0, 1e-9);

  TestInstrument adsr;
  adsr.SetPlain(kVcfCutoff, 0);
  adsr.SetPlain(kVcfAdsr, 0.5);
  adsr.engine.NoteOn(60);
  adsr.Render(4410);
  ASSERT_EQ(adsr.engine.SynthEnvelope().value, 1.0);
  EXPECT_EQ(adsr.engine.VcfModulation(), 4040.0);
  EXPECT_EQ(adsr.engine.Ladder().CachedIndex(), 4040);
}

}  // namespace
