// The blur of frames in their own pixel format, plane by plane, by the filter engine, with
// the meaning korvel.Blur has in VapourSynth: the extents divided by each plane's
// subsampling, the checks and messages of every host.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "frame_filter.h"
#include "options.h"
#include "plane_blur.h"

class PlaneFilter : public FrameFilter {
 public:
  // For frames of a plane format (frame_formats.h) and this size. Throws ToolError with the
  // filter's message when the options do not suit the frame size.
  PlaneFilter(const Options& options, AVPixelFormat format, int width, int height);
  ~PlaneFilter() override;
  PlaneFilter(const PlaneFilter&) = delete;
  PlaneFilter& operator=(const PlaneFilter&) = delete;

  AvFramePtr Apply(AvFramePtr frame) override;

 private:
  // A frame for the result, its planes from pools of buffers that frames given back refill:
  // fresh memory for every frame costs the system its pages again each time.
  AvFramePtr NewBlurredFrame();

  AVPixelFormat format_;
  int width_, height_;
  int plane_count_ = 0;
  PlaneBlur planes_[4] = {};
  int plane_widths_[4] = {}, plane_heights_[4] = {};
  std::vector<BlurEngine*> engines_;  // owned; planes of the same extents share one
  int strides_[4] = {};
  std::unique_ptr<AVBufferPool, AvFree<av_buffer_pool_uninit>> pools_[4];
};
