// One short MIDI message with its sample offset from the start of the current host block.
#pragma once

#include <cstdint>

struct MidiMessage {
  int32_t offset = 0;  // samples from the start of the block; may be adjusted by the queues
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;

  int StatusNibble() const { return status >> 4; }
};

// A system-exclusive message; the bytes are borrowed from the host for the duration of the call.
struct SysExMessage {
  int32_t offset = 0;
  int32_t size = 0;
  const uint8_t* data = nullptr;
};
