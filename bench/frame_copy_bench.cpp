// The floor: copying a whole frame once, which no blur can beat.
#include <cstring>
#include <string>

#include "per_frame.h"

namespace {

void FrameCopy(benchmark::State& state, FrameSize size, PixelFormat format) {
  ScriptEnvironment env;
  const PVideoFrame src = RandomFrame(env, size, format);
  const PVideoFrame dst = RandomFrame(env, size, format);  // written once, so no page is fresh
  const size_t bytes = FrameBytes(size, format);
  BYTE* const to = dst->GetWritePtr();
  for (auto _ : state) {
    std::memcpy(to, src->GetReadPtr(), bytes);
    benchmark::DoNotOptimize(to);
    benchmark::ClobberMemory();
  }
  CountFrameBytes(state, size, format);
}

const bool registered = [] {
  for (const FrameSize& size : kSizes)
    for (const PixelFormat& format : kFormats)
      PerFrame(benchmark::RegisterBenchmark(
          (std::string("copy/") + size.name + "/" + format.name).c_str(), FrameCopy, size, format));
  return true;
}();

}  // namespace
