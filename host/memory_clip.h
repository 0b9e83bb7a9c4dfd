// A clip whose frames are held in memory, each with any pitch, and which records every
// request made of it: for tests and for sources that are read whole. Filters may ask it from
// several threads at once, as a host's threads do.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "host.h"

class MemoryClip : public IClip {
 public:
  struct AudioRequest {
    int64_t start;
    int64_t count;
  };

  explicit MemoryClip(const VideoInfo& vi) : vi_(vi), frames_(size_t(std::max(vi.num_frames, 0))) {}

  // Frame n answers every request for n; requests beyond the clip get its nearest frame.
  void SetFrame(int n, const PVideoFrame& frame) { frames_.at(size_t(n)) = frame; }

  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override;
  bool GetParity(int n) override;  // odd frames report true
  // Fills the buffer with bytes that tell the sample's position: byte i is (start·B + i) mod 251.
  void GetAudio(void* buffer, int64_t start, int64_t count, IScriptEnvironment* env) override;
  void SetCacheHints(int cachehints, int frame_range) override;
  const VideoInfo& GetVideoInfo() override { return vi_; }

  const std::vector<int>& FrameRequests() const { return frame_requests_; }
  const std::vector<int>& ParityRequests() const { return parity_requests_; }
  const std::vector<AudioRequest>& AudioRequests() const { return audio_requests_; }
  int CacheHintCalls() const { return cache_hint_calls_; }

 private:
  VideoInfo vi_;
  std::vector<PVideoFrame> frames_;
  std::vector<int> frame_requests_;
  std::vector<int> parity_requests_;
  std::vector<AudioRequest> audio_requests_;
  int cache_hint_calls_ = 0;
  std::mutex requests_mutex_;  // guards the records of requests
};
