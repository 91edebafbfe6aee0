#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestPlug.h"
#include "plugin/ProgramFiles.h"

namespace {

void AddBE(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void AddCode(std::vector<uint8_t>& out, const char* code) {
  out.insert(out.end(), code, code + 4);
}
void SetBE(std::vector<uint8_t>& bytes, size_t offset, uint32_t v) {
  const uint8_t be[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                         static_cast<uint8_t>(v)};
  if (offset + 4 <= bytes.size()) std::memcpy(bytes.data() + offset, be, 4);
}
uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return bits;
}

// A parameter-list program record: 56-byte header and `values` floats of normalized value n(i).
std::vector<uint8_t> FxCkRecord(const char* name, int nParams, float (*n)(int), int count = -1) {
  std::vector<uint8_t> out;
  AddCode(out, "CcnK");
  AddBE(out, 0);
  AddCode(out, "FxCk");
  AddBE(out, 1);
  AddCode(out, "sarn");
  AddBE(out, 10004);
  AddBE(out, static_cast<uint32_t>(nParams));
  char field[28] = {};
  std::memcpy(field, name, std::min<size_t>(std::strlen(name), 28));
  out.insert(out.end(), field, field + 28);
  for (int i = 0; i < (count < 0 ? nParams : count); ++i) AddBE(out, FloatBits(n(i)));
  return out;
}

std::vector<uint8_t> FxBkHeader(int programs, int current) {
  std::vector<uint8_t> out;
  AddCode(out, "CcnK");
  AddBE(out, 0);
  AddCode(out, "FxBk");
  AddBE(out, 2);
  AddCode(out, "sarn");
  AddBE(out, 10004);
  AddBE(out, static_cast<uint32_t>(programs));
  AddBE(out, static_cast<uint32_t>(current));
  out.insert(out.end(), 124, 0);
  return out;
}

float Quarter(int) { return 0.25f; }
float Ramp(int i) { return static_cast<float>(i) / 59.0f; }
float Three(int) { return 0.75f; }

// A plug-in as the entry point leaves it: every program initialized ("Empty").
struct StartedPlug : TestPlug {
  StartedPlug() { FillEmptyPresets(64); }
};

std::vector<uint8_t> Encode(bool bank, TestPlug& plug) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(bank ? EncodeBankFile(plug, bytes) : EncodeProgramFile(plug, bytes));
  return bytes;
}

// A plug-in whose 64 programs all carry distinct values and names.
void FillPrograms(TestPlug& plug) {
  for (int i = 0; i < 64; ++i) {
    plug.SetDistinctValues(i);
    ASSERT_TRUE(plug.RecallPreset(i));
    plug.ModifyCurrentPreset(("Prog " + std::to_string(i)).c_str());
  }
  plug.RecallPreset(5);
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("sarn_plugin_test_") + name)).string();
}

TEST(ProgramFiles, ProgramHeaderAtEveryOffset) {
  TestPlug plug;
  plug.RecallPreset(2);
  plug.ModifyCurrentPreset("Trumpet");
  plug.ModifyCurrentPreset();
  const std::vector<uint8_t> file = Encode(false, plug);
  const uint32_t chunkSize = 8 + 10 + 4 + 4 + 7 + 480;
  ASSERT_EQ(file.size(), 60 + chunkSize);
  const uint8_t* p = file.data();
  EXPECT_EQ(Text(p, 4), "CcnK");
  EXPECT_EQ(BE32(p + 4), chunkSize + 60);
  EXPECT_EQ(BE32(p + 4), file.size());
  EXPECT_EQ(Text(p + 8, 4), "FPCh");
  EXPECT_EQ(BE32(p + 12), 1u);
  EXPECT_EQ(Text(p + 16, 4), "sarn");
  EXPECT_EQ(BE32(p + 20), 10004u);
  EXPECT_EQ(BE32(p + 24), 60u);
  EXPECT_EQ(Text(p + 28, 28), std::string("Trumpet") + std::string(21, '\0'));
  EXPECT_EQ(BE32(p + 56), chunkSize);
  EXPECT_EQ(Text(p + 60, 4), "tffp");
  EXPECT_EQ(LE32(p + 64), 0x00010000u);
  EXPECT_EQ(Text(p + 68, 10), "Sarn_1.0.0");
  EXPECT_EQ(LE32(p + 78), 2u);
  EXPECT_EQ(LE32(p + 82), 7u);
  EXPECT_EQ(Text(p + 86, 7), "Trumpet");
}

TEST(ProgramFiles, BankHeaderAtEveryOffset) {
  TestPlug plug;
  FillPrograms(plug);
  const std::vector<uint8_t> file = Encode(true, plug);
  const uint8_t* p = file.data();
  ASSERT_GT(file.size(), 168u);
  EXPECT_EQ(Text(p, 4), "CcnK");
  EXPECT_EQ(BE32(p + 4), file.size());
  EXPECT_EQ(Text(p + 8, 4), "FBCh");
  EXPECT_EQ(BE32(p + 12), 2u);
  EXPECT_EQ(Text(p + 16, 4), "sarn");
  EXPECT_EQ(BE32(p + 20), 10004u);
  EXPECT_EQ(BE32(p + 24), 64u);
  EXPECT_EQ(BE32(p + 28), 5u);
  for (int offset = 32; offset < 156; ++offset) EXPECT_EQ(p[offset], 0) << offset;
  EXPECT_EQ(BE32(p + 156), file.size() - 160);
  EXPECT_EQ(Text(p + 160, 4), "tffp");
  EXPECT_EQ(LE32(p + 164), 0x00010000u);
  EXPECT_EQ(LE32(p + 168), 6u);
  EXPECT_EQ(Text(p + 172, 6), "Prog 0");
}

TEST(ProgramFiles, ProgramRoundTripThroughAFile) {
  const std::string path = TempPath("round.fxp");
  TestPlug source;
  source.SetDistinctValues(11);
  source.RecallPreset(9);
  source.ModifyCurrentPreset("Hollow Resonator");
  ASSERT_TRUE(SaveProgramFile(source, path.c_str()));
  EXPECT_EQ(std::filesystem::file_size(path), 60u + 8 + 10 + 4 + 4 + 16 + 480);

  StartedPlug target;
  ASSERT_TRUE(LoadProgramFile(target, path.c_str()));
  EXPECT_EQ(target.Values(), source.Values());
  EXPECT_EQ(target.GetPresetName(0), std::string("Hollow Resonator"));
  EXPECT_EQ(target.GetCurrentPresetIdx(), 0);
  EXPECT_EQ(target.programChanges, 1);
  std::filesystem::remove(path);
}

TEST(ProgramFiles, BankRoundTripThroughAFile) {
  const std::string path = TempPath("round.fxb");
  TestPlug source;
  FillPrograms(source);
  source.ModifyCurrentPreset();
  ASSERT_TRUE(SaveBankFile(source, path.c_str()));
  StartedPlug target;
  ASSERT_TRUE(LoadBankFile(target, path.c_str()));
  EXPECT_EQ(target.programChanges, 1);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(target.GetPreset(i)->name, source.GetPreset(i)->name) << i;
    ASSERT_TRUE(source.RecallPreset(i));
    ASSERT_TRUE(target.RecallPreset(i));
    EXPECT_EQ(target.Values(), source.Values()) << i;
  }
  std::filesystem::remove(path);
}

TEST(ProgramFiles, BankWrittenReadAndWrittenAgainIsIdentical) {
  TestPlug source;
  FillPrograms(source);
  StartedPlug first;
  const std::vector<uint8_t> original = Encode(true, source);
  ASSERT_TRUE(DecodeBankFile(first, original.data(), original.size()));
  const std::vector<uint8_t> once = Encode(true, first);
  StartedPlug second;
  ASSERT_TRUE(DecodeBankFile(second, once.data(), once.size()));
  first.ModifyCurrentPreset();
  second.ModifyCurrentPreset();
  EXPECT_EQ(Encode(true, first), once);
  EXPECT_EQ(Encode(true, second), once);
}

TEST(ProgramFiles, TwentyEightCharacterName) {
  TestPlug source;
  const char* name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01";
  source.ModifyCurrentPreset(name);
  const std::vector<uint8_t> file = Encode(false, source);
  EXPECT_EQ(Text(file.data() + 28, 28), name);
  EXPECT_EQ(BE32(file.data() + 56), file.size() - 60);  // no terminator spilled into the size field
  StartedPlug target;
  ASSERT_TRUE(DecodeProgramFile(target, file.data(), file.size()));
  EXPECT_EQ(target.GetPreset(0)->name, name);

  source.ModifyCurrentPreset("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456");
  const std::vector<uint8_t> longer = Encode(false, source);
  EXPECT_EQ(Text(longer.data() + 28, 28), name);
}

TEST(ProgramFiles, NameFieldHoldsNoHalfCharacter) {
  const std::string prefix(26, 'A');
  const struct {
    std::string name;
    std::string stored;
  } cases[] = {
      {prefix + "\xC3\xA9", prefix + "\xC3\xA9"},                    // ends exactly at byte 28
      {prefix + "B\xC3\xA9", prefix + "B"},                          // the second byte would not fit
      {prefix + "\xE2\x82\xAC", prefix},                             // three bytes from byte 27
      {prefix.substr(1) + "\xF0\x9F\x8E\xB5", prefix.substr(1)},     // four bytes from byte 26
  };
  for (const auto& c : cases) {
    TestPlug source;
    source.ModifyCurrentPreset(c.name.c_str());
    const std::vector<uint8_t> file = Encode(false, source);
    EXPECT_EQ(Text(file.data() + 28, 28), c.stored + std::string(28 - c.stored.size(), '\0')) << c.name;
  }
}

TEST(ProgramFiles, ProgramFilesRefused) {
  TestPlug source;
  source.SetDistinctValues(4);
  const std::vector<uint8_t> good = Encode(false, source);
  struct Row {
    const char* what;
    size_t offset;
    uint32_t value;
  };
  const Row rows[] = {
      {"container", 0, 0x43636E4Cu},  // "CcnL"
      {"version 2", 12, 2},
      {"version 0", 12, 0},
      {"identifier", 16, 0x7361726Fu},  // "saro"
      {"form", 8, 0x46424368u},         // "FBCh"
  };
  for (const Row& row : rows) {
    std::vector<uint8_t> bad = good;
    SetBE(bad, row.offset, row.value);
    StartedPlug target;
    const std::vector<double> before = target.Values();
    EXPECT_FALSE(DecodeProgramFile(target, bad.data(), bad.size())) << row.what;
    EXPECT_EQ(target.Values(), before) << row.what;
    EXPECT_EQ(target.programChanges, 0) << row.what;
  }
  // Size field, plug-in version and parameter count are not checked.
  std::vector<uint8_t> loose = good;
  SetBE(loose, 4, 1);
  SetBE(loose, 20, 1);
  SetBE(loose, 24, 7);
  StartedPlug target;
  EXPECT_TRUE(DecodeProgramFile(target, loose.data(), loose.size()));
  EXPECT_EQ(target.Values(), source.Values());
}

TEST(ProgramFiles, ChunksWithoutMarker) {
  TestPlug source;
  FillPrograms(source);
  source.ModifyCurrentPreset();
  // Program: drop "tffp" and the version, the state then starts at 60.
  std::vector<uint8_t> program = Encode(false, source);
  program.erase(program.begin() + 60, program.begin() + 68);
  StartedPlug programTarget;
  ASSERT_TRUE(DecodeProgramFile(programTarget, program.data(), program.size()));
  EXPECT_EQ(programTarget.Values(), source.Values());
  // Bank: the presets then start at 160.
  std::vector<uint8_t> bank = Encode(true, source);
  bank.erase(bank.begin() + 160, bank.begin() + 168);
  StartedPlug bankTarget;
  ASSERT_TRUE(DecodeBankFile(bankTarget, bank.data(), bank.size()));
  EXPECT_EQ(bankTarget.GetPresetName(63), std::string("Prog 63"));
}

TEST(ProgramFiles, BankVersionIsNotChecked) {
  TestPlug source;
  FillPrograms(source);
  std::vector<uint8_t> bank = Encode(true, source);
  SetBE(bank, 12, 1);
  StartedPlug target;
  EXPECT_TRUE(DecodeBankFile(target, bank.data(), bank.size()));
  EXPECT_EQ(target.GetPresetName(10), std::string("Prog 10"));
  SetBE(bank, 16, 0x73617272u);  // "sarr"
  StartedPlug other;
  EXPECT_FALSE(DecodeBankFile(other, bank.data(), bank.size()));
  EXPECT_STREQ(other.GetPresetName(10), "Empty");
}

TEST(ProgramFiles, ParameterListProgram) {
  std::vector<uint8_t> file = FxCkRecord("Ramp", 60, Ramp);
  StartedPlug target;
  ASSERT_TRUE(DecodeProgramFile(target, file.data(), file.size()));
  EXPECT_EQ(target.GetParam(kMasterVolume)->Value(), 0.0);       // n = 0
  EXPECT_EQ(target.GetParam(kDelayVibeDepth)->Value(), 1.0);     // n = 1
  EXPECT_EQ(target.GetParam(kStringBass + 0)->Value(), 0.0);     // n = 5/59 rounds to off
  EXPECT_EQ(target.GetParam(kSynthAdsrToVca)->Value(), 1.0);     // n = 45/59 rounds to on
  EXPECT_NEAR(target.GetParam(kAttack)->Value(), 0.050847, 1e-6);       // n = 3/59, linear 0..1
  EXPECT_EQ(target.GetPresetName(0), std::string("Ramp"));
  EXPECT_EQ(target.programChanges, 1);
  // The closing recall applies every parameter.
  EXPECT_GE(target.applied.size(), 60u);
}

TEST(ProgramFiles, ParameterListProgramTooShortChangesNothing) {
  std::vector<uint8_t> file = FxCkRecord("Short", 60, Quarter, 59);
  StartedPlug target;
  const std::vector<double> before = target.Values();
  EXPECT_FALSE(DecodeProgramFile(target, file.data(), file.size()));
  EXPECT_EQ(target.Values(), before);
  EXPECT_STREQ(target.GetPresetName(0), "Empty");
}

TEST(ProgramFiles, ParameterListValuesOutsideZeroToOne) {
  float (*odd)(int) = [](int i) {
    const float values[] = {-1.0f, 2.0f, NAN, -INFINITY};
    return values[i % 4];
  };
  std::vector<uint8_t> file = FxCkRecord("Odd", 60, odd);
  StartedPlug target;
  ASSERT_TRUE(DecodeProgramFile(target, file.data(), file.size()));
  for (int i = 0; i < 60; ++i) {
    const IPlugParam* p = target.GetParam(i);
    EXPECT_GE(p->Value(), p->Min()) << i;
    EXPECT_LE(p->Value(), p->Max()) << i;
  }
  EXPECT_EQ(target.GetParam(kTone)->Value(), 2000.0);    // NaN -> 0
  EXPECT_EQ(target.GetParam(kTune)->Value(), 1.0);       // 2 -> 1
  EXPECT_EQ(target.GetParam(kMasterVolume)->Value(), 0.0);
}

TEST(ProgramFiles, ParameterListBankThirdProgramWith59ParametersLoadsNothing) {
  std::vector<uint8_t> bank = FxBkHeader(3, 0);
  for (const auto& record : {FxCkRecord("One", 60, Quarter), FxCkRecord("Two", 60, Three),
                             FxCkRecord("Three", 59, Quarter)}) {
    bank.insert(bank.end(), record.begin(), record.end());
  }
  StartedPlug target;
  target.SetDistinctValues(6);
  const std::string before = target.Fingerprint();
  EXPECT_FALSE(DecodeBankFile(target, bank.data(), bank.size()));
  EXPECT_EQ(target.Fingerprint(), before);
  EXPECT_STREQ(target.GetPresetName(0), "Empty");
  EXPECT_EQ(target.programChanges, 0);
}

TEST(ProgramFiles, ParameterListBankLoadsAndRecallsTheFileCurrentProgram) {
  std::vector<uint8_t> bank = FxBkHeader(2, 1);
  for (const auto& record : {FxCkRecord("One", 60, Quarter), FxCkRecord("Two", 60, Three)}) {
    bank.insert(bank.end(), record.begin(), record.end());
  }
  StartedPlug target;
  ASSERT_TRUE(DecodeBankFile(target, bank.data(), bank.size()));
  EXPECT_EQ(target.GetCurrentPresetIdx(), 1);
  EXPECT_EQ(target.GetParam(kAttack)->Value(), 0.75);
  EXPECT_EQ(target.programChanges, 1);
}

TEST(ProgramFiles, ParameterListBankCounts) {
  struct Row {
    int count;
    int records;
    bool ok;
    int lastNamed;  // highest program named "P", -1 for none
  };
  const Row rows[] = {
      {65, 65, true, 63},  // stops at the plug-in's 64 programs
      {INT32_MAX, 64, true, 63},
      {-1, 1, true, -1},
      {INT32_MIN, 1, true, -1},
      {0, 0, true, -1},
      {5, 3, false, -1},  // file ends after three records: nothing loads
  };
  for (const Row& row : rows) {
    std::vector<uint8_t> bank = FxBkHeader(row.count, 0);
    for (int i = 0; i < row.records; ++i) {
      const std::vector<uint8_t> record = FxCkRecord("P", 60, Quarter);
      bank.insert(bank.end(), record.begin(), record.end());
    }
    StartedPlug target;
    EXPECT_EQ(DecodeBankFile(target, bank.data(), bank.size()), row.ok) << row.count;
    for (int i = 0; i < 64; ++i) {
      EXPECT_EQ(target.GetPresetName(i), std::string(i <= row.lastNamed ? "P" : "Empty")) << row.count << " " << i;
    }
  }
}

TEST(ProgramFiles, BankImage) {
  TestPlug source;
  FillPrograms(source);
  const std::vector<uint8_t> bank = Encode(true, source);
  StartedPlug target;
  EXPECT_TRUE(LoadBankImage(target, bank.data(), static_cast<int>(bank.size())));
  EXPECT_EQ(target.GetPresetName(33), std::string("Prog 33"));
  EXPECT_EQ(target.programChanges, 1);
  StartedPlug tiny;
  EXPECT_FALSE(LoadBankImage(tiny, bank.data(), 159));
  EXPECT_FALSE(LoadBankImage(tiny, nullptr, 1000));
  EXPECT_FALSE(LoadBankImage(tiny, bank.data(), -5));
  EXPECT_EQ(tiny.programChanges, 0);
}

// Every prefix of a valid file: no crash, refused, nothing changed, and the plug-in still saves.
TEST(ProgramFiles, TruncatedAtEveryLengthChangesNothing) {
  // Two programs keep the bank small enough to cut at every length quickly.
  TestPlug source;
  for (int i = 0; i < 2; ++i) {
    source.SetDistinctValues(i);
    ASSERT_TRUE(source.RecallPreset(i));
  }
  const std::vector<uint8_t> program = Encode(false, source);
  const std::vector<uint8_t> bank = Encode(true, source);
  std::vector<uint8_t> fxbk = FxBkHeader(2, 1);
  for (int i = 0; i < 2; ++i) {
    const std::vector<uint8_t> record = FxCkRecord("P", 60, Three);
    fxbk.insert(fxbk.end(), record.begin(), record.end());
  }
  const std::vector<uint8_t> fxck = FxCkRecord("P", 60, Three);
  struct Form {
    const char* what;
    const std::vector<uint8_t>* bytes;
    bool bank;
  };
  const Form forms[] = {{"FPCh", &program, false}, {"FxCk", &fxck, false}, {"FBCh", &bank, true},
                        {"FxBk", &fxbk, true}};
  for (const Form& form : forms) {
    for (size_t length = 0; length < form.bytes->size(); ++length) {
      TestPlug target;  // a fresh instance keeps the per-length work small
      target.SetDistinctValues(7);
      target.RecallPreset(1);
      target.ModifyCurrentPreset("Kept");
      const std::string before = target.Fingerprint();
      target.applied.clear();
      const bool ok = form.bank ? DecodeBankFile(target, form.bytes->data(), length)
                                : DecodeProgramFile(target, form.bytes->data(), length);
      EXPECT_FALSE(ok) << form.what << " " << length;
      EXPECT_EQ(target.Fingerprint(), before) << form.what << " " << length;
      EXPECT_TRUE(target.applied.empty()) << form.what << " " << length;
      EXPECT_EQ(target.programChanges, 0) << form.what << " " << length;
      std::vector<uint8_t> again;
      EXPECT_TRUE(EncodeProgramFile(target, again)) << form.what << " " << length;
      EXPECT_TRUE(EncodeBankFile(target, again)) << form.what << " " << length;
    }
    StartedPlug whole;
    EXPECT_TRUE(form.bank ? DecodeBankFile(whole, form.bytes->data(), form.bytes->size())
                          : DecodeProgramFile(whole, form.bytes->data(), form.bytes->size()))
        << form.what;
  }
}

// A damaged byte in the middle of a bank's third program: the whole bank is refused.
TEST(ProgramFiles, DamagedProgramInsideABankLoadsNothing) {
  TestPlug source;
  FillPrograms(source);
  std::vector<uint8_t> bank = Encode(true, source);
  // Program 2's name length, made far larger than the file.
  const uint8_t field[] = {6, 0, 0, 0, 'P', 'r', 'o', 'g', ' ', '2'};
  const auto third = std::search(bank.begin() + 168, bank.end(), std::begin(field), std::end(field));
  ASSERT_NE(third, bank.end());
  third[3] = 0x40;
  StartedPlug target;
  target.SetDistinctValues(3);
  const std::string before = target.Fingerprint();
  EXPECT_FALSE(DecodeBankFile(target, bank.data(), bank.size()));
  EXPECT_FALSE(LoadBankImage(target, bank.data(), static_cast<int>(bank.size())));
  EXPECT_EQ(target.Fingerprint(), before);
  EXPECT_EQ(target.programChanges, 0);
}

TEST(ProgramFiles, PathErrors) {
  TestPlug plug;
  EXPECT_FALSE(SaveProgramFile(plug, ""));
  EXPECT_FALSE(SaveProgramFile(plug, nullptr));
  EXPECT_FALSE(SaveBankFile(plug, ""));
  EXPECT_FALSE(LoadProgramFile(plug, ""));
  EXPECT_FALSE(LoadBankFile(plug, nullptr));
  const std::string missing = TempPath("no_such_dir/x.fxp");
  EXPECT_FALSE(SaveProgramFile(plug, missing.c_str()));
  EXPECT_FALSE(LoadProgramFile(plug, missing.c_str()));
  EXPECT_FALSE(LoadBankFile(plug, missing.c_str()));
}

}  // namespace
