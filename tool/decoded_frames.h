// Decoded frames into host frames: converted by libswscale in the colours the stream
// declares (its matrix and range), straight into the host's bottom-up rows, scaled back
// to the first frame's size should the size change mid-stream, and turned where asked.
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

#include "av_support.h"
#include "pixel_format.h"
#include "script_environment.h"

class DecodedFrameConverter {
 public:
  // Frames decoded at `width` x `height` become rgb24 or rgb32 frames, turned clockwise by
  // `turn` degrees (0, 90, 180 or 270).
  DecodedFrameConverter(int width, int height, PixelFormat format, int turn);

  PVideoFrame Convert(ScriptEnvironment& env, const AVFrame* frame);

 private:
  void Prepare(const AVFrame* frame);
  void Turn(BYTE* base, int pitch) const;

  int width_, height_;
  AVPixelFormat format_;
  int turn_;
  int pixel_bytes_;
  std::unique_ptr<SwsContext, AvFree<sws_freeContext>> context_;
  AVColorSpace colorspace_ = AVCOL_SPC_UNSPECIFIED;
  bool full_range_ = false;
  AvFramePtr turned_;  // the converted picture, top-down, before it is turned
};
