// The voice loop runs a voice's two tone filters side by side in one vector. Each lane must give
// exactly what the one-pole LP6 gives for the same input, including the flushing of inputs and
// results that are not normal numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/OnePole.h"
#include "engine/ToneGenerator.h"
#include "engine/Voice.h"

namespace {

TEST(ToneFilterPair, EachLaneIsTheOnePoleRecursion) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Inputs for the 8' and 4' lanes, with every kind of value that is not a normal number.
  const double inputs[][2] = {{1.0, -1.0}, {0.5, 1e-310}, {nan, 0.25}, {-inf, inf}, {0.0, -0.0},
                              {1e-300, -0.7}, {3.0, nan},  {-1e-310, 2.0}};
  ToneFilterPair pair;
  pair.SetStepTime(1.0 / 44100);
  pair.SetCutoffs(400.0, 800.0);
  LP6 eight, four;
  for (LP6* f : {&eight, &four}) f->SetStepTime(1.0 / 44100);
  eight.SetCutoff(400.0);
  four.SetCutoff(800.0);
  ASSERT_EQ(pair.Pole(ToneFilterPair::kEight), eight.a);
  ASSERT_EQ(pair.Pole(ToneFilterPair::kFour), four.a);
  for (int round = 0; round < 50; ++round) {
    for (const auto& in : inputs) {
      const Double2 out = pair.Process(Double2{in[0], in[1]});
      EXPECT_EQ(out[0], eight.Process(in[0])) << in[0];
      EXPECT_EQ(out[1], four.Process(in[1])) << in[1];
    }
  }
  // A decaying tail ends in exact zeros, never in subnormal numbers.
  for (int i = 0; i < 200000; ++i) {
    const Double2 out = pair.Process(Double2{0.0, 0.0});
    ASSERT_EQ(out[0], eight.Process(0.0));
    ASSERT_EQ(out[1], four.Process(0.0));
  }
  EXPECT_EQ(pair.State(ToneFilterPair::kEight), 0.0);
  EXPECT_EQ(pair.State(ToneFilterPair::kFour), 0.0);
}

// One voice rendered through the paired path against the same voice spelled out with the tone
// generator's samples, an envelope and two LP6, over a note's attack, sustain and release.
TEST(VoicePath, MatchesTheScalarVoiceForEveryKeyRange) {
  ToneGenerator tones;
  tones.SetSampleRate(44100);
  for (int key : {0, 9, 20, 21, 40, 55, 69, 100, 115, 116, 127}) {
    for (bool hollow : {false, true}) {
      tones.SetHollow(hollow);
      Voice voice;
      voice.ResetVoice(44100);
      voice.key = key;
      voice.toneSource = tones.PrepareVoice(key);
      voice.SetupVoiceFilters();
      voice.envelope.Trigger();

      Envelope envelope;
      envelope.SetRateScale(Envelope::kLn10 / 44100);
      envelope.SetAttack(0.01);
      envelope.SetSustainLevel(1.0);
      envelope.SetRelease(0.1);
      envelope.Trigger();
      LP6 eight, four;
      for (LP6* f : {&eight, &four}) f->SetStepTime(1.0 / 44100);
      eight.SetCutoff(voice.tone * (key < 46 ? 0.1 : key <= 55 ? 0.14625 : key <= 64 ? 0.2 : key <= 74 ? 0.5 : 1.0) * 0.5);
      four.SetCutoff(voice.tone * (key < 46 ? 0.1 : key <= 55 ? 0.14625 : key <= 64 ? 0.2 : key <= 74 ? 0.5 : 1.0));

      for (int i = 0; i < 6000; ++i) {
        if (i == 4000) {
          voice.envelope.Release();
          envelope.Release();
        }
        const Double2 out = voice.filters.Process(voice.FilterInput(tones.WaveSet(), tones.Counters()));
        envelope.Tick();
        const ToneGenerator::Pair samples = tones.VoiceSamples(key);
        ASSERT_EQ(out[0], eight.Process(envelope.value * samples.first)) << key << " sample " << i;
        ASSERT_EQ(out[1], four.Process(envelope.value * samples.second)) << key << " sample " << i;
        tones.AdvanceCounters();
      }
    }
  }
}

TEST(ToneGenerator, AdvancingManySamplesAtOnceEqualsAdvancingOneByOne) {
  ToneGenerator stepped, jumped;
  for (ToneGenerator* g : {&stepped, &jumped}) {
    g->SetSampleRate(96000);
    g->SetTune(0.83);
  }
  for (int samples : {1, 44, 96, 1000, 123457}) {
    for (int i = 0; i < samples; ++i) stepped.AdvanceCounters();
    jumped.AdvanceCounters(samples);
    for (int k = 0; k < ToneGenerator::kNumCounters; ++k) ASSERT_EQ(jumped.Counter(k), stepped.Counter(k)) << samples;
  }
}

}  // namespace
