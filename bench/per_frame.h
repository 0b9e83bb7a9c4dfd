// Settings every benchmark shares: one iteration is one frame, timed in milliseconds.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

#include "blur_cases.h"
#include "frames.h"

// Process CPU time, so that a kernel which used more threads could not hide them, and
// so that other people's builds on the same cores disturb the figures less.
inline benchmark::internal::Benchmark* PerFrame(benchmark::internal::Benchmark* benchmark) {
  return benchmark->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
}

// "<kind>/<size>/<format>/<call>", the parts the report reads back.
inline std::string RowName(const std::string& kind, const FrameSize& size,
                           const PixelFormat& format, const BlurCase& blur_case) {
  return kind + "/" + size.name + "/" + format.name + "/" + blur_case.Name();
}

inline void CountFrameBytes(benchmark::State& state, const FrameSize& size,
                            const PixelFormat& format) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FrameBytes(size, format)));
}
