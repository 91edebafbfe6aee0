// Edits made in the editor, kept per parameter until the UI passes them on to the host: gesture begins
// and ends are counted and a changed value is flagged. Lock-free, so any thread may report (the editor's
// own, the host's GUI thread, the audio thread for mapped MIDI controllers) and none ever waits.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class EditGestures {
 public:
  explicit EditGestures(int count)
      : mCount(count), mSlots(std::make_unique<Slot[]>(static_cast<size_t>(count))) {}

  void Begin(int index) {
    if (Valid(index)) mSlots[index].begins.fetch_add(1, std::memory_order_release);
  }
  void Changed(int index) {
    if (Valid(index)) mSlots[index].changed.store(true, std::memory_order_release);
  }
  void End(int index) {
    if (Valid(index)) mSlots[index].ends.fetch_add(1, std::memory_order_release);
  }

  // What happened to one parameter since the last call for it.
  struct Pending {
    bool begun = false;
    bool changed = false;
    bool ended = false;
  };
  // Called by one reader (the UI); seen counts are kept per parameter.
  Pending Take(int index) {
    Pending p;
    if (!Valid(index)) return p;
    Slot& s = mSlots[index];
    // Ends are read before the value flag, begins after it, so that a value always lies within the
    // begin and end the reader passes on with it.
    const uint32_t ends = s.ends.load(std::memory_order_acquire);
    p.changed = s.changed.exchange(false, std::memory_order_acq_rel);
    const uint32_t begins = s.begins.load(std::memory_order_acquire);
    p.begun = begins != s.seenBegins;
    p.ended = ends != s.seenEnds;
    s.seenBegins = begins;
    s.seenEnds = ends;
    return p;
  }
  int Count() const { return mCount; }

 private:
  struct Slot {
    std::atomic<uint32_t> begins{0};
    std::atomic<uint32_t> ends{0};
    std::atomic<bool> changed{false};
    uint32_t seenBegins = 0;
    uint32_t seenEnds = 0;
  };
  bool Valid(int index) const { return index >= 0 && index < mCount; }

  int mCount;
  std::unique_ptr<Slot[]> mSlots;
};
