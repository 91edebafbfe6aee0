// Any bytes as a Standard MIDI File for the renderer: no fault; refused with a message, or read into
// channel messages in time order with a tempo map that starts at tick 0.
#include <cmath>
#include <cstdint>
#include <string>

#include "tests/fuzz/FuzzCheck.h"
#include "tools/render/MidiFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MidiSong song;
  std::string error;
  if (!MidiFileReader::Parse(data, size, song, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(!song.tempos.empty() && song.tempos.front().tick == 0);
  double last = 0.0;
  for (const MidiFileEvent& event : song.events) {
    FUZZ_CHECK(event.status >= 0x80 && event.status <= 0xEF);
    FUZZ_CHECK(event.data1 < 0x80 && event.data2 < 0x80);
    FUZZ_CHECK(!((event.status & 0xF0) == 0x90 && event.data2 == 0));
    FUZZ_CHECK(std::isfinite(event.seconds) && event.seconds >= last);
    last = event.seconds;
  }
  FUZZ_CHECK(std::isfinite(song.lengthSeconds) && song.lengthSeconds >= last);
  // The tempo map answers for any time in the song.
  FUZZ_CHECK(song.TempoAt(song.lengthSeconds / 2) > 0.0);
  FUZZ_CHECK(std::isfinite(song.QuarterNotesAt(song.lengthSeconds)));
  FUZZ_CHECK(song.TimeSignatureAt(song.lengthSeconds).numerator > 0);
  return 0;
}
