// One bucket-brigade line of the string ensemble: band-limited input sampled into N stages at a
// clock that a sine LFO sweeps, read out at the same clock and resampled to the audio rate.
#pragma once

#include <cmath>

#include <vector>

#include "engine/CatmullRom.h"
#include "engine/LP12.h"
#include "engine/SampleRateLimit.h"

class Chorus {
 public:
  Chorus();
  Chorus(const Chorus&) = delete;
  Chorus& operator=(const Chorus&) = delete;

  // Resizes and clears the line when fs differs from the current rate, then re-derives the clock.
  // fs is clamped to kMaxSampleRate; rates that are not positive are ignored.
  void SetSampleRate(double fs);

  // Engine reset for a new rate: clears line, filters and histories, tunes for fs, centre 0.5 and
  // the given fast speed (cycles per 1000 ticks) and depth (0..0.1, already scaled).
  void ResetForRate(double fs, double fastSpeed, double fastDepth);

  // Loads one speed/depth set; the LFO phase is kept so switching sets does not click.
  void SetRate(double speed, double depth);

  // One control tick: advances the LFO and recomputes the clock step.
  void Tick();

  double Process(double x);

  // True when a zero input would give exactly 0 and change nothing but the clock: the line holds
  // only zeros and the filters and histories are at rest.
  bool IsSilent() const {
    return zeroWrites_ >= static_cast<int>(stages_.size()) && inputFilter_.IsSilent() && outputFilter_.IsSilent() &&
           HistoryIsZero(inputHistory_) && HistoryIsZero(outputHistory_);
  }
  // The same as `samples` calls of Process(0) on a silent line: only the clock moves.
  void AdvanceSilent(int samples);

  int Stages() const { return static_cast<int>(stages_.size()); }
  double SampleRate() const { return sampleRate_; }
  double ClockStep() const { return clockStep_; }
  double Speed() const { return speed_; }
  double Depth() const { return depth_; }
  double Phase() const { return phase_; }

 private:
  double lfoRate_ = 1000.0;
  double speed_ = 0.13;
  double phase_ = 0.0;
  double increment_ = 0.00026;
  LP12 inputFilter_;
  LP12 outputFilter_;
  double inputHistory_[4] = {0.0, 0.0, 0.0, 0.0};
  double outputHistory_[4] = {0.0, 0.0, 0.0, 0.0};
  std::vector<double> stages_;
  int writePosition_ = 0;
  double clockPhase_ = 0.0;
  double clockStep_ = 1.0;  // 0.125..1: fraction of a sample per stage clock
  double inverseStep_ = 1.0;
  double sampleRate_ = 0.0;
  double centre_ = 0.04;
  double depth_ = 0.15;
  int zeroWrites_ = 0;  // consecutive zero stage writes; all stages are 0 once it reaches N
};

inline void Chorus::AdvanceSilent(int samples) {
  const int n = static_cast<int>(stages_.size());
  if (n <= 0) return;
  const double step = clockStep_;
  double phase = clockPhase_;
  int position = writePosition_;
  for (int i = 0; i < samples; ++i) {
    while (phase < 1.0) {
      if (--position < 0) position = n - 1;
      phase += step;
    }
    phase -= 1.0;
  }
  clockPhase_ = phase;
  writePosition_ = position;
}

inline double Chorus::Process(double x) {
  const int n = static_cast<int>(stages_.size());
  if (n <= 0) return 0.0;
  double phase = clockPhase_;
  int position = writePosition_;
  if (!std::isnormal(x) && IsSilent()) {
    // Silence in a silent line: every value below would be exactly 0, so only the clock moves.
    AdvanceSilent(1);
    return 0.0;
  }
  PushHistory(inputHistory_, inputFilter_.Process(x));
  while (phase < 1.0) {
    if (--position < 0) position = n - 1;
    PushHistory(outputHistory_, outputFilter_.Process(stages_[position]));
    const double written = CatmullRom(inputHistory_, phase);
    stages_[position] = written;
    CountZeroWrite(zeroWrites_, written, n);
    phase += clockStep_;
  }
  phase -= 1.0;
  clockPhase_ = phase;
  writePosition_ = position;
  return CatmullRom(outputHistory_, 1.0 - phase * inverseStep_);
}
