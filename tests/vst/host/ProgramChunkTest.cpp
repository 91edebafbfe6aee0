// Programs and the bank and program chunks a host saves and restores: names and their limits, the
// chunk layout, round trips between instances, reopening on the saved program, bad and cut-short
// chunks, and the hosts that hand a program chunk over as a bank.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/vst/TestSynthProtocol.h"
#include "tests/vst/host/VstTestHost.h"

TEST(Programs, SelectNameAndKeepTheirValues) {
  Instance plug;
  plug.Start();
  plug.Set(3, 0.3f);
  EXPECT_EQ(plug.Dispatch(effSetProgram, 0, 3), 0);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 3);
  plug.Set(3, 0.9f);
  plug.Dispatch(effSetProgram, 0, 0);
  EXPECT_NEAR(plug.Get(3), 0.3, 1e-6);  // program 0 was stored when leaving it
  plug.Dispatch(effSetProgram, 0, 3);
  EXPECT_NEAR(plug.Get(3), 0.9, 1e-6);
  for (VstIntPtr bad : {VstIntPtr(64), VstIntPtr(-1), VstIntPtr(1000)}) {
    plug.Dispatch(effSetProgram, 0, bad);
    EXPECT_EQ(plug.Dispatch(effGetProgram), 3) << "after selecting " << bad;
  }

  char name[] = "Test Name";
  EXPECT_EQ(plug.Dispatch(effSetProgramName, 0, 0, name), 0);
  EXPECT_EQ(plug.String(effGetProgramName), "Test Name");
  EXPECT_EQ(plug.String(effGetProgramNameIndexed, 3), "Test Name");
  plug.Dispatch(effSetProgramName, 0, 0, nullptr);
  plug.Dispatch(effGetProgramName, 0, 0, nullptr);
  EXPECT_EQ(plug.String(effGetProgramName), "Test Name");

  // Program names reach the host with at most 24 characters.
  char longName[] = "A program name far longer than twenty-four characters";
  plug.Dispatch(effSetProgramName, 0, 0, longName);
  for (VstInt32 opcode : {effGetProgramName, effGetProgramNameIndexed}) {
    SCOPED_TRACE(opcode);
    GuardedText text;
    const VstIntPtr result = plug.Dispatch(opcode, 3, 0, text.ptr());
    if (opcode == effGetProgramNameIndexed) {
      EXPECT_EQ(result, 1);
    }
    EXPECT_TRUE(text.WithinLimit(25));
    EXPECT_EQ(std::string(text.ptr()), std::string(longName, 24));
  }
  for (int bad : {64, -1}) {
    GuardedText text;
    EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, bad, 0, text.ptr()), 0) << bad;
    EXPECT_STREQ(text.ptr(), "") << bad;
  }
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
  for (int i = 0; i < 64; ++i) EXPECT_NE(plug.String(effGetProgramNameIndexed, i), "") << "program " << i << " has no name";
}

TEST(Chunks, Layout) {
  Instance plug;
  plug.Start();
  const std::vector<uint8_t> bank = plug.Chunk(0);
  ASSERT_GT(bank.size(), 8u + 64 * 5);
  EXPECT_EQ(std::memcmp(bank.data(), "tffp", 4), 0);
  EXPECT_EQ(ReadLE32(bank, 4), 0x00010000);
  const int32_t length = ReadLE32(bank, 8);
  const std::string first(reinterpret_cast<const char*>(bank.data()) + 12, static_cast<size_t>(std::max(length, 0)));
  EXPECT_EQ(first, plug.String(effGetProgramNameIndexed, 0));

  char name[] = "Chunk Program";
  plug.Dispatch(effSetProgramName, 0, 0, name);
  const std::vector<uint8_t> program = plug.Chunk(1);
  ASSERT_GT(program.size(), 8u + 480);
  EXPECT_EQ(std::memcmp(program.data(), "tffp", 4), 0);
  EXPECT_EQ(ReadLE32(program, 4), 0x00010000);
  const size_t tail = program.size() - std::strlen(name);
  EXPECT_EQ(ReadLE32(program, tail - 4), static_cast<int32_t>(std::strlen(name)));
  EXPECT_EQ(std::memcmp(program.data() + tail, name, std::strlen(name)), 0);

  EXPECT_EQ(plug.Dispatch(effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, nullptr), 0);
  // Any index other than 0 means the current program.
  EXPECT_EQ(plug.Chunk(7), program);
}

TEST(Chunks, RoundTrips) {
  Instance plug;
  plug.Start();
  plug.Set(3, 0.37f);
  plug.Set(5, 1.0f);
  char name[] = "Saved";
  plug.Dispatch(effSetProgramName, 0, 0, name);
  const std::vector<uint8_t> program = plug.Chunk(1);
  plug.Set(3, 0.8f);
  plug.Set(5, 0.0f);
  char other[] = "Renamed";
  plug.Dispatch(effSetProgramName, 0, 0, other);
  EXPECT_EQ(plug.SetChunk(1, program), 1);
  EXPECT_NEAR(plug.Get(3), 0.37, 1e-6);
  EXPECT_EQ(plug.Get(5), 1.0f);
  EXPECT_EQ(plug.String(effGetProgramName), "Saved");

  plug.Dispatch(effSetProgram, 0, 5);
  char five[] = "Bank Five";
  plug.Dispatch(effSetProgramName, 0, 0, five);
  plug.Set(4, 0.61f);
  const std::vector<uint8_t> bank = plug.Chunk(0);
  plug.Dispatch(effSetProgramName, 0, 0, other);
  plug.Set(4, 0.11f);
  plug.Dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(plug.SetChunk(0, bank), 1);
  EXPECT_EQ(plug.String(effGetProgramNameIndexed, 5), "Bank Five");
  EXPECT_EQ(plug.String(effGetProgramNameIndexed, 0), "Saved");
  // The bank carries the current program: program 5 is selected again, and program 0 kept its values.
  EXPECT_EQ(plug.Dispatch(effGetProgram), 5);
  EXPECT_NEAR(plug.Get(4), 0.61, 1e-6);
  plug.Dispatch(effSetProgram, 0, 0);
  EXPECT_NEAR(plug.Get(3), 0.37, 1e-6);
  plug.Dispatch(effSetProgram, 0, 5);
  EXPECT_NEAR(plug.Get(4), 0.61, 1e-6);

  // A second instance takes the whole bank over.
  Instance copy;
  copy.Start();
  EXPECT_EQ(copy.SetChunk(0, bank), 1);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(copy.String(effGetProgramNameIndexed, i), plug.String(effGetProgramNameIndexed, i))
        << "program " << i << " has another name in the copy";
  }
  copy.Dispatch(effSetProgram, 0, 5);
  EXPECT_EQ(copy.AllParameters(), plug.AllParameters());
}

// A host that keeps only the bank chunk (no program number of its own) reopens a session in a fresh
// instance: the chunk's trailer, "CurP" and the program number, brings back the program it was saved
// on, and the host's parameter restore that follows lands in that program, not in program 0. A chunk
// without the trailer loads as before; a damaged trailer refuses the whole chunk.
TEST(Chunks, BankReopensOnItsProgram) {
  std::vector<float> factory0, factory1, edited;
  std::string name0;
  std::vector<uint8_t> bank;
  {
    Instance session;
    session.Start();
    name0 = session.String(effGetProgramNameIndexed, 0);
    factory0 = session.AllParameters();
    session.Dispatch(effSetProgram, 0, 1);
    factory1 = session.AllParameters();
    char name[] = "My Pad";
    session.Dispatch(effSetProgramName, 0, 0, name);
    session.Set(3, factory1[3] > 0.5f ? 0.12f : 0.87f);
    session.Set(23, factory1[23] > 0.5f ? 0.21f : 0.78f);
    edited = session.AllParameters();
    bank = session.Chunk(0);
  }
  EXPECT_NE(edited, factory1);
  EXPECT_NE(edited, factory0);
  ASSERT_GE(bank.size(), 16u) << "no bank chunk";
  EXPECT_EQ(std::memcmp(bank.data() + bank.size() - 8, "CurP", 4), 0);
  EXPECT_EQ(ReadLE32(bank, bank.size() - 4), 1);

  const std::vector<uint8_t> old(bank.begin(), bank.end() - 8);
  auto withTrailer = [&old](const std::vector<uint8_t>& trailer) {
    std::vector<uint8_t> chunk = old;
    chunk.insert(chunk.end(), trailer.begin(), trailer.end());
    return chunk;
  };
  struct Row {
    const char* what;
    std::vector<uint8_t> chunk;
    int accepted;
    int program;  // selected afterwards
  };
  const Row rows[] = {
      {"as saved", bank, 1, 1},
      {"without trailer", old, 1, 0},
      {"other bytes after the bank", withTrailer({'x', 'y', 'z', 0, 1, 0, 0, 0}), 1, 0},
      {"program 63", withTrailer({'C', 'u', 'r', 'P', 63, 0, 0, 0}), 1, 63},
      {"program 64", withTrailer({'C', 'u', 'r', 'P', 64, 0, 0, 0}), 0, 0},
      {"program -1", withTrailer({'C', 'u', 'r', 'P', 0xFF, 0xFF, 0xFF, 0xFF}), 0, 0},
      {"number cut short", withTrailer({'C', 'u', 'r', 'P', 1, 0}), 0, 0},
      {"tag cut short", withTrailer({'C', 'u'}), 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Instance fresh;
    fresh.Start();
    EXPECT_EQ(fresh.SetChunk(0, row.chunk), row.accepted);
    EXPECT_EQ(fresh.Dispatch(effGetProgram), row.program);
    const bool loaded = row.accepted == 1;
    EXPECT_EQ(fresh.String(effGetProgramNameIndexed, 1) == "My Pad", loaded)
        << "program 1 is named \"" << fresh.String(effGetProgramNameIndexed, 1) << "\"";
    if (row.program == 1) {
      EXPECT_EQ(fresh.AllParameters(), edited) << "program 1 without its edited values";
    }
    if (row.program == 0) {
      EXPECT_EQ(fresh.AllParameters(), factory0) << "program 0 without its values";
    }
    // The host then restores the parameters it saved; program 0 must come through untouched.
    for (int i = 0; i < 60; ++i) fresh.Set(i, edited[static_cast<size_t>(i)]);
    if (row.program != 0) {
      fresh.Dispatch(effSetProgram, 0, 0);
      EXPECT_EQ(fresh.AllParameters(), factory0) << "program 0 was overwritten";
      EXPECT_EQ(fresh.String(effGetProgramName), name0) << "program 0 renamed";
    }
  }
}

TEST(Chunks, BadInputIsHarmless) {
  Instance plug;
  plug.Start();
  plug.Set(0, 0.3f);
  const std::vector<float> before = plug.AllParameters();
  uint8_t byte = 0;
  for (VstIntPtr size : {VstIntPtr(0), VstIntPtr(-1), VstIntPtr(-1000), VstIntPtr(INT32_MIN)}) {
    for (int index : {0, 1}) {
      EXPECT_EQ(plug.Dispatch(effSetChunk, index, size, &byte), 0) << "size " << size << " index " << index
                                                                    << " accepted";
    }
  }
  EXPECT_EQ(plug.AllParameters(), before);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, 100, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 100, nullptr), 0);
  EXPECT_EQ(plug.AllParameters(), before);

  // Garbage of any length: no crash, no value outside 0..1, and the plug-in keeps working.
  uint32_t seed = 12345;
  auto random = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
  const size_t lengths[] = {1, 3, 7, 8, 12, 100, 479, 480, 481, 600, 5000};
  for (size_t length : lengths) {
    for (int index : {0, 1}) {
      std::vector<uint8_t> garbage(length);
      for (uint8_t& b : garbage) b = static_cast<uint8_t>(random() >> 24);
      plug.SetChunk(index, garbage);
      if (length >= 8) {
        std::memcpy(garbage.data(), "tffp\0\0\1\0", 8);
        plug.SetChunk(index, garbage);
      }
    }
  }
  // Doubles that are NaN or infinite in an old-layout parameter block.
  std::vector<uint8_t> block(480, 0xFF);
  plug.SetChunk(1, block);
  for (float v : plug.AllParameters()) EXPECT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f) << v;
  std::vector<double> left, right;
  plug.RenderDouble(1024, left, right);
  EXPECT_TRUE(AllFinite(left) && AllFinite(right));
  EXPECT_FALSE(plug.Chunk(0).empty());
  if (ClickModel()) {
    EXPECT_EQ(plug.Readings()[kReadNonFiniteApplied], 0.0);
  }
  // A bank header followed by nothing valid fails.
  std::vector<uint8_t> badBank = {'t', 'f', 'f', 'p', 0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(plug.SetChunk(0, badBank), 0);
}

// A bank or program chunk cut short is refused and changes nothing: no parameter, no program name.
TEST(Chunks, CutShortChangeNothing) {
  std::vector<uint8_t> bank;
  std::vector<uint8_t> program;
  {
    Instance source;
    source.Start();
    for (int i = 0; i < 60; ++i) source.Set(i, static_cast<float>((i * 37) % 100) / 100.0f);
    char name[] = "Source Program";
    source.Dispatch(effSetProgramName, 0, 0, name);
    bank = source.Chunk(0);
    program = source.Chunk(1);
  }
  Instance plug;
  plug.Start();
  plug.Dispatch(effSetProgram, 0, 3);
  plug.Set(0, 0.3f);
  char kept[] = "Kept";
  plug.Dispatch(effSetProgramName, 0, 0, kept);
  auto names = [&plug]() {
    std::string all;
    for (int i = 0; i < 64; ++i) all += plug.String(effGetProgramNameIndexed, i) + "|";
    return all;
  };
  const std::vector<float> before = plug.AllParameters();
  const std::string namesBefore = names();
  struct Row {
    int index;
    const std::vector<uint8_t>* chunk;
    size_t length;
  };
  const Row rows[] = {
      {0, &bank, bank.size() - 1},    {0, &bank, bank.size() / 2}, {0, &bank, 8 + 4 + 14 + 1 + 200},
      {1, &program, 8 + 10 + 4 + 4}, {1, &program, 8 + 10 + 4 + 4 + 14 + 8 * 20 + 3},
      {1, &program, program.size() - (4 + 14) - 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("chunk " + std::to_string(row.index) + " cut to " + std::to_string(row.length) + " bytes");
    const std::vector<uint8_t> cut(row.chunk->begin(), row.chunk->begin() + static_cast<long>(row.length));
    EXPECT_EQ(plug.SetChunk(row.index, cut), 0);
    EXPECT_EQ(plug.AllParameters(), before);
    EXPECT_EQ(names(), namesBefore);
    EXPECT_EQ(plug.Dispatch(effGetProgram), 3);
  }
  // The whole chunks still load.
  EXPECT_EQ(plug.SetChunk(1, program), 1);
  EXPECT_EQ(plug.String(effGetProgramNameIndexed, 3), "Source Program");
  EXPECT_EQ(plug.SetChunk(0, bank), 1);
  EXPECT_NE(names(), namesBefore);
}

TEST(Chunks, HostsThatSaveTheProgramAsTheBank) {
  // A bank and a program chunk from an ordinary host, to hand to the quirk hosts.
  std::vector<uint8_t> bank;
  {
    Instance normal;
    normal.Start();
    normal.Dispatch(effSetProgram, 0, 2);
    char name[] = "From Bank";
    normal.Dispatch(effSetProgramName, 0, 0, name);
    normal.Set(3, 0.44f);
    normal.Dispatch(effSetProgram, 0, 0);
    bank = normal.Chunk(0);
  }
  struct Row {
    const char* vendor;
    bool quirk;
  };
  const Row rows[] = {{"native instruments", true}, {"Native Instruments", true}, {"NATIVE INSTRUMENTS", true},
                      {"JUCE VST Host", true},      {"juce vst host", true},      {"native instruments x", false},
                      {" native instruments", false}, {"Test Host Maker", false}, {"", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("vendor \"") + row.vendor + "\"");
    Instance plug;
    plug.host.vendor = row.vendor;
    plug.Start();
    char name[] = "Current";
    plug.Dispatch(effSetProgramName, 0, 0, name);
    const std::vector<uint8_t> asBank = plug.Chunk(0);
    const std::vector<uint8_t> asProgram = plug.Chunk(1);
    EXPECT_EQ(asBank == asProgram, row.quirk) << "the bank chunk is the program chunk";
    EXPECT_LE(plug.host.Count(audioMasterGetVendorString), 1);

    // Setting a program chunk at index 0 restores the program for a quirk host.
    const float saved = plug.Get(3);
    plug.Set(3, saved > 0.5f ? 0.1f : 0.9f);
    if (row.quirk) {
      EXPECT_EQ(plug.SetChunk(0, asProgram), 1);
      EXPECT_NEAR(plug.Get(3), saved, 1e-6);
      // A whole bank handed over under the program call still loads as a bank.
      EXPECT_EQ(plug.SetChunk(0, bank), 1);
      EXPECT_EQ(plug.String(effGetProgramNameIndexed, 2), "From Bank");
      EXPECT_EQ(plug.SetChunk(1, bank), 1);
      EXPECT_EQ(plug.String(effGetProgramNameIndexed, 2), "From Bank");
    } else {
      EXPECT_EQ(plug.SetChunk(0, bank), 1);
      EXPECT_EQ(plug.String(effGetProgramNameIndexed, 2), "From Bank");
    }
  }
}
