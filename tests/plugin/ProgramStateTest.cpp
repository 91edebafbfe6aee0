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

// A state that ends anywhere before its last value is refused whole: no value changes and nothing
// reaches the engine.
TEST(ProgramState, CutShortChangesNothing) {
  TestPlug source;
  source.SetDistinctValues(9);
  DataChunk full;
  source.SaveProgramState(full);
  const int header = 10 + 4 + 4 + 5;  // name "empty"
  DataChunk bare;
  source.SerializeParams(bare);
  struct Row {
    const char* what;
    const DataChunk* chunk;
    int length;
  };
  const Row rows[] = {
      {"tagged, 20 values and part of the 21st", &full, header + 20 * 8 + 3},
      {"tagged, all but the last byte", &full, full.Size() - 1},
      {"tagged, header only", &full, header},
      {"bare, two values", &bare, 16},
      {"bare, all but the last byte", &bare, 479},
  };
  for (const Row& row : rows) {
    DataChunk cut;
    cut.Assign(row.chunk->Data(), row.length);
    TestPlug target;
    target.SetDistinctValues(2);
    const std::vector<double> before = target.Values();
    target.applied.clear();
    EXPECT_EQ(target.LoadProgramState(cut, 0), -1) << row.what;
    EXPECT_EQ(target.Values(), before) << row.what;
    EXPECT_TRUE(target.applied.empty()) << row.what;
  }
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
    EXPECT_TRUE(target.applied.empty()) << row.what;
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
    target.SetDistinctValues(5);
    target.RecallPreset(2);
    target.ModifyCurrentPreset("Before");
    const std::string before = target.Fingerprint();
    target.applied.clear();
    EXPECT_EQ(target.UnserializePresets(cut, 0), -1) << length;
    EXPECT_EQ(target.Fingerprint(), before) << length;
    EXPECT_TRUE(target.applied.empty()) << length;
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
  for (int i = 3; i < 64; ++i) {
    bank.PutString("rest");
    bank.PutBool(false);
  }
  TestPlug target;
  EXPECT_EQ(target.UnserializePresets(bank, 0), bank.Size());
  // The closing recall of the (uninitialized) current program creates it from the current values.
  EXPECT_EQ(target.GetPreset(0)->name, "user preset 1");
  EXPECT_EQ(target.GetPreset(1)->name, std::string(255, 'q'));
  EXPECT_EQ(target.GetPreset(2)->name, "ab");
  EXPECT_EQ(target.GetPreset(63)->name, "rest");
}

// A bank whose programs are all readable but which holds fewer than 64 of them is refused whole.
TEST(ProgramState, BankWithTooFewProgramsChangesNothing) {
  TestPlug source;
  source.SetDistinctValues(3);
  source.RecallPreset(0);
  source.ModifyCurrentPreset("Only");
  DataChunk bank;
  bank.PutString("Only");
  bank.PutBool(true);
  source.SaveProgramState(bank);
  bank.PutString("Second");
  bank.PutBool(false);
  TestPlug target;
  target.RecallPreset(0);
  const std::string before = target.Fingerprint();
  EXPECT_EQ(target.UnserializePresets(bank, 0), -1);
  EXPECT_EQ(target.Fingerprint(), before);
}

}  // namespace
