// Incoming MIDI of the current and coming blocks, kept in offset order (equal offsets keep
// arrival order). Messages are appended and, only when a host delivered them out of order,
// merged into place before they are read, so a flood of messages costs O(n log n), not O(n^2).
#pragma once

#include <vector>

#include "engine/MidiMessage.h"

class MidiInputQueue {
 public:
  static constexpr int kGrowth = 1024;
  // Above this many unread messages new ones are dropped, bounding memory under a flood.
  static constexpr int kMaxMessages = 1 << 20;

  MidiInputQueue();
  MidiInputQueue(const MidiInputQueue&) = delete;
  MidiInputQueue& operator=(const MidiInputQueue&) = delete;

  // Returns false when the message had to be dropped.
  bool Add(const MidiMessage& message);
  // Drops the messages already read and resizes the storage to hold at least `messages`.
  void Compact(int messages);

  bool Exhausted() const { return readIndex_ >= count_; }
  // The next unread message, in offset order.
  const MidiMessage& Front() {
    SortIfNeeded();
    return storage_[readIndex_];
  }
  void PopFront() {
    if (++readIndex_ == count_) readIndex_ = count_ = 0;  // all read: start over at the front
  }
  // Makes the remaining offsets count from the next control step.
  void SubtractOffsets(int period);
  void Clear() { readIndex_ = count_ = 0; sorted_ = true; }

  int Size() const { return count_ - readIndex_; }
  int Capacity() const { return static_cast<int>(storage_.size()); }

 private:
  void SortIfNeeded();

  std::vector<MidiMessage> storage_;
  std::vector<MidiMessage> scratch_;  // merge buffer, sized with the storage
  int count_ = 0;
  int readIndex_ = 0;
  bool sorted_ = true;
};
