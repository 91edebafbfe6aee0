// An engine with the instrument's 60 parameters applied, as the plug-in drives it, for render tests.
#pragma once

#include <cmath>
#include <vector>

#include "engine/Engine.h"
#include "params/IPlugParam.h"
#include "params/ParameterChange.h"
#include "params/ParameterTable.h"

class TestInstrument {
 public:
  explicit TestInstrument(double rate = 44100, int blockSize = 256) {
    DefineInstrumentParameters(params);
    ApplyAll();
    if (engine.Reset(rate, blockSize)) ApplyAll();
  }

  void ApplyAll() {
    for (int i = 0; i < kNumParams; ++i) ApplyParameterToEngine(engine, params, i);
  }
  // As a host sets a parameter: a normalized value, then the change handling.
  void Set(int index, double normalized) {
    params[index].SetFromNormalized(normalized);
    ApplyParameterToEngine(engine, params, index);
  }
  void SetPlain(int index, double plain) { Set(index, params[index].ToNormalized(plain)); }

  void Midi(int offset, int status, int data1, int data2) {
    MidiMessage m;
    m.offset = offset;
    m.status = static_cast<uint8_t>(status);
    m.data1 = static_cast<uint8_t>(data1);
    m.data2 = static_cast<uint8_t>(data2);
    engine.HandleMidiMessage(m);
  }

  // Renders `frames` samples in blocks of `block`, appending to left/right.
  void Render(int frames, int block = 256) {
    std::vector<double> l(block), r(block);
    while (frames > 0) {
      const int n = frames < block ? frames : block;
      engine.RenderBlock(l.data(), r.data(), n);
      left.insert(left.end(), l.begin(), l.begin() + n);
      right.insert(right.end(), r.begin(), r.begin() + n);
      frames -= n;
    }
  }

  double Peak(size_t from = 0, size_t to = static_cast<size_t>(-1)) const {
    double peak = 0.0;
    for (size_t i = from; i < left.size() && i < to; ++i) {
      peak = std::fmax(peak, std::fmax(std::fabs(left[i]), std::fabs(right[i])));
    }
    return peak;
  }

  IPlugParam params[kNumParams];
  Engine engine;
  std::vector<double> left, right;
};
