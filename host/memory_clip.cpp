#include "memory_clip.h"

#include <algorithm>

PVideoFrame MemoryClip::GetFrame(int n, IScriptEnvironment* env) {
  {
    const std::lock_guard<std::mutex> lock(requests_mutex_);
    frame_requests_.push_back(n);
  }
  if (frames_.empty()) env->ThrowError("MemoryClip: the clip has no frames");
  const size_t index = size_t(std::clamp(n, 0, int(frames_.size()) - 1));
  if (!frames_[index]) env->ThrowError("MemoryClip: frame %d was never set", int(index));
  return frames_[index];
}

bool MemoryClip::GetParity(int n) {
  const std::lock_guard<std::mutex> lock(requests_mutex_);
  parity_requests_.push_back(n);
  return n % 2 != 0;
}

void MemoryClip::GetAudio(void* buffer, int64_t start, int64_t count, IScriptEnvironment*) {
  {
    const std::lock_guard<std::mutex> lock(requests_mutex_);
    audio_requests_.push_back({start, count});
  }
  const int64_t bytes_per_sample = vi_.BytesPerAudioSample();
  auto* out = static_cast<uint8_t*>(buffer);
  for (int64_t i = 0; i < count * bytes_per_sample; ++i)
    out[i] = uint8_t((start * bytes_per_sample + i) % 251);
}

void MemoryClip::SetCacheHints(int, int) {
  const std::lock_guard<std::mutex> lock(requests_mutex_);
  ++cache_hint_calls_;
}
