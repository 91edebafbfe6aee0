#include <gtest/gtest.h>

#include <vector>

#include "params/ParameterTable.h"
#include "shell/Sarn.h"

namespace {

// A host that answers nothing and records the MIDI the plug-in sends back.
std::vector<int>* gSentStatus = nullptr;

intptr_t RecordingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
  if (opcode == 8 && ptr && gSentStatus) {  // audioMasterProcessEvents
    const VstEvents* events = static_cast<const VstEvents*>(ptr);
    for (int i = 0; i < events->numEvents; ++i) {
      const VstMidiEvent* e = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
      gSentStatus->push_back(static_cast<unsigned char>(e->midiData[0]));
    }
    return 1;
  }
  return 0;
}

class MidiControl : public ::testing::Test {
 protected:
  void SetUp() override {
    gSentStatus = &sent;
    sarn = std::make_unique<Sarn>(RecordingHost);
    sarn->SetSampleRate(44100);
    sarn->Reset();
  }
  void TearDown() override { gSentStatus = nullptr; }
  void Cc(int controller, int value, int offset = 0) {
    sarn->HandleMidiMessage({offset, 0xB0, static_cast<uint8_t>(controller), static_cast<uint8_t>(value)});
  }
  void Render(int frames = 256) {
    std::vector<double> l(frames), r(frames);
    double* outs[2] = {l.data(), r.data()};
    sarn->RenderBlock(nullptr, outs, frames);
  }

  std::vector<int> sent;
  std::unique_ptr<Sarn> sarn;
};

TEST_F(MidiControl, LearnParameterThenController) {
  sarn->SetControllerMapping(10, kTone);
  sarn->ArmLearn(true, false);
  sarn->SetParameterFromEditor(kTone, 0.3);
  EXPECT_TRUE(sarn->LearnArmed());
  Cc(74, 64);
  EXPECT_FALSE(sarn->LearnArmed());
  EXPECT_EQ(sarn->ControllerMapping(74), kTone);
  EXPECT_EQ(sarn->ControllerMapping(10), -1);
}

TEST_F(MidiControl, LearnControllerThenParameter) {
  sarn->ArmLearn(true, false);
  Cc(74, 64);
  EXPECT_TRUE(sarn->LearnArmed());
  sarn->SetParameterFromEditor(kVcfCutoff, 0.3);
  EXPECT_EQ(sarn->ControllerMapping(74), kVcfCutoff);
  EXPECT_FALSE(sarn->LearnArmed());
}

TEST_F(MidiControl, Unlearn) {
  sarn->SetControllerMapping(74, kTone);
  sarn->SetControllerMapping(75, kTone);
  sarn->ArmLearn(true, true);
  Cc(74, 1);
  EXPECT_EQ(sarn->ControllerMapping(74), -1);
  EXPECT_EQ(sarn->ControllerMapping(75), kTone);
  sarn->ArmLearn(true, true);
  sarn->SetParameterFromEditor(kTone, 0.5);
  EXPECT_EQ(sarn->ControllerMapping(75), -1);
}

TEST_F(MidiControl, MappedControllerSetsItsParameterAtAControlStep) {
  sarn->SetControllerMapping(7, kDelayMix);
  Cc(7, 127, 10);
  EXPECT_DOUBLE_EQ(sarn->GetParam(kDelayMix)->Value(), 0.0);  // not before the control step
  Render();
  EXPECT_DOUBLE_EQ(sarn->GetParam(kDelayMix)->Value(), 1.0);
  EXPECT_DOUBLE_EQ(sarn->GetEngine().Delay().WetGain(), 1.0);
}

TEST_F(MidiControl, ProgramChanges) {
  sarn->SetIgnoreProgramChange(false);
  sarn->HandleMidiMessage({0, 0xC0, 3, 0});
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 3);
  sarn->HandleMidiMessage({0, 0xC0, 70, 0});
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 3);
  sarn->SetIgnoreProgramChange(true);
  sarn->HandleMidiMessage({0, 0xC0, 5, 0});
  EXPECT_EQ(sarn->GetCurrentPresetIdx(), 3);
}

TEST_F(MidiControl, ThruForwardsEveryMessageAsItArrived) {
  sarn->SetMidiThru(true);
  sarn->SetIgnoreProgramChange(true);
  sarn->HandleMidiMessage({0, 0x91, 60, 0});
  sarn->HandleMidiMessage({0, 0xC0, 5, 0});
  EXPECT_EQ(sent, (std::vector<int>{0x91, 0xC0}));
}

TEST_F(MidiControl, ResetDisarmsLearn) {
  sarn->ArmLearn(true, false);
  sarn->Reset();
  EXPECT_FALSE(sarn->LearnArmed());
}

}  // namespace
