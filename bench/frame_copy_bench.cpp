// The floor: copying a whole frame once, which no blur can beat.
#include <cstring>
#include <string>

#include "per_frame.h"

namespace {

void FrameCopy(benchmark::State& state, PixelFormat format) {
  ScriptEnvironment env;
  const PVideoFrame src = RandomFrame(env, format);
  const PVideoFrame dst = RandomFrame(env, format);  // written once, so no page is fresh
  const size_t bytes = FrameBytes(format);
  BYTE* const to = dst->GetWritePtr();
  for (auto _ : state) {
    std::memcpy(to, src->GetReadPtr(), bytes);
    benchmark::DoNotOptimize(to);
    benchmark::ClobberMemory();
  }
  CountFrameBytes(state, format);
}

const bool registered = [] {
  for (const PixelFormat& format : kFormats)
    PerFrame(benchmark::RegisterBenchmark((std::string("copy/") + format.name).c_str(), FrameCopy,
                                          format));
  return true;
}();

}  // namespace
