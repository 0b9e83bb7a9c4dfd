// The reference kernel alone, on the filter's own table: a direct sum of N bytes per byte.
#include "averaging/plain_kernel.h"
#include "kernel_frames.h"
#include "per_frame.h"

namespace {

void PlainKernel(benchmark::State& state, FrameSize size, PixelFormat format, BlurCase blur_case) {
  ScriptEnvironment env;
  const KernelFrames frames(env, size, format, blur_case);
  for (auto _ : state) {
    AveragePlain(frames.job);
    benchmark::ClobberMemory();
  }
  CountFrameBytes(state, size, format);
}

const bool registered = [] {
  for (const FrameSize& size : kSizes)
    for (const PixelFormat& format : kFormats)
      for (const BlurCase& blur_case : kPlainCases)
        PerFrame(benchmark::RegisterBenchmark(RowName("plain", size, format, blur_case).c_str(),
                                              PlainKernel, size, format, blur_case));
  return true;
}();

}  // namespace
