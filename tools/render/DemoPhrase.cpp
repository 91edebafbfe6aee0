#include "tools/render/DemoPhrase.h"

#include <algorithm>

MidiSong DemoPhrase() {
  struct Chord {
    double start, length;  // seconds
    int keys[4];
  };
  // C major, A minor, F major, G major, one bar each at 120 beats per minute, the last held longer.
  static const Chord kChords[] = {
      {0.0, 2.0, {48, 55, 60, 64}},
      {2.0, 2.0, {45, 52, 57, 60}},
      {4.0, 2.0, {41, 48, 53, 57}},
      {6.0, 2.5, {43, 50, 55, 59}},
  };
  constexpr int kTicksPerSecond = 960;  // 480 ticks per quarter note at 120 beats per minute

  MidiSong song;
  song.format = 0;
  song.trackCount = 1;
  song.division = 480;
  song.tempos.push_back(TempoChange());
  for (const Chord& chord : kChords) {
    for (int key : chord.keys) {
      MidiFileEvent on;
      on.seconds = chord.start;
      on.tick = static_cast<uint64_t>(chord.start * kTicksPerSecond);
      on.status = 0x90;
      on.data1 = static_cast<uint8_t>(key);
      on.data2 = 100;
      MidiFileEvent off = on;
      off.seconds = chord.start + chord.length;
      off.tick = static_cast<uint64_t>(off.seconds * kTicksPerSecond);
      off.status = 0x80;
      off.data2 = 0;
      song.events.push_back(on);
      song.events.push_back(off);
    }
  }
  // Note-offs sort before the note-ons of the next chord at the same time.
  std::stable_sort(song.events.begin(), song.events.end(), [](const MidiFileEvent& a, const MidiFileEvent& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    return (a.status & 0xF0) == 0x80 && (b.status & 0xF0) == 0x90;
  });
  song.lengthSeconds = song.events.back().seconds;
  return song;
}
