// What a host asks about the plug-in's outputs and abilities: pin properties, speaker arrangements,
// canDo strings and MIDI key names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/vst/host/VstTestHost.h"

TEST(Properties, OutputPins) {
  Instance plug;
  VstPinProperties pin;
  std::memset(&pin, 0x55, sizeof(pin));
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 3);
  EXPECT_STREQ(pin.label, "Output 1");
  EXPECT_NE(std::memchr(pin.label, 0, 32), nullptr);
  EXPECT_EQ(static_cast<unsigned char>(pin.label[40]), 0x55);
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 1);
  EXPECT_STREQ(pin.label, "Output 2");
  for (int bad : {2, -1, 64}) EXPECT_EQ(plug.Dispatch(effGetOutputProperties, bad, 0, &pin), 0) << bad;
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 0, 0, &pin), 0);
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST(Properties, SpeakerArrangements) {
  Instance plug;
  plug.Start();
  VstSpeakerArrangement* input = nullptr;
  VstSpeakerArrangement* output = nullptr;
  EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
  ASSERT_TRUE(input && output);
  EXPECT_EQ(input->type, -1);
  EXPECT_EQ(input->numChannels, 0);
  EXPECT_EQ(output->type, 1);
  EXPECT_EQ(output->numChannels, 2);
  EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);

  // A mono output arrangement leaves the second host buffer alone.
  VstSpeakerArrangement mono;
  std::memset(&mono, 0, sizeof(mono));
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, 0, &mono), 1);
  std::vector<float> left(256, 7.0f), right(256, 7.0f);
  float* outputs[2] = {left.data(), right.data()};
  plug.effect->processReplacing(plug.effect, nullptr, outputs, 256);
  EXPECT_TRUE(std::all_of(right.begin(), right.end(), [](float v) { return v == 7.0f; }));
  EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](float v) { return v == 7.0f; }));
  // Channel counts beyond the plug-in's or negative ones are harmless.
  mono.numChannels = -5;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono), 1);
  mono.numChannels = 1000;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono), 1);
  double* doubles[2] = {nullptr, nullptr};
  plug.effect->processDoubleReplacing(plug.effect, nullptr, doubles, 256);
}

TEST(Properties, CanDo) {
  Instance plug;
  struct Row {
    const char* text;
    uint32_t expected;
  };
  const Row rows[] = {{"receiveVstTimeInfo", 1},
                      {"sendVstEvents", 1},
                      {"sendVstMidiEvent", 1},
                      {"receiveVstEvents", 1},
                      {"receiveVstMidiEvent", 1},
                      {"hasCockosExtensions", 0xBEEF0000u},
                      {"hasCockosViewAsConfig", 0xBEEF0000u},
                      {"sendvstmidievent", 0},
                      {"sendVstMidiEventFlagIsRealtime", 0},
                      {"bypass", 0},
                      {"offline", 0},
                      {"", 0}};
  for (const Row& row : rows) {
    std::string text = row.text;
    EXPECT_EQ(static_cast<uint32_t>(plug.Dispatch(effCanDo, 0, 0, &text[0])), row.expected)
        << "canDo \"" << row.text << "\"";
  }
  EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(Properties, MidiKeyName) {
  Instance plug;
  MidiKeyName key;
  std::memset(&key, 0x55, sizeof(key));
  key.thisProgramIndex = 0;
  key.thisKeyNumber = 60;
  const VstIntPtr result = plug.Dispatch(effGetMidiKeyName, 0, 0, &key);
  EXPECT_NE(std::memchr(key.keyName, 0, sizeof(key.keyName)), nullptr);
  if (ClickModel()) {
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(key.keyName, "Key 60");
    key.thisKeyNumber = 200;
    EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_STREQ(key.keyName, "");
  } else {
    EXPECT_TRUE(result == 0 || result == 1) << result;
    if (result == 0) {
      EXPECT_STREQ(key.keyName, "");
    }
  }
  EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, nullptr), 0);
}
