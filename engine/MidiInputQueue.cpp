#include "engine/MidiInputQueue.h"

#include <algorithm>

MidiInputQueue::MidiInputQueue() : storage_(kGrowth), scratch_(kGrowth) {}

bool MidiInputQueue::Add(const MidiMessage& message) {
  if (count_ == Capacity()) {
    if (readIndex_ > 0) {
      Compact(0);
    } else {
      if (Capacity() >= kMaxMessages) return false;
      storage_.resize(storage_.size() + kGrowth);
      scratch_.resize(storage_.size());
    }
  }
  if (count_ > readIndex_ && message.offset < storage_[count_ - 1].offset) sorted_ = false;
  storage_[count_++] = message;
  return true;
}

void MidiInputQueue::Compact(int messages) {
  std::copy(storage_.begin() + readIndex_, storage_.begin() + count_, storage_.begin());
  count_ -= readIndex_;
  readIndex_ = 0;
  if (messages > Capacity()) {
    storage_.resize(static_cast<size_t>(messages));
    scratch_.resize(storage_.size());
  }
}

void MidiInputQueue::SubtractOffsets(int period) {
  for (int i = readIndex_; i < count_; ++i) storage_[i].offset -= period;
}

// Bottom-up stable merge sort of the unread part into the preallocated scratch buffer.
void MidiInputQueue::SortIfNeeded() {
  if (sorted_) return;
  sorted_ = true;
  const int n = count_ - readIndex_;
  MidiMessage* src = storage_.data() + readIndex_;
  MidiMessage* dst = scratch_.data();
  auto byOffset = [](const MidiMessage& a, const MidiMessage& b) { return a.offset < b.offset; };
  for (int width = 1; width < n; width *= 2) {
    for (int lo = 0; lo < n; lo += 2 * width) {
      const int mid = std::min(lo + width, n);
      const int hi = std::min(lo + 2 * width, n);
      std::merge(src + lo, src + mid, src + mid, src + hi, dst + lo, byOffset);
    }
    std::swap(src, dst);
  }
  if (src != storage_.data() + readIndex_) std::copy(src, src + n, storage_.data() + readIndex_);
}
