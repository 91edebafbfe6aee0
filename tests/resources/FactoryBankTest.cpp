// The embedded factory bank: layout, names, round trip, the Init program and a playable level for
// every program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "plugin/ProgramFiles.h"
#include "resources/FactoryBank.h"
#include "tests/instrument/InstrumentFixture.h"
#include "tests/plugin/TestPlug.h"

namespace {

const char* const kFactoryNames[64] = {
    "Phazed Orchestra", "Ancient Polysynth", "Synth Pad", "Trumpet", "Hollow Resonator", "Warble",
    "Retrigger Space", "Phazed Pad", "Blips", "Funky Split", "Big Strings", "Sharp Brazz", "Ultimate Space",
    "Caroussel (twisted)", "Mix Me", "70s Poppy", "Sarn Gene", "Bass Only", "Nerdy Organ", "Eternal Drone",
    "Use The Mod Wheel", "Edgy", "Stereo Split", "Ad Astra", "Hollow Pinger", "Stereo Ensemble",
    "Hostile Space", "Poly Symbol", "Sforzando", "Reso Sweep", "La-Zer", "Spooky Cats", "Drum Machina Delay",
    "Copter Alike", "Female Choir", "Drifting Clouds", "Space Key", "Metal Resonance Bass", "Obscure Pad",
    "Voice Lead", "KW Robot Start", "Arp Me", "Mysterious Echo 1", "Mysterious Echo 2", "Simple High",
    "Another Space", "Glass Harp", "Science", "Harpsi", "2 Klang", "Panorama Drift", "KW Filter DEL",
    "LFO Brass", "Echo Pad", "Hallende Glocken", "Space Pad", "Simple Bass", "Hi Percussion Phased",
    "Hall Effekt", "Geblubber", "Simple Percussion", "Dark Pad", "Trauma", "Init"};

void LoadFactoryBank(TestPlug& plug) {
  ASSERT_TRUE(LoadBankImage(plug, FactoryBankData(), static_cast<int>(FactoryBankSize())));
}

std::vector<double> ProgramValues(TestPlug& plug, int program) {
  EXPECT_TRUE(plug.RecallPreset(program));
  return plug.Values();
}

TEST(FactoryBankTest, HeaderIsABankFileInTheChunkForm) {
  const uint8_t* bytes = FactoryBankData();
  ASSERT_GT(FactoryBankSize(), static_cast<size_t>(kBankHeaderSize + 8));
  EXPECT_EQ("CcnK", Text(bytes, 4));
  EXPECT_EQ(FactoryBankSize(), BE32(bytes + 4));
  EXPECT_EQ("FBCh", Text(bytes + 8, 4));
  EXPECT_EQ(2u, BE32(bytes + 12));
  EXPECT_EQ("sarn", Text(bytes + 16, 4));
  EXPECT_EQ(10000u, BE32(bytes + 20));
  EXPECT_EQ(64u, BE32(bytes + 24));
  EXPECT_EQ(0u, BE32(bytes + 28));
  EXPECT_EQ(FactoryBankSize() - kBankHeaderSize, BE32(bytes + 156));
  EXPECT_EQ("tffp", Text(bytes + 160, 4));
  EXPECT_EQ(0x00010000u, LE32(bytes + 164));
}

TEST(FactoryBankTest, LoadsWithAllProgramsNamedInOrder) {
  TestPlug plug;
  LoadFactoryBank(plug);
  EXPECT_EQ(0, plug.GetCurrentPresetIdx());
  for (int i = 0; i < 64; ++i) {
    EXPECT_TRUE(plug.GetPreset(i)->initialized) << "program " << i;
    EXPECT_EQ(kFactoryNames[i], plug.GetPreset(i)->name) << "program " << i;
  }
}

TEST(FactoryBankTest, InitIsEveryParameterAtItsDefault) {
  TestPlug plug;
  LoadFactoryBank(plug);
  const std::vector<double> values = ProgramValues(plug, 63);
  for (int p = 0; p < kNumParams; ++p) {
    EXPECT_EQ(plug.GetParam(p)->Default(), values[static_cast<size_t>(p)]) << plug.GetParam(p)->Name();
  }
}

TEST(FactoryBankTest, EveryOtherProgramDiffersFromInitAndFromEachOther) {
  TestPlug plug;
  LoadFactoryBank(plug);
  std::vector<std::vector<double>> programs;
  for (int i = 0; i < 64; ++i) programs.push_back(ProgramValues(plug, i));
  for (int i = 0; i < 64; ++i) {
    for (int j = i + 1; j < 64; ++j) {
      EXPECT_NE(programs[static_cast<size_t>(i)], programs[static_cast<size_t>(j)])
          << kFactoryNames[i] << " and " << kFactoryNames[j];
    }
  }
}

TEST(FactoryBankTest, DecodedAndEncodedAgainIsStable) {
  TestPlug first;
  LoadFactoryBank(first);
  std::vector<uint8_t> once;
  ASSERT_TRUE(EncodeBankFile(first, once));
  // The programs themselves come through unchanged; only the header's plug-in version may differ.
  ASSERT_EQ(FactoryBankSize(), once.size());
  EXPECT_TRUE(std::equal(once.begin() + 24, once.end(), FactoryBankData() + 24));

  TestPlug second;
  ASSERT_TRUE(DecodeBankFile(second, once.data(), once.size()));
  std::vector<uint8_t> twice;
  ASSERT_TRUE(EncodeBankFile(second, twice));
  EXPECT_EQ(once, twice);
}

// The loudness of one program as a musician stepping through the bank hears it, on a fresh instance
// from its first sample: C3 E3 G3 C4 at velocity 100, held 2 s and released for 0.6 s of release and
// echoes. The level is the loudest 400 ms window of the
// chord, RMS over both channels; the peak is the largest sample of either channel.
struct ChordLevel {
  double loudestDb = 0.0;
  double peakDb = 0.0;
  bool finite = true;
};

constexpr int kRate = 44100;
constexpr int kWindow = kRate * 4 / 10;

double Decibels(double amplitude) { return 20.0 * std::log10(std::max(amplitude, 1e-12)); }

ChordLevel RenderChord(const std::vector<double>& values) {
  TestInstrument instrument(kRate);
  for (int p = 0; p < kNumParams; ++p) instrument.params[p].SetPlainClamped(values[static_cast<size_t>(p)]);
  instrument.ApplyAll();
  for (int key : {48, 52, 55, 60}) instrument.Midi(0, 0x90, key, 100);
  instrument.Render(kRate * 2);
  for (int key : {48, 52, 55, 60}) instrument.Midi(0, 0x80, key, 0);
  instrument.Render(kRate * 6 / 10);

  ChordLevel level;
  const std::vector<double>& left = instrument.left;
  const std::vector<double>& right = instrument.right;
  double window = 0.0, loudest = 0.0;
  for (size_t i = 0; i < left.size(); ++i) {
    if (!std::isfinite(left[i]) || !std::isfinite(right[i])) level.finite = false;
    window += left[i] * left[i] + right[i] * right[i];
    if (i >= static_cast<size_t>(kWindow)) {
      const size_t out = i - static_cast<size_t>(kWindow);
      window -= left[out] * left[out] + right[out] * right[out];
    }
    if (i + 1 >= static_cast<size_t>(kWindow)) loudest = std::max(loudest, window);
  }
  level.loudestDb = 10.0 * std::log10(std::max(loudest / (2.0 * kWindow), 1e-24));
  level.peakDb = Decibels(instrument.Peak());
  return level;
}

// A musician stepping through the bank hears every program at about the same loudness, and none
// comes near full scale with a plain chord.
TEST(FactoryBankTest, EveryProgramPlaysAChordWithin4dBOfTheMedianAndPeaksBelowMinus1dBFS) {
  TestPlug plug;
  LoadFactoryBank(plug);
  std::vector<ChordLevel> levels;
  for (int i = 0; i < 64; ++i) levels.push_back(RenderChord(ProgramValues(plug, i)));

  std::vector<double> sorted;
  for (const ChordLevel& level : levels) sorted.push_back(level.loudestDb);
  std::sort(sorted.begin(), sorted.end());
  const double median = 0.5 * (sorted[31] + sorted[32]);

  const bool print = std::getenv("SARN_PRINT_LEVELS") != nullptr;
  for (int i = 0; i < 64; ++i) {
    const ChordLevel& level = levels[static_cast<size_t>(i)];
    const double relative = level.loudestDb - median;
    EXPECT_TRUE(level.finite) << kFactoryNames[i];
    EXPECT_LE(std::fabs(relative), 4.0) << kFactoryNames[i] << ": loudest 400 ms " << level.loudestDb
                                         << " dBFS, median " << median << " dBFS";
    EXPECT_LT(level.peakDb, -1.0) << kFactoryNames[i] << ": peak " << level.peakDb << " dBFS";
    if (print) {
      std::printf("%2d %-22s %6.1f dBFS %+5.1f dB  peak %6.1f dBFS\n", i, kFactoryNames[i], level.loudestDb,
                  relative, level.peakDb);
    }
  }
  std::printf("factory bank: median loudest 400 ms %.1f dBFS, %.1f to %.1f dBFS\n", median, sorted.front(),
              sorted.back());
}

// Dense two-handed playing: a 10-note chord from C2 to C6 struck four times (0.1 s on, 0.1 s off), a
// 10-note chord from F2 to F6 held 0.6 s, then a high 10-note chord from C3 to C7 struck four times,
// with 0.4 s for releases and echoes. Returns the peak of either channel in dBFS.
double RenderDensePassage(const std::vector<double>& values) {
  static const int kLow[10] = {36, 43, 48, 55, 60, 64, 67, 72, 76, 84};
  static const int kMiddle[10] = {41, 48, 53, 57, 60, 65, 69, 72, 77, 89};
  static const int kHigh[10] = {48, 55, 64, 67, 71, 74, 79, 83, 88, 96};
  TestInstrument instrument(kRate);
  for (int p = 0; p < kNumParams; ++p) instrument.params[p].SetPlainClamped(values[static_cast<size_t>(p)]);
  instrument.ApplyAll();
  instrument.Render(kRate * 4 / 10);
  const auto play = [&instrument](const int (&keys)[10], int onFrames, int offFrames) {
    for (int key : keys) instrument.Midi(0, 0x90, key, 100);
    instrument.Render(onFrames);
    for (int key : keys) instrument.Midi(0, 0x80, key, 0);
    instrument.Render(offFrames);
  };
  for (int i = 0; i < 4; ++i) play(kLow, kRate / 10, kRate / 10);
  play(kMiddle, kRate * 6 / 10, 0);
  for (int i = 0; i < 4; ++i) play(kHigh, kRate / 10, kRate / 10);
  instrument.Render(kRate * 4 / 10);
  return Decibels(instrument.Peak());
}

// Played hard, no program comes near full scale. This passage is short; longer songs of such chords
// peak some 2 to 5 dB higher, hence the margin.
TEST(FactoryBankTest, EveryProgramPlaysDenseChordsBelowMinus2dBFS) {
  TestPlug plug;
  LoadFactoryBank(plug);
  double loudest = -300.0;
  for (int i = 0; i < 64; ++i) {
    const double peak = RenderDensePassage(ProgramValues(plug, i));
    EXPECT_LT(peak, -2.0) << kFactoryNames[i] << ": peak " << peak << " dBFS";
    loudest = std::max(loudest, peak);
  }
  std::printf("factory bank: dense chords peak at %.1f dBFS at most\n", loudest);
}

// A bass program is played low: its bass voice answers C2, and a key above the bass range (55 and
// below) sounds nothing, no pad or lead beside the bass.
TEST(FactoryBankTest, BassProgramsPlayOnlyTheBass) {
  TestPlug plug;
  LoadFactoryBank(plug);
  for (int i = 0; i < 64; ++i) {
    const std::string name = kFactoryNames[i];
    if (name != "Bass Only" && name != "Simple Bass" && name != "Metal Resonance Bass") continue;
    const std::vector<double> values = ProgramValues(plug, i);
    for (int key : {36, 72}) {
      TestInstrument instrument(kRate);
      for (int p = 0; p < kNumParams; ++p) instrument.params[p].SetPlainClamped(values[static_cast<size_t>(p)]);
      instrument.ApplyAll();
      instrument.Midi(0, 0x90, key, 100);
      instrument.Render(kRate / 2);
      const double peak = Decibels(instrument.Peak());
      if (key == 36) EXPECT_GT(peak, -30.0) << name << ": key " << key;
      else EXPECT_LT(peak, -120.0) << name << ": key " << key;
    }
  }
}

}  // namespace
