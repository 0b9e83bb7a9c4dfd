// Decoded frames into host frames: converted by libswscale in the colours the stream
// declares (its matrix and range), straight into the host's bottom-up rows, scaled back
// to the first frame's size should the size change mid-stream, and turned where asked.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include "pixel_format.h"
#include "script_environment.h"

struct SwsContext;

class DecodedFrameConverter {
 public:
  // Frames decoded at `width` x `height` become rgb24 or rgb32 frames, turned clockwise by
  // `turn` degrees (0, 90, 180 or 270).
  DecodedFrameConverter(int width, int height, PixelFormat format, int turn);
  ~DecodedFrameConverter();
  DecodedFrameConverter(const DecodedFrameConverter&) = delete;
  DecodedFrameConverter& operator=(const DecodedFrameConverter&) = delete;

  PVideoFrame Convert(ScriptEnvironment& env, const AVFrame* frame);

 private:
  void Prepare(const AVFrame* frame);
  void Turn(BYTE* base, int pitch) const;

  int width_, height_;
  AVPixelFormat format_;
  int turn_;
  int pixel_bytes_;
  SwsContext* context_ = nullptr;
  AVColorSpace colorspace_ = AVCOL_SPC_UNSPECIFIED;
  bool full_range_ = false;
  uint8_t* turned_[4] = {};  // the converted picture, top-down, before it is turned
  int turned_strides_[4] = {};
};
