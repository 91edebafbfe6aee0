#include <gtest/gtest.h>

#include "tests/instrument/InstrumentFixture.h"

namespace {

TEST(Keyboard, SixtyFifthKeyStealsTheOldestVoice) {
  TestInstrument inst;
  Engine& e = inst.engine;
  for (int k = 0; k < 64; ++k) e.NoteOn(30 + k);
  for (int v = 0; v < 64; ++v) EXPECT_EQ(e.GetVoice(v).key, 30 + v);
  e.NoteOn(100);  // 65th key: voice 0 has stamp 1, the oldest
  EXPECT_EQ(e.GetVoice(0).key, 100);
  EXPECT_EQ(e.GetVoice(0).stamp, 65);
  e.NoteOff(30);  // the first key no longer owns a voice: nothing is released
  for (int v = 0; v < 64; ++v) EXPECT_NE(e.GetVoice(v).envelope.stage, Envelope::kRelease) << v;
}

TEST(Keyboard, SameKeyTwiceReusesItsVoice) {
  TestInstrument inst;
  Engine& e = inst.engine;
  e.NoteOn(60);
  e.NoteOn(60);
  inst.Render(100);
  EXPECT_EQ(e.HeldKeyCount(), 2);
  EXPECT_EQ(e.GetVoice(0).key, 60);
  EXPECT_FALSE(e.GetVoice(1).active);
  e.NoteOff(60);
  EXPECT_EQ(e.HeldKeyCount(), 0);
  EXPECT_EQ(e.GetVoice(0).envelope.stage, Envelope::kRelease);
  EXPECT_EQ(e.StringEnvelope().stage, Envelope::kRelease);
}

TEST(Keyboard, KeyReturnsToItsVoiceAfterRelease) {
  TestInstrument inst;
  Engine& e = inst.engine;
  e.NoteOn(60);
  e.NoteOn(62);
  e.NoteOff(60);
  e.NoteOn(64);  // voice 0 is still active (releasing): a free voice is taken
  EXPECT_EQ(e.GetVoice(2).key, 64);
  e.NoteOn(60);
  EXPECT_EQ(e.GetVoice(0).key, 60);
}

TEST(Keyboard, PedalHoldsVoicesUntilReleased) {
  TestInstrument inst;
  Engine& e = inst.engine;
  e.SetSustainPedal(true);
  e.NoteOn(60);
  inst.Render(1000);
  e.NoteOff(60);
  EXPECT_NE(e.GetVoice(0).envelope.stage, Envelope::kRelease);
  EXPECT_NE(e.StringEnvelope().stage, Envelope::kRelease);
  e.SetSustainPedal(false);
  EXPECT_EQ(e.GetVoice(0).envelope.stage, Envelope::kRelease);
  EXPECT_EQ(e.StringEnvelope().stage, Envelope::kRelease);
  EXPECT_EQ(e.SynthEnvelope().stage, Envelope::kRelease);
}

TEST(Keyboard, BassKeyHasLowNotePriorityWithoutNewFilterSweep) {
  TestInstrument inst;
  inst.SetPlain(kBass16, 1);
  Engine& e = inst.engine;
  e.NoteOn(40);
  inst.Render(441);
  e.NoteOn(50);
  EXPECT_EQ(e.BassKey(), 40);
  inst.Render(2205);
  const int filterStage = e.BassFilterEnvelope().stage;
  const double filterValue = e.BassFilterEnvelope().value;
  ASSERT_EQ(filterStage, Envelope::kDecay);
  e.NoteOff(40);
  EXPECT_EQ(e.BassKey(), 50);
  EXPECT_EQ(e.BassEnvelope().stage, Envelope::kAttack);  // re-triggered
  EXPECT_EQ(e.BassFilterEnvelope().stage, Envelope::kDecay);  // no new sweep
  EXPECT_EQ(e.BassFilterEnvelope().value, filterValue);
  e.NoteOff(50);
  EXPECT_EQ(e.BassEnvelope().stage, Envelope::kRelease);
  EXPECT_EQ(e.BassFilterEnvelope().stage, Envelope::kRelease);
}

TEST(Keyboard, HigherLowKeyRetriggersButKeepsPitch) {
  TestInstrument inst;
  inst.SetPlain(kBass16, 1);
  Engine& e = inst.engine;
  e.NoteOn(36);
  inst.Render(4410);
  e.NoteOn(43);
  EXPECT_EQ(e.BassKey(), 36);
  EXPECT_EQ(e.BassEnvelope().stage, Envelope::kAttack);
  EXPECT_EQ(e.BassFilterEnvelope().stage, Envelope::kDecay);
}

TEST(Keyboard, LowKeyWithoutLowSwitchesSetsBassKeyOnly) {
  TestInstrument inst;
  Engine& e = inst.engine;
  e.NoteOn(45);
  EXPECT_EQ(e.BassKey(), 45);
  EXPECT_EQ(e.BassEnvelope().stage, Envelope::kIdle);
  EXPECT_EQ(e.BassFilterEnvelope().stage, Envelope::kIdle);
}

TEST(Keyboard, BassVoiceTakesLowKeysFromTheSynth) {
  TestInstrument inst;
  inst.SetPlain(kBass16, 1);
  Engine& e = inst.engine;
  e.NoteOn(36);
  EXPECT_EQ(e.SynthEnvelope().stage, Envelope::kIdle);
  e.NoteOn(60);
  EXPECT_EQ(e.SynthEnvelope().stage, Envelope::kAttack);
}

TEST(Keyboard, SingleTrigger) {
  TestInstrument inst;
  inst.SetPlain(kSingleTrigger, 1);
  inst.SetPlain(kSynthAttack, 0.5);
  Engine& e = inst.engine;
  e.NoteOn(60);
  inst.Render(2000);
  EXPECT_EQ(e.SynthEnvelope().stage, Envelope::kAttack);
  const double level = e.SynthEnvelope().value;
  e.NoteOn(64);
  EXPECT_EQ(e.SynthEnvelope().stage, Envelope::kAttack);
  EXPECT_EQ(e.SynthEnvelope().value, level);
  e.NoteOff(60);
  EXPECT_EQ(e.SynthEnvelope().stage, Envelope::kAttack);  // one key still down
}

TEST(Keyboard, AllNotesOffReleasesEverything) {
  TestInstrument inst;
  inst.SetPlain(kBass16, 1);
  Engine& e = inst.engine;
  e.SetSustainPedal(true);
  e.NoteOn(40);
  e.NoteOn(60);
  inst.Render(500);
  e.AllNotesOff();
  EXPECT_FALSE(e.SustainPedal());
  EXPECT_EQ(e.HeldKeyCount(), 0);
  EXPECT_EQ(e.GetVoice(0).envelope.stage, Envelope::kRelease);
  EXPECT_EQ(e.BassEnvelope().stage, Envelope::kRelease);
  EXPECT_EQ(e.StringEnvelope().stage, Envelope::kRelease);
  EXPECT_EQ(e.FifoSize(), 0);
}

TEST(Keyboard, DisplayFlagIsSetByNoteEvents) {
  TestInstrument inst;
  Engine& e = inst.engine;
  EXPECT_FALSE(e.TakeKeyboardDisplayFlag());
  e.NoteOn(60);
  EXPECT_TRUE(e.TakeKeyboardDisplayFlag());
  EXPECT_FALSE(e.TakeKeyboardDisplayFlag());
  e.NoteOff(60);
  EXPECT_TRUE(e.TakeKeyboardDisplayFlag());
}

TEST(Keyboard, VoicesGoInactiveWhenTheirEnvelopeEnds) {
  TestInstrument inst;
  Engine& e = inst.engine;
  inst.SetPlain(kRelease, 0);
  e.NoteOn(60);
  inst.Render(441);
  e.NoteOff(60);
  inst.Render(44100);
  EXPECT_FALSE(e.GetVoice(0).active);
}

}  // namespace
