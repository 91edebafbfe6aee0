// Stereo bucket-brigade echo: two clocked lines of 1.2 s worth of stages whose clock step sets the
// time (free or tempo-synced), with clock vibe, clamped feedback, ping-pong and equal-power mix.
#pragma once

#include <vector>

#include "engine/CatmullRom.h"
#include "engine/LP12.h"
#include "engine/SampleRateLimit.h"

class StereoDelay {
 public:
  StereoDelay();
  StereoDelay(const StereoDelay&) = delete;
  StereoDelay& operator=(const StereoDelay&) = delete;

  // Sizes and clears both lines and tunes the filters for fs (clamped to kMaxSampleRate; rates
  // that are not positive are ignored).
  void SetSampleRate(double fs);
  // Engine reset for a new rate: SetSampleRate plus the vibe defaults (speed 0.02, depth 0.02).
  void Reset(double fs);

  // Once per control tick. t: Delay: Time, 0..1 (clamped); bpm: host tempo, where anything not
  // finite or not positive counts as 120 and the rest is clamped to 1..10000.
  void SetTime(double t, double bpm);

  // One stereo sample pair, in place; passes the pair through untouched until the first SetTime.
  void Process(double& left, double& right);

  // True when a silent input pair would come out as 0 and change nothing but the clocks.
  bool IsSilent() const;
  // The same as `samples` calls of Process with a zero pair while IsSilent: only the clocks move.
  void AdvanceSilent(int samples);

  // Once per control step: when both inputs were silent since the last call, a whole line's worth of
  // writes into each line stayed below kSettleLevel (-200 dBFS) and so did the filters and histories,
  // everything becomes exactly 0. An echo with feedback would otherwise take minutes to decay into
  // the subnormal range where the filters flush it, and the engine could not idle meanwhile.
  void SettleIfQuiet();
  static constexpr double kSettleLevel = 1e-10;

  void SetFeedback(double v);      // 0..1 (clamped)
  void SetMix(double v);           // 0..1: dry sqrt(1 - v), wet sqrt(v)
  void SetX2(bool on) { x2_ = on; }
  void SetSync(bool on) { sync_ = on; }
  void SetVibe(bool on) { vibe_ = on; }
  void SetPingPong(bool on) { pingPong_ = on; }
  void SetVibeSpeed(double v);     // cycles per 1000 control ticks
  void SetVibeDepth(double v);     // 0..1 (clamped), stored as v * 0.1

  int Stages() const { return n_; }
  int ReadOffset() const { return readOffset_; }
  double ClockStep(int channel) const { return clockStep_[channel]; }
  double DryGain() const { return dryGain_; }
  double WetGain() const { return wetGain_; }
  double VibeDepth() const { return vibeDepth_; }
  double VibeSpeed() const { return speed_; }

  static constexpr int kNoteValues = 20;
  // Beats of a quarter note for Delay: Sync's note values "2/1" (index 0) to "1/64" (index 19).
  static const double kNoteBeats[kNoteValues];

 private:
  void ProcessChannel(int channel, double& x);
  void AdvanceClock(int channel, int samples);
  void ProcessPingPong(double& left, double& right);

  double lfoRate_ = 1000.0;
  double speed_ = 0.02;
  double phase_ = 0.0;
  double increment_ = 4e-5;
  LP12 inputFilters_[2];
  LP12 outputFilters_[2];
  double inputHistories_[2][4] = {{0.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0}};
  double outputHistories_[2][4] = {{0.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0}};
  std::vector<double> lines_[2];
  int n_ = 0;
  int zeroWrites_[2] = {0, 0};  // consecutive zero writes per line; the line is all 0 at N
  int quietWrites_[2] = {0, 0};  // consecutive writes below kSettleLevel; the line is quiet at N
  bool ran_ = false;             // Process ran since the last SettleIfQuiet
  bool inputQuiet_ = true;       // ... and every input was silent
  bool ChannelSilent(int channel, double x) const;
  int writePositions_[2] = {0, 0};
  int readOffset_ = 0;  // 0 (a full line of N clocks) or N/2
  double clockPhases_[2] = {0.0, 0.0};
  double clockStep_[2] = {0.0, 0.0};
  double inverseStep_[2] = {1.0, 1.0};
  double feedback_ = 0.0;
  double dryGain_ = 1.0;
  double wetGain_ = 0.0;
  double vibeDepth_ = 0.02;
  bool x2_ = false;
  bool sync_ = false;
  bool vibe_ = false;
  bool pingPong_ = false;
};
