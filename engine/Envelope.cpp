#include "engine/Envelope.h"

void Envelope::Trigger() {
  if (retriggerMode && stage == kAttack && value > 0.0) {
    // Fall to zero at the decay rate first; Tick starts the fresh attack from there.
    stage = kDecay;
    target = kFallTarget;
    coefficient = Rate(decay);
    return;
  }
  stage = kAttack;
  target = kAttackTarget;
  // Attack 0 (or below) has its own curve without the kSlowestRate term: 10^2.3, about 5 ms to full level.
  coefficient = attack > 0.0 ? Rate(attack) : std::pow(10.0, 2.3 - 4.5 * attack) * rateScale;
}

void Envelope::EndAttack() {
  value = 1.0;
  stage = kDecay;
  target = sustain;
  coefficient = Rate(decay);
}

void Envelope::Release() {
  if (value > 0.0) {
    stage = kRelease;
    target = kFallTarget;
    coefficient = Rate(release);
  } else {
    stage = kIdle;
  }
}

void Envelope::SetAttack(double x) {
  attack = x;
  if (stage == kAttack) coefficient = Rate(x);
}

void Envelope::SetDecay(double x) {
  decay = x;
  if (stage == kDecay) coefficient = Rate(x);
}

void Envelope::SetRelease(double x) {
  release = x;
  if (stage == kRelease) coefficient = Rate(x);
}

void Envelope::SetSustainLevel(double x) {
  sustain = x;
  if (stage == kDecay) target = x;
}

void Envelope::SetRateScale(double s) {
  stage = kIdle;
  value = 0.0;
  rateScale = s;
}
