// What the plug-in has to tell its host about edits: gesture begins and ends, automated values and
// display updates. They are made on whatever thread the edit happens (the editor's own thread, the
// audio thread for mapped controllers) and often while the plug-in's lock is held, but a host expects
// them on its user-interface thread and may take locks of its own when they arrive. So they are kept
// here in order and handed over when the host's user-interface thread collects them, outside the
// plug-in's lock.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

class HostEditQueue {
 public:
  enum Kind { kBegin, kValue, kEnd, kDisplay, kResize };
  struct Edit {
    Kind kind;
    int index;
    double value;  // normalized, for kValue
  };

  // Values beyond this many pending edits are dropped (the plug-in's own state has them already);
  // gestures always fit, so that every begin meets its end.
  static constexpr size_t kCapacity = 4096;

  HostEditQueue();

  void Begin(int index);
  // A value replaces a pending value of the same parameter that no begin or end of it has followed,
  // so a drag between two collections reaches the host as one value, and never allocates.
  void Value(int index, double normalized);
  void End(int index);
  // Many display updates before the next collection are one, delivered after the edits.
  void DisplayChanged();
  // The editor's window changed size (a new display scale); delivered last, once.
  void WindowResized();

  // Everything pending, in order, into edits (emptied first); the queue is empty afterwards.
  void TakeAll(std::vector<Edit>& edits);
  bool Empty() const;

 private:
  mutable std::mutex mMutex;  // held only to add or swap, never while the host is called
  std::vector<Edit> mEdits;
  bool mDisplayChanged = false;
  bool mWindowResized = false;
};
