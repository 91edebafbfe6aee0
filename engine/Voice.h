// One key of the string and synthesizer sections: its envelope and its two tone filters.
#pragma once

#include "engine/Envelope.h"
#include "engine/OnePole.h"
#include "engine/ToneGenerator.h"

class Voice {
 public:
  Voice() = default;
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  // Tone cutoffs fall for lower keys: 4' at the scaled tone, 8' an octave below it.
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
    filter4.SetCutoff(x);
    filter8.SetCutoff(x * 0.5);
  }

  void ResetVoice(double rate) {
    active = held = sustained = false;
    stamp = 0;
    // The filters keep no cutoff (they pass nothing) until the next SetupVoiceFilters.
    for (LP6* f : {&filter8, &filter4}) {
      f->SetStepTime(1.0 / rate);
      f->Clear();
      f->a = f->b = 0.0;
    }
    envelope.SetRateScale(Envelope::kLn10 / rate);
    envelope.SetRetriggerMode(false);
    envelope.SetAttack(0.01);
    envelope.SetDecay(0.0);
    envelope.SetSustainLevel(1.0);
    envelope.SetRelease(0.1);
  }

  Envelope envelope;
  LP6 filter8;
  LP6 filter4;
  double tone = 8000.0;
  bool active = false;
  bool held = false;
  bool sustained = false;
  int key = -1;  // matches no real key until first assigned
  ToneGenerator::VoiceTone toneSource;  // the key's counter and tables, set at note on
  int stamp = 0;
};
