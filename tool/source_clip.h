// The clip the filters read from: it serves the frames that the tool has read from the
// input and placed in it, to any number of filters on any threads.
#pragma once

#include <map>
#include <mutex>

#include "host.h"

class SourceClip : public IClip {
 public:
  explicit SourceClip(const VideoInfo& vi) : vi_(vi) {}

  void Put(int n, const PVideoFrame& frame);
  // Frame n is no longer needed.
  void Drop(int n);

  // Frame n as placed; asking for a frame not held is an error of the tool's scheduling.
  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override;
  bool GetParity(int) override { return false; }
  // The tool carries audio outside the filters, so the clip has none to give.
  void GetAudio(void*, int64_t, int64_t, IScriptEnvironment*) override {}
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi_; }

 private:
  const VideoInfo vi_;
  std::mutex mutex_;
  std::map<int, PVideoFrame> frames_;
};
