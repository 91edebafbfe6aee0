#include "engine/Envelope.h"

#include <gtest/gtest.h>

namespace {

constexpr double kRateScale44k = 2.302585092994046 / 44100;

void Configure(Envelope& env, double attack, double decay, double sustain, double release) {
  env.SetRateScale(kRateScale44k);
  env.SetAttack(attack);
  env.SetDecay(decay);
  env.SetSustainLevel(sustain);
  env.SetRelease(release);
}

TEST(Envelope, NewEnvelopeDefaults) {
  Envelope env;
  EXPECT_EQ(env.value, 0.0);
  EXPECT_EQ(env.stage, Envelope::kIdle);
  EXPECT_EQ(env.rateScale, 0.002302585092994046);
  EXPECT_FALSE(env.retriggerMode);
}

TEST(Envelope, AttackCoefficients) {
  Envelope env;
  Configure(env, 0.0, 0.0, 1.0, 0.1);
  env.Trigger();
  EXPECT_DOUBLE_EQ(env.coefficient, 199.52623149688787 * 2.302585092994046 / 44100);
  EXPECT_EQ(env.target, 1.1111111111111112);

  Envelope env2;
  Configure(env2, 0.01, 0.0, 1.0, 0.1);
  env2.Trigger();
  EXPECT_DOUBLE_EQ(env2.coefficient, env2.Rate(0.01));
}

TEST(Envelope, SegmentDurationsFollowTheRateCurve) {
  // A segment aiming 1/9 beyond its end reaches it after 1 / (5^(3.3 - 7.5x) + 0.05) seconds.
  struct Row {
    double setting, seconds;
  } rows[] = {{0.25, 0.10}, {0.5, 1.87}};
  for (const Row& r : rows) {
    Envelope env;
    Configure(env, r.setting, 0.0, 1.0, 0.1);
    env.Trigger();
    int updates = 0;
    while (env.stage == Envelope::kAttack && updates < 10000000) {
      env.Tick();
      ++updates;
    }
    EXPECT_NEAR(updates / 44100.0, r.seconds, r.seconds * 0.03) << r.setting;
  }
}

TEST(Envelope, AttackEndsExactlyAtOne) {
  Envelope env;
  Configure(env, 0.01, 0.3, 0.5, 0.1);
  env.Trigger();
  double previous = 0.0;
  while (env.stage == Envelope::kAttack) {
    previous = env.value;
    env.Tick();
  }
  EXPECT_LT(previous, 1.0);
  EXPECT_EQ(env.value, 1.0);
  EXPECT_EQ(env.stage, Envelope::kDecay);
  EXPECT_EQ(env.target, 0.5);
  EXPECT_DOUBLE_EQ(env.coefficient, env.Rate(0.3));
}

TEST(Envelope, ReleaseAtZeroGoesIdleAtOnce) {
  Envelope env;
  Configure(env, 0.01, 0.0, 1.0, 0.5);
  env.Release();
  EXPECT_EQ(env.stage, Envelope::kIdle);
}

TEST(Envelope, ReleaseReachesExactlyZeroInFiniteTime) {
  Envelope env;
  Configure(env, 0.0, 0.0, 1.0, 1.0);
  env.Trigger();
  for (int i = 0; i < 1000; ++i) env.Tick();
  env.Release();
  EXPECT_EQ(env.stage, Envelope::kRelease);
  int updates = 0;
  while (env.stage != Envelope::kIdle && updates < 44100 * 30) {
    env.Tick();
    ++updates;
  }
  EXPECT_EQ(env.stage, Envelope::kIdle);
  EXPECT_EQ(env.value, 0.0);
  EXPECT_NEAR(updates / 44100.0, 19.5, 0.5);  // setting 1: about 19.5 s
}

TEST(Envelope, SettersActOnlyInTheirOwnStage) {
  Envelope env;
  Configure(env, 0.5, 0.1, 1.0, 0.2);
  env.Trigger();
  const double attackCoefficient = env.coefficient;
  env.SetDecay(0.9);  // during attack: stored only
  EXPECT_EQ(env.coefficient, attackCoefficient);
  EXPECT_EQ(env.decay, 0.9);
  env.SetAttack(0.2);  // during attack: at once
  EXPECT_DOUBLE_EQ(env.coefficient, env.Rate(0.2));
  env.SetSustainLevel(0.3);  // not in decay: target unchanged
  EXPECT_EQ(env.target, 1.1111111111111112);
  while (env.stage == Envelope::kAttack) env.Tick();
  EXPECT_DOUBLE_EQ(env.coefficient, env.Rate(0.9));
  EXPECT_EQ(env.target, 0.3);
  env.SetSustainLevel(0.8);  // in decay: the target moves at once
  EXPECT_EQ(env.target, 0.8);
}

TEST(Envelope, RetriggerDuringAttackFallsToZeroThenAttacksAgain) {
  Envelope env;
  Configure(env, 0.5, 0.1, 1.0, 0.2);
  env.SetRetriggerMode(true);
  env.Trigger();
  for (int i = 0; i < 2000; ++i) env.Tick();
  ASSERT_EQ(env.stage, Envelope::kAttack);
  env.Trigger();
  EXPECT_EQ(env.stage, Envelope::kDecay);
  EXPECT_EQ(env.target, -0.1111111111111111);
  int updates = 0;
  while (env.stage == Envelope::kDecay && updates < 100000) {
    env.Tick();
    ++updates;
  }
  EXPECT_EQ(env.stage, Envelope::kAttack);
  EXPECT_LE(env.value, 0.0);
}

TEST(Envelope, RetriggerDuringSustainKeepsTheLevel) {
  Envelope env;
  Configure(env, 0.0, 0.1, 1.0, 0.2);
  env.SetRetriggerMode(true);
  env.Trigger();
  while (env.stage == Envelope::kAttack) env.Tick();
  env.Trigger();  // from stage 2 a new attack, which ends at once since the value is 1
  EXPECT_EQ(env.stage, Envelope::kAttack);
  env.Tick();
  EXPECT_EQ(env.value, 1.0);
}

}  // namespace
