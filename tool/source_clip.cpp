#include "source_clip.h"

void SourceClip::Put(int n, const PVideoFrame& frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  frames_[n] = frame;
}

void SourceClip::Drop(int n) {
  PVideoFrame released;  // dropped after the lock, outside the critical section
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = frames_.find(n);
  if (found == frames_.end()) return;
  released = std::move(found->second);
  frames_.erase(found);
}

PVideoFrame SourceClip::GetFrame(int n, IScriptEnvironment* env) {
  PVideoFrame frame;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = frames_.find(n);
    if (found != frames_.end()) frame = found->second;
  }
  if (!frame) env->ThrowError("korvel: source frame %d is not available", n);
  return frame;
}
