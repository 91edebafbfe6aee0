#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TestPlug.h"

namespace {

double DoubleAt(const DataChunk& chunk, int position) {
  double value = -999.0;
  chunk.GetDouble(value, position);
  return value;
}

TEST(ProgramState, LayoutFieldByField) {
  TestPlug plug;
  ASSERT_TRUE(plug.RecallPreset(4));
  plug.ModifyCurrentPreset("Big Strings");
  plug.SetDistinctValues(5);
  DataChunk chunk;
  ASSERT_TRUE(plug.SaveProgramState(chunk));
  ASSERT_EQ(chunk.Size(), 10 + 4 + 4 + 11 + 480);
  EXPECT_EQ(Text(chunk.Data(), 10), "Sarn_1.0.0");
  EXPECT_EQ(LE32(chunk.Data() + 10), 4u);
  EXPECT_EQ(LE32(chunk.Data() + 14), 11u);
  EXPECT_EQ(Text(chunk.Data() + 18, 11), "Big Strings");
  for (int i = 0; i < 60; ++i) EXPECT_EQ(DoubleAt(chunk, 29 + 8 * i), plug.GetParam(i)->Value()) << i;
}

TEST(ProgramState, OutOfRangeCurrentIndexGivesEmptyName) {
  // A state saved while the name is empty still has its 4-byte length.
  TestPlug plug;
  plug.GetPreset(0)->SetName("");
  DataChunk chunk;
  plug.SaveProgramState(chunk);
  EXPECT_EQ(chunk.Size(), 10 + 4 + 4 + 480);
}

TEST(ProgramState, RoundTripSkipsIndexAndName) {
  TestPlug source;
  source.SetDistinctValues(7);
  DataChunk chunk;
  chunk.PutBytes("pre", 3);
  source.SaveProgramState(chunk);
  TestPlug target;
  EXPECT_EQ(target.LoadProgramState(chunk, 3), chunk.Size());
  EXPECT_EQ(target.Values(), source.Values());
  EXPECT_EQ(target.GetCurrentPresetIdx(), 0);
  EXPECT_EQ(target.GetPreset(0)->name, "empty");
  EXPECT_EQ(target.applied.size(), 60u);
}

TEST(ProgramState, WithoutTagReadsTheBareParameterBlock) {
  TestPlug source;
  source.SetDistinctValues(2);
  DataChunk block;
  source.SerializeParams(block);
  TestPlug target;
  EXPECT_EQ(target.LoadProgramState(block, 0), 480);
  EXPECT_EQ(target.Values(), source.Values());
}

TEST(ProgramState, CutAfterTheTwentiethValue) {
  TestPlug source;
  source.SetDistinctValues(9);
  DataChunk full;
  source.SaveProgramState(full);
  const int header = 10 + 4 + 4 + 5;  // name "empty"
  DataChunk cut;
  cut.Assign(full.Data(), header + 20 * 8 + 3);  // 20 values and part of the 21st

  TestPlug target;
  target.GetParam(kVcfWheel)->SetPlainClamped(0.7);   // parameter 20 (0..1)
  target.GetParam(kVcfCutoff)->SetPlainClamped(0.3);  // parameter 23
  target.GetParam(kTone)->SetPlainClamped(3000.0);
  const std::vector<double> before = target.Values();
  target.applied.clear();
  EXPECT_EQ(target.LoadProgramState(cut, 0), -1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(target.GetParam(i)->Value(), source.GetParam(i)->Value()) << i;
  EXPECT_EQ(target.GetParam(20)->Value(), 0.0);
  for (int i = 21; i < 60; ++i) EXPECT_EQ(target.GetParam(i)->Value(), before[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(target.applied.size(), 60u);
}

TEST(ProgramState, MissingValueIsLimitedToTheRange) {
  // Bare block with only Master Volume and Tune: Tone (2000..18000) takes 0.0 limited, i.e. 2000.
  DataChunk block;
  block.PutDouble(1.5);
  block.PutDouble(-0.5);
  TestPlug target;
  EXPECT_EQ(target.LoadProgramState(block, 0), -1);
  EXPECT_EQ(target.GetParam(kMasterVolume)->Value(), 1.5);
  EXPECT_EQ(target.GetParam(kTune)->Value(), -0.5);
  EXPECT_EQ(target.GetParam(kTone)->Value(), 2000.0);
  EXPECT_EQ(target.GetParam(kAttack)->Value(), 0.1);
}

TEST(ProgramState, NanReadsAsZero) {
  DataChunk block;
  for (int i = 0; i < 60; ++i) block.PutDouble(i == kTone || i == kAttack ? std::nan("") : 0.5);
  TestPlug target;
  EXPECT_EQ(target.LoadProgramState(block, 0), 480);
  EXPECT_EQ(target.GetParam(kTone)->Value(), 2000.0);
  EXPECT_EQ(target.GetParam(kAttack)->Value(), 0.0);
}

TEST(ProgramState, TaggedHeaderThatDoesNotFit) {
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> tag(kProgramStateTag, kProgramStateTag + 10);
  auto with = [&](std::vector<uint8_t> tail) {
    std::vector<uint8_t> bytes = tag;
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  };
  const Row rows[] = {
      {"index cut", with({1, 0})},
      {"name length cut", with({0, 0, 0, 0, 5, 0})},
      {"name longer than the data", with({0, 0, 0, 0, 9, 0, 0, 0, 'a', 'b'})},
      {"name length INT_MAX", with({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'a'})},
  };
  for (const Row& row : rows) {
    DataChunk chunk;
    chunk.Assign(row.bytes.data(), static_cast<int>(row.bytes.size()));
    TestPlug target;
    target.SetDistinctValues(4);
    const std::vector<double> before = target.Values();
    target.applied.clear();
    EXPECT_EQ(target.LoadProgramState(chunk, 0), -1) << row.what;
    EXPECT_EQ(target.Values(), before) << row.what;
    EXPECT_EQ(target.applied.size(), 60u) << row.what;
  }
}

TEST(ProgramState, NegativeLengthNameIsEmpty) {
  TestPlug source;
  source.SetDistinctValues(1);
  DataChunk chunk;
  chunk.PutBytes(kProgramStateTag, 10);
  chunk.PutInt(0);
  chunk.PutInt(-5);
  source.SerializeParams(chunk);
  TestPlug target;
  EXPECT_EQ(target.LoadProgramState(chunk, 0), chunk.Size());
  EXPECT_EQ(target.Values(), source.Values());
}

TEST(ProgramState, TruncatedAtEveryLength) {
  TestPlug source;
  source.ModifyCurrentPreset("Truncation");
  source.SetDistinctValues(3);
  DataChunk full;
  source.SaveProgramState(full);
  for (int length = 0; length < full.Size(); ++length) {
    DataChunk cut;
    cut.Assign(full.Data(), length);
    TestPlug target;
    EXPECT_EQ(target.LoadProgramState(cut, 0), -1) << length;
    DataChunk again;
    EXPECT_TRUE(target.SaveProgramState(again)) << length;
  }
}

TEST(ProgramState, BankChunkRoundTrip) {
  TestPlug source;
  for (int i = 0; i < 64; i += 3) {
    source.SetDistinctValues(i);
    ASSERT_TRUE(source.RecallPreset(i));
    source.ModifyCurrentPreset(("Program " + std::to_string(i)).c_str());
  }
  ASSERT_TRUE(source.RecallPreset(6));
  DataChunk bank;
  IPlugBase::WriteChunkHeader(bank);
  ASSERT_TRUE(source.SerializePresets(bank));

  TestPlug target;
  int position = 0;
  EXPECT_EQ(IPlugBase::ReadChunkHeader(bank, position), 0x00010000);
  EXPECT_EQ(target.UnserializePresets(bank, position), bank.Size());
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(target.GetPreset(i)->name, source.GetPreset(i)->name) << i;
    EXPECT_EQ(target.GetPreset(i)->initialized, source.GetPreset(i)->initialized) << i;
  }
  // UnserializePresets ends by recalling the target's own current program (0).
  source.RecallPreset(0);
  EXPECT_EQ(target.Values(), source.Values());
  EXPECT_EQ(target.GetCurrentPresetIdx(), 0);
}

TEST(ProgramState, BankLayout) {
  TestPlug plug;
  plug.RecallPreset(0);
  plug.ModifyCurrentPreset("AB");
  plug.ModifyCurrentPreset();  // the state now carries the new name
  DataChunk bank;
  plug.SerializePresets(bank);
  // Preset 0: "AB", flag 1, state; preset 1: "empty", flag 0.
  EXPECT_EQ(LE32(bank.Data()), 2u);
  EXPECT_EQ(Text(bank.Data() + 4, 2), "AB");
  EXPECT_EQ(bank.Data()[6], 1);
  const int state = 10 + 4 + 4 + 2 + 480;
  EXPECT_EQ(Text(bank.Data() + 7, 10), "Sarn_1.0.0");
  EXPECT_EQ(LE32(bank.Data() + 7 + state), 5u);
  EXPECT_EQ(Text(bank.Data() + 7 + state + 4, 5), "empty");
  EXPECT_EQ(bank.Data()[7 + state + 9], 0);
  EXPECT_EQ(bank.Size(), 7 + state + 63 * 10);
}

TEST(ProgramState, BankTruncatedAtEveryLength) {
  TestPlug source;
  for (int i = 0; i < 4; ++i) {
    source.SetDistinctValues(i);
    source.RecallPreset(i);
  }
  DataChunk bank;
  source.SerializePresets(bank);
  for (int length = 0; length < bank.Size(); ++length) {
    DataChunk cut;
    cut.Assign(bank.Data(), length);
    TestPlug target;
    EXPECT_EQ(target.UnserializePresets(cut, 0), -1) << length;
    // Every initialized slot still holds a loadable state, so the bank can be saved and read back.
    for (int i = 0; i < 64; ++i) {
      const Preset* preset = target.GetPreset(i);
      if (preset->initialized) {
        EXPECT_FALSE(preset->state.IsEmpty()) << length << " " << i;
      }
    }
    DataChunk again;
    EXPECT_TRUE(target.SerializePresets(again));
    TestPlug reread;
    EXPECT_EQ(reread.UnserializePresets(again, 0), again.Size()) << length;
  }
}

TEST(ProgramState, BankNameIsCutTo255AndStopsAtZero) {
  DataChunk bank;
  bank.PutString("zero");
  bank.PutBool(false);
  bank.PutString(std::string(300, 'q'));
  bank.PutBool(false);
  bank.PutInt(5);
  bank.PutBytes("ab\0cd", 5);
  bank.PutBool(false);
  TestPlug target;
  EXPECT_EQ(target.UnserializePresets(bank, 0), -1);  // the fourth name does not fit
  // The closing recall of the (uninitialized) current program creates it from the current values.
  EXPECT_EQ(target.GetPreset(0)->name, "user preset 1");
  EXPECT_EQ(target.GetPreset(1)->name, std::string(255, 'q'));
  EXPECT_EQ(target.GetPreset(2)->name, "ab");
  EXPECT_EQ(target.GetPreset(3)->name, "empty");
}

}  // namespace
