// The same MIDI through the Linux and the Windows builds of one plug-in must give the same audio: each
// build writes a fixed render (the double path and the float path), and the comparison reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/vst/host/Renders.h"
#include "tests/vst/host/VstTestHost.h"

namespace {

std::string gOutput;
std::vector<std::string> gCompared;

// A fixed MIDI sequence over 24 blocks of 256 samples at 44.1 kHz.
constexpr int kRenderBlocks = 24;
constexpr int kRenderBlock = 256;

void FixedSequence(Instance& plug, int block, EventList& events) {
  const int keys[] = {48, 55, 60, 64, 67, 36, 72};
  if (block % 4 == 0) events.AddMidi(17 + block, 0x90, keys[(block / 4) % 7], 100);
  if (block % 4 == 2) events.AddMidi(5 * block, 0x80, keys[(block / 4) % 7], 0);
  if (block == 6) events.AddMidi(100, 0xB0, 1, 90);
  if (block == 10) events.AddMidi(3, 0xB0, 64, 127);
  if (block == 18) events.AddMidi(200, 0xB0, 64, 0);
  if (block == 12) plug.Set(15, 1.0f);
  if (block == 14) plug.Set(39, 0.4f);
}

struct Render {
  std::vector<double> samples;
  std::vector<float> floats;
};

bool ReadRender(const std::string& path, Render& render) {
  const size_t count = static_cast<size_t>(kRenderBlocks) * kRenderBlock * 2;
  render.samples.assign(count, 0.0);
  render.floats.assign(count, 0.0f);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const bool ok = std::fread(render.samples.data(), sizeof(double), count, file) == count &&
                  std::fread(render.floats.data(), sizeof(float), count, file) == count && std::fgetc(file) == EOF;
  std::fclose(file);
  return ok;
}

}  // namespace

void SetRenderOutput(const std::string& path) { gOutput = path; }
void SetComparedRenders(const std::vector<std::string>& paths) { gCompared = paths; }

TEST(FixedRender, IsWritten) {
  Instance doublePath;
  Instance floatPath;
  ASSERT_TRUE(doublePath.effect && floatPath.effect);
  doublePath.Start(44100.0f, kRenderBlock);
  floatPath.Start(44100.0f, kRenderBlock);
  std::vector<double> samples;
  std::vector<float> floats;
  for (int block = 0; block < kRenderBlocks; ++block) {
    for (Instance* plug : {&doublePath, &floatPath}) {
      EventList events;
      FixedSequence(*plug, block, events);
      plug->Send(events);
    }
    std::vector<double> left, right;
    doublePath.RenderDouble(kRenderBlock, left, right);
    std::vector<float> fl, fr;
    floatPath.RenderFloat(kRenderBlock, fl, fr);
    for (int i = 0; i < kRenderBlock; ++i) {
      samples.push_back(left[static_cast<size_t>(i)]);
      samples.push_back(right[static_cast<size_t>(i)]);
      floats.push_back(fl[static_cast<size_t>(i)]);
      floats.push_back(fr[static_cast<size_t>(i)]);
    }
  }
  FILE* file = std::fopen(gOutput.c_str(), "wb");
  ASSERT_NE(file, nullptr) << gOutput;
  EXPECT_EQ(std::fwrite(samples.data(), sizeof(double), samples.size(), file), samples.size());
  EXPECT_EQ(std::fwrite(floats.data(), sizeof(float), floats.size(), file), floats.size());
  EXPECT_EQ(std::fclose(file), 0);
}

TEST(RenderComparison, OtherBuildsMatchTheReference) {
  ASSERT_GE(gCompared.size(), 2u);
  std::vector<Render> renders(gCompared.size());
  for (size_t i = 0; i < gCompared.size(); ++i) {
    ASSERT_TRUE(ReadRender(gCompared[i], renders[i])) << "cannot read render " << gCompared[i];
  }
  const Render& reference = renders[0];
  double peak = 0.0;
  for (double v : reference.samples) peak = std::max(peak, std::fabs(v));
  EXPECT_TRUE(AllFinite(reference.samples) && AllFinite(reference.floats));
  EXPECT_GT(peak, 0.0) << "the reference render " << gCompared[0] << " is silent";
  std::printf("reference %s: peak %.6g\n", gCompared[0].c_str(), peak);

  for (size_t i = 1; i < renders.size(); ++i) {
    SCOPED_TRACE(gCompared[i]);
    const Render& other = renders[i];
    // Doubles may differ only by rounding in the last bits; floats by at most one float rounding step.
    double maxDouble = 0.0;
    double maxFloat = 0.0;
    bool floatsClose = true;
    for (size_t s = 0; s < reference.samples.size(); ++s) {
      maxDouble = std::max(maxDouble, std::fabs(reference.samples[s] - other.samples[s]));
      const double a = reference.floats[s];
      const double b = other.floats[s];
      maxFloat = std::max(maxFloat, std::fabs(a - b));
      if (std::fabs(a - b) > std::max(std::fabs(a), std::fabs(b)) * FLT_EPSILON) floatsClose = false;
    }
    const bool identical =
        std::memcmp(reference.samples.data(), other.samples.data(), reference.samples.size() * sizeof(double)) == 0 &&
        std::memcmp(reference.floats.data(), other.floats.data(), reference.floats.size() * sizeof(float)) == 0;
    std::printf("%s: %s, largest difference %.3g (double), %.3g (float)\n", gCompared[i].c_str(),
                identical ? "bit-identical" : "differs", maxDouble, maxFloat);
    EXPECT_TRUE(AllFinite(other.samples) && AllFinite(other.floats));
    EXPECT_LE(maxDouble, 1e-12);
    EXPECT_TRUE(floatsClose) << "largest float difference " << maxFloat;
  }
}
