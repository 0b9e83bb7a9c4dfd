// The reference kernel alone, on the filter's own table: a direct sum of N bytes per byte.
#include <cstdlib>
#include <vector>

#include "filter_table.h"
#include "per_frame.h"
#include "plain_kernel.h"

namespace {

void PlainKernel(benchmark::State& state, PixelFormat format, BlurCase blur_case) {
  ScriptEnvironment env;
  const PVideoFrame src = RandomFrame(env, format);
  // The destination as the host hands it to the pass: aligned to 16, as NewVideoFrame asks.
  const PVideoFrame dst = env.NewFrame(kFrameWidth * format.bytes_per_pixel, kFrameHeight, 0, 16);
  const std::vector<int32_t> offsets =
      FilterOffsets(blur_case, src->GetPitch(), format.bytes_per_pixel);

  // The averaged area of the frame pass: rows Y + 1 to H - Y - 3, pixels X + 1 to W - X - 3.
  const int margin_x = std::abs(blur_case.x);
  const int margin_y = blur_case.IsFocus() ? margin_x : std::abs(blur_case.y);
  AveragingJob job;
  job.src = src->GetReadPtr();
  job.src_pitch = src->GetPitch();
  job.dst = dst->GetWritePtr();
  job.dst_pitch = dst->GetPitch();
  job.row_begin = margin_y + 1;
  job.row_end = kFrameHeight - margin_y - 2;
  job.pixel_begin = margin_x + 1;
  job.pixel_end = kFrameWidth - margin_x - 2;
  job.bytes_per_pixel = format.bytes_per_pixel;
  job.offsets = offsets.data();
  job.offset_count = int(offsets.size());

  for (auto _ : state) {
    AveragePlain(job);
    benchmark::ClobberMemory();
  }
  CountFrameBytes(state, format);
}

const bool registered = [] {
  for (const PixelFormat& format : kFormats)
    for (const BlurCase& blur_case : kPlainCases)
      PerFrame(benchmark::RegisterBenchmark(RowName("plain", format, blur_case).c_str(),
                                            PlainKernel, format, blur_case));
  return true;
}();

}  // namespace
