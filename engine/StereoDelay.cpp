// Line sizing, clock timing and per-sample processing of the stereo echo.
#include "engine/StereoDelay.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kFilterCutoff = 6000.0;
constexpr double kFeedbackLimit = 3.0;  // bounds the loop even at feedback 1
// Lowest clock step: a synced time at the bottom of its range with full vibe would otherwise push
// the step to 0 or below and the clock would never complete a sample. At most 32 clocks per sample.
constexpr double kMinClockStep = 0.03125;
// The shortest clock step of each mode, the time at Delay: Time 0 as a share of the longest: free,
// 75 ms of 600 (150 of 1200 with x2); synced, 75 ms of the 1200 ms line.
constexpr double kFreeShortestStep = 0.125;
constexpr double kSyncShortestStep = 0.0625;

double Clamp(double v, double lo, double hi) { return v > hi ? hi : v > lo ? v : lo; }
}  // namespace

const double StereoDelay::kNoteBeats[kNoteValues] = {
    8.0, 6.0, 4.0, 3.0,  2.0,    1.5,       4.0 / 3.0, 1.0,     0.75,       2.0 / 3.0,
    0.5, 0.375, 1.0 / 3.0, 0.25, 0.1875, 1.0 / 6.0, 0.125,     0.09375, 1.0 / 12.0, 0.0625};

StereoDelay::StereoDelay() { SetSampleRate(44100.0); }

void StereoDelay::SetSampleRate(double fs) {
  if (!(fs > 0.0)) return;
  fs = std::min(fs, kMaxSampleRate);
  // 1.2 s worth of stages (52920 at 44.1 kHz), so the times do not depend on the rate.
  n_ = static_cast<int>(fs * 1200.0 / 1000.0);
  for (std::vector<double>& line : lines_) {
    if (n_ > 0) {
      line.assign(static_cast<size_t>(n_), 0.0);
    } else {
      line.clear();
      line.shrink_to_fit();
    }
  }
  for (int c = 0; c < 2; ++c) {
    zeroWrites_[c] = quietWrites_[c] = n_ > 0 ? n_ : 0;  // fresh lines hold only zeros
    // Old samples must not be written into the fresh lines.
    std::fill(inputHistories_[c], inputHistories_[c] + 4, 0.0);
    std::fill(outputHistories_[c], outputHistories_[c] + 4, 0.0);
    writePositions_[c] = 0;
    clockPhases_[c] = 0.0;
    clockStep_[c] = 0.0;
    inverseStep_[c] = 1.0;
  }
  readOffset_ = 0;  // SetTime chooses the offset for the new line length
  for (LP12* f : {&inputFilters_[0], &inputFilters_[1], &outputFilters_[0], &outputFilters_[1]}) {
    f->SetQ(LP12::kButterworthQ);
    f->SetSampleRate(fs);
    f->ClearState();
    f->SetCutoff(kFilterCutoff);
  }
}

void StereoDelay::Reset(double fs) {
  SetSampleRate(fs);
  SetVibeSpeed(0.02);
  vibeDepth_ = 0.02;
}

void StereoDelay::SetTime(double t, double bpm) {
  t = std::isnan(t) ? 0.0 : Clamp(t, 0.0, 1.0);
  double c;
  if (sync_) {
    if (!(bpm > 0.0) || !std::isfinite(bpm)) bpm = 120.0;
    bpm = Clamp(bpm, 1.0, 10000.0);
    const long i = std::lround((1.0 - t) * 19.0);
    const int index = static_cast<int>(std::min(std::max(i, 0L), 19L));
    double f = 60000.0 / bpm * kNoteBeats[index];  // milliseconds
    while (f > 1200.0) f *= 0.5;
    double base;
    double span;
    if (f >= 75.0) {
      readOffset_ = 0;
      base = 75.0;
      span = 1200.0;
    } else {
      readOffset_ = n_ >> 1;
      while (f < 37.5) f *= 2.0;
      base = 37.5;
      span = 600.0;
    }
    t = (f - base) / (span - base);
    c = kSyncShortestStep;
  } else {
    readOffset_ = x2_ ? 0 : n_ >> 1;
    c = kFreeShortestStep;
  }

  phase_ += increment_;
  if (phase_ >= 1.0) phase_ -= 2.0;
  const double e = vibe_ ? std::sin(kPi * phase_) * vibeDepth_ : 0.0;

  clockStep_[0] = std::max((t + e) * (1.0 - c) + c, kMinClockStep);
  inverseStep_[0] = 1.0 / clockStep_[0];
  if (pingPong_) {
    clockPhases_[1] = clockPhases_[0];
    clockStep_[1] = clockStep_[0];
    inverseStep_[1] = inverseStep_[0];
  } else {
    clockStep_[1] = std::max((t - e) * (1.0 - c) + c, kMinClockStep);
    inverseStep_[1] = 1.0 / clockStep_[1];
  }
}

void StereoDelay::SetFeedback(double v) { feedback_ = std::isnan(v) ? 0.0 : Clamp(v, 0.0, 1.0); }

void StereoDelay::SetMix(double v) {
  v = std::isnan(v) ? 0.0 : Clamp(v, 0.0, 1.0);
  dryGain_ = std::sqrt(1.0 - v);
  wetGain_ = std::sqrt(v);
}

void StereoDelay::SetVibeSpeed(double v) {
  speed_ = std::isfinite(v) ? v : 0.0;
  increment_ = 2.0 * speed_ / lfoRate_;
}

void StereoDelay::SetVibeDepth(double v) { vibeDepth_ = (std::isnan(v) ? 0.0 : Clamp(v, 0.0, 1.0)) * 0.1; }

void StereoDelay::Process(double& left, double& right) {
  if (n_ <= 0 || clockStep_[0] <= 0.0 || clockStep_[1] <= 0.0) return;
  // The dry path passes finite input unchanged; NaN or infinity counts as silence here too.
  if (!std::isfinite(left)) left = 0.0;
  if (!std::isfinite(right)) right = 0.0;
  ran_ = true;
  inputQuiet_ = inputQuiet_ && !std::isnormal(left) && !std::isnormal(right);
  if (pingPong_) {
    ProcessPingPong(left, right);
  } else {
    ProcessChannel(0, left);
    ProcessChannel(1, right);
  }
}

bool StereoDelay::ChannelSilent(int channel, double x) const {
  return zeroWrites_[channel] >= n_ && !std::isnormal(x) && inputFilters_[channel].IsSilent() &&
         outputFilters_[channel].IsSilent() && HistoryIsZero(inputHistories_[channel]) &&
         HistoryIsZero(outputHistories_[channel]);
}

bool StereoDelay::IsSilent() const {
  if (n_ <= 0 || clockStep_[0] <= 0.0 || clockStep_[1] <= 0.0) return true;  // Process passes the pair through
  return ChannelSilent(0, 0.0) && ChannelSilent(1, 0.0);
}

void StereoDelay::SettleIfQuiet() {
  const bool settle = ran_ && inputQuiet_ && n_ > 0 && quietWrites_[0] >= n_ && quietWrites_[1] >= n_ &&
                      inputFilters_[0].IsBelow(kSettleLevel) && inputFilters_[1].IsBelow(kSettleLevel) &&
                      outputFilters_[0].IsBelow(kSettleLevel) && outputFilters_[1].IsBelow(kSettleLevel) &&
                      HistoryIsBelow(inputHistories_[0], kSettleLevel) &&
                      HistoryIsBelow(inputHistories_[1], kSettleLevel) &&
                      HistoryIsBelow(outputHistories_[0], kSettleLevel) &&
                      HistoryIsBelow(outputHistories_[1], kSettleLevel);
  ran_ = false;
  inputQuiet_ = true;
  if (!settle) return;
  for (int c = 0; c < 2; ++c) {
    if (zeroWrites_[c] < n_) {  // else the line holds only zeros already
      std::fill(lines_[c].begin(), lines_[c].end(), 0.0);
      zeroWrites_[c] = n_;
    }
    inputFilters_[c].ClearState();
    outputFilters_[c].ClearState();
    std::fill(inputHistories_[c], inputHistories_[c] + 4, 0.0);
    std::fill(outputHistories_[c], outputHistories_[c] + 4, 0.0);
  }
}

void StereoDelay::AdvanceSilent(int samples) {
  if (n_ <= 0 || clockStep_[0] <= 0.0 || clockStep_[1] <= 0.0) return;
  AdvanceClock(0, samples);
  if (!pingPong_) AdvanceClock(1, samples);
}

void StereoDelay::AdvanceClock(int channel, int samples) {
  const int n = n_;
  const double step = clockStep_[channel];
  int position = writePositions_[channel];
  double phase = clockPhases_[channel];
  for (int i = 0; i < samples; ++i) {
    while (phase < 1.0) {
      if (--position < 0) position = n - 1;
      phase += step;
    }
    phase -= 1.0;
  }
  writePositions_[channel] = position;
  clockPhases_[channel] = phase;
}

void StereoDelay::ProcessChannel(int channel, double& x) {
  double* line = lines_[channel].data();
  double* in = inputHistories_[channel];
  double* out = outputHistories_[channel];
  LP12& outputFilter = outputFilters_[channel];
  const int n = n_;
  const int offset = readOffset_;
  const double step = clockStep_[channel];
  int position = writePositions_[channel];
  double phase = clockPhases_[channel];

  if (ChannelSilent(channel, x)) {
    // Silence into a silent line: the echo would be exactly 0, so only the clock moves.
    AdvanceClock(channel, 1);
    x = dryGain_ * x + wetGain_ * 0.0;
    return;
  }
  PushHistory(in, inputFilters_[channel].Process(x));
  while (phase < 1.0) {
    if (--position < 0) position = n - 1;
    int read = position + offset;
    if (read >= n) read -= n;
    const double o = outputFilter.Process(line[read]);
    PushHistory(out, o);
    const double written = CatmullRom(in, phase) + Clamp(o, -kFeedbackLimit, kFeedbackLimit) * feedback_;
    line[position] = written;
    CountZeroWrite(zeroWrites_[channel], written, n);
    CountQuietWrite(quietWrites_[channel], written, n, kSettleLevel);
    phase += step;
  }
  phase -= 1.0;
  const double u = 1.0 - phase * inverseStep_[channel];
  x = dryGain_ * x + wetGain_ * CatmullRom(out, u);
  writePositions_[channel] = position;
  clockPhases_[channel] = phase;
}

void StereoDelay::ProcessPingPong(double& left, double& right) {
  double* lineL = lines_[0].data();
  double* lineR = lines_[1].data();
  double* inL = inputHistories_[0];
  double* inR = inputHistories_[1];
  double* outL = outputHistories_[0];
  double* outR = outputHistories_[1];
  const int n = n_;
  const int offset = readOffset_;
  const double step = clockStep_[0];
  int position = writePositions_[0];
  double phase = clockPhases_[0];

  if (ChannelSilent(0, left) && ChannelSilent(1, right)) {
    AdvanceClock(0, 1);  // both lines run on the left clock
    left = dryGain_ * left + wetGain_ * 0.0;
    right = dryGain_ * right + wetGain_ * 0.0;
    return;
  }
  PushHistory(inL, inputFilters_[0].Process(left));
  PushHistory(inR, inputFilters_[1].Process(right));
  // Both lines share the clock, so they run as the two lanes of one vector (left, right).
  const NormalRange range;
  const Double2 in0 = {inL[0], inR[0]}, in1 = {inL[1], inR[1]}, in2 = {inL[2], inR[2]}, in3 = {inL[3], inR[3]};
  Double2 out0 = {outL[0], outR[0]}, out1 = {outL[1], outR[1]}, out2 = {outL[2], outR[2]}, out3 = {outL[3], outR[3]};
  LP12Pair outputFilters(outputFilters_[0], outputFilters_[1]);
  const Double2 lowest = {-kFeedbackLimit, -kFeedbackLimit}, highest = {kFeedbackLimit, kFeedbackLimit};
  while (phase < 1.0) {
    if (--position < 0) position = n - 1;
    int read = position + offset;
    if (read >= n) read -= n;
    const Double2 o = outputFilters.Process(Double2{lineL[read], lineR[read]}, range);
    out0 = out1;
    out1 = out2;
    out2 = out3;
    out3 = o;
    const Double2 clamped = ClampLanes(o, lowest, highest);  // o is never NaN: the filter flushes it
    const Double2 crossed = {clamped[1], clamped[0]};  // each line is fed from the other
    const Double2 written = CatmullRom(in0, in1, in2, in3, phase) + crossed * feedback_;
    lineL[position] = written[0];
    lineR[position] = written[1];
    CountZeroWrite(zeroWrites_[0], written[0], n);
    CountZeroWrite(zeroWrites_[1], written[1], n);
    CountQuietWrite(quietWrites_[0], written[0], n, kSettleLevel);
    CountQuietWrite(quietWrites_[1], written[1], n, kSettleLevel);
    phase += step;
  }
  outputFilters.Store(outputFilters_[0], outputFilters_[1]);
  for (int k = 0; k < 4; ++k) {
    const Double2 h = k == 0 ? out0 : k == 1 ? out1 : k == 2 ? out2 : out3;
    outL[k] = h[0];
    outR[k] = h[1];
  }
  phase -= 1.0;
  const double u = 1.0 - phase * inverseStep_[0];
  const Double2 wet = CatmullRom(out0, out1, out2, out3, u);
  left = dryGain_ * left + wetGain_ * wet[1];  // the left output plays the right line
  right = dryGain_ * right + wetGain_ * wet[0];
  writePositions_[0] = position;
  clockPhases_[0] = phase;
}
