// The idle fast path must be invisible: an engine that skips silent chunks renders exactly the
// samples of one that renders every sample, also after the silence, whatever the settings.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "tests/instrument/RenderScenario.h"

namespace {

struct Case {
  std::string name;
  double rate;
  std::function<void(TestInstrument&)> play;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Everything that can keep the chain alive: synth through the resonant filter, every phaser send, an
// echo with feedback, the synth through the chorus too.
void EverythingOn(TestInstrument& inst) {
  for (int p : {kSynth8, kSynth4, kChorusSynth, kPhaserString, kPhaserSynth, kPhaserBass, kBass16, kDelayPingPong}) {
    inst.SetPlain(p, 1);
  }
  inst.SetPlain(kVcfResonance, 0.8);
  inst.SetPlain(kVcfLfo, 0.3);
  inst.SetPlain(kPhaserFeedback, 0.7);
  inst.SetPlain(kDelayMix, 0.4);
  inst.SetPlain(kDelayFeedback, 0.5);
}

void NoteAfterSilence(TestInstrument& inst, int key) {
  inst.Midi(3, 0x90, key, 100);
  inst.Render(static_cast<int>(inst.engine.SampleRate() * 0.2), 256);
  inst.Midi(0, 0x80, key, 0);
  inst.Render(static_cast<int>(inst.engine.SampleRate() * 0.1), 256);
}

const Case kCases[] = {
    {"RichScenario44k", 44100, [](TestInstrument& inst) { RenderScenario(inst).Run(); }},
    {"RichScenario96k", 96000, [](TestInstrument& inst) { RenderScenario(inst).Run(); }},
    // The phaser's dither flips every sample while it idles: odd chunk lengths must keep its sign.
    {"PhaserIdlesInOddChunks", 44100,
     [](TestInstrument& inst) {
       for (int p : {kPhaserString, kPhaserSynth, kSynth8}) inst.SetPlain(p, 1);
       inst.Render(1001, 37);
       inst.Render(55, 1);
       NoteAfterSilence(inst, 60);
     }},
    // A note while the synth filter is still gliding to a cutoff set during the silence.
    {"CutoffGlidesThroughSilence", 48000,
     [](TestInstrument& inst) {
       inst.SetPlain(kSynth8, 1);
       inst.SetPlain(kSynth4, 1);
       inst.SetPlain(kVcfLfo, 0.5);
       inst.Render(20000, 256);
       inst.SetPlain(kVcfCutoff, 0.1);
       inst.Render(3000, 100);
       NoteAfterSilence(inst, 67);
     }},
    // The filter, phaser and echo settle to zero while the full path renders every sample.
    {"SettlesAfterEverythingSounded", 44100,
     [](TestInstrument& inst) {
       EverythingOn(inst);
       for (int k = 36; k < 44; ++k) inst.Midi(k, 0x90, k * 3, 100);
       inst.Render(22050, 256);
       inst.Midi(0, 0xB0, 123, 0);
       inst.Render(44100 * 12, 256);
       NoteAfterSilence(inst, 60);
     }},
    // Synced ping-pong echo with vibe: only the left clock runs both lines.
    {"PingPongClocksThroughSilence", 44100,
     [](TestInstrument& inst) {
       for (int p : {kDelayPingPong, kDelaySync, kDelayVibe}) inst.SetPlain(p, 1);
       inst.SetPlain(kDelayMix, 0.5);
       inst.SetPlain(kDelayVibeSpeed, 3.0);
       inst.Render(30000, 256);
       NoteAfterSilence(inst, 50);
     }},
};

class IdleFastPath : public ::testing::TestWithParam<Case> {};

TEST_P(IdleFastPath, RendersExactlyWhatTheFullPathRenders) {
  const Case& c = GetParam();
  TestInstrument fast(c.rate), full(c.rate);
  full.engine.SetIdleFastPath(false);
  c.play(fast);
  c.play(full);

  EXPECT_GT(fast.engine.SilentChunks(), 10) << "the fast path never engaged";
  EXPECT_EQ(full.engine.SilentChunks(), 0);
  ASSERT_EQ(fast.left.size(), full.left.size());
  ASSERT_GT(full.Peak(), 0.01) << "the case plays no sound";
  size_t mismatches = 0, first = 0;
  for (size_t i = 0; i < full.left.size(); ++i) {
    if (fast.left[i] != full.left[i] || fast.right[i] != full.right[i]) {
      if (mismatches++ == 0) first = i;
    }
  }
  EXPECT_EQ(mismatches, 0u) << "first at sample " << first << ": " << fast.left[first] << " vs " << full.left[first];
  for (int k = 0; k < ToneGenerator::kNumCounters; ++k) {
    EXPECT_EQ(fast.engine.Tones().Counter(k), full.engine.Tones().Counter(k)) << "counter " << k;
  }
  EXPECT_EQ(fast.engine.Ladder().CurrentIndex(), full.engine.Ladder().CurrentIndex());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(fast.engine.GetChorus(i).Phase(), full.engine.GetChorus(i).Phase());
}

INSTANTIATE_TEST_SUITE_P(Cases, IdleFastPath, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& p) { return p.param.name; });

// A silent stretch ends at the first chunk that holds an event: a note at any offset of a block
// that begins in silence sounds from its own sample.
TEST(IdleFastPathEdges, NoteInsideASilentBlockSoundsOnTime) {
  TestInstrument inst;
  inst.SetPlain(kSynth8, 1);
  inst.SetPlain(kMixStringSynth, 0);
  inst.SetPlain(kStringViola, 0);
  inst.SetPlain(kVcfCutoff, 1);
  inst.Render(44000, 440);  // whole control periods: the next block starts with a control step
  ASSERT_GT(inst.engine.SilentChunks(), 0);
  ASSERT_EQ(inst.Peak(), 0.0);
  const size_t start = inst.left.size();
  inst.Midi(100, 0x90, 69, 100);
  inst.Render(256, 256);
  // Offset 100 lies in the chunk after the control step at sample 88; it sounds at sample 100.
  for (size_t i = start; i < start + 100; ++i) EXPECT_EQ(inst.left[i], 0.0) << i - start;
  EXPECT_NE(inst.left[start + 100], 0.0);
}

// After the resonant filter, the phaser and a fed-back echo have sounded, the engine idles again once
// they have died away below -200 dBFS: set to exact zero, not left ringing on their anti-denormal
// offsets. Before that point the output is not cut short.
TEST(IdleFastPathEdges, IdlesAgainAfterFilterPhaserAndEchoHaveSounded) {
  TestInstrument inst;
  EverythingOn(inst);
  for (int k = 0; k < 64; ++k) inst.engine.NoteOn(36 + k);
  inst.Render(22050, 256);
  inst.engine.AllNotesOff();
  const size_t released = inst.left.size();
  const int before = inst.engine.SilentChunks();
  int seconds = 0;
  while (inst.engine.SilentChunks() == before && seconds < 20) {
    inst.Render(44100, 256);
    ++seconds;
  }
  // The echo falls by 6 dB per 0.34 s pass (feedback 0.5): about 12 s from full level to -200 dBFS.
  EXPECT_LE(seconds, 15) << "the idle path did not engage within 15 s of the release";
  EXPECT_GE(seconds, 8) << "the echo was cut off above -200 dBFS";
  const double tail = inst.Peak(inst.left.size() - 4410);  // the last 0.1 s before it engaged
  EXPECT_LT(tail, 1e-10);
  EXPECT_GT(inst.Peak(released, released + 44100), 1e-3) << "the echo was cut short";
  const size_t idle = inst.left.size();
  inst.Render(44100, 256);
  EXPECT_EQ(inst.Peak(idle), 0.0);
  EXPECT_GT(inst.engine.SilentChunks() - before, 1000);
}

// A change of sample rate resets the voices of held keys; once the rest has died away the engine
// idles again, and the next note still sounds.
TEST(IdleFastPathEdges, IdlesAgainAfterARateChangeWithKeysHeld) {
  TestInstrument inst;
  inst.engine.NoteOn(60);
  inst.engine.NoteOn(64);
  inst.Render(4410, 256);
  ASSERT_GT(inst.Peak(), 0.0);
  ASSERT_TRUE(inst.engine.Reset(48000, 256));
  inst.ApplyAll();
  inst.engine.AllNotesOff();
  const int before = inst.engine.SilentChunks();
  inst.Render(48000 * 3, 256);
  EXPECT_GT(inst.engine.SilentChunks() - before, 1000);
  const size_t start = inst.left.size();
  inst.engine.NoteOn(67);
  inst.Render(4800, 256);
  EXPECT_GT(inst.Peak(start), 0.0);
}

}  // namespace
