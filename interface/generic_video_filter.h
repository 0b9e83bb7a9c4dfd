// Base for filters with one source clip: everything passes through to the child.
#pragma once

#include "environment.h"

class GenericVideoFilter : public IClip {
 public:
  explicit GenericVideoFilter(const PClip& source) : child(source), vi(source->GetVideoInfo()) {}

  PVideoFrame HOST_STDCALL GetFrame(int n, IScriptEnvironment* env) override {
    return child->GetFrame(n, env);
  }
  bool HOST_STDCALL GetParity(int n) override { return child->GetParity(n); }
  void HOST_STDCALL GetAudio(void* buffer, int64_t start, int64_t count,
                             IScriptEnvironment* env) override {
    child->GetAudio(buffer, start, count, env);
  }
  void HOST_STDCALL SetCacheHints(int, int) override {}
  const VideoInfo& HOST_STDCALL GetVideoInfo() override { return vi; }

 protected:
  PClip child;
  VideoInfo vi;
};
