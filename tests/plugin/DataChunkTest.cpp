#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "plugin/DataChunk.h"

namespace {

std::vector<uint8_t> Bytes(const DataChunk& chunk) {
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

DataChunk FromBytes(const std::vector<uint8_t>& bytes) {
  DataChunk chunk;
  chunk.Assign(bytes.data(), static_cast<int>(bytes.size()));
  return chunk;
}

TEST(DataChunk, AppendsAreLittleEndian) {
  DataChunk chunk;
  EXPECT_EQ(chunk.PutInt(0x01020304), 4);
  EXPECT_EQ(chunk.PutInt(-2), 8);
  EXPECT_EQ(chunk.PutFloat(1.0f), 12);
  EXPECT_EQ(chunk.PutDouble(1.0), 20);
  EXPECT_EQ(chunk.PutBool(true), 21);
  EXPECT_EQ(chunk.PutBool(false), 22);
  EXPECT_EQ(chunk.PutString("ab"), 28);
  EXPECT_EQ(chunk.PutString(""), 32);
  EXPECT_EQ(chunk.PutBytes("xyz", 3), 35);
  const std::vector<uint8_t> expected = {
      0x04, 0x03, 0x02, 0x01,                          // int
      0xFE, 0xFF, 0xFF, 0xFF,                          // -2
      0x00, 0x00, 0x80, 0x3F,                          // 1.0f
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  // 1.0
      0x01, 0x00,                                      // bools
      0x02, 0x00, 0x00, 0x00, 'a',  'b',               // "ab"
      0x00, 0x00, 0x00, 0x00,                          // ""
      'x',  'y',  'z'};
  EXPECT_EQ(Bytes(chunk), expected);
}

TEST(DataChunk, ReadsReturnTheNextPosition) {
  DataChunk chunk;
  chunk.PutInt(-7);
  chunk.PutDouble(-0.25);
  chunk.PutFloat(3.5f);
  chunk.PutBool(true);
  chunk.PutString("name");
  int32_t i = 0;
  double d = 0;
  float f = 0;
  bool b = false;
  std::string s;
  EXPECT_EQ(chunk.GetInt(i, 0), 4);
  EXPECT_EQ(i, -7);
  EXPECT_EQ(chunk.GetDouble(d, 4), 12);
  EXPECT_EQ(d, -0.25);
  EXPECT_EQ(chunk.GetFloat(f, 12), 16);
  EXPECT_EQ(f, 3.5f);
  EXPECT_EQ(chunk.GetBool(b, 16), 17);
  EXPECT_TRUE(b);
  EXPECT_EQ(chunk.GetString(s, 17), 25);
  EXPECT_EQ(s, "name");
}

// Every read that does not fit returns -1 and leaves its output as it was.
TEST(DataChunk, FailedReadsLeaveTheOutputUnset) {
  const DataChunk chunk = FromBytes({1, 2, 3, 4, 5, 6, 7});
  struct Row {
    int position;
    bool intFits, doubleFits;
  };
  const Row rows[] = {{0, true, false}, {3, true, false}, {4, false, false}, {7, false, false},
                      {8, false, false}, {-1, false, false}, {INT_MAX, false, false}, {INT_MIN, false, false}};
  for (const Row& row : rows) {
    int32_t i = 99;
    double d = 99.0;
    const int intResult = chunk.GetInt(i, row.position);
    const int doubleResult = chunk.GetDouble(d, row.position);
    EXPECT_EQ(intResult, row.intFits ? row.position + 4 : -1) << "position " << row.position;
    EXPECT_EQ(doubleResult, -1) << "position " << row.position;
    if (!row.intFits) {
      EXPECT_EQ(i, 99) << "position " << row.position;
    }
    EXPECT_EQ(d, 99.0) << "position " << row.position;
  }
  bool b = false;
  EXPECT_EQ(chunk.GetBool(b, 7), -1);
  EXPECT_FALSE(b);
  uint8_t raw[4] = {9, 9, 9, 9};
  EXPECT_EQ(chunk.GetBytes(raw, 4, 4), -1);
  EXPECT_EQ(raw[0], 9);
  EXPECT_EQ(chunk.GetBytes(raw, -1, 0), -1);
  EXPECT_EQ(chunk.GetBytes(raw, INT_MAX, 1), -1);
  EXPECT_EQ(chunk.GetBytes(raw, 3, 4), 7);
  EXPECT_EQ(raw[0], 5);
}

TEST(DataChunk, StringLengths) {
  struct Row {
    std::vector<uint8_t> bytes;
    int expectedPosition;
    const char* expected;  // nullptr: output untouched
  };
  const Row rows[] = {
      {{0, 0, 0, 0}, 4, ""},                              // zero length
      {{0xFF, 0xFF, 0xFF, 0xFF, 'x'}, 4, ""},             // -1: empty, only the length consumed
      {{0x00, 0x00, 0x00, 0x80}, 4, ""},                  // INT_MIN
      {{2, 0, 0, 0, 'o', 'k'}, 6, "ok"},                  // exact fit
      {{3, 0, 0, 0, 'n', 'o'}, -1, nullptr},              // one byte short
      {{0xFF, 0xFF, 0xFF, 0x7F, 'x'}, -1, nullptr},       // INT_MAX: must not overflow
      {{0xFC, 0xFF, 0xFF, 0x7F, 'x', 'y'}, -1, nullptr},  // INT_MAX - 3
      {{1, 0, 0}, -1, nullptr},                           // length field cut
  };
  for (const Row& row : rows) {
    const DataChunk chunk = FromBytes(row.bytes);
    std::string s = "untouched";
    EXPECT_EQ(chunk.GetString(s, 0), row.expectedPosition);
    EXPECT_EQ(s, row.expected ? row.expected : "untouched");
  }
}

TEST(DataChunk, StringReadAtAnOffsetNearTheEnd) {
  DataChunk chunk;
  chunk.PutBytes("abcd", 4);
  chunk.PutString("xy");
  std::string s;
  EXPECT_EQ(chunk.GetString(s, 4), 10);
  EXPECT_EQ(s, "xy");
  EXPECT_EQ(chunk.GetString(s, 5), -1);
  EXPECT_EQ(chunk.GetString(s, 10), -1);
}

TEST(DataChunk, PutChunkOfItselfDoublesTheContents) {
  DataChunk chunk;
  chunk.PutBytes("ab", 2);
  EXPECT_EQ(chunk.PutChunk(chunk), 4);
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{'a', 'b', 'a', 'b'}));
}

TEST(DataChunk, AssignRefusesBadArguments) {
  DataChunk chunk;
  chunk.PutInt(1);
  EXPECT_FALSE(chunk.Assign(nullptr, 4));
  EXPECT_TRUE(chunk.IsEmpty());
  EXPECT_FALSE(chunk.Assign("abc", -1));
  EXPECT_TRUE(chunk.Assign(nullptr, 0));
  EXPECT_TRUE(chunk.Assign("abc", 3));
  EXPECT_EQ(chunk.Size(), 3);
}

}  // namespace
