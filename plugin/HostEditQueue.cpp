#include "plugin/HostEditQueue.h"

HostEditQueue::HostEditQueue() { mEdits.reserve(kCapacity); }

void HostEditQueue::Begin(int index) {
  std::lock_guard<std::mutex> hold(mMutex);
  mEdits.push_back({kBegin, index, 0.0});
}

void HostEditQueue::Value(int index, double normalized) {
  std::lock_guard<std::mutex> hold(mMutex);
  for (size_t i = mEdits.size(); i-- > 0;) {
    Edit& edit = mEdits[i];
    if (edit.index != index) continue;
    if (edit.kind == kValue) {
      edit.value = normalized;
      return;
    }
    break;  // a begin or end of this parameter: the value comes after it
  }
  if (mEdits.size() < kCapacity) mEdits.push_back({kValue, index, normalized});
}

void HostEditQueue::End(int index) {
  std::lock_guard<std::mutex> hold(mMutex);
  mEdits.push_back({kEnd, index, 0.0});
}

void HostEditQueue::DisplayChanged() {
  std::lock_guard<std::mutex> hold(mMutex);
  mDisplayChanged = true;
}

void HostEditQueue::WindowResized() {
  std::lock_guard<std::mutex> hold(mMutex);
  mWindowResized = true;
}

void HostEditQueue::TakeAll(std::vector<Edit>& edits) {
  edits.clear();
  if (edits.capacity() < kCapacity) edits.reserve(kCapacity);
  bool display = false;
  bool resized = false;
  {
    std::lock_guard<std::mutex> hold(mMutex);
    mEdits.swap(edits);
    display = mDisplayChanged;
    resized = mWindowResized;
    mDisplayChanged = false;
    mWindowResized = false;
  }
  if (display) edits.push_back({kDisplay, -1, 0.0});
  if (resized) edits.push_back({kResize, -1, 0.0});
}

bool HostEditQueue::Empty() const {
  std::lock_guard<std::mutex> hold(mMutex);
  return mEdits.empty() && !mDisplayChanged && !mWindowResized;
}
