// Builds Standard MIDI File bytes by hand for the tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, std::initializer_list<uint8_t> bytes) { out.insert(out.end(), bytes); }

inline void AppendBigEndian(Bytes& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Variable-length quantity, most significant group first.
inline void AppendVlq(Bytes& out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value);
  while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

// The body of one track: events appended with their delta times.
class TrackBuilder {
 public:
  TrackBuilder& Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    AppendVlq(body_, delta);
    Append(body_, bytes);
    return *this;
  }
  TrackBuilder& Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
    AppendVlq(body_, delta);
    Append(body_, {0xFF, 0x51, 0x03});
    AppendBigEndian(body_, microsecondsPerQuarter, 3);
    return *this;
  }
  TrackBuilder& End(uint32_t delta = 0) { return Event(delta, {0xFF, 0x2F, 0x00}); }
  TrackBuilder& Raw(std::initializer_list<uint8_t> bytes) {
    Append(body_, bytes);
    return *this;
  }
  const Bytes& Body() const { return body_; }

 private:
  Bytes body_;
};

inline Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  AppendBigEndian(out, format, 2);
  AppendBigEndian(out, tracks, 2);
  AppendBigEndian(out, division, 2);
  return out;
}

inline void AppendChunk(Bytes& out, const char* tag, const Bytes& body) {
  out.insert(out.end(), tag, tag + 4);
  AppendBigEndian(out, static_cast<uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
}

inline Bytes Smf(uint16_t format, uint16_t division, std::initializer_list<TrackBuilder> tracks) {
  Bytes out = Header(format, static_cast<uint16_t>(tracks.size()), division);
  for (const TrackBuilder& track : tracks) AppendChunk(out, "MTrk", track.Body());
  return out;
}
