#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "TestPlug.h"

namespace {

// Records what the plug-in base pushes into the editor.
class FakeEditor : public PluginEditor {
 public:
  void ApplyParameterFromPlugin(int index, double value, bool normalized) override {
    pushed.push_back({index, value, normalized});
  }
  void AttachToPlugin(int parameterCount) override {
    ++surfaces;
    attachedCount = parameterCount;
  }
  void DropPendingValue(int) override {}
  bool HasWindow() const override { return false; }
  int WindowWidth() const override { return 772; }
  int WindowHeight() const override { return 620; }
  void SetHostScale(double) override {}
  bool OpenWindow(void*) override { return false; }
  void CloseWindow() override {}
  void CloseAllWindows() override {}
  void* NativeWindow() const override { return nullptr; }

  struct Push {
    int index;
    double value;
    bool normalized;
  };
  std::vector<Push> pushed;
  int attachedCount = 0;
  int surfaces = 0;
};

// A bare base plug-in with configurable channels, for the channel and rendering rules.
class BarePlug : public IPlugBase {
 public:
  explicit BarePlug(const char* channels) : IPlugBase(channels, 2, 4, "x", "", "", 0, 0, false, false) {}
  void BeginParameterEdit(int) override {}
  void NotifyHostOfParameterChange(int, double) override {}
  void EndParameterEdit(int) override {}
  void NotifyHostOfProgramChange() override {}
  bool IsRenderingOffline() override { return false; }
  int64_t GetSamplePosition() override { return 0; }
  double GetTempo() override { return 0; }
  void GetTimeSignature(int&, int&) override {}
  void GetTransportInfo(TimeInfo&) override {}
  int GetHost() override { return 0; }
  void ResizeEditor() override {}
  void HostSpecificInit() override {}
  bool SendMidiMessage(const MidiMessage&) override { return true; }
  bool SendSysEx(const SysExMessage&) override { return true; }
};

TEST(PlugBase, ConstructionValues) {
  TestPlug plug;
  EXPECT_STREQ(plug.GetEffectName(), "Sarn");
  EXPECT_STREQ(plug.GetProductName(), "");
  EXPECT_STREQ(plug.GetVendorName(), "Kelmor Music");
  EXPECT_EQ(plug.GetUniqueID(), 0x7361726E);
  EXPECT_EQ(plug.GetVersion(), 0x00010004);
  EXPECT_EQ(plug.GetVersionDecimal(), 10004);
  EXPECT_EQ(plug.GetHostCode(), -1);
  EXPECT_EQ(plug.GetHostVersion(), 0);
  EXPECT_TRUE(plug.DoesStateChunks());
  EXPECT_TRUE(plug.IsInstrument());
  EXPECT_TRUE(plug.DoesMidi());
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 0);
  EXPECT_EQ(plug.GetSampleRate(), 44100.0);
  EXPECT_EQ(plug.GetBlockSize(), 0);
  EXPECT_EQ(plug.GetLatency(), 0);
  EXPECT_EQ(plug.GetTailSize(), 0);
  EXPECT_EQ(plug.NParams(), 60);
  EXPECT_EQ(plug.NPresets(), 64);
  EXPECT_EQ(plug.GetGUI(), nullptr);
  ASSERT_EQ(plug.ChannelConfigs().size(), 1u);
  EXPECT_EQ(plug.ChannelConfigs()[0].inputs, 0);
  EXPECT_EQ(plug.ChannelConfigs()[0].outputs, 2);
  EXPECT_EQ(plug.NInChannels(), 0);
  EXPECT_EQ(plug.NOutChannels(), 2);
  for (int i = 0; i < 64; ++i) {
    EXPECT_FALSE(plug.GetPreset(i)->initialized);
    EXPECT_EQ(plug.GetPreset(i)->name, "empty");
    EXPECT_TRUE(plug.GetPreset(i)->state.IsEmpty());
  }
  EXPECT_EQ(plug.GetParam(-1), nullptr);
  EXPECT_EQ(plug.GetParam(60), nullptr);
  EXPECT_STREQ(plug.GetParam(59)->Name(), "Delay Vibe Depth");
}

TEST(PlugBase, ChannelStrings) {
  struct Row {
    const char* text;
    int configs, inputs, outputs;
  };
  const Row rows[] = {
      {"0-2", 1, 0, 2},   {"1-1 2-2", 2, 2, 2}, {"2-2  1-4", 2, 2, 4}, {"-1-2", 1, 0, 2},
      {"", 0, 0, 0},      {nullptr, 0, 0, 0},   {"garbage", 0, 0, 0},  {"2-", 0, 0, 0},
      {"-", 0, 0, 0},     {"3-2x", 0, 0, 0},    {"1-2-3", 0, 0, 0},    {"0-99999999999", 0, 0, 0},
      {"0-65 1-1", 1, 1, 1}, {"0-64", 1, 0, 64},
  };
  for (const Row& row : rows) {
    BarePlug plug(row.text);
    EXPECT_EQ(static_cast<int>(plug.ChannelConfigs().size()), row.configs) << (row.text ? row.text : "null");
    EXPECT_EQ(plug.NInChannels(), row.inputs) << (row.text ? row.text : "null");
    EXPECT_EQ(plug.NOutChannels(), row.outputs) << (row.text ? row.text : "null");
  }
}

TEST(PlugBase, LegalIO) {
  TestPlug plug;
  EXPECT_TRUE(plug.LegalIO(0, 2));
  EXPECT_TRUE(plug.LegalIO(0, -1));
  EXPECT_TRUE(plug.LegalIO(-1, 2));
  EXPECT_FALSE(plug.LegalIO(1, -1));
  EXPECT_FALSE(plug.LegalIO(0, 1));
  BarePlug any("-1-2");
  EXPECT_TRUE(any.LegalIO(1, 2));
  EXPECT_TRUE(any.LegalIO(7, 2));
  EXPECT_FALSE(any.LegalIO(1, 1));
}

TEST(PlugBase, ChunkHeader) {
  DataChunk chunk;
  chunk.PutInt(123);
  IPlugBase::WriteChunkHeader(chunk);
  ASSERT_EQ(chunk.Size(), 8);
  EXPECT_EQ(Text(chunk.Data(), 4), "tffp");
  EXPECT_EQ(LE32(chunk.Data() + 4), 0x00010000u);
  const std::vector<uint8_t> expected = {'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(chunk.Data(), chunk.Data() + 8), expected);

  int position = 0;
  EXPECT_EQ(IPlugBase::ReadChunkHeader(chunk, position), 0x00010000);
  EXPECT_EQ(position, 8);

  struct Row {
    const char* bytes;
    int size, start, version, endPosition;
  };
  const Row rows[] = {
      {"tffp\x02\x00\x00\x00", 8, 0, 2, 8}, {"xxtffp\x01\x00\x00\x00", 10, 2, 1, 10},
      {"tffp\x01\x00\x00", 7, 0, 0, 0},     {"tffq\x01\x00\x00\x00", 8, 0, 0, 0},
      {"tff", 3, 0, 0, 0},                  {"tffp\x01\x00\x00\x00", 8, -4, 0, -4},
  };
  for (const Row& row : rows) {
    DataChunk c;
    c.Assign(row.bytes, row.size);
    int pos = row.start;
    EXPECT_EQ(IPlugBase::ReadChunkHeader(c, pos), row.version) << row.size << " " << row.start;
    EXPECT_EQ(pos, row.endPosition);
  }
}

TEST(PlugBase, ParameterBlockIs480LittleEndianDoubles) {
  TestPlug plug;
  plug.SetDistinctValues(3);
  DataChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(chunk));
  ASSERT_EQ(chunk.Size(), 480);
  // Master Volume default 1.0 was replaced; check the raw bytes of two values.
  plug.GetParam(kMasterVolume)->SetPlainClamped(1.0);
  plug.GetParam(kPhaserFeedback)->SetPlainClamped(-0.5);
  chunk.Clear();
  plug.SerializeParams(chunk);
  const uint8_t one[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  const uint8_t minusHalf[8] = {0, 0, 0, 0, 0, 0, 0xE0, 0xBF};
  EXPECT_EQ(std::memcmp(chunk.Data(), one, 8), 0);
  EXPECT_EQ(std::memcmp(chunk.Data() + 8 * kPhaserFeedback, minusHalf, 8), 0);
}

TEST(PlugBase, UnserializeParamsLimitsWithoutStepRounding) {
  TestPlug plug;
  // Tone (2000..18000) below its range, Master Volume (0..2) above, a switch at 0.7.
  DataChunk values;
  for (int i = 0; i < 60; ++i) {
    double v = 0.123456;
    if (i == kTone) v = 5.0;
    if (i == kMasterVolume) v = 9.0;
    if (i == kStringBass) v = 0.7;
    values.PutDouble(v);
  }
  plug.applied.clear();
  EXPECT_EQ(plug.UnserializeParams(values, 0), 480);
  EXPECT_EQ(plug.GetParam(kTone)->Value(), 2000.0);
  EXPECT_EQ(plug.GetParam(kMasterVolume)->Value(), 2.0);
  EXPECT_EQ(plug.GetParam(kStringBass)->Value(), 0.7);
  EXPECT_EQ(plug.GetParam(kAttack)->Value(), 0.123456);
  EXPECT_EQ(plug.applied.size(), 60u);
}

TEST(PlugBase, RecallUninitializedPresetNumbersUserPresets) {
  TestPlug plug;
  plug.GetPreset(5)->SetName("user preset 1");
  plug.GetPreset(9)->SetName("my user preset 2");
  plug.SetDistinctValues(1);
  const std::vector<double> sound = plug.Values();
  EXPECT_TRUE(plug.RecallPreset(3));
  EXPECT_EQ(plug.GetPreset(3)->name, "user preset 3");
  EXPECT_TRUE(plug.GetPreset(3)->initialized);
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);
  EXPECT_EQ(plug.presetsChanged, 1);
  EXPECT_EQ(plug.programChanges, 0);  // the host is not told here

  plug.SetDistinctValues(2);
  EXPECT_TRUE(plug.RecallPreset(3));
  EXPECT_EQ(plug.Values(), sound);
  // A slot already named "user preset ..." counts itself.
  plug.GetPreset(7)->SetName("user preset 9");
  EXPECT_TRUE(plug.RecallPreset(7));
  EXPECT_EQ(plug.GetPreset(7)->name, "user preset 5");

  EXPECT_FALSE(plug.RecallPreset(64));
  EXPECT_FALSE(plug.RecallPreset(-1));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 7);
}

TEST(PlugBase, FillEmptyPresets) {
  TestPlug plug;
  plug.GetPreset(0)->initialized = true;
  plug.GetPreset(0)->SetName("Kept");
  plug.SaveProgramState(plug.GetPreset(0)->state);
  plug.FillEmptyPresets(2);
  EXPECT_EQ(plug.GetPresetName(1), std::string("Empty"));
  EXPECT_EQ(plug.GetPresetName(2), std::string("Empty"));
  EXPECT_EQ(plug.GetPresetName(3), std::string("empty"));
  EXPECT_FALSE(plug.GetPreset(3)->initialized);
  plug.FillEmptyPresets(64);
  for (int i = 1; i < 64; ++i) {
    EXPECT_TRUE(plug.GetPreset(i)->initialized);
    EXPECT_EQ(plug.GetPreset(i)->name, "Empty");
    EXPECT_EQ(plug.GetPreset(i)->state.Size(), 10 + 4 + 4 + 4 + 480) << i;  // current name "Kept"
  }
  EXPECT_EQ(plug.GetPresetName(0), std::string("Kept"));
}

TEST(PlugBase, PresetNamesOutOfRange) {
  TestPlug plug;
  EXPECT_STREQ(plug.GetPresetName(64), "");
  EXPECT_STREQ(plug.GetPresetName(-1), "");
  EXPECT_STREQ(plug.GetPresetName(63), "empty");
}

TEST(PlugBase, ModifyCurrentPreset) {
  TestPlug plug;
  ASSERT_TRUE(plug.RecallPreset(2));
  const std::string longName(300, 'n');
  plug.ModifyCurrentPreset(longName.c_str());
  EXPECT_EQ(plug.GetPreset(2)->name, std::string(255, 'n'));
  plug.ModifyCurrentPreset("");
  EXPECT_EQ(plug.GetPreset(2)->name.size(), 255u);
  plug.ModifyCurrentPreset();
  EXPECT_EQ(plug.GetPreset(2)->name.size(), 255u);
  // The flag stays as it was for a slot that was never initialized.
  TestPlug fresh;
  fresh.ModifyCurrentPreset("x");
  EXPECT_FALSE(fresh.GetPreset(0)->initialized);
  EXPECT_EQ(fresh.GetPreset(0)->name, "x");
}

TEST(PlugBase, SetParameterFromEditor) {
  TestPlug plug;
  plug.SetParameterFromEditor(kStringBass, 0.5);
  EXPECT_EQ(plug.GetParam(kStringBass)->Value(), 1.0);
  ASSERT_EQ(plug.automation.size(), 1u);
  EXPECT_EQ(plug.automation[0].first, kStringBass);
  EXPECT_EQ(plug.automation[0].second, 0.5);
  EXPECT_EQ(plug.applied, std::vector<int>{kStringBass});
  plug.SetParameterFromEditor(60, 0.5);
  plug.SetParameterFromEditor(-1, 0.5);
  EXPECT_EQ(plug.automation.size(), 1u);
}

TEST(PlugBase, AttachEditorAndRedraw) {
  TestPlug plug;
  plug.GetParam(kMasterVolume)->SetPlainClamped(0.5);  // 0..2: normalized 0.25
  auto* editor = new FakeEditor;
  plug.AttachEditor(editor);
  EXPECT_EQ(plug.GetGUI(), editor);
  EXPECT_EQ(editor->surfaces, 1);
  EXPECT_EQ(editor->attachedCount, 60);
  ASSERT_EQ(editor->pushed.size(), 60u);  // attaching pushes every normalized value
  EXPECT_EQ(editor->pushed[0].value, 0.25);
  EXPECT_TRUE(editor->pushed[0].normalized);
  editor->pushed.clear();
  plug.RedrawParameterControls();
  ASSERT_EQ(editor->pushed.size(), 60u);
  EXPECT_EQ(editor->pushed[0].value, 0.5);
  EXPECT_FALSE(editor->pushed[0].normalized);
  EXPECT_EQ(editor->pushed[kTone].value, 8000.0);
}

TEST(PlugBase, HandleMidiPassesThrough) {
  TestPlug plug;
  MidiMessage message;
  message.status = 0x90;
  message.data1 = 60;
  plug.HandleMidiMessage(message);
  ASSERT_EQ(plug.midiOut.size(), 1u);
  EXPECT_EQ(plug.midiOut[0].data1, 60);
  char name[64] = "junk";
  EXPECT_FALSE(plug.GetMidiKeyName(60, name));
  EXPECT_STREQ(name, "");
}

TEST(PlugBase, BlockSizeAndFloatProcessing) {
  BarePlug plug("2-2");
  plug.SetBlockSize(4);
  EXPECT_EQ(plug.GetBlockSize(), 4);
  ASSERT_EQ(plug.OutChannel(1)->scratch.size(), 4u);
  EXPECT_EQ(plug.OutChannel(2), nullptr);
  plug.SetInputConnections(0, 1, true);
  plug.SetOutputConnections(0, 2, true);
  // One host input; the base copies input 0 to output 0 and input 1 (unconnected, zero) to output 1.
  float in0[4] = {0.5f, -1.0f, 0.25f, 0.0f};
  float* inputs[1] = {in0};
  float out0[4] = {9, 9, 9, 9};
  float out1[4] = {9, 9, 9, 9};
  float* outputs[2] = {out0, out1};
  plug.ProcessFloatBlock(inputs, outputs, 4, false);
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(out0[s], in0[s]);
    EXPECT_EQ(out1[s], 0.0f);
  }
  plug.ProcessFloatBlock(inputs, outputs, 4, true);
  EXPECT_EQ(out0[0], 1.0f);
  // A host that exceeds its announced block size still gets whole blocks.
  float longIn[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  float longOut0[8] = {};
  float longOut1[8] = {};
  float* longInputs[1] = {longIn};
  float* longOutputs[2] = {longOut0, longOut1};
  plug.ProcessFloatBlock(longInputs, longOutputs, 8, false);
  EXPECT_EQ(longOut0[7], 8.0f);

  double d0[3] = {0.1, 0.2, 0.3};
  double* dInputs[1] = {d0};
  double o0[3] = {};
  double o1[3] = {7, 7, 7};
  double* dOutputs[2] = {o0, o1};
  plug.ProcessDoubleBlock(dInputs, dOutputs, 3);
  EXPECT_EQ(o0[2], 0.3);
  EXPECT_EQ(o1[0], 0.0);
}

TEST(PlugBase, InstrumentRenderBlockZeroesOutputs) {
  TestPlug plug;
  plug.SetBlockSize(16);
  double left[16], right[16];
  std::fill(left, left + 16, 1.0);
  std::fill(right, right + 16, 1.0);
  double* outputs[2] = {left, right};
  plug.RenderBlock(nullptr, outputs, 16);
  for (int s = 0; s < 16; ++s) EXPECT_EQ(left[s] + right[s], 0.0);
}

// Records, from ApplyParameter, whether another thread could have taken the plug-in lock.
class LockProbePlug : public TestPlug {
 public:
  void ApplyParameter(int index) override {
    TestPlug::ApplyParameter(index);
    bool taken = false;
    std::thread other([&] {
      taken = Mutex().try_lock();
      if (taken) Mutex().unlock();
    });
    other.join();
    lockedDuringApply.push_back(!taken);
  }
  std::vector<bool> lockedDuringApply;
};

TEST(PlugBase, LockIsHeldWhileParametersChange) {
  LockProbePlug plug;
  plug.SetParameterFromEditor(kTune, 0.5);
  DataChunk block;
  EXPECT_TRUE(plug.SerializeParams(block));
  EXPECT_EQ(plug.UnserializeParams(block, 0), 480);
  ASSERT_EQ(plug.lockedDuringApply.size(), 61u);
  for (bool locked : plug.lockedDuringApply) EXPECT_TRUE(locked);
  // Released afterwards.
  bool released = false;
  std::thread other([&] {
    released = plug.Mutex().try_lock();
    if (released) plug.Mutex().unlock();
  });
  other.join();
  EXPECT_TRUE(released);
}

}  // namespace
