// Rough costs per byte of the kernels' steps, in tenths of one sample added (a load and an
// add in 16-bit lanes), as measured at 1920x1080 with AVX2. They only steer the choice of
// kernel; every choice writes the same bytes.
#pragma once

#include "averaging/row_runs.h"
#include "averaging/shift_plan.h"

// Samples of a row that may be read one by one rather than from prefix sums.
constexpr int kLongestDirectRun = 3;

// `sums16`: the sums are kept in 16-bit lanes, else in 32-bit or 64-bit ones.
namespace kernel_costs {

// 32-bit sums of more samples than 16 bits hold widen each sample.
inline int Sample(bool sums16, int samples) {
  return sums16 || int64_t(samples) * 255 <= 65535 ? 10 : 20;
}
inline int PrefixDifference(bool sums16) { return sums16 ? 16 : 32; }
inline int PrefixRows(bool sums16) { return sums16 ? 80 : 100; }  // one per source row
inline int EarlierSum(bool sums16) { return sums16 ? 10 : 20; }

inline int SampleCount(const RunLayout& layout) {
  int samples = 0;
  for (int r = 0; r < layout.run_count; ++r) samples += layout.runs[r].Length();
  return samples;
}

// The runs kernel's cost with its long runs read from prefix rows, and without.
inline int RunsWithPrefixRows(const RunLayout& layout, bool sums16) {
  int cost = PrefixRows(sums16), short_samples = 0;
  for (int r = 0; r < layout.run_count; ++r) {
    const int length = layout.runs[r].Length();
    if (length > kLongestDirectRun)
      cost += PrefixDifference(sums16);
    else
      short_samples += length;
  }
  return cost + short_samples * Sample(sums16, short_samples);
}
inline int RunsSampleBySample(const RunLayout& layout, bool sums16) {
  const int samples = SampleCount(layout);
  return samples * Sample(sums16, samples);
}

inline int Shifted(const ShiftPlan& plan, bool sums16) {
  return EarlierSum(sums16) + (plan.SamplesRead() - 1) * 10;
}

}  // namespace kernel_costs
