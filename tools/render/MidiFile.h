// Standard MIDI File reader: formats 0 and 1, merged into one time-ordered list of channel
// messages with their times in seconds from the tempo map. Malformed input is refused with a
// message; nothing is read outside the given bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One channel message (0x80..0xEF) at its time. A note-on with velocity 0 is delivered as a
// note-off (0x80 on the same channel).
struct MidiFileEvent {
  double seconds = 0.0;
  uint64_t tick = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

struct TempoChange {
  uint64_t tick = 0;
  double seconds = 0.0;
  uint32_t microsecondsPerQuarter = 500000;  // 120 beats per minute
  double BeatsPerMinute() const { return 60000000.0 / microsecondsPerQuarter; }
};

struct TimeSignatureChange {
  double seconds = 0.0;
  int numerator = 4;
  int denominator = 4;
};

struct MidiSong {
  int format = 0;
  int trackCount = 0;
  int division = 0;  // ticks per quarter note, or negative for SMPTE timing (raw header value)
  std::vector<MidiFileEvent> events;           // ordered by time, then track, then file order
  std::vector<TempoChange> tempos;             // starts with the tempo at tick 0
  std::vector<TimeSignatureChange> timeSignatures;  // starts with 4/4 at 0 unless the file sets one
  double lengthSeconds = 0.0;                  // the latest event or end-of-track marker

  // Tempo and time signature in force at a time in seconds.
  double TempoAt(double seconds) const;
  const TimeSignatureChange& TimeSignatureAt(double seconds) const;
  // Quarter notes from the start to a time in seconds, following the tempo map.
  double QuarterNotesAt(double seconds) const;
};

class MidiFileReader {
 public:
  // Files larger than this are refused before they are read.
  static constexpr size_t kMaxFileBytes = 32u << 20;
  // A sanity limit on the number of events kept from one file.
  static constexpr size_t kMaxEvents = 4000000;

  // Parses the bytes of a whole file. On failure returns false and sets a message that says what is
  // wrong and where (byte offset).
  static bool Parse(const uint8_t* data, size_t size, MidiSong& song, std::string& error);
  // Reads and parses a file from disk.
  static bool Load(const std::string& path, MidiSong& song, std::string& error);
};
