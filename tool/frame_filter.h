// What blurs the frames: one object shared by every worker thread, called for any number
// of frames at once.
#pragma once

#include "av_support.h"

class FrameFilter {
 public:
  virtual ~FrameFilter() = default;
  // The blurred frame, with the source's time and properties. Throws on failure.
  virtual AvFramePtr Apply(AvFramePtr frame) = 0;
};

// Gives frames as they come: a script's, which it has blurred itself.
class FramesAsGiven : public FrameFilter {
 public:
  AvFramePtr Apply(AvFramePtr frame) override { return frame; }
};
