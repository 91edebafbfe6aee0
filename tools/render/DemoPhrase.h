// The phrase rendered when no MIDI file is given: four held chords at 120 beats per minute.
#pragma once

#include "tools/render/MidiFile.h"

MidiSong DemoPhrase();
