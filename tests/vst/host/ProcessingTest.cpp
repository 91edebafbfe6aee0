// MIDI in and audio out: bad event lists and frame counts, long blocks cut into pieces, rate and
// block size changes, the float paths against the double path, and sample-exact note timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/vst/TestSynthProtocol.h"
#include "tests/vst/host/VstTestHost.h"

TEST(Processing, OddEventListsAreHarmless) {
  Instance plug;
  plug.Start();
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
  EventList empty;
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, empty.Build()), 1);
  EventList odd;
  VstEvent unknown = {};
  unknown.type = 2;
  unknown.byteSize = sizeof(VstEvent);
  odd.AddRaw(&unknown);
  odd.AddRaw(nullptr);
  VstMidiSysexEvent noDump;
  std::memset(&noDump, 0, sizeof(noDump));
  noDump.type = kVstSysExType;
  noDump.dumpBytes = 100;
  odd.AddRaw(reinterpret_cast<VstEvent*>(&noDump));
  odd.AddMidi(-50, 0x90, 60, 100);      // offsets before the block
  odd.AddMidi(1 << 30, 0x90, 61, 100);  // far after it
  odd.AddMidi(10, 0xF8, 0, 0);          // real-time byte
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, odd.Build()), 1);
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  EXPECT_TRUE(AllFinite(left) && AllFinite(right));
}

TEST(Processing, BadFrameCountsAndBuffers) {
  Instance plug;
  plug.Start();
  std::vector<float> left(64, 3.0f), right(64, 3.0f);
  float* outputs[2] = {left.data(), right.data()};
  std::vector<double> dleft(64, 3.0), dright(64, 3.0);
  double* doubles[2] = {dleft.data(), dright.data()};
  plug.host.ClearLog();
  for (VstInt32 frames : {0, -1, -256, INT32_MIN}) {
    plug.effect->processReplacing(plug.effect, nullptr, outputs, frames);
    plug.effect->process(plug.effect, nullptr, outputs, frames);
    plug.effect->processDoubleReplacing(plug.effect, nullptr, doubles, frames);
  }
  EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](float v) { return v == 3.0f; }));
  EXPECT_TRUE(std::all_of(dright.begin(), dright.end(), [](double v) { return v == 3.0; }));
  EXPECT_EQ(plug.host.Count(audioMasterWantMidi), 0);
  // Null output arrays and null buffers are skipped.
  plug.effect->processReplacing(plug.effect, nullptr, nullptr, 64);
  plug.effect->processDoubleReplacing(plug.effect, nullptr, nullptr, 64);
  plug.effect->process(plug.effect, nullptr, nullptr, 64);
  float* oneFloat[2] = {left.data(), nullptr};
  plug.effect->processReplacing(plug.effect, nullptr, oneFloat, 64);
  double* oneDouble[2] = {nullptr, dright.data()};
  plug.effect->processDoubleReplacing(plug.effect, nullptr, oneDouble, 64);
  EXPECT_TRUE(AllFinite(left) && AllFinite(dright));
  // The host is asked for MIDI once per processed block.
  plug.host.ClearLog();
  std::vector<double> l, r;
  for (int i = 0; i < 5; ++i) plug.RenderDouble(128, l, r);
  std::vector<float> fl, fr;
  plug.RenderFloat(128, fl, fr);
  EXPECT_EQ(plug.host.Count(audioMasterWantMidi), 6);
}

TEST(Processing, LongBlocksRenderInPieces) {
  Instance plug;
  plug.Start(44100.0f, 256);
  EventList events;
  events.AddMidi(700, 0x90, 60, 100);
  events.AddMidi(1500, 0x90, 64, 100);
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(2000, left, right);
  EXPECT_TRUE(AllFinite(left) && AllFinite(right));
  if (ClickModel()) {
    EXPECT_EQ(left[700], 1.0);
    EXPECT_EQ(left[1500], 1.0);
    EXPECT_EQ(std::count(left.begin(), left.end(), 1.0), 2);
    // Pieces of at most the block size, each starting with its readings.
    EXPECT_EQ(right[kReadPieceFrames], 256);
    EXPECT_EQ(right[256 * 6 + kReadPieceFrames], 256);
    EXPECT_EQ(right[256 * 7 + kReadPieceFrames], 2000 - 7 * 256);
    EXPECT_EQ(right[256 * 7 + kReadMaxPieceFrames], 256);
  }
  std::vector<float> fl, fr;
  plug.RenderFloat(3000, fl, fr);
  EXPECT_TRUE(AllFinite(fl) && AllFinite(fr));
  if (ClickModel()) {
    EXPECT_EQ(plug.Readings()[kReadMaxPieceFrames], 256);
  }
}

TEST(Processing, RateAndBlockSizeChanges) {
  Instance plug;
  plug.Start(44100.0f, 256);
  std::vector<double> left, right;
  struct Row {
    float rate;
    VstIntPtr block;
    double expectRate;   // rate the plug-in then works at
    double expectBlock;  // block size it then works with
  };
  const Row rows[] = {
      {48000.0f, 64, 48000, 64},    {96000.0f, 512, 96000, 512},   {22050.0f, 1, 22050, 1},
      {NAN, 128, 22050, 128},       {-44100.0f, 128, 22050, 128},  {0.0f, 128, 22050, 128},
      {INFINITY, 128, 22050, 128},  {500.0f, 0, 500, 128},         {44100.0f, -5, 44100, 128},
      {1e12f, 1 << 30, 44100, 65536}, {192000.0f, 4096, 192000, 4096},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("rate " + std::to_string(row.rate) + " block " + std::to_string(row.block));
    plug.Dispatch(effSetSampleRate, 0, 0, nullptr, row.rate);
    plug.Dispatch(effSetBlockSize, 0, row.block);
    EventList events;
    events.AddMidi(5, 0x90, 60, 100);
    plug.Send(events);
    plug.RenderDouble(1000, left, right);
    EXPECT_TRUE(AllFinite(left) && AllFinite(right)) << "non-finite output";
    if (ClickModel() && row.expectBlock >= kReadingCount) {  // smaller pieces carry no readings
      const std::vector<double> readings = plug.Readings();
      EXPECT_EQ(readings[kReadSampleRate], row.expectRate);
      EXPECT_EQ(readings[kReadBlockSize], row.expectBlock);
    }
  }
  plug.Dispatch(effMainsChanged, 0, 0);
  plug.RenderDouble(300, left, right);
  EXPECT_TRUE(AllFinite(left) && AllFinite(right));
  if (ClickModel()) {
    EXPECT_EQ(plug.Readings()[kReadActivations], 1);
  }
}

TEST(Processing, FloatPathsMatchTheDoublePath) {
  // Three instances fed the same: replacing equals the double path converted to float, and
  // accumulating adds exactly that to what the host buffer held.
  Instance a, b, c;
  for (Instance* plug : {&a, &b, &c}) {
    plug->Start();
    EventList events;
    events.AddMidi(3, 0x90, 57, 100);
    events.AddMidi(100, 0x90, 64, 90);
    plug->Send(events);
  }
  bool replacingMatches = true;
  bool accumulatingMatches = true;
  for (int block = 0; block < 8; ++block) {
    std::vector<double> dl, dr;
    a.RenderDouble(300, dl, dr);
    std::vector<float> fl, fr;
    b.RenderFloat(300, fl, fr);
    std::vector<float> al(300, 0.25f), ar(300, -0.5f);
    c.RenderFloat(300, al, ar, true);
    for (size_t i = 0; i < 300; ++i) {
      if (fl[i] != static_cast<float>(dl[i]) || fr[i] != static_cast<float>(dr[i])) replacingMatches = false;
      if (al[i] != 0.25f + fl[i] || ar[i] != -0.5f + fr[i]) accumulatingMatches = false;
    }
  }
  EXPECT_TRUE(replacingMatches);
  EXPECT_TRUE(accumulatingMatches);
}

TEST(Processing, ClicksLandOnTheirSamples) {
  if (!ClickModel()) GTEST_SKIP() << "the test plug-in's clicks";
  Instance plug;
  plug.Start(44100.0f, 256);
  EventList events;
  events.AddMidi(0, 0x90, 60, 100);
  events.AddMidi(70, 0x90, 62, 100);
  events.AddMidi(255, 0x90, 64, 100);
  events.AddMidi(300, 0x90, 65, 100);  // beyond the block: the next block at 44
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  for (int i = 0; i < 256; ++i) {
    const double expected = (i == 0 || i == 70 || i == 255) ? 1.0 : 0.0;
    EXPECT_EQ(left[static_cast<size_t>(i)], expected) << "sample " << i;
  }
  plug.RenderDouble(256, left, right);
  EXPECT_EQ(left[44], 1.0);
  EXPECT_EQ(std::count(left.begin(), left.end(), 1.0), 1);
  std::vector<float> fl, fr;
  EventList again;
  again.AddMidi(70, 0x90, 60, 100);
  plug.Send(again);
  plug.RenderFloat(256, fl, fr);
  EXPECT_EQ(fl[70], 1.0f);
  EXPECT_EQ(fl[69], 0.0f);
}

TEST(Processing, InstrumentNoteSoundsFromItsOffset) {
  if (ClickModel()) GTEST_SKIP() << "the instrument's sound";
  // A note at offset 70 of the first 256-sample block at 44.1 kHz: silent before sample 70, sounding
  // from it. The synthesizer section alone, fastest attack, so the note is heard at once (the string
  // section reaches the output only through the chorus delay lines).
  Instance plug;
  plug.Start(44100.0f, 256);
  plug.Set(15, 1.0f);  // Synth: 8'
  plug.Set(10, 0.0f);  // Mix String/Synth: synthesizer only
  plug.Set(25, 0.0f);  // Synth: Attack
  plug.Set(23, 1.0f);  // VCF Cutoff open
  plug.Set(39, 0.0f);  // Delay: Mix dry
  EventList events;
  events.AddMidi(70, 0x90, 60, 100);
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(256, left, right);
  int first = -1;
  for (int i = 0; i < 256 && first < 0; ++i) {
    if (left[static_cast<size_t>(i)] != 0.0 || right[static_cast<size_t>(i)] != 0.0) first = i;
  }
  EXPECT_EQ(first, 70);
  double peak = 0.0;
  for (int block = 0; block < 40; ++block) {
    for (size_t i = 0; i < left.size(); ++i) peak = std::max(peak, std::fabs(left[i]) + std::fabs(right[i]));
    EXPECT_TRUE(AllFinite(left) && AllFinite(right)) << "block " << block;
    plug.RenderDouble(256, left, right);
  }
  EXPECT_GT(peak, 1e-3);
}

TEST(Processing, InstrumentIsSilentWithoutNotes) {
  if (ClickModel()) GTEST_SKIP() << "the instrument's sound";
  Instance plug;
  plug.Start(44100.0f, 256);
  std::vector<double> left, right;
  bool silent = true;
  for (int block = 0; block < 20; ++block) {
    plug.RenderDouble(256, left, right);
    for (size_t i = 0; i < left.size(); ++i) silent = silent && left[i] == 0.0 && right[i] == 0.0;
  }
  EXPECT_TRUE(silent);
}
