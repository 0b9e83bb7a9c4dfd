// The fast averaging step alone, once per instruction set the processor has: the kernels
// side by side with the plain one, as the filter runs them but without the frame pass.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "averaging/fast_averager.h"
#include "filter_table.h"
#include "kernel_frames.h"
#include "per_frame.h"

namespace {

// As the filter decides: rows of earlier or prefix sums wherever the samples fill no box,
// and otherwise the rows of the box's row sums.
bool NeedsRing(const BlurCase& blur_case) {
  const std::string blur = blur_case.blur;
  return blur == "focus" || (blur == "line" && blur_case.x != 0 && blur_case.y != 0);
}

struct NamedSet {
  const char* name;
  InstructionSet set;
};
constexpr NamedSet kSets[] = {{"portable", InstructionSet::kPortable},
                              {"avx2", InstructionSet::kAvx2},
                              {"avx512", InstructionSet::kAvx512},
                              {"avx512vnni", InstructionSet::kAvx512Vnni}};

void FastKernel(benchmark::State& state, FrameSize size, PixelFormat format, BlurCase blur_case,
                InstructionSet set) {
  ScriptEnvironment env;
  const KernelFrames frames(env, size, format, blur_case);
  const std::unique_ptr<FastAverager> averager(FastAverager::Create(
      frames.x_bound, frames.y_bound, int64_t(size.width) * format.bytes_per_pixel,
      int64_t(frames.offsets.size()), NeedsRing(blur_case), set, kSum16, !NeedsRing(blur_case)));
  if (!averager) {
    state.SkipWithError("no work space");
    return;
  }
  KernelChoice choice = KernelChoice::kPlain;
  for (auto _ : state) {
    choice = averager->Average(frames.job);
    benchmark::ClobberMemory();
  }
  state.SetLabel(KernelName(choice));
  state.counters["work_space_MiB"] = double(averager->WorkSpaceBytes()) / (1 << 20);
  CountFrameBytes(state, size, format);
}

// The work space a filter allocates once, at creation, beside its table: at the largest
// parameters the 3840x2160 frames accept. One creation per iteration.
void WorkSpace(benchmark::State& state, FrameSize size, PixelFormat format, BlurCase blur_case) {
  ScriptEnvironment env;
  const PVideoFrame frame = RandomFrame(env, size, format);
  const std::vector<int32_t> offsets =
      FilterOffsets(blur_case, frame->GetPitch(), format.bytes_per_pixel);
  const int x_bound = std::abs(blur_case.x);
  const int y_bound = blur_case.IsFocus() ? x_bound : std::abs(blur_case.y);
  int64_t bytes = 0;
  for (auto _ : state) {
    const std::unique_ptr<FastAverager> averager(FastAverager::Create(
        x_bound, y_bound, int64_t(size.width) * format.bytes_per_pixel, int64_t(offsets.size()),
        NeedsRing(blur_case), BestInstructionSet(), kSum16, !NeedsRing(blur_case)));
    bytes = averager ? averager->WorkSpaceBytes() : -1;
  }
  state.counters["work_space_MiB"] = double(bytes) / (1 << 20);
  state.counters["table_MiB"] = double(offsets.size() * sizeof(int32_t)) / (1 << 20);
}

const bool registered = [] {
  for (const PixelFormat& format : kFormats)
    for (const BlurCase& blur_case : kLargestCases)
      benchmark::RegisterBenchmark(RowName("memory", kSizes[1], format, blur_case).c_str(),
                                   WorkSpace, kSizes[1], format, blur_case)
          ->Iterations(1);
  const PixelFormat kernel_formats[] = {kFormats[0], kFormats[1], kPlaneFormat};
  for (const FrameSize& size : kSizes)
    for (const PixelFormat& format : kernel_formats)
      for (const BlurCase& blur_case : kFilterCases)
        for (const NamedSet& set : kSets)
          if (IsAvailable(set.set))
            PerFrame(benchmark::RegisterBenchmark(
                RowName(std::string("fast.") + set.name, size, format, blur_case).c_str(),
                FastKernel, size, format, blur_case, set.set));
  return true;
}();

}  // namespace
