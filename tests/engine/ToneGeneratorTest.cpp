#include "engine/ToneGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/PitchTables.h"
#include "engine/WaveSeries.h"

namespace {

TEST(ToneGenerator, HarmonicCountsHalveEveryTwoTables) {
  const int expected[22] = {2048, 1448, 1024, 724, 512, 362, 256, 181, 128, 91, 64,
                            45,   32,   23,   16,  11,  8,   6,   4,   3,   2,  1};
  for (int t = 0; t < 22; ++t) EXPECT_EQ(ToneGenerator::HarmonicCount(t), expected[t]) << "table " << t;
}

TEST(ToneGenerator, WaveTableCheckValues) {
  const double* t21 = ToneGenerator::WaveTable(21, false);
  EXPECT_NEAR(t21[0], -0.25, 1e-12);
  EXPECT_NEAR(t21[2048], 0.25, 1e-12);

  const double* t6 = ToneGenerator::WaveTable(6, false);
  EXPECT_NEAR(t6[0], -0.181991, 1e-6);
  EXPECT_NEAR(t6[1024], -0.235334, 1e-6);
  EXPECT_NEAR(t6[2048], 0.53539, 1e-5);
  EXPECT_NEAR(*std::max_element(t6, t6 + 4096), 1.369975, 1e-6);
}

// The tables the module carries were summed at build time: every table, start to end, must still
// be its series (a stale or cut-short data file fails here; a cut-short one leaves zeros at the end).
TEST(ToneGenerator, WaveTablesAreTheirFourierSeries) {
  for (int t = 0; t < ToneGenerator::kNumTables; ++t) {
    const wave_series::WaveSeries series(t);
    const double* table = ToneGenerator::WaveTable(t, false);
    for (int k : {0, 1, 455, 1024, 2047, 2048, 3333, 4094, 4095}) {
      EXPECT_NEAR(table[k], series.At(k), 1e-13) << "table " << t << " entry " << k;
    }
  }
  const double* silent = ToneGenerator::WaveTable(ToneGenerator::kNumTables, false);
  EXPECT_EQ(*std::max_element(silent, silent + ToneGenerator::kTableLength), 0.0);
  EXPECT_EQ(*std::min_element(silent, silent + ToneGenerator::kTableLength), 0.0);
}

TEST(ToneGenerator, HollowTableIsWaveMinusHalfPeriodShift) {
  for (int t : {0, 6, 21}) {
    const double* normal = ToneGenerator::WaveTable(t, false);
    const double* hollow = ToneGenerator::WaveTable(t, true);
    for (int k : {0, 1, 1000, 2047, 2048, 4095}) {
      EXPECT_DOUBLE_EQ(hollow[k], (normal[k] - normal[(k + 2048) % 4096]) * 0.5) << t << " " << k;
    }
  }
}

TEST(ToneGenerator, PitchToFrequencyCheckValues) {
  struct Row {
    int pitch;
    double hz;
  } rows[] = {
      {0, 8.176}, {8832, 440.0}, {64, 8.419}, {7680, 261.626}, {17280, 19912.127}, {20000, 19912.127},
      {-17280, 0.0033570162}, {-30000, 0.0033570162}, {-128, 7.7171163805},
      {124 * 128, 10548.08}, {127 * 128, 12543.85},
  };
  for (const Row& r : rows) EXPECT_NEAR(PitchToFrequency(r.pitch), r.hz, 1e-9) << "pitch " << r.pitch;
}

TEST(ToneGenerator, IncrementsAt44100) {
  ToneGenerator gen;
  gen.SetSampleRate(44100);
  const uint32_t expected[12] = {167391, 177343, 187892, 199062, 210901, 223440,
                                 236728, 250801, 265720, 281516, 298255, 315992};
  for (int k = 0; k < 12; ++k) EXPECT_EQ(gen.Increment(k), expected[k]) << "counter " << k;
}

TEST(ToneGenerator, TableChoiceAt44100) {
  ToneGenerator gen;
  gen.SetSampleRate(44100);
  struct Range {
    int first, last, table;
  } ranges[] = {{0, 16, 0},    {17, 23, 3},   {24, 28, 4},    {29, 35, 5},    {36, 40, 6},
                {41, 47, 7},   {48, 52, 8},   {53, 59, 9},    {60, 64, 10},   {65, 71, 11},
                {72, 76, 12},  {77, 82, 13},  {83, 88, 14},   {89, 94, 15},   {95, 100, 16},
                {101, 106, 17}, {107, 112, 18}, {113, 118, 19}, {119, 124, 20}, {125, 127, 21}};
  for (const Range& r : ranges) {
    for (int n = r.first; n <= r.last; ++n) EXPECT_EQ(gen.TableChoice(n), r.table) << "note " << n;
  }
}

TEST(ToneGenerator, TuneMovesTheBaseIndexByHalfASemitone) {
  ToneGenerator gen;
  gen.SetSampleRate(44100);
  gen.SetTune(1.0);
  EXPECT_EQ(gen.BaseIndex(), 2752);
  gen.SetTune(-1.0);
  EXPECT_EQ(gen.BaseIndex(), 2624);
  gen.SetTune(0.0);
  EXPECT_EQ(gen.BaseIndex(), 2688);
}

TEST(ToneGenerator, KeyMap) {
  struct Row {
    int note, counter, shift;
  } rows[] = {{0, 3, -2}, {8, 11, -2}, {9, 0, -1}, {20, 11, -1}, {21, 0, 0},
              {32, 11, 0}, {33, 0, 1}, {69, 0, 4}, {117, 0, 8}, {127, 10, 8}};
  for (const Row& r : rows) {
    EXPECT_EQ(ToneGenerator::CounterIndex(r.note), r.counter) << r.note;
    EXPECT_EQ(ToneGenerator::OctaveShift(r.note), r.shift) << r.note;
  }
}

class RunningGenerator : public ::testing::Test {
 protected:
  void SetUp() override {
    gen.SetSampleRate(44100);
    for (int i = 0; i < 1234; ++i) gen.AdvanceCounters();
  }
  ToneGenerator gen;
};

TEST_F(RunningGenerator, LowKeysAreSilentAndTheirFourFootSounds) {
  const ToneGenerator::Pair p20 = gen.VoiceSamples(20);
  EXPECT_EQ(p20.first, 0.0);
  const ToneGenerator::Pair p32 = gen.VoiceSamples(32);
  EXPECT_EQ(p20.second, p32.first);
  EXPECT_NE(p20.second, 0.0);
  for (int key = 0; key <= 8; ++key) {
    EXPECT_EQ(gen.VoiceSamples(key).first, 0.0);
    EXPECT_EQ(gen.VoiceSamples(key).second, 0.0) << key;
  }
}

TEST_F(RunningGenerator, TopKeysHaveNoFourFoot) {
  EXPECT_NE(gen.VoiceSamples(115).second, 0.0);
  for (int key = 116; key <= 127; ++key) EXPECT_EQ(gen.VoiceSamples(key).second, 0.0) << key;
  EXPECT_EQ(gen.VoiceSamples(128).first, 0.0);
  EXPECT_EQ(gen.VoiceSamples(-1).first, 0.0);
}

TEST_F(RunningGenerator, BassSamples) {
  EXPECT_EQ(gen.BassSamples(11).first, 0.0);
  // Key 33 reads its 16' from note 21 (shift 0) on the same counter.
  const double* table = ToneGenerator::WaveTable(gen.TableChoice(21), false);
  EXPECT_EQ(gen.BassSamples(33).first, table[gen.Counter(0) >> 16]);
  EXPECT_EQ(gen.BassSamples(45).first, gen.VoiceSamples(33).first);
}

TEST_F(RunningGenerator, OctavesArePhaseLocked) {
  // Upper key's phase is exactly twice the lower key's, modulo a cycle.
  const uint32_t c = gen.Counter(0);
  const uint32_t lower = (c << 1) & ToneGenerator::kPhaseMask;  // note 33
  const uint32_t upper = (c << 2) & ToneGenerator::kPhaseMask;  // note 45
  EXPECT_EQ(upper, (lower * 2) & ToneGenerator::kPhaseMask);
  const double* t45 = ToneGenerator::WaveTable(gen.TableChoice(45), false);
  EXPECT_EQ(gen.VoiceSamples(45).first, t45[upper >> 16]);
}

TEST_F(RunningGenerator, HollowChangesVoiceAndBassEightButNotSixteen) {
  const ToneGenerator::Pair voiceNormal = gen.VoiceSamples(60);
  const ToneGenerator::Pair bassNormal = gen.BassSamples(40);
  gen.SetHollow(true);
  const ToneGenerator::Pair voiceHollow = gen.VoiceSamples(60);
  const ToneGenerator::Pair bassHollow = gen.BassSamples(40);
  EXPECT_NE(voiceNormal.first, voiceHollow.first);
  EXPECT_NE(voiceNormal.second, voiceHollow.second);
  EXPECT_NE(bassNormal.second, bassHollow.second);
  EXPECT_EQ(bassNormal.first, bassHollow.first);
}

TEST(ToneGenerator, CountersWrapAt28Bits) {
  ToneGenerator gen;
  gen.SetSampleRate(44100);
  uint64_t expected = 0;
  for (int i = 0; i < 5000; ++i) {
    gen.AdvanceCounters();
    expected = (expected + 315992) & 0x0FFFFFFF;
  }
  EXPECT_EQ(gen.Counter(11), expected);
}

TEST(ToneGenerator, LowRatesDoNotOverflowIncrements) {
  ToneGenerator gen;
  gen.SetSampleRate(1000);
  for (int pitch : {0, 10000, 17280}) EXPECT_GE(gen.IncrementTableEntry(pitch), 0) << pitch;
  for (int n = 0; n < 128; ++n) {
    EXPECT_GE(gen.TableChoice(n), 0);
    EXPECT_LE(gen.TableChoice(n), 21);
  }
}

}  // namespace

namespace {

TEST(ToneGenerator, PreparedVoiceReadsTheSameSamples) {
  ToneGenerator gen;
  gen.SetSampleRate(48000);
  for (int i = 0; i < 777; ++i) gen.AdvanceCounters();
  for (bool hollow : {false, true}) {
    gen.SetHollow(hollow);
    for (int key = 0; key < 128; ++key) {
      const ToneGenerator::VoiceTone tone = gen.PrepareVoice(key);
      EXPECT_EQ(gen.VoiceSamples(tone).first, gen.VoiceSamples(key).first) << key;
      EXPECT_EQ(gen.VoiceSamples(tone).second, gen.VoiceSamples(key).second) << key;
    }
  }
}

}  // namespace
