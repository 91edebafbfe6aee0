#include "tools/render/EventSelection.h"

#include <array>

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kSustainPedal = 64;

// Keys down (a count per key, for repeated note-ons) and pedals down, per channel.
class HeldNotes {
 public:
  void Track(const MidiFileEvent& event) {
    const int channel = event.status & 0x0F;
    const uint8_t kind = event.status & 0xF0;
    int& count = keys_[channel][event.data1 & 0x7F];
    if (kind == kNoteOn) ++count;
    if (kind == kNoteOff && count > 0) --count;
    if (kind == kControlChange && event.data1 == kSustainPedal) pedal_[channel] = event.data2 >= 64;
  }

  void ReleaseAll(const MidiFileEvent& at, std::vector<MidiFileEvent>& out) const {
    for (int channel = 0; channel < 16; ++channel) {
      if (pedal_[channel]) out.push_back(Message(at, kControlChange | channel, kSustainPedal));
      for (int key = 0; key < 128; ++key) {
        for (int i = 0; i < keys_[channel][key]; ++i) out.push_back(Message(at, kNoteOff | channel, key));
      }
    }
  }

 private:
  static MidiFileEvent Message(const MidiFileEvent& at, int status, int data1) {
    MidiFileEvent event = at;
    event.status = static_cast<uint8_t>(status);
    event.data1 = static_cast<uint8_t>(data1);
    event.data2 = 0;
    return event;
  }

  std::array<std::array<int, 128>, 16> keys_{};
  std::array<bool, 16> pedal_{};
};

}  // namespace

std::vector<MidiFileEvent> SelectEvents(const MidiSong& song, const EventSelection& selection) {
  std::vector<MidiFileEvent> out;
  out.reserve(song.events.size());
  HeldNotes held;
  for (const MidiFileEvent& event : song.events) {
    if (!(selection.channels & (1u << (event.status & 0x0F)))) continue;
    if ((event.status & 0xF0) == kProgramChange && !selection.programChanges) continue;
    held.Track(event);
    out.push_back(event);
  }
  MidiFileEvent end;  // the renderer times events by their seconds
  end.seconds = song.lengthSeconds;
  end.tick = song.events.empty() ? 0 : song.events.back().tick;
  held.ReleaseAll(end, out);
  return out;
}
