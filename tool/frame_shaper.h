// Decoded frames into the frames the filter takes, as the stream plan says: converted by
// libswscale into the plan's format where theirs differs (in the colours the stream
// declares, its matrix and range), scaled back to the first size should it change
// mid-stream, and turned upright where the output cannot store a turn.
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

#include "av_support.h"
#include "stream_plan.h"

class FrameShaper {
 public:
  explicit FrameShaper(const StreamPlan& plan);
  AvFramePtr Shape(AvFramePtr frame);

 private:
  AvFramePtr Convert(const AVFrame* frame);

  int turn_;
  AVPixelFormat unturned_format_, format_;
  int width_, height_;  // before the turn
  std::unique_ptr<SwsContext, AvFree<sws_freeContext>> context_;
  AVColorSpace colorspace_ = AVCOL_SPC_UNSPECIFIED;
  bool full_range_ = false;
};
