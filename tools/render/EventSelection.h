// Chooses what of a song reaches the instrument: the channels asked for, program changes only when
// they are followed, and a release at the song's end for every key and sustain pedal still held, so
// that the tail carries the releases instead of notes that never end.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/render/MidiFile.h"

struct EventSelection {
  uint16_t channels = 0xFFFF;  // bit n: MIDI channel n + 1
  bool programChanges = true;
};

// The events to play, in time order; the releases come at song.lengthSeconds.
std::vector<MidiFileEvent> SelectEvents(const MidiSong& song, const EventSelection& selection);
