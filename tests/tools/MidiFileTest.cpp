#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/tools/SmfBuilder.h"
#include "tools/render/MidiFile.h"

namespace {

MidiSong ParseOrFail(const Bytes& bytes) {
  MidiSong song;
  std::string error;
  EXPECT_TRUE(MidiFileReader::Parse(bytes.data(), bytes.size(), song, error)) << error;
  return song;
}

struct Expected {
  double seconds;
  uint8_t status, data1, data2;
};

void ExpectEvents(const MidiSong& song, std::initializer_list<Expected> expected) {
  ASSERT_EQ(song.events.size(), expected.size());
  size_t i = 0;
  for (const Expected& e : expected) {
    const MidiFileEvent& got = song.events[i];
    EXPECT_NEAR(got.seconds, e.seconds, 1e-9) << "event " << i;
    EXPECT_EQ(got.status, e.status) << "event " << i;
    EXPECT_EQ(got.data1, e.data1) << "event " << i;
    EXPECT_EQ(got.data2, e.data2) << "event " << i;
    ++i;
  }
}

TEST(MidiFile, FormatZeroAtTheDefaultTempo) {
  // 480 ticks per quarter at 120 beats per minute: 960 ticks per second.
  const Bytes file = Smf(0, 480, {TrackBuilder().Event(0, {0x90, 60, 100}).Event(480, {0x80, 60, 64}).End(960)});
  const MidiSong song = ParseOrFail(file);
  EXPECT_EQ(song.format, 0);
  ExpectEvents(song, {{0.0, 0x90, 60, 100}, {0.5, 0x80, 60, 64}});
  EXPECT_NEAR(song.lengthSeconds, 1.5, 1e-9);  // the end-of-track marker counts
  EXPECT_DOUBLE_EQ(song.TempoAt(0.7), 120.0);
}

TEST(MidiFile, TempoChangesMoveLaterEvents) {
  // A quarter at 120 bpm (0.5 s), then 240 bpm: the next quarter lasts 0.25 s, then 60 bpm: 1 s.
  const Bytes file = Smf(0, 480,
                         {TrackBuilder()
                              .Tempo(0, 500000)
                              .Event(0, {0x90, 60, 100})
                              .Tempo(480, 250000)
                              .Event(0, {0x90, 62, 100})
                              .Tempo(480, 1000000)
                              .Event(0, {0x90, 64, 100})
                              .Event(480, {0x80, 64, 0})
                              .End()});
  const MidiSong song = ParseOrFail(file);
  ExpectEvents(song, {{0.0, 0x90, 60, 100}, {0.5, 0x90, 62, 100}, {0.75, 0x90, 64, 100}, {1.75, 0x80, 64, 0}});
  EXPECT_DOUBLE_EQ(song.TempoAt(0.6), 240.0);
  EXPECT_DOUBLE_EQ(song.TempoAt(1.0), 60.0);
  EXPECT_NEAR(song.QuarterNotesAt(1.25), 2.5, 1e-9);
}

TEST(MidiFile, RunningStatusAndVelocityZeroNoteOn) {
  // Running status carries 0x91 over two more notes; a note-on of velocity 0 arrives as a note-off.
  const Bytes file = Smf(0, 96,
                         {TrackBuilder()
                              .Event(0, {0x91, 60, 90})
                              .Event(0, {64, 91})
                              .Event(48, {60, 0})
                              .Event(0, {0xC1, 5})
                              .Event(0, {7})
                              .End()});
  const MidiSong song = ParseOrFail(file);
  ExpectEvents(song, {{0.0, 0x91, 60, 90}, {0.0, 0x91, 64, 91}, {0.25, 0x81, 60, 0}, {0.25, 0xC1, 5, 0},
                      {0.25, 0xC1, 7, 0}});
}

TEST(MidiFile, FormatOneTracksMergeInTimeOrderWithTheSharedTempoMap) {
  // Track 1 holds the tempo map (60 bpm from tick 96); tracks 2 and 3 interleave their notes.
  const Bytes file = Smf(1, 96,
                         {TrackBuilder().Tempo(96, 1000000).End(),
                          TrackBuilder().Event(0, {0x90, 48, 80}).Event(192, {0x80, 48, 0}).End(),
                          TrackBuilder().Event(96, {0x91, 72, 80}).Event(48, {0x81, 72, 0}).End()});
  const MidiSong song = ParseOrFail(file);
  EXPECT_EQ(song.trackCount, 3);
  // Tick 96 = 0.5 s; afterwards 96 ticks per second: tick 144 = 1.0 s, tick 192 = 1.5 s.
  ExpectEvents(song, {{0.0, 0x90, 48, 80}, {0.5, 0x91, 72, 80}, {1.0, 0x81, 72, 0}, {1.5, 0x80, 48, 0}});
}

TEST(MidiFile, EqualTimesKeepTrackOrderThenFileOrder) {
  const Bytes file = Smf(1, 96,
                         {TrackBuilder().Event(10, {0x92, 1, 1}).Event(0, {0x92, 2, 1}).End(),
                          TrackBuilder().Event(10, {0x90, 3, 1}).End(),
                          TrackBuilder().Event(5, {0x91, 4, 1}).Event(5, {0x91, 5, 1}).End()});
  const MidiSong song = ParseOrFail(file);
  ASSERT_EQ(song.events.size(), 5u);
  const uint8_t keys[] = {4, 1, 2, 3, 5};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(song.events[i].data1, keys[i]) << i;
}

TEST(MidiFile, SkipsSysexMetaTextAndForeignChunks) {
  TrackBuilder track;
  track.Event(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})  // system exclusive, 5 bytes
      .Event(0, {0xF7, 0x02, 0x01, 0xF7})                     // escaped sysex continuation
      .Event(0, {0xFF, 0x03, 0x04, 'L', 'e', 'a', 'd'})      // track name
      .Event(0, {0xFF, 0x58, 0x04, 3, 2, 24, 8})             // 3/4
      .Event(192, {0x90, 60, 100})
      .End()
      .Raw({0x00, 0x90, 61, 100});  // after the end of track: ignored
  Bytes file = Header(0, 1, 96);
  AppendChunk(file, "XFIH", Bytes{1, 2, 3});  // not a track chunk
  AppendChunk(file, "MTrk", track.Body());
  const MidiSong song = ParseOrFail(file);
  ExpectEvents(song, {{1.0, 0x90, 60, 100}});
  EXPECT_EQ(song.TimeSignatureAt(0.5).numerator, 3);
  EXPECT_EQ(song.TimeSignatureAt(0.5).denominator, 4);
}

TEST(MidiFile, VariableLengthQuantitiesUpToFourBytes) {
  // 0x0FFFFFFF ticks, the largest delta, at 1000 ticks per second (SMPTE 25 fps x 40 ticks).
  const uint16_t smpte = static_cast<uint16_t>((static_cast<uint8_t>(-25) << 8) | 40);
  const Bytes file = Smf(0, smpte, {TrackBuilder().Event(128, {0x90, 60, 1}).Event(0x0FFFFFFF, {0x80, 60, 0}).End()});
  const MidiSong song = ParseOrFail(file);
  ExpectEvents(song, {{0.128, 0x90, 60, 1}, {0.128 + 0x0FFFFFFF / 1000.0, 0x80, 60, 0}});
}

// Inputs that must be refused with a message naming the fault.
struct BadInput {
  const char* name;
  Bytes bytes;
  const char* message;
};

Bytes TrackFile(std::initializer_list<uint8_t> body) {
  Bytes file = Header(0, 1, 96);
  AppendChunk(file, "MTrk", Bytes(body));
  return file;
}

TEST(MidiFile, BadInputIsRefusedWithAMessage) {
  Bytes claimsTooMuch = Header(0, 1, 96);
  Append(claimsTooMuch, {'M', 'T', 'r', 'k', 0x00, 0x00, 0x10, 0x00, 0x00, 0x90, 60, 100});
  Bytes hugeLength = Header(0, 1, 96);
  Append(hugeLength, {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x2F, 0x00});
  Bytes hugeHeader = {'M', 'T', 'h', 'd', 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 1, 0, 96};
  Bytes missingTrack = Header(1, 2, 96);
  AppendChunk(missingTrack, "MTrk", TrackBuilder().End().Body());

  const BadInput cases[] = {
      {"empty", {}, "empty"},
      {"wrong magic", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, "MThd"},
      {"short header", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}, "truncated"},
      {"huge header length", hugeHeader, "truncated"},
      {"format 2", Header(2, 1, 96), "format 2"},
      {"format 0 with 2 tracks", Header(0, 2, 96), "2 tracks"},
      {"division 0", Header(0, 1, 0), "division"},
      {"no tracks follow the header", Header(0, 1, 96), "0 of 1 tracks"},
      {"track claims more bytes than remain", claimsTooMuch, "truncated"},
      {"track length 0xFFFFFFFF", hugeLength, "truncated"},
      {"second track missing", missingTrack, "1 of 2 tracks"},
      {"note cut off", TrackFile({0x00, 0x90, 60}), "inside a channel message"},
      {"delta without event", TrackFile({0x00, 0x90, 60, 1, 0x10}), "after a delta time"},
      {"data byte without status", TrackFile({0x00, 60, 100}), "without a preceding status"},
      {"status byte inside a message", TrackFile({0x00, 0x90, 60, 0x80}), "status byte where"},
      {"five-byte delta", TrackFile({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1}), "longer than 4 bytes"},
      {"tempo with two bytes", TrackFile({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), "length other than 3"},
      {"tempo of zero", TrackFile({0x00, 0xFF, 0x51, 0x03, 0, 0, 0}), "tempo of 0"},
      {"meta past the end", TrackFile({0x00, 0xFF, 0x01, 0x40, 'a'}), "past the end"},
      {"sysex past the end", TrackFile({0x00, 0xF0, 0x7F, 0x01}), "past the end"},
      {"realtime byte in a track", TrackFile({0x00, 0xF8}), "0xF8"},
  };
  for (const BadInput& c : cases) {
    MidiSong song;
    std::string error;
    EXPECT_FALSE(MidiFileReader::Parse(c.bytes.data(), c.bytes.size(), song, error)) << c.name;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": \"" << error << "\"";
  }
}

TEST(MidiFile, EveryTruncationOfAValidFileIsHandled) {
  const Bytes file = Smf(1, 480,
                         {TrackBuilder().Tempo(0, 400000).Event(0, {0xFF, 0x58, 0x04, 4, 2, 24, 8}).End(1920),
                          TrackBuilder()
                              .Event(0, {0xF0, 0x03, 0x43, 0x10, 0xF7})
                              .Event(0, {0x90, 60, 100})
                              .Event(240, {62, 100})
                              .Event(200000, {0xE0, 0x00, 0x40})
                              .End()});
  MidiSong song;
  std::string error;
  ASSERT_TRUE(MidiFileReader::Parse(file.data(), file.size(), song, error)) << error;
  // Every proper prefix cuts a chunk short and must be refused, reading nothing past its end
  // (the sanitizer build checks the reads). The prefix is copied so that its end is the buffer's.
  for (size_t size = 0; size < file.size(); ++size) {
    const Bytes prefix(file.begin(), file.begin() + static_cast<long>(size));
    error.clear();
    EXPECT_FALSE(MidiFileReader::Parse(prefix.data(), prefix.size(), song, error)) << size;
    EXPECT_FALSE(error.empty()) << size;
  }
}

TEST(MidiFile, LoadReportsAMissingFileAndReadsARealOne) {
  MidiSong song;
  std::string error;
  EXPECT_FALSE(MidiFileReader::Load("/nonexistent/song.mid", song, error));
  EXPECT_NE(error.find("cannot open /nonexistent/song.mid"), std::string::npos) << error;

  const Bytes file = Smf(0, 96, {TrackBuilder().Event(96, {0x90, 60, 100}).End()});
  const std::string path = ::testing::TempDir() + "load_test.mid";
  FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  ASSERT_TRUE(MidiFileReader::Load(path, song, error)) << error;
  ExpectEvents(song, {{0.5, 0x90, 60, 100}});
  std::remove(path.c_str());
}

}  // namespace
