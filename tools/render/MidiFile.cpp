#include "tools/render/MidiFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Bounds-checked cursor over the file's bytes. Every read fails instead of passing the end.
class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t Position() const { return position_; }
  size_t Remaining() const { return size_ - position_; }
  bool AtEnd() const { return position_ >= size_; }

  bool Byte(uint8_t& out) {
    if (position_ >= size_) return false;
    out = data_[position_++];
    return true;
  }
  bool Peek(uint8_t& out) const {
    if (position_ >= size_) return false;
    out = data_[position_];
    return true;
  }
  bool BigEndian(int bytes, uint32_t& out) {
    if (Remaining() < static_cast<size_t>(bytes)) return false;
    out = 0;
    for (int i = 0; i < bytes; ++i) out = (out << 8) | data_[position_++];
    return true;
  }
  // Variable-length quantity: 7 bits per byte, high bit set on all but the last; at most 4 bytes.
  bool VariableLength(uint32_t& out, bool& tooLong) {
    out = 0;
    tooLong = false;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(b)) return false;
      out = (out << 7) | (b & 0x7Fu);
      if (!(b & 0x80u)) return true;
    }
    tooLong = true;
    return false;
  }
  bool Skip(size_t bytes) {
    if (Remaining() < bytes) return false;
    position_ += bytes;
    return true;
  }
  bool Tag(char out[5]) {
    if (Remaining() < 4) return false;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(data_[position_++]);
    out[4] = 0;
    return true;
  }
  const uint8_t* Here() const { return data_ + position_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

struct TrackEvent {
  uint64_t tick;
  int track;
  size_t order;
  MidiFileEvent event;
};

struct RawTempo {
  uint64_t tick;
  int track;
  size_t order;
  uint32_t microsecondsPerQuarter;
};

struct RawTimeSignature {
  uint64_t tick;
  int numerator;
  int denominator;
};

std::string At(size_t offset, const std::string& what) {
  char prefix[48];
  std::snprintf(prefix, sizeof(prefix), "at byte %zu: ", offset);
  return prefix + what;
}

// Data bytes of a channel message by its status high nibble.
int DataBytes(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// Everything collected from the track chunks before the merge.
struct Collected {
  std::vector<TrackEvent> events;
  std::vector<RawTempo> tempos;
  std::vector<RawTimeSignature> signatures;
  uint64_t lastTick = 0;
};

// Reads the events of one track chunk; `base` is the chunk's offset in the file, for messages.
bool ReadTrack(const uint8_t* data, size_t size, size_t base, int track, Collected& out, std::string& error) {
  ByteCursor cursor(data, size);
  uint64_t tick = 0;
  uint8_t runningStatus = 0;
  size_t order = 0;
  auto fail = [&](const std::string& what) {
    char where[32];
    std::snprintf(where, sizeof(where), "track %d, ", track + 1);
    error = where + At(base + cursor.Position(), what);
    return false;
  };

  while (!cursor.AtEnd()) {
    uint32_t delta;
    bool tooLong;
    if (!cursor.VariableLength(delta, tooLong)) {
      return fail(tooLong ? "delta time longer than 4 bytes" : "track ends inside a delta time");
    }
    tick += delta;
    out.lastTick = std::max(out.lastTick, tick);

    uint8_t first;
    if (!cursor.Peek(first)) return fail("track ends after a delta time, before its event");
    uint8_t status;
    if (first & 0x80u) {
      cursor.Byte(status);
    } else {
      if (!runningStatus) return fail("data byte without a preceding status byte");
      status = runningStatus;
    }

    if (status == 0xFF) {
      runningStatus = 0;  // meta and system exclusive events cancel running status
      uint8_t type;
      uint32_t length;
      if (!cursor.Byte(type)) return fail("track ends inside a meta event");
      if (!cursor.VariableLength(length, tooLong)) {
        return fail(tooLong ? "meta event length longer than 4 bytes" : "track ends inside a meta event");
      }
      if (cursor.Remaining() < length) return fail("meta event runs past the end of its track");
      const uint8_t* payload = cursor.Here();
      cursor.Skip(length);
      if (type == 0x2F) return true;  // end of track: whatever follows in the chunk is ignored
      if (type == 0x51) {
        if (length != 3) return fail("tempo event with a length other than 3");
        const uint32_t us = (uint32_t(payload[0]) << 16) | (uint32_t(payload[1]) << 8) | payload[2];
        if (us == 0) return fail("tempo of 0 microseconds per quarter note");
        out.tempos.push_back({tick, track, order++, us});
      } else if (type == 0x58 && length >= 2) {
        if (payload[0] > 0 && payload[1] < 8) out.signatures.push_back({tick, payload[0], 1 << payload[1]});
      }
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      runningStatus = 0;
      uint32_t length;
      if (!cursor.VariableLength(length, tooLong)) {
        return fail(tooLong ? "system exclusive length longer than 4 bytes"
                            : "track ends inside a system exclusive event");
      }
      if (!cursor.Skip(length)) return fail("system exclusive event runs past the end of its track");
      continue;
    }
    if (status >= 0xF0) {
      char what[64];
      std::snprintf(what, sizeof(what), "status byte 0x%02X is not allowed in a MIDI file", status);
      return fail(what);
    }

    runningStatus = status;
    uint8_t bytes[2] = {0, 0};
    for (int i = 0; i < DataBytes(status); ++i) {
      if (!cursor.Byte(bytes[i])) return fail("track ends inside a channel message");
      if (bytes[i] & 0x80u) return fail("status byte where a data byte was expected");
    }
    if (out.events.size() >= MidiFileReader::kMaxEvents) return fail("too many events");
    MidiFileEvent event;
    event.tick = tick;
    event.status = status;
    event.data1 = bytes[0];
    event.data2 = bytes[1];
    if ((status & 0xF0) == 0x90 && bytes[1] == 0) event.status = static_cast<uint8_t>(0x80 | (status & 0x0F));
    out.events.push_back({tick, track, order++, event});
  }
  // A track without an end-of-track event is accepted when it ends on an event boundary.
  return true;
}

// Seconds per tick for a tempo (microseconds per quarter) under the header's division.
double SecondsPerTick(int division, uint32_t microsecondsPerQuarter) {
  if (division > 0) return microsecondsPerQuarter / 1e6 / division;
  // SMPTE: the high byte is minus the frames per second (29 means 29.97), the low byte ticks per frame.
  const int framesCode = -static_cast<int8_t>(static_cast<uint8_t>((division >> 8) & 0xFF));
  const int ticksPerFrame = division & 0xFF;
  const double framesPerSecond = framesCode == 29 ? 29.97 : framesCode;
  return 1.0 / (framesPerSecond * ticksPerFrame);
}

}  // namespace

double MidiSong::TempoAt(double seconds) const {
  double bpm = 120.0;
  for (const TempoChange& change : tempos) {
    if (change.seconds > seconds) break;
    bpm = change.BeatsPerMinute();
  }
  return bpm;
}

const TimeSignatureChange& MidiSong::TimeSignatureAt(double seconds) const {
  static const TimeSignatureChange kCommon;
  const TimeSignatureChange* current = &kCommon;
  for (const TimeSignatureChange& change : timeSignatures) {
    if (change.seconds > seconds) break;
    current = &change;
  }
  return *current;
}

double MidiSong::QuarterNotesAt(double seconds) const {
  double quarters = 0.0;
  double from = 0.0;
  double bpm = 120.0;
  for (const TempoChange& change : tempos) {
    if (change.seconds > seconds) break;
    quarters += (change.seconds - from) * bpm / 60.0;
    from = change.seconds;
    bpm = change.BeatsPerMinute();
  }
  return quarters + (seconds - from) * bpm / 60.0;
}

bool MidiFileReader::Parse(const uint8_t* data, size_t size, MidiSong& song, std::string& error) {
  song = MidiSong();
  if (!data || size == 0) {
    error = "the file is empty";
    return false;
  }
  if (size > kMaxFileBytes) {
    error = "the file is too large for a MIDI file";
    return false;
  }
  ByteCursor cursor(data, size);
  char tag[5];
  uint32_t headerLength = 0;
  if (!cursor.Tag(tag) || std::string(tag) != "MThd") {
    error = "not a Standard MIDI File (no MThd header)";
    return false;
  }
  uint32_t format, tracks, division;
  if (!cursor.BigEndian(4, headerLength) || headerLength < 6 || !cursor.BigEndian(2, format) ||
      !cursor.BigEndian(2, tracks) || !cursor.BigEndian(2, division) || !cursor.Skip(headerLength - 6)) {
    error = "the MThd header is truncated or too short";
    return false;
  }
  if (format > 1) {
    error = format == 2 ? "MIDI file format 2 (independent sequences) is not supported"
                        : "unknown MIDI file format " + std::to_string(format);
    return false;
  }
  if (tracks == 0 || (format == 0 && tracks != 1)) {
    error = "format " + std::to_string(format) + " with " + std::to_string(tracks) + " tracks";
    return false;
  }
  song.format = static_cast<int>(format);
  song.trackCount = static_cast<int>(tracks);
  song.division = static_cast<int16_t>(division);
  if (song.division == 0 || (song.division < 0 && (division & 0xFF) == 0)) {
    error = "the header's time division is 0";
    return false;
  }
  if (song.division < 0) {
    const int fps = -static_cast<int8_t>(static_cast<uint8_t>((division >> 8) & 0xFF));
    if (fps != 24 && fps != 25 && fps != 29 && fps != 30) {
      error = "unknown SMPTE frame rate " + std::to_string(fps);
      return false;
    }
  }

  Collected collected;
  int found = 0;
  while (found < song.trackCount) {
    if (cursor.AtEnd()) {
      error = "the file ends after " + std::to_string(found) + " of " + std::to_string(song.trackCount) + " tracks";
      return false;
    }
    const size_t chunkStart = cursor.Position();
    uint32_t length;
    if (!cursor.Tag(tag) || !cursor.BigEndian(4, length)) {
      error = At(chunkStart, "truncated chunk header");
      return false;
    }
    if (length > cursor.Remaining()) {
      error = At(chunkStart, std::string("chunk ") + tag + " claims " + std::to_string(length) + " bytes but only " +
                                 std::to_string(cursor.Remaining()) + " remain (truncated file)");
      return false;
    }
    const size_t body = cursor.Position();
    cursor.Skip(length);
    if (std::string(tag) != "MTrk") continue;  // other chunk types are skipped
    if (!ReadTrack(data + body, length, body, found, collected, error)) return false;
    ++found;
  }

  // The tempo map: tempo changes of every track, in time order (track 0 carries them in format 1).
  std::stable_sort(collected.tempos.begin(), collected.tempos.end(), [](const RawTempo& a, const RawTempo& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    if (a.track != b.track) return a.track < b.track;
    return a.order < b.order;
  });
  std::vector<TempoChange>& map = song.tempos;
  map.push_back(TempoChange());
  for (const RawTempo& raw : collected.tempos) {
    if (raw.tick == map.back().tick) {
      map.back().microsecondsPerQuarter = raw.microsecondsPerQuarter;
    } else {
      TempoChange change;
      change.tick = raw.tick;
      change.microsecondsPerQuarter = raw.microsecondsPerQuarter;
      map.push_back(change);
    }
  }
  for (size_t i = 1; i < map.size(); ++i) {
    map[i].seconds = map[i - 1].seconds + static_cast<double>(map[i].tick - map[i - 1].tick) *
                                              SecondsPerTick(song.division, map[i - 1].microsecondsPerQuarter);
  }
  auto secondsAt = [&](uint64_t tick) {
    auto next = std::upper_bound(map.begin(), map.end(), tick,
                                 [](uint64_t t, const TempoChange& change) { return t < change.tick; });
    const TempoChange& segment = *(next - 1);
    return segment.seconds + static_cast<double>(tick - segment.tick) *
                                 SecondsPerTick(song.division, segment.microsecondsPerQuarter);
  };

  std::stable_sort(collected.events.begin(), collected.events.end(), [](const TrackEvent& a, const TrackEvent& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    if (a.track != b.track) return a.track < b.track;
    return a.order < b.order;
  });
  song.events.reserve(collected.events.size());
  for (TrackEvent& e : collected.events) {
    e.event.seconds = secondsAt(e.tick);
    song.events.push_back(e.event);
  }
  std::stable_sort(collected.signatures.begin(), collected.signatures.end(),
                   [](const RawTimeSignature& a, const RawTimeSignature& b) { return a.tick < b.tick; });
  for (const RawTimeSignature& raw : collected.signatures) {
    song.timeSignatures.push_back({secondsAt(raw.tick), raw.numerator, raw.denominator});
  }
  song.lengthSeconds = secondsAt(collected.lastTick);
  return true;
}

bool MidiFileReader::Load(const std::string& path, MidiSong& song, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  struct stat info;
  bool read = false;
  if (fstat(fileno(file), &info) != 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    error = path + (S_ISDIR(info.st_mode) ? " is a directory" : " is not a regular file") + ", not a MIDI file";
  } else if (static_cast<unsigned long long>(info.st_size) > kMaxFileBytes) {
    error = path + " is too large for a MIDI file (" + std::to_string(info.st_size) + " bytes)";
  } else {
    bytes.resize(static_cast<size_t>(info.st_size));
    read = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!read) error = "cannot read " + path + ": " + (std::ferror(file) ? std::strerror(errno) : "it got shorter");
  }
  std::fclose(file);
  if (!read) return false;
  if (!Parse(bytes.data(), bytes.size(), song, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}
