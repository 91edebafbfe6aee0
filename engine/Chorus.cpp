// Sizing, reset and LFO of one ensemble chorus line.
#include "engine/Chorus.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kFilterCutoff = 7000.0;
// The clock step stays within 1/8..1 of a sample per stage clock, so the delay, 20 ms times the
// step, sweeps between 2.5 ms and the whole line.
constexpr double kMinClockStep = 0.125;
constexpr double kClockStepSpan = 1.0 - kMinClockStep;
}  // namespace

Chorus::Chorus() { SetSampleRate(44100.0); }

void Chorus::SetSampleRate(double fs) {
  if (!(fs > 0.0)) return;
  fs = std::min(fs, kMaxSampleRate);
  if (fs != sampleRate_) {
    sampleRate_ = fs;
    // 20 ms of stages: 882 at 44.1 kHz, 960 at 48 kHz.
    const int n = static_cast<int>(fs * 0.02);
    stages_.assign(n > 0 ? static_cast<size_t>(n) : 0, 0.0);
    zeroWrites_ = n > 0 ? n : 0;  // a fresh line holds only zeros
    for (LP12* f : {&inputFilter_, &outputFilter_}) {
      f->SetSampleRate(fs);
      f->Clear();
      f->SetQ(LP12::kButterworthQ);
      f->SetCutoff(kFilterCutoff);
    }
    // Old samples must not be written into the fresh line.
    std::fill(inputHistory_, inputHistory_ + 4, 0.0);
    std::fill(outputHistory_, outputHistory_ + 4, 0.0);
    clockPhase_ = 0.0;
    writePosition_ = 0;
  }
  clockStep_ = 1.0;
  inverseStep_ = 1.0;
  Tick();
}

void Chorus::ResetForRate(double fs, double fastSpeed, double fastDepth) {
  std::fill(stages_.begin(), stages_.end(), 0.0);
  zeroWrites_ = static_cast<int>(stages_.size());
  inputFilter_.ClearState();
  outputFilter_.ClearState();
  std::fill(inputHistory_, inputHistory_ + 4, 0.0);
  std::fill(outputHistory_, outputHistory_ + 4, 0.0);
  SetSampleRate(fs);
  centre_ = 0.5;
  SetRate(fastSpeed, fastDepth);
}

void Chorus::SetRate(double speed, double depth) {
  // A non-finite speed would poison the phase; a depth beyond 0..1 could stop the clock.
  speed_ = std::isfinite(speed) ? speed : 0.0;
  increment_ = 2.0 * speed_ / lfoRate_;
  depth_ = depth > 1.0 ? 1.0 : depth > 0.0 ? depth : 0.0;
}

void Chorus::Tick() {
  phase_ += increment_;
  if (phase_ >= 1.0) phase_ -= 2.0;
  const double s = std::sin(kPi * phase_);
  // The sine taken to 0..1 and swung around the centre by the depth.
  clockStep_ = ((0.5 * s + 0.5 - centre_) * depth_ + centre_) * kClockStepSpan + kMinClockStep;
  inverseStep_ = 1.0 / clockStep_;
}
