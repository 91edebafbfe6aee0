// What the plug-in asks of its host and does through it: the host's identity (asked once), the
// transport and time queries with missing or bad answers, MIDI thru and SysEx out, edit gestures,
// program changes and latency reported back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/vst/TestSynthProtocol.h"
#include "tests/vst/host/VstTestHost.h"

TEST(Host, IdentityIsAskedOnce) {
  {
    Instance plug;
    plug.host.product = "";
    plug.Start();
    plug.Dispatch(effOpen);
    std::vector<double> l, r;
    plug.RenderDouble(512, l, r);
    EXPECT_LE(plug.host.Count(audioMasterGetProductString), 1);
    EXPECT_EQ(plug.host.Count(audioMasterGetVendorVersion), 0);
    if (ClickModel()) {
      const std::vector<double> readings = plug.Readings();
      EXPECT_EQ(readings[kReadHostCode], 0);
      EXPECT_EQ(readings[kReadHostVersion], 0);
    }
  }
  {
    Instance plug;
    plug.host.product = "REAPER";
    plug.host.vendorVersion = 20503;
    plug.Start();
    plug.Dispatch(effOpen);
    std::vector<double> l, r;
    for (int i = 0; i < 3; ++i) plug.RenderDouble(512, l, r);
    EXPECT_EQ(plug.host.Count(audioMasterGetProductString), 1);
    EXPECT_EQ(plug.host.Count(audioMasterGetVendorVersion), 1);
    if (ClickModel()) {
      const std::vector<double> readings = plug.Readings();
      EXPECT_EQ(readings[kReadHostCode], 1);
      EXPECT_EQ(readings[kReadHostVersion], 132355);
    }
  }
}

TEST(Host, ProductNamesGiveHostCodes) {
  if (!ClickModel()) GTEST_SKIP() << "the test plug-in's readings";
  struct Row {
    const char* product;
    int code;
  };
  const Row rows[] = {
      {"Cubase", 3},          {"reaper", 1},           {"REAPER", 1},          {"Nuendo", 4},
      {"SONAR by Cakewalk", 5}, {"Samplitude", 8},     {"Fruity Wrapper", 7},  {"Ableton Live", 9},
      {"Melodyne", 12},       {"VstManLib", 13},       {"AULab", 14},          {"GarageBand", 22},
      {"Forte", 15},          {"Chainer", 16},         {"Adobe Audition", 17}, {"Orion", 18},
      {"SAWStudio", 20},      {"Logic", 21},           {"Digital Performer", 23}, {"AudioMulch", 25},
      {"PreSonus Studio One", 26}, {"VST3PluginTestHost", 27}, {"ProTools", 2}, {"Ardour", 28},
      {"OpenMPT", 30},        {"Renoise", 29},         {"Standalone", 24},     {"Steinberg Cubase 12", 3},
      {"cubase live", 3},     {"Live 11", 9},          {"Unknown DAW", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.product);
    Instance plug;
    plug.host.product = row.product;
    plug.host.vendorVersion = 10203;
    plug.Start();
    const std::vector<double> readings = plug.Readings();
    EXPECT_EQ(readings[kReadHostCode], row.code);
    EXPECT_EQ(readings[kReadHostVersion], 1 * 65536 + 2 * 256 + 3);
  }
  // Host code 15 rewires channels beyond the second: nothing changes for this plug-in.
  Instance forte;
  forte.host.product = "Forte";
  forte.Start();
  std::vector<double> l, r;
  forte.RenderDouble(256, l, r);
  EXPECT_EQ(forte.effect->numOutputs, 2);
  EXPECT_TRUE(AllFinite(l) && AllFinite(r));
}

TEST(Host, TimeQueries) {
  if (!ClickModel()) GTEST_SKIP() << "the test plug-in's readings";
  Instance plug;
  plug.Start();
  VstTimeInfo& time = plug.host.time;
  time.samplePos = 1234.6;
  time.sampleRate = 44100;
  time.ppqPos = 8.5;
  time.tempo = 133.0;
  time.barStartPos = 8.0;
  time.cycleStartPos = 4.0;
  time.cycleEndPos = 12.0;
  time.timeSigNumerator = 3;
  time.timeSigDenominator = 8;
  time.flags = kVstTransportPlaying | kVstTransportCycleActive | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
               kVstCyclePosValid | kVstTimeSigValid;
  std::vector<double> readings = plug.Readings();
  EXPECT_EQ(readings[kReadTempo], 133.0);
  EXPECT_EQ(readings[kReadSamplePosition], 1235);
  EXPECT_EQ(readings[kReadTimeSigNumerator], 3);
  EXPECT_EQ(readings[kReadTimeSigDenominator], 8);
  EXPECT_EQ(readings[kReadInfoTempo], 133.0);
  EXPECT_EQ(readings[kReadInfoSamplePosition], 1234.6);
  EXPECT_EQ(readings[kReadInfoQuarterNote], 8.5);
  EXPECT_EQ(readings[kReadInfoLastBar], 8.0);
  EXPECT_EQ(readings[kReadInfoCycleStart], 4.0);
  EXPECT_EQ(readings[kReadInfoCycleEnd], 12.0);
  EXPECT_EQ(readings[kReadInfoNumerator], 3);
  EXPECT_EQ(readings[kReadInfoDenominator], 8);
  EXPECT_EQ(readings[kReadInfoRunning], 1);
  EXPECT_EQ(readings[kReadInfoCycleActive], 1);

  // Only the flagged values count; the rest keep the defaults (tempo 120, positions -1, 4/4).
  time.flags = kVstTempoValid;
  time.tempo = -5.0;
  readings = plug.Readings();
  EXPECT_EQ(readings[kReadTempo], 0.0);
  EXPECT_EQ(readings[kReadInfoTempo], 120.0);
  EXPECT_EQ(readings[kReadTimeSigNumerator], 0);
  EXPECT_EQ(readings[kReadInfoQuarterNote], -1.0);
  EXPECT_EQ(readings[kReadInfoNumerator], 4);
  EXPECT_EQ(readings[kReadInfoRunning], 0);

  time.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
  time.tempo = NAN;
  time.samplePos = NAN;
  time.ppqPos = INFINITY;
  time.timeSigNumerator = 0;
  readings = plug.Readings();
  EXPECT_EQ(readings[kReadTempo], 0.0);
  EXPECT_EQ(readings[kReadInfoTempo], 120.0);
  EXPECT_EQ(readings[kReadSamplePosition], 0);
  EXPECT_EQ(readings[kReadInfoSamplePosition], -1.0);
  EXPECT_EQ(readings[kReadInfoQuarterNote], -1.0);
  EXPECT_EQ(readings[kReadInfoNumerator], 4);
  EXPECT_EQ(readings[kReadTimeSigNumerator], 0);
  EXPECT_EQ(readings[kReadTimeSigDenominator], 8);

  time.flags = kVstTempoValid;
  time.tempo = 90.0;
  time.samplePos = 1e300;
  readings = plug.Readings();
  EXPECT_EQ(readings[kReadTempo], 90.0);
  EXPECT_GT(readings[kReadSamplePosition], 1e18);

  // No answer at all: zeros from the single queries, defaults in the transport record.
  plug.host.answerTime = false;
  readings = plug.Readings();
  EXPECT_EQ(readings[kReadTempo], 0.0);
  EXPECT_EQ(readings[kReadSamplePosition], 0.0);
  EXPECT_EQ(readings[kReadTimeSigNumerator], 0);
  EXPECT_EQ(readings[kReadTimeSigDenominator], 0);
  EXPECT_EQ(readings[kReadInfoTempo], 120.0);
  EXPECT_EQ(readings[kReadInfoSamplePosition], -1.0);

  EXPECT_EQ(readings[kReadOffline], 0);
  plug.host.processLevel = 4;
  EXPECT_EQ(plug.Readings()[kReadOffline], 1);
}

TEST(Host, MidiThruGesturesProgramChangeAndLatency) {
  if (!ClickModel()) GTEST_SKIP() << "the test plug-in's MIDI control";
  Instance plug;
  plug.Start();
  plug.host.ClearLog();
  EventList events;
  events.AddMidi(70, 0x90, 60, 100);
  events.AddMidi(80, 0x90, 62, 0);
  events.AddMidi(90, 0xB0, kCcAutomate, 127);
  events.AddSysEx(12, {0xF0, 0x7D, 0x01, 0x02, 0xF7});
  plug.Send(events);
  // MIDI thru with the offsets and bytes as they came.
  EXPECT_EQ(plug.host.midiOut.size(), 3u);
  if (plug.host.midiOut.size() == 3) {
    const VstMidiEvent& first = plug.host.midiOut[0];
    EXPECT_EQ(first.type, 1);
    EXPECT_EQ(first.byteSize, 32);
    EXPECT_EQ(first.deltaFrames, 70);
    EXPECT_EQ(first.flags, 0);
    EXPECT_EQ(static_cast<uint8_t>(first.midiData[0]), 0x90);
    EXPECT_EQ(static_cast<uint8_t>(first.midiData[1]), 60);
    EXPECT_EQ(static_cast<uint8_t>(first.midiData[2]), 100);
    EXPECT_EQ(first.midiData[3], 0);
    EXPECT_EQ(plug.host.midiOut[1].deltaFrames, 80);
    EXPECT_EQ(static_cast<uint8_t>(plug.host.midiOut[1].midiData[2]), 0);
  }
  EXPECT_EQ(plug.host.sysexOut.size(), 1u);
  if (plug.host.sysexOut.size() == 1) {
    EXPECT_EQ(plug.host.sysexOut[0], (std::vector<uint8_t>{0xF0, 0x7D, 0x01, 0x02, 0xF7}));
    EXPECT_EQ(plug.host.sysexByteSizes[0], static_cast<VstInt32>(sizeof(VstMidiSysexEvent)));
  }
  // The edit gesture: begin, automate with the normalized value, end, in that order, told on the
  // host's user-interface thread when it next calls effEditIdle.
  EXPECT_EQ(plug.host.automation.size(), 0u);
  plug.Dispatch(effEditIdle);
  std::vector<VstInt32> gesture;
  for (VstInt32 opcode : plug.host.calls) {
    if (opcode == audioMasterBeginEdit || opcode == audioMasterAutomate || opcode == audioMasterEndEdit)
      gesture.push_back(opcode);
  }
  EXPECT_EQ(gesture, (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
  EXPECT_EQ(plug.host.automation.size(), 1u);
  if (!plug.host.automation.empty()) {
    EXPECT_EQ(plug.host.automation[0].first, 0);
    EXPECT_EQ(plug.host.automation[0].second, 1.0f);
  }
  EXPECT_EQ(plug.Get(0), 1.0f);

  // A program change selects the program and tells the host; latency reaches the descriptor.
  EventList more;
  more.AddMidi(0, 0xC0, 5, 0);
  more.AddMidi(0, 0xB0, kCcLatency, 12);
  plug.Send(more);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 5);
  plug.Dispatch(effEditIdle);
  EXPECT_EQ(plug.host.Count(audioMasterUpdateDisplay), 1);
  EXPECT_EQ(plug.effect->initialDelay, 12);

  // The click sounds at the note's offset; the zero-velocity note-on sounds nothing.
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  EXPECT_EQ(left[70], 1.0);
  EXPECT_EQ(std::count(left.begin(), left.end(), 1.0), 1);
}
