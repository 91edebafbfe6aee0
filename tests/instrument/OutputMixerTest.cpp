// The output mixer as heard: section gains and pans, phaser routing, the synth through the chorus,
// and the delay after everything.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/instrument/InstrumentFixture.h"

namespace {

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b, size_t from, size_t to) {
  double d = 0.0;
  for (size_t i = from; i < to && i < a.size() && i < b.size(); ++i) d = std::fmax(d, std::fabs(a[i] - b[i]));
  return d;
}

double Rms(const std::vector<double>& x, size_t from, size_t to) {
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += x[i] * x[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

double PhaserStateSum(Engine& e) {
  double sum = 0.0;
  for (int c = 0; c < 2; ++c) {
    for (int k = 0; k < 4; ++k) sum += std::fabs(e.GetPhaser().State(c, k));
  }
  return sum;
}

bool PhaserStatesEqual(Engine& e, const double (&before)[2][4]) {
  for (int c = 0; c < 2; ++c) {
    for (int k = 0; k < 4; ++k) {
      if (e.GetPhaser().State(c, k) != before[c][k]) return false;
    }
  }
  return true;
}

void SavePhaserStates(Engine& e, double (&out)[2][4]) {
  for (int c = 0; c < 2; ++c) {
    for (int k = 0; k < 4; ++k) out[c][k] = e.GetPhaser().State(c, k);
  }
}

// Strings (Viola, the default) and the synthesizer's 8' both sounding, delay dry.
void StringsAndSynth(TestInstrument& inst) {
  inst.SetPlain(kSynth8, 1);
  inst.Midi(0, 0x90, 60, 100);
  inst.Midi(0, 0x90, 67, 100);
}

TEST(OutputMixer, MixEndsAndPansSilenceWhatTheyShould) {
  struct Row {
    const char* what;
    int index;
    double normalized;
    bool strings, synth;          // which sections play
    bool leftSilent, rightSilent;
  } rows[] = {
      {"mix 0 silences the strings", kMixStringSynth, 0.0, true, false, true, true},
      {"mix 1 silences the synth", kMixStringSynth, 1.0, false, true, true, true},
      {"mix 0 keeps the synth", kMixStringSynth, 0.0, false, true, false, false},
      {"mix 1 keeps the strings", kMixStringSynth, 1.0, true, false, false, false},
      {"string pan 0 is hard left", kPanString, 0.0, true, false, false, true},
      {"string pan 1 is hard right", kPanString, 1.0, true, false, true, false},
      {"synth pan 0 is hard left", kPanSynth, 0.0, false, true, false, true},
      {"master 0", kMasterVolume, 0.0, true, true, true, true},
  };
  for (const Row& row : rows) {
    TestInstrument inst;
    inst.SetPlain(kStringViola, row.strings ? 1 : 0);
    inst.SetPlain(kSynth8, row.synth ? 1 : 0);
    inst.Set(row.index, row.normalized);
    inst.Midi(0, 0x90, 60, 100);
    inst.Render(8192);
    double left = 0.0, right = 0.0;
    for (size_t i = 0; i < inst.left.size(); ++i) {
      left = std::fmax(left, std::fabs(inst.left[i]));
      right = std::fmax(right, std::fabs(inst.right[i]));
    }
    if (row.leftSilent) {
      EXPECT_LT(left, 1e-9) << row.what;
    } else {
      EXPECT_GT(left, 1e-3) << row.what;
    }
    if (row.rightSilent) {
      EXPECT_LT(right, 1e-9) << row.what;
    } else {
      EXPECT_GT(right, 1e-3) << row.what;
    }
  }
}

TEST(OutputMixer, MasterZeroSilencesSectionsPhaserAndDelayInputs) {
  TestInstrument inst;
  StringsAndSynth(inst);
  inst.SetPlain(kBass16, 1);
  inst.Midi(0, 0x90, 36, 100);
  inst.SetPlain(kPhaserString, 1);
  inst.SetPlain(kPhaserBass, 1);
  inst.SetPlain(kDelayMix, 0.5);
  inst.SetPlain(kDelayFeedback, 0.5);
  inst.Set(kMasterVolume, 0.0);
  for (int g = 0; g < 6; ++g) EXPECT_EQ(inst.engine.Gain(g), 0.0) << "gain " << g;
  inst.Render(44100);
  EXPECT_LT(inst.Peak(), 1e-9);
}

TEST(OutputMixer, DelayTailPlaysOutAfterMasterZero) {
  TestInstrument inst;
  StringsAndSynth(inst);
  inst.SetPlain(kDelayMix, 0.5);
  inst.SetPlain(kDelayFeedback, 0.5);
  inst.SetPlain(kDelayVibe, 0);
  inst.SetPlain(kDelayTime, 0.0);  // about 75 ms
  inst.Render(22050);
  const double playing = inst.Peak(11025, 22050);
  ASSERT_GT(playing, 0.01);

  inst.Set(kMasterVolume, 0.0);
  const size_t cut = inst.left.size();
  inst.Render(3 * 44100, 4410);
  const double tail = inst.Peak(cut + 2205, cut + 8820);   // 50 to 200 ms after the cut
  const double late = inst.Peak(cut + 2 * 44100, cut + 3 * 44100);
  EXPECT_GT(tail, 0.05 * playing) << "the echoes still sound";
  EXPECT_LT(late, 1e-3 * tail) << "and die away";
}

TEST(OutputMixer, OnlyTheBassSendRoutesOnlyTheBassThroughThePhaser) {
  struct Run {
    bool sendString, sendSynth, sendBass, bassVoice;
  };
  auto render = [](const Run& run) {
    TestInstrument inst;
    inst.SetPlain(kPhaserSpeed, 2.0);
    inst.SetPlain(kPhaserString, run.sendString ? 1 : 0);
    inst.SetPlain(kPhaserSynth, run.sendSynth ? 1 : 0);
    inst.SetPlain(kPhaserBass, run.sendBass ? 1 : 0);
    inst.SetPlain(kBass16, run.bassVoice ? 1 : 0);
    StringsAndSynth(inst);
    inst.Midi(0, 0x90, 40, 100);
    inst.Render(16384);
    return inst.left;
  };
  const std::vector<double> dry = render({false, false, false, false});
  const std::vector<double> bassSend = render({false, false, true, false});
  const std::vector<double> stringSend = render({true, false, false, false});
  const std::vector<double> synthSend = render({false, true, false, false});
  const double level = MaxDifference(dry, std::vector<double>(dry.size(), 0.0), 0, dry.size());
  ASSERT_GT(level, 0.01);
  EXPECT_LT(MaxDifference(dry, bassSend, 0, dry.size()), 1e-9) << "strings and synth bypass the phaser";
  EXPECT_GT(MaxDifference(dry, stringSend, 0, dry.size()), 0.05 * level);
  EXPECT_GT(MaxDifference(dry, synthSend, 0, dry.size()), 0.05 * level);

  const std::vector<double> bassDry = render({false, false, false, true});
  const std::vector<double> bassPhased = render({false, false, true, true});
  EXPECT_GT(MaxDifference(bassDry, bassPhased, 0, bassDry.size()), 0.05 * level) << "the bass goes through it";
}

// Switches a parameter from a MIDI controller, as the controller mapping does at a control step.
class MappingHost : public EngineHost {
 public:
  MappingHost(TestInstrument& i, int controller, int index) : inst(i), controller_(controller), index_(index) {}
  void ControllerChange(int controller, int value) override {
    if (controller == controller_) inst.Set(index_, value / 127.0);
  }
  TestInstrument& inst;

 private:
  int controller_, index_;
};

TEST(OutputMixer, PhaserSendsAreSampledAtTheStartOfEachBlock) {
  TestInstrument inst;
  MappingHost host(inst, 20, kPhaserString);
  inst.engine.SetHost(&host);
  inst.Midi(0, 0x90, 60, 100);
  inst.SetPlain(kPhaserString, 1);
  inst.Render(4096);
  ASSERT_GT(PhaserStateSum(inst.engine), 0.0);

  // All sends off at the start of a block: the phaser does not run at all.
  inst.SetPlain(kPhaserString, 0);
  double before[2][4];
  SavePhaserStates(inst.engine, before);
  inst.Render(256);
  EXPECT_TRUE(PhaserStatesEqual(inst.engine, before));

  // Switched on by a controller inside a block: heard from the next block.
  inst.Midi(100, 0xB0, 20, 127);
  inst.Render(256);
  ASSERT_TRUE(inst.engine.GetSettings().phaserString) << "the controller arrived within the block";
  EXPECT_TRUE(PhaserStatesEqual(inst.engine, before)) << "not yet in the block it arrived in";
  inst.Render(256);
  EXPECT_FALSE(PhaserStatesEqual(inst.engine, before)) << "from the next block";

  // Switched on between two blocks: the next block runs it.
  inst.SetPlain(kPhaserString, 0);
  inst.Render(256);
  SavePhaserStates(inst.engine, before);
  inst.Render(256);
  ASSERT_TRUE(PhaserStatesEqual(inst.engine, before));
  inst.Set(kPhaserString, 1.0);
  EXPECT_TRUE(PhaserStatesEqual(inst.engine, before));
  inst.Render(256);
  EXPECT_FALSE(PhaserStatesEqual(inst.engine, before));
  inst.engine.SetHost(nullptr);
}

TEST(OutputMixer, ChorusSynthMakesTheSynthHeardTwice) {
  auto render = [](bool chorusSynth, double mix) {
    TestInstrument inst;
    inst.SetPlain(kStringViola, 0);
    inst.SetPlain(kSynth8, 1);
    inst.SetPlain(kChorusSynth, chorusSynth ? 1 : 0);
    inst.SetPlain(kMixStringSynth, mix);
    inst.Midi(0, 0x90, 69, 100);
    inst.Render(8192);
    return inst.left;
  };
  const std::vector<double> direct = render(false, 0.5);
  const std::vector<double> twice = render(true, 0.5);
  ASSERT_GT(Rms(direct, 2000, 8000), 1e-3);
  // The chorus lines delay by more than 10 ms: until then only the direct synth is heard.
  EXPECT_LT(MaxDifference(direct, twice, 0, 400), 1e-12);
  // Afterwards the chorused copy adds to the direct one.
  std::vector<double> copy(direct.size());
  for (size_t i = 0; i < copy.size(); ++i) copy[i] = twice[i] - direct[i];
  EXPECT_GT(Rms(copy, 2000, 8000), 0.1 * Rms(direct, 2000, 8000));

  // The copy is a string-section signal: the mix's string share scales it.
  EXPECT_LT(MaxDifference(render(false, 0.0), render(true, 0.0), 0, direct.size()), 1e-12);
}

}  // namespace
