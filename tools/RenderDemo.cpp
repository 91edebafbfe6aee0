// Renders a short phrase of held string chords through the engine with default settings and
// writes it as a 24-bit stereo WAV file.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/Engine.h"
#include "params/IPlugParam.h"
#include "params/ParameterChange.h"
#include "params/ParameterTable.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

struct Chord {
  double start, length;  // seconds
  int keys[4];
};

const Chord kPhrase[] = {
    {0.0, 2.0, {48, 55, 60, 64}},
    {2.0, 2.0, {45, 52, 57, 60}},
    {4.0, 2.0, {41, 48, 53, 57}},
    {6.0, 2.5, {43, 50, 55, 59}},
};
constexpr double kSeconds = 10.0;

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "demo.wav";

  static IPlugParam params[kNumParams];
  DefineInstrumentParameters(params);
  static Engine engine;
  engine.Reset(kRate, kBlock);
  for (int i = 0; i < kNumParams; ++i) ApplyParameterToEngine(engine, params, i);

  SF_INFO info = {};
  info.samplerate = static_cast<int>(kRate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open(path, SFM_WRITE, &info);
  if (!file) {
    std::fprintf(stderr, "sarn-demo: cannot write %s: %s\n", path, sf_strerror(nullptr));
    return 1;
  }

  const long total = static_cast<long>(kSeconds * kRate);
  std::vector<double> left(kBlock), right(kBlock), frames(2 * kBlock);
  double peak = 0.0;
  for (long start = 0; start < total; start += kBlock) {
    const int n = static_cast<int>(total - start < kBlock ? total - start : kBlock);
    for (const Chord& chord : kPhrase) {
      const long on = static_cast<long>(chord.start * kRate);
      const long off = static_cast<long>((chord.start + chord.length) * kRate);
      for (int key : chord.keys) {
        if (on >= start && on < start + n) engine.HandleMidiMessage({static_cast<int32_t>(on - start), 0x90, static_cast<uint8_t>(key), 100});
        if (off >= start && off < start + n) engine.HandleMidiMessage({static_cast<int32_t>(off - start), 0x80, static_cast<uint8_t>(key), 0});
      }
    }
    engine.RenderBlock(left.data(), right.data(), n);
    for (int i = 0; i < n; ++i) {
      frames[2 * i] = left[i];
      frames[2 * i + 1] = right[i];
      peak = std::max(peak, std::max(std::abs(left[i]), std::abs(right[i])));
    }
    sf_writef_double(file, frames.data(), n);
  }
  sf_close(file);
  std::printf("wrote %s: %.1f s at %.0f Hz, peak %.3f\n", path, kSeconds, kRate, peak);
  return 0;
}
