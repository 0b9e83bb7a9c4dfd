// A frame pass's averaging step without the pass: source and destination frames, the
// filter's own table, and the job the pass would hand to the kernels.
#pragma once

#include <cstdint>
#include <vector>

#include "averaging/averaging_job.h"
#include "blur_cases.h"
#include "frames.h"

struct KernelFrames {
  KernelFrames(ScriptEnvironment& env, const FrameSize& size, const PixelFormat& format,
               const BlurCase& blur_case);

  PVideoFrame src;
  PVideoFrame dst;
  std::vector<int32_t> offsets;
  int x_bound;
  int y_bound;
  AveragingJob job;
};
