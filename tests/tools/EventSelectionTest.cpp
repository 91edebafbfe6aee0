#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/render/EventSelection.h"

namespace {

MidiFileEvent At(double seconds, uint8_t status, uint8_t data1, uint8_t data2) {
  MidiFileEvent event;
  event.seconds = seconds;
  event.status = status;
  event.data1 = data1;
  event.data2 = data2;
  return event;
}

std::string Describe(const std::vector<MidiFileEvent>& events) {
  std::string text;
  char item[48];
  for (const MidiFileEvent& e : events) {
    std::snprintf(item, sizeof(item), "%.2f %02X %d %d; ", e.seconds, e.status, e.data1, e.data2);
    text += item;
  }
  return text;
}

TEST(EventSelection, ChannelsProgramChangesAndReleasesAtTheEnd) {
  // Channel 1: a program change, key 60 played and released, key 64 struck twice and never released
  // under a held pedal; channel 10: a drum hit left on; channel 2: a key left on.
  MidiSong song;
  song.lengthSeconds = 4.0;
  song.events = {At(0.0, 0xC0, 17, 0), At(0.0, 0x90, 60, 100), At(0.5, 0x80, 60, 0), At(1.0, 0xB0, 64, 127),
                 At(1.0, 0x90, 64, 90), At(1.5, 0x90, 64, 90),  At(2.0, 0x99, 36, 100), At(2.5, 0x91, 48, 80)};
  struct Case {
    const char* name;
    EventSelection selection;
    std::string expected;
  };
  const Case cases[] = {
      {"all but the drums, program changes ignored",
       {0xFDFF, false},
       "0.00 90 60 100; 0.50 80 60 0; 1.00 B0 64 127; 1.00 90 64 90; 1.50 90 64 90; 2.50 91 48 80; "
       "4.00 B0 64 0; 4.00 80 64 0; 4.00 80 64 0; 4.00 81 48 0; "},
      {"every channel, program changes followed",
       {0xFFFF, true},
       "0.00 C0 17 0; 0.00 90 60 100; 0.50 80 60 0; 1.00 B0 64 127; 1.00 90 64 90; 1.50 90 64 90; "
       "2.00 99 36 100; 2.50 91 48 80; "
       "4.00 B0 64 0; 4.00 80 64 0; 4.00 80 64 0; 4.00 81 48 0; 4.00 89 36 0; "},
      {"channel 1 only", {0x0001, true},
       "0.00 C0 17 0; 0.00 90 60 100; 0.50 80 60 0; 1.00 B0 64 127; 1.00 90 64 90; 1.50 90 64 90; "
       "4.00 B0 64 0; 4.00 80 64 0; 4.00 80 64 0; "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(SelectEvents(song, c.selection)), c.expected) << c.name;
  }
}

}  // namespace
