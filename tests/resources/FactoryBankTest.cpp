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

struct Level {
  double rms = 0.0;
  double peak = 0.0;
  bool finite = true;
};

// A four-note chord with a bass note (C3, C4, E4, G4) held 1.5 s and released for 0.5 s at 44.1 kHz.
// The chord starts after 0.5 s of silence, in which the synthesizer filter's cutoff has glided up from
// the bottom, where the engine reset leaves it, to the program's setting; only the chord is measured.
Level RenderChord(const std::vector<double>& values) {
  TestInstrument instrument;
  for (int p = 0; p < kNumParams; ++p) instrument.params[p].SetPlainClamped(values[static_cast<size_t>(p)]);
  instrument.ApplyAll();
  instrument.Render(22050);
  instrument.left.clear();
  instrument.right.clear();
  for (int key : {48, 60, 64, 67}) instrument.Midi(0, 0x90, key, 100);
  instrument.Render(66150);
  for (int key : {48, 60, 64, 67}) instrument.Midi(0, 0x80, key, 0);
  instrument.Render(22050);
  Level level;
  double sum = 0.0;
  for (size_t i = 0; i < instrument.left.size(); ++i) {
    const double l = instrument.left[i], r = instrument.right[i];
    if (!std::isfinite(l) || !std::isfinite(r)) level.finite = false;
    sum += l * l + r * r;
  }
  level.rms = std::sqrt(sum / (2.0 * static_cast<double>(instrument.left.size())));
  level.peak = instrument.Peak();
  return level;
}

TEST(FactoryBankTest, EveryProgramPlaysAChordAtAComparableLevelBelowFullScale) {
  TestPlug plug;
  LoadFactoryBank(plug);
  std::vector<Level> levels;
  for (int i = 0; i < 64; ++i) levels.push_back(RenderChord(ProgramValues(plug, i)));

  std::vector<double> decibels;
  for (const Level& level : levels) decibels.push_back(20.0 * std::log10(std::max(level.rms, 1e-12)));
  std::vector<double> sorted = decibels;
  std::sort(sorted.begin(), sorted.end());
  const double median = 0.5 * (sorted[31] + sorted[32]);

  double lowest = 1e9, highest = -1e9, maxPeak = 0.0;
  for (int i = 0; i < 64; ++i) {
    const Level& level = levels[static_cast<size_t>(i)];
    const double relative = decibels[static_cast<size_t>(i)] - median;
    lowest = std::min(lowest, relative);
    highest = std::max(highest, relative);
    maxPeak = std::max(maxPeak, level.peak);
    EXPECT_TRUE(level.finite) << kFactoryNames[i];
    EXPECT_LT(level.peak, 1.0) << kFactoryNames[i];
    EXPECT_GE(relative, -12.0) << kFactoryNames[i] << ": " << relative << " dB against the median";
  }
  std::printf("factory bank levels: median RMS %.1f dBFS, spread %.1f to %+.1f dB, max peak %.3f\n", median,
              lowest, highest, maxPeak);
  if (std::getenv("SARN_PRINT_LEVELS")) {
    for (int i = 0; i < 64; ++i) {
      std::printf("%2d %-22s %+6.1f dB  peak %.3f\n", i, kFactoryNames[i], decibels[static_cast<size_t>(i)] - median,
                  levels[static_cast<size_t>(i)].peak);
    }
  }
}

}  // namespace
