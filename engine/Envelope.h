// Exponential ADSR: one-pole segments aiming 1/9 beyond their end point, so each segment ends
// in finite time; rates come from a 0..1 setting through a power curve.
#pragma once

#include <cmath>

class Envelope {
 public:
  enum Stage { kIdle = 0, kAttack = 1, kDecay = 2, kRelease = 3 };

  static constexpr double kAttackTarget = 1.1111111111111112;  // 10/9
  static constexpr double kFallTarget = -0.1111111111111111;   // -1/9
  static constexpr double kLn10 = 2.302585092994046;

  Envelope() = default;
  Envelope(const Envelope&) = delete;
  Envelope& operator=(const Envelope&) = delete;

  void Trigger();
  void Release();
  void Tick() {
    // Decay/sustain first: where every held key spends most of its time.
    if (stage == kDecay) {
      value = value + (target - value) * coefficient;
      if (retriggerMode && value <= 0.0) Trigger();
      return;
    }
    if (stage == kIdle) return;
    value = value + (target - value) * coefficient;
    // Stage changes are rare; keeping them out of line keeps the voice loop free of calls.
    if (stage == kAttack) {
      if (value >= 1.0) EndAttack();
    } else if (value <= 0.0) {  // release
      value = 0.0;
      stage = kIdle;
    }
  }

  void SetAttack(double x);
  void SetDecay(double x);
  void SetRelease(double x);
  void SetSustainLevel(double x);
  void SetRateScale(double s);
  void SetRetriggerMode(bool on) { retriggerMode = on; }
  // Full level reached: exactly 1, then decay toward the sustain level.
  void EndAttack();

  // The rate curve: a segment reaches its end point in 1 / (5^(3.3 - 7.5 x) + 0.05) seconds, about
  // 5 ms at x = 0, 0.1 s at 0.25, 1.9 s at 0.5 and 19.5 s at 1.
  static constexpr double kCurveBase = 5.0;
  static constexpr double kFastestExponent = 3.3;  // 5^3.3 is about 200: 5 ms at x = 0
  static constexpr double kExponentSpan = 7.5;
  static constexpr double kSlowestRate = 0.05;  // no segment takes longer than 1 / 0.05 = 20 s

  // Fraction of the remaining distance covered per update for a setting x.
  double Rate(double x) const {
    return (std::pow(kCurveBase, kFastestExponent - kExponentSpan * x) + kSlowestRate) * rateScale;
  }

  double Value() const { return value; }
  int GetStage() const { return stage; }
  bool IsIdle() const { return stage == kIdle; }

  double value = 0.0;
  bool retriggerMode = false;
  double attack = 0.0;
  double decay = 0.0;
  double sustain = 0.0;
  double release = 0.0;
  int stage = kIdle;
  double rateScale = 0.002302585092994046;  // ln(10) / 1000 updates per second
  double target = 0.0;
  double coefficient = 0.0;
};
