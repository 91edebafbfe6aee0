#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/instrument/InstrumentFixture.h"

namespace {

// Synth section only, straight to the output: a key sounds from the very sample it is played.
void SynthOnly(TestInstrument& inst) {
  inst.SetPlain(kSynth8, 1);
  inst.SetPlain(kMixStringSynth, 0);
  inst.SetPlain(kStringViola, 0);
}

class RecordingHost : public EngineHost {
 public:
  explicit RecordingHost(Engine& e) : engine(e) {}
  void ControllerChange(int controller, int value) override {
    controllerSteps.push_back(engine.ControlSteps());
    controllers.push_back(controller);
    values.push_back(value);
  }
  void QueryTransport(TimeInfo& info) override {
    ++transportQueries;
    if (tempo > 0) info.tempo = tempo;
  }
  void MidiThru(const MidiMessage& m) override { thru.push_back(m); }
  bool CaptureLearnController(int c) override {
    if (!learning) return false;
    learned = c;
    learning = false;
    return true;
  }
  void ProgramChange(int p) override { programs.push_back(p); }

  Engine& engine;
  std::vector<int> controllerSteps, controllers, values, programs;
  std::vector<MidiMessage> thru;
  int transportQueries = 0;
  double tempo = 0;
  bool learning = false;
  int learned = -1;
};

TEST(RenderLoop, ControlStepsFallOnTheMillisecondGrid) {
  TestInstrument inst;
  ASSERT_EQ(inst.engine.ControlPeriod(), 44);
  const int before = inst.engine.ControlSteps();
  inst.Render(100, 100);
  EXPECT_EQ(inst.engine.ControlSteps() - before, 3);
  EXPECT_EQ(inst.engine.Countdown(), 32);

  // The same grid seen one sample at a time: steps at samples 0, 44 and 88.
  TestInstrument single;
  std::vector<int> stepSamples;
  for (int i = 0; i < 100; ++i) {
    const int steps = single.engine.ControlSteps();
    single.Render(1, 1);
    if (single.engine.ControlSteps() != steps) stepSamples.push_back(i);
  }
  EXPECT_EQ(stepSamples, (std::vector<int>{0, 44, 88}));
}

TEST(RenderLoop, ControlPeriodFollowsTheRate) {
  struct Row {
    double rate;
    int period;
  } rows[] = {{44100, 44}, {48000, 48}, {96000, 96}, {22050, 22}};
  for (const Row& r : rows) {
    TestInstrument inst(r.rate);
    EXPECT_EQ(inst.engine.ControlPeriod(), r.period) << r.rate;
  }
}

TEST(RenderLoop, NoteSoundsAtItsExactOffset) {
  TestInstrument inst;
  SynthOnly(inst);
  inst.Render(44 * 24, 44);  // settle on silence, ending on the control grid
  ASSERT_EQ(inst.engine.Countdown(), 0);
  inst.left.clear();
  inst.right.clear();
  inst.Midi(70, 0x90, 60, 100);
  inst.Render(256);
  for (int i = 0; i < 70; ++i) ASSERT_EQ(inst.left[i], 0.0) << i;
  EXPECT_NE(inst.left[70], 0.0);
  EXPECT_GT(inst.Peak(70, 256), 0.0);
}

TEST(RenderLoop, ShortChunkDelaysButNeverLosesAMessage) {
  TestInstrument inst;
  inst.Midi(30, 0x90, 60, 100);
  inst.Render(20, 20);  // the block ends before index 30
  EXPECT_FALSE(inst.engine.IsKeyHeld(60));
  EXPECT_EQ(inst.engine.FifoSize(), 1);
  inst.Render(64, 64);
  EXPECT_TRUE(inst.engine.IsKeyHeld(60));
}

TEST(RenderLoop, AnyChannelPlays) {
  for (int channel : {0, 5, 15}) {
    TestInstrument inst;
    inst.Midi(0, 0x90 | channel, 64, 90);
    inst.Render(64);
    EXPECT_TRUE(inst.engine.IsKeyHeld(64)) << channel;
    inst.Midi(0, 0x80 | channel, 64, 0);
    inst.Render(64);
    EXPECT_FALSE(inst.engine.IsKeyHeld(64)) << channel;
  }
}

TEST(RenderLoop, VelocityZeroNoteOnIsANoteOff) {
  TestInstrument inst;
  inst.Midi(0, 0x90, 60, 100);
  inst.Render(64);
  ASSERT_TRUE(inst.engine.IsKeyHeld(60));
  inst.Midi(10, 0x93, 60, 0);
  inst.Render(64);
  EXPECT_FALSE(inst.engine.IsKeyHeld(60));
  EXPECT_EQ(inst.engine.GetVoice(0).envelope.stage, Envelope::kRelease);
}

TEST(RenderLoop, SameOffsetKeepsArrivalOrder) {
  TestInstrument onThenOff;
  onThenOff.Midi(10, 0x90, 60, 100);
  onThenOff.Midi(10, 0x80, 60, 0);
  onThenOff.Render(64);
  EXPECT_FALSE(onThenOff.engine.IsKeyHeld(60));

  TestInstrument offThenOn;
  offThenOn.Midi(10, 0x80, 60, 0);
  offThenOn.Midi(10, 0x90, 60, 100);
  offThenOn.Render(64);
  EXPECT_TRUE(offThenOn.engine.IsKeyHeld(60));
}

TEST(RenderLoop, OutOfOrderDeliveryIsSortedByOffset) {
  TestInstrument inst;
  inst.Midi(30, 0x80, 60, 0);
  inst.Midi(5, 0x90, 60, 100);
  inst.Render(20, 20);
  EXPECT_TRUE(inst.engine.IsKeyHeld(60));
  // The rest of the period restarts at index 0 and ends at 23; the chunk after the next
  // control step reaches index 30, late by the short chunk's length.
  inst.Render(24, 24);
  EXPECT_TRUE(inst.engine.IsKeyHeld(60));
  inst.Render(44, 44);
  EXPECT_FALSE(inst.engine.IsKeyHeld(60));
}

TEST(RenderLoop, AllNotesOffActsBeforeTheBlock) {
  for (int controller : {120, 123}) {
    TestInstrument inst;
    inst.Midi(0, 0x90, 60, 100);
    inst.Midi(0, 0x90, 40, 100);
    inst.Render(64);
    inst.Midi(200, 0xB0, controller, 0);
    EXPECT_FALSE(inst.engine.IsKeyHeld(60)) << controller;
    EXPECT_EQ(inst.engine.HeldKeyCount(), 0);
    EXPECT_EQ(inst.engine.GetVoice(0).envelope.stage, Envelope::kRelease);
  }
}

TEST(RenderLoop, MappedControllerWaitsHalfAPeriodNoteDoesNot) {
  TestInstrument inst;
  RecordingHost host(inst.engine);
  inst.engine.SetHost(&host);
  SynthOnly(inst);
  inst.Render(44 * 10, 44);  // countdown is 0 at the start of the next block
  ASSERT_EQ(inst.engine.Countdown(), 0);
  inst.left.clear();
  const int firstStep = inst.engine.ControlSteps() + 1;
  inst.Midi(70, 0xB0, 7, 99);
  inst.Midi(70, 0x90, 60, 100);
  inst.Render(256);
  ASSERT_EQ(host.controllerSteps.size(), 1u);
  // Steps at samples 0, 44, 88: 70 + 22 = 92 -> 48 -> 4, taken at the third step (sample 88).
  EXPECT_EQ(host.controllerSteps[0], firstStep + 2);
  EXPECT_EQ(host.controllers[0], 7);
  EXPECT_EQ(host.values[0], 99);
  EXPECT_EQ(inst.left[69], 0.0);
  EXPECT_NE(inst.left[70], 0.0);
}

TEST(RenderLoop, WheelAndPedalAreTheEngines) {
  TestInstrument inst;
  RecordingHost host(inst.engine);
  inst.engine.SetHost(&host);
  inst.Midi(0, 0xB0, 1, 127);
  inst.Midi(0, 0xB0, 64, 100);
  inst.Render(64);
  EXPECT_EQ(inst.engine.Wheel(), 1.0);
  EXPECT_TRUE(inst.engine.SustainPedal());
  EXPECT_TRUE(host.controllers.empty());
  EXPECT_EQ(host.thru.size(), 2u);
}

TEST(RenderLoop, LearnTakesTheControllerAndProgramChangesGoToTheShell) {
  TestInstrument inst;
  RecordingHost host(inst.engine);
  inst.engine.SetHost(&host);
  host.learning = true;
  inst.Midi(0, 0xB0, 21, 64);
  inst.Midi(0, 0xC0, 5, 0);
  inst.Render(128);
  EXPECT_EQ(host.learned, 21);
  EXPECT_TRUE(host.controllers.empty());
  EXPECT_EQ(host.programs, (std::vector<int>{5}));
  EXPECT_EQ(inst.engine.InputQueue().Size(), 0);
}

TEST(RenderLoop, TransportIsAskedAtEveryControlStep) {
  TestInstrument inst;
  RecordingHost host(inst.engine);
  inst.engine.SetHost(&host);
  inst.Render(440, 440);
  EXPECT_EQ(host.transportQueries, 10);
}

TEST(RenderLoop, ResetAtTheSameRateKeepsNotesSounding) {
  TestInstrument inst;
  inst.Midi(0, 0x90, 60, 100);
  inst.Render(4410);
  const double value = inst.engine.GetVoice(0).envelope.value;
  EXPECT_FALSE(inst.engine.Reset(44100, 512));
  EXPECT_TRUE(inst.engine.GetVoice(0).active);
  EXPECT_EQ(inst.engine.GetVoice(0).envelope.value, value);
  EXPECT_EQ(inst.engine.HeldKeyCount(), 0);  // the held-key list is emptied at every reset
  inst.Render(256);
  EXPECT_GT(inst.Peak(4410), 0.0);
}

TEST(RenderLoop, ResetAtANewRateReinitialises) {
  TestInstrument inst;
  inst.Midi(0, 0x90, 60, 100);
  inst.Render(4410);
  EXPECT_TRUE(inst.engine.Reset(48000, 512));
  EXPECT_FALSE(inst.engine.GetVoice(0).active);
  EXPECT_EQ(inst.engine.ControlPeriod(), 48);
  EXPECT_EQ(inst.engine.StringEnvelope().stage, Envelope::kIdle);
}

// ---------------------------------------------------------------- bad input

TEST(RenderLoopBadInput, RenderBeforeResetAndUnusableRatesAreSilent) {
  Engine fresh;
  std::vector<double> l(256, 1.0), r(256, 1.0);
  MidiMessage m;
  m.status = 0x90;
  m.data1 = 60;
  m.data2 = 100;
  fresh.HandleMidiMessage(m);
  fresh.RenderBlock(l.data(), r.data(), 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(l[i] + r[i], 0.0);

  const double rates[] = {0.0, 999.0, -44100.0, std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN(), 1e12};
  for (double rate : rates) {
    TestInstrument inst;
    EXPECT_FALSE(inst.engine.Reset(rate, 256));
    EXPECT_EQ(inst.engine.ControlPeriod(), 0) << rate;
    inst.Midi(0, 0x90, 60, 100);
    inst.Render(1000);
    EXPECT_EQ(inst.Peak(), 0.0) << rate;
    EXPECT_EQ(inst.engine.InputQueue().Size(), 0) << rate;
    // A usable rate afterwards plays again.
    if (inst.engine.Reset(44100, 256)) inst.ApplyAll();
    inst.Midi(0, 0x90, 60, 100);
    inst.Render(8000);
    EXPECT_GT(inst.Peak(), 0.0) << rate;
  }
}

TEST(RenderLoopBadInput, NullOutputsAndEmptyBlocks) {
  TestInstrument inst;
  double l[4];
  inst.engine.RenderBlock(nullptr, l, 4);
  inst.engine.RenderBlock(l, nullptr, 4);
  inst.engine.RenderBlock(l, l, 0);
  inst.engine.RenderBlock(l, l, -5);
  SUCCEED();
}

TEST(RenderLoopBadInput, MeaninglessMessagesAreIgnored) {
  TestInstrument inst;
  struct Row {
    int status, data1, data2;
  } rows[] = {
      {0x90, 200, 100},  // note number beyond 127
      {0x90, 60, 255},   // velocity beyond 127
      {0x3C, 60, 100},   // a data byte where a status belongs
      {0xF8, 0, 0},      // timing clock
      {0xFF, 60, 100},   // reset
      {0xA0, 60, 100},   // polyphonic pressure
  };
  for (const Row& r : rows) inst.Midi(0, r.status, r.data1, r.data2);
  inst.Render(256);
  EXPECT_EQ(inst.engine.HeldKeyCount(), 0);
  for (int v = 0; v < Engine::kNumVoices; ++v) EXPECT_FALSE(inst.engine.GetVoice(v).active);
  inst.engine.NoteOn(-1);
  inst.engine.NoteOn(128);
  inst.engine.NoteOff(1000);
  EXPECT_EQ(inst.engine.HeldKeyCount(), 0);
}

TEST(RenderLoopBadInput, NegativeOffsetsPlayAtOnceAndLateOnesArriveLater) {
  TestInstrument inst;
  inst.Midi(-50, 0x90, 60, 100);
  inst.Midi(5, 0x90, 62, 100);
  inst.Render(16, 16);
  EXPECT_TRUE(inst.engine.IsKeyHeld(60));
  EXPECT_TRUE(inst.engine.IsKeyHeld(62));

  inst.Midi(600, 0x90, 64, 100);  // beyond a 256-sample block: played in a later block
  inst.Render(256);
  EXPECT_FALSE(inst.engine.IsKeyHeld(64));
  inst.Render(512);
  EXPECT_TRUE(inst.engine.IsKeyHeld(64));

  inst.Midi(std::numeric_limits<int32_t>::max(), 0xE0, 0, 64);  // clamped, no overflow
  inst.Render(256);
}

TEST(RenderLoopBadInput, HundredThousandMessagesInOneBlock) {
  TestInstrument inst;
  std::mt19937 rng(7);
  for (int i = 0; i < 100000; ++i) {
    const int key = 36 + static_cast<int>(rng() % 60);
    inst.Midi(static_cast<int>(rng() % 256), (i % 2) ? 0x80 : 0x90, key, 100);
  }
  inst.Render(256);
  inst.Render(4096);
  for (double x : inst.left) ASSERT_TRUE(std::isfinite(x));
  inst.Midi(0, 0xB0, 123, 0);
  EXPECT_EQ(inst.engine.HeldKeyCount(), 0);
}

// ---------------------------------------------------------------- long random render

void ExpectClean(const std::vector<double>& samples, double rate) {
  size_t bad = 0;
  for (double x : samples) {
    if (!std::isfinite(x) || std::fpclassify(x) == FP_SUBNORMAL) ++bad;
  }
  EXPECT_EQ(bad, 0u) << "at " << rate << " Hz";
}

TEST(RenderLoopSoak, RandomPlayingStaysFiniteAndNormal) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    TestInstrument inst(rate, 512);
    std::mt19937 rng(static_cast<unsigned>(rate));
    const int blocks = static_cast<int>(rate * 60 / 512);  // one minute of audio per rate
    std::vector<double> l(512), r(512), all;
    all.reserve(512 * 64);
    for (int b = 0; b < blocks; ++b) {
      for (int e = static_cast<int>(rng() % 6); e > 0; --e) {
        const int offset = static_cast<int>(rng() % 512);
        switch (rng() % 8) {
          case 0: case 1: case 2: inst.Midi(offset, 0x90, static_cast<int>(rng() % 128), 100); break;
          case 3: case 4: inst.Midi(offset, 0x80, static_cast<int>(rng() % 128), 0); break;
          case 5: inst.Midi(offset, 0xB0, 64, (rng() % 2) ? 127 : 0); break;
          case 6: inst.Midi(offset, 0xB0, 1, static_cast<int>(rng() % 128)); break;
          default: inst.Set(static_cast<int>(rng() % kNumParams), static_cast<double>(rng() % 1001) / 1000.0); break;
        }
      }
      if (b % 2000 == 1999) inst.Midi(0, 0xB0, 123, 0);
      inst.engine.RenderBlock(l.data(), r.data(), 512);
      all.insert(all.end(), l.begin(), l.end());
      all.insert(all.end(), r.begin(), r.end());
      if (all.size() >= 512 * 64) {
        ExpectClean(all, rate);
        all.clear();
      }
    }
    ExpectClean(all, rate);
  }
}

}  // namespace
