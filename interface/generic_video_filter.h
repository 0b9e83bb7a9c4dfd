// Base for filters with one source clip: everything passes through to the child.
#pragma once

#include "environment.h"

class GenericVideoFilter : public IClip {
 public:
  explicit GenericVideoFilter(const PClip& source) : child(source), vi(source->GetVideoInfo()) {}

  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override { return child->GetFrame(n, env); }
  bool GetParity(int n) override { return child->GetParity(n); }
  void GetAudio(void* buffer, int64_t start, int64_t count, IScriptEnvironment* env) override {
    child->GetAudio(buffer, start, count, env);
  }
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi; }

 protected:
  PClip child;
  VideoInfo vi;
};
