// A source clip of the test host: frame n is a picture drawn from (seed, n), in a frame
// whose pitch exceeds its row, with filler between row and pitch that no filter may use.
#pragma once

#include <stdint.h>

#include "test_environment.h"

class SourceClip : public IClip {
 public:
  // `deletions` counts this clip's destruction, so a test can tell when it happened.
  SourceClip(TestEnvironment* env, const VideoInfo& vi, uint64_t seed, int* deletions)
      : env_(env), vi_(vi), seed_(seed), deletions_(deletions) {}
  ~SourceClip() override { ++*deletions_; }

  // Asking for this frame raises an error through the environment, as a broken source does.
  void FailAtFrame(int n) { failing_frame_ = n; }
  int BytesPerPixel() const { return vi_.pixel_type == kPixelRgb24 ? 3 : 4; }
  // Frame n's picture, packed: rows of width · bytes-per-pixel bytes.
  void Picture(int n, uint8_t* packed) const;

  int HOSTCALL GetVersion() override { return 2; }
  PVideoFrame HOSTCALL GetFrame(int n, IScriptEnvironment* env) override;
  bool HOSTCALL GetParity(int n) override { return n % 2 != 0; }
  void HOSTCALL GetAudio(void*, int64_t, int64_t, IScriptEnvironment*) override {}
  int HOSTCALL SetCacheHints(int, int) override { return 0; }
  const VideoInfo& HOSTCALL GetVideoInfo() override { return vi_; }

 private:
  TestEnvironment* env_;
  VideoInfo vi_;
  uint64_t seed_;
  int* deletions_;
  int failing_frame_ = -1;
};
