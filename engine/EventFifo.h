// First-in first-out ring of the messages due within the current control period.
#pragma once

#include <vector>

#include "engine/MidiMessage.h"

class EventFifo {
 public:
  EventFifo() : ring_(1024) {}
  EventFifo(const EventFifo&) = delete;
  EventFifo& operator=(const EventFifo&) = delete;

  bool Empty() const { return size_ == 0; }
  int Size() const { return size_; }
  const MidiMessage& Front() const { return ring_[head_]; }
  void PopFront() {
    head_ = (head_ + 1) % static_cast<int>(ring_.size());
    --size_;
  }
  // Grows by whole storage blocks when full; the only allocation the render path may make.
  void Push(const MidiMessage& message) {
    if (size_ == static_cast<int>(ring_.size())) Grow();
    ring_[(head_ + size_) % static_cast<int>(ring_.size())] = message;
    ++size_;
  }
  void Clear() { head_ = size_ = 0; }

 private:
  void Grow() {
    std::vector<MidiMessage> bigger(ring_.size() * 2);
    for (int i = 0; i < size_; ++i) bigger[i] = ring_[(head_ + i) % static_cast<int>(ring_.size())];
    ring_.swap(bigger);
    head_ = 0;
  }

  std::vector<MidiMessage> ring_;
  int head_ = 0;
  int size_ = 0;
};
