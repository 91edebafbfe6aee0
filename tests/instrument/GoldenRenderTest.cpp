// Golden renders: one short phrase through four contrasting programs, compared with stored
// references, so that a change that alters every build alike (and so passes the cross-build
// comparison) is still caught. The references keep every 50th stereo sample and the energy of all of
// them. SARN_WRITE_GOLDEN=1 writes new references into tests/instrument/golden/ instead of comparing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/instrument/InstrumentFixture.h"

namespace {

constexpr int kStride = 50;
constexpr double kTolerance = 1e-12;

struct Program {
  const char* name;  // also the reference file's name
  std::vector<std::pair<int, double>> plain;  // parameters that differ from their defaults
};
void PrintTo(const Program& p, std::ostream* os) { *os << p.name; }

// Four factory programs as they stood when the references were made: strings and synth through the
// phaser; a filtered polysynth through the chorus; split strings and staccato bass; a synth through
// the ping-pong echo.
const Program kPrograms[] = {
    {"phazed-orchestra",
     {{kStringCello, 1}, {kStringViolin, 1}, {kSynth8, 1}, {kMixStringSynth, 0.7}, {kAttack, 0.3}, {kRelease, 0.4},
      {kSynthAttack, 0.3}, {kSynthRelease, 0.4}, {kVcfCutoff, 0.75}, {kPhaserString, 1}, {kPhaserSynth, 1},
      {kPhaserSpeed, 0.25}, {kPhaserFeedback, -0.5}, {kMasterVolume, 0.52}}},
    {"ancient-polysynth",
     {{kStringViola, 0}, {kSynth8, 1}, {kSynth4, 1}, {kMixStringSynth, 0}, {kVcfCutoff, 0.62}, {kVcfResonance, 0.35},
      {kVcfAdsr, 0.35}, {kSynthAttack, 0.05}, {kSynthDecay, 0.4}, {kSynthSustain, 0.6}, {kSynthRelease, 0.3},
      {kChorusSynth, 1}, {kMasterVolume, 0.64}}},
    {"funky-split",
     {{kStringViolin, 1}, {kBass16, 1}, {kBass8, 1}, {kBassStaccato, 1}, {kBassVolume, 1.2}, {kMixStringSynth, 1},
      {kAttack, 0.05}, {kRelease, 0.15}, {kPanString, 0.35}, {kPanBass, 0.6}, {kMasterVolume, 0.46}}},
    {"space-key",
     {{kStringViola, 0}, {kSynth8, 1}, {kSynth4, 1}, {kMixStringSynth, 0}, {kVcfCutoff, 0.6}, {kVcfAdsr, 0.3},
      {kSynthDecay, 0.4}, {kSynthSustain, 0.3}, {kSynthRelease, 0.4}, {kDelayMix, 0.4}, {kDelayFeedback, 0.6},
      {kDelayPingPong, 1}, {kDelayX2, 1}}},
};

// A bass note, a chord on top, a wheel move, one chord note released and another added, then
// everything released and a tail: 1.2 s at 44.1 kHz in 256-sample blocks.
void PlayPhrase(TestInstrument& inst) {
  inst.Midi(10, 0x90, 40, 100);
  inst.Midi(200, 0x90, 60, 100);
  inst.Midi(200, 0x90, 64, 100);
  inst.Midi(201, 0x90, 67, 100);
  inst.Render(256 * 40);
  inst.Midi(7, 0xB0, 1, 90);
  inst.Midi(90, 0x80, 64, 0);
  inst.Midi(91, 0x90, 72, 100);
  inst.Render(256 * 60);
  inst.Midi(0, 0xB0, 123, 0);
  inst.Render(256 * 107);
}

std::string ReferencePath(const char* name) {
  std::string dir = __FILE__;
  dir.resize(dir.find_last_of('/') + 1);
  return dir + "golden/" + name + ".txt";
}

double Energy(const std::vector<double>& x) {
  double sum = 0.0;
  for (double v : x) sum += v * v;
  return sum;
}

class GoldenRender : public ::testing::TestWithParam<Program> {};

TEST_P(GoldenRender, MatchesTheStoredReference) {
  const Program& program = GetParam();
  TestInstrument inst;
  for (const auto& [index, value] : program.plain) inst.SetPlain(index, value);
  PlayPhrase(inst);
  ASSERT_GT(inst.Peak(), 0.01) << "the phrase is silent";
  const std::string path = ReferencePath(program.name);

  const char* write = std::getenv("SARN_WRITE_GOLDEN");
  if (write && std::string(write) == "1") {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fprintf(f, "# %s: samples, energy left, energy right, then every %dth sample (left right)\n", program.name,
                 kStride);
    std::fprintf(f, "%zu %.17g %.17g\n", inst.left.size(), Energy(inst.left), Energy(inst.right));
    for (size_t i = 0; i < inst.left.size(); i += kStride) std::fprintf(f, "%.17g %.17g\n", inst.left[i], inst.right[i]);
    ASSERT_EQ(std::fclose(f), 0);
    GTEST_SKIP() << "wrote " << path;
  }

  FILE* f = std::fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr) << "no reference " << path << " (SARN_WRITE_GOLDEN=1 writes it)";
  char header[256];
  ASSERT_NE(std::fgets(header, sizeof header, f), nullptr);
  size_t samples = 0;
  double energyLeft = 0.0, energyRight = 0.0;
  ASSERT_EQ(std::fscanf(f, "%zu %lf %lf", &samples, &energyLeft, &energyRight), 3);
  ASSERT_EQ(samples, inst.left.size());
  EXPECT_NEAR(Energy(inst.left), energyLeft, energyLeft * kTolerance);
  EXPECT_NEAR(Energy(inst.right), energyRight, energyRight * kTolerance);
  size_t compared = 0, mismatches = 0;
  for (size_t i = 0; i < samples; i += kStride) {
    double l = 0.0, r = 0.0;
    ASSERT_EQ(std::fscanf(f, "%lf %lf", &l, &r), 2) << "reference ends early at sample " << i;
    ++compared;
    if (std::fabs(inst.left[i] - l) > kTolerance || std::fabs(inst.right[i] - r) > kTolerance) {
      if (mismatches++ < 5) {
        ADD_FAILURE() << program.name << " sample " << i << ": " << inst.left[i] << " " << inst.right[i]
                      << ", reference " << l << " " << r;
      }
    }
  }
  std::fclose(f);
  EXPECT_EQ(mismatches, 0u) << "of " << compared;
}

INSTANTIATE_TEST_SUITE_P(Programs, GoldenRender, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& p) {
                           std::string name = p.param.name;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

}  // namespace
