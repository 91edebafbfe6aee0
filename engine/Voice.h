// One key of the string and synthesizer sections: its envelope and its two tone filters.
#pragma once

#include "engine/Envelope.h"
#include "engine/ToneFilterPair.h"
#include "engine/ToneGenerator.h"

class Voice {
 public:
  Voice() = default;
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  // Tone cutoffs fall for lower keys: 4' at the scaled tone, 8' an octave below it. At the default
  // Tone of 8000 Hz the 4' cutoffs of the five key ranges are 800, 1170, 1600, 4000 and 8000 Hz;
  // each factor is its range's cutoff over 8000.
  void SetupVoiceFilters() {
    double x = tone;
    if (key < 46) {
      x *= 0.1;
    } else if (key <= 55) {
      x *= 0.14625;
    } else if (key <= 64) {
      x *= 0.2;
    } else if (key <= 74) {
      x *= 0.5;
    }
    filters.SetCutoffs(x * 0.5, x);
  }

  void ResetVoice(double rate) {
    active = held = sustained = false;
    stamp = 0;
    // The filters keep no cutoff (they pass nothing) until the next SetupVoiceFilters.
    filters.SetStepTime(1.0 / rate);
    filters.Clear();
    filters.Silence();
    envelope.SetRateScale(Envelope::kLn10 / rate);
    envelope.SetRetriggerMode(false);
    envelope.SetAttack(0.01);
    envelope.SetDecay(0.0);
    envelope.SetSustainLevel(1.0);
    envelope.SetRelease(0.1);
  }

  // First half of one sample of the voice: ticks the envelope and returns what goes into the 8'
  // (lane 0) and 4' (lane 1) tone filters, for the given wave set and phase counters.
  Double2 FilterInput(const double* waveSet, const uint32_t* counters) {
    envelope.Tick();
    const uint32_t c = counters[toneSource.counter];
    const Double2 samples = {waveSet[toneSource.offset8 + toneSource.Index8(c)],
                             waveSet[toneSource.offset4 + toneSource.Index4(c)]};
    return envelope.value * samples;
  }

  Envelope envelope;
  ToneFilterPair filters;  // 8' and 4' tone low-passes
  double tone = 8000.0;
  bool active = false;
  bool held = false;
  bool sustained = false;
  int key = -1;  // matches no real key until first assigned
  ToneGenerator::VoiceTone toneSource;  // the key's counter and tables, set at note on
  int stamp = 0;
};
