#include "kernel_frames.h"

#include <cstdlib>

#include "filter_table.h"

KernelFrames::KernelFrames(ScriptEnvironment& env, const FrameSize& size, const PixelFormat& format,
                           const BlurCase& blur_case)
    : src(RandomFrame(env, size, format)),
      // As the host hands it to the pass: aligned to 16, as NewVideoFrame asks.
      dst(env.NewFrame(size.width * format.bytes_per_pixel, size.height, 0, 16)),
      offsets(FilterOffsets(blur_case, src->GetPitch(), format.bytes_per_pixel)),
      x_bound(std::abs(blur_case.x)),
      y_bound(blur_case.IsFocus() ? x_bound : std::abs(blur_case.y)),
      job(InteriorJob(src->GetReadPtr(), src->GetPitch(), dst->GetWritePtr(), dst->GetPitch(),
                      size.width, size.height, format.bytes_per_pixel, x_bound, y_bound,
                      offsets.data(), int(offsets.size()))) {}
