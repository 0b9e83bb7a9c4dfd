// Rough costs per sample of the kernels' steps, in tenths of one byte added in 16-bit lanes (a
// load and an add), as measured at 1920x1080 with AVX2 for bytes and with AVX-512 for wider
// samples. They only steer the choice of kernel; every choice writes the same samples.
#pragma once

#include "averaging/row_runs.h"
#include "averaging/shift_plan.h"

// Samples of a row that may be read one by one rather than from prefix sums, where the
// samples are bytes or words; a float's conversion to its integer costs more than any run's
// prefix sums, so floats read every run from them.
constexpr int kLongestDirectRun = 3;
constexpr int kLongestDirectFloatRun = 0;

namespace kernel_costs {

struct StepCosts {
  int sample;             // a sample read and added, where at most `paired_samples` are summed
  int sample_beyond;      // the same where more are
  int paired_samples;     // bytes sum in 16-bit lanes up to 257 samples, then widen
  int prefix_difference;  // a run read as the difference of two prefix sums
  int prefix_row;         // a source row's prefix sums, made once a frame
  int earlier_sum;        // a sum read back from an earlier row
  int moved_sample;       // a sample entering or leaving a sum built on an earlier one
  int longest_direct_run;

  int Samples(int count) const {
    return count * (count <= paired_samples ? sample : sample_beyond);
  }
};

// Bytes in 16-bit sums, or in wider ones (`sums16` false).
constexpr StepCosts ByteCosts(bool sums16) {
  return {10,
          20,
          sums16 ? INT32_MAX : 257,
          sums16 ? 16 : 32,
          sums16 ? 80 : 100,
          sums16 ? 10 : 20,
          10,
          kLongestDirectRun};
}
constexpr StepCosts kWordCosts = {10, 10, INT32_MAX, 14, 100, 10, 10, kLongestDirectRun};
constexpr StepCosts kFloatCosts = {40, 40, INT32_MAX, 14, 140, 10, 40, kLongestDirectFloatRun};

inline int SampleCount(const RunLayout& layout) {
  int samples = 0;
  for (int r = 0; r < layout.run_count; ++r) samples += layout.runs[r].Length();
  return samples;
}

// The runs kernel's cost with its long runs read from prefix rows, and without.
inline int RunsWithPrefixRows(const RunLayout& layout, const StepCosts& costs) {
  int cost = costs.prefix_row, short_samples = 0;
  for (int r = 0; r < layout.run_count; ++r) {
    const int length = layout.runs[r].Length();
    if (length > costs.longest_direct_run)
      cost += costs.prefix_difference;
    else
      short_samples += length;
  }
  return cost + costs.Samples(short_samples);
}
inline int RunsSampleBySample(const RunLayout& layout, const StepCosts& costs) {
  return costs.Samples(SampleCount(layout));
}

inline int Shifted(const ShiftPlan& plan, const StepCosts& costs) {
  return costs.earlier_sum + (plan.SamplesRead() - 1) * costs.moved_sample;
}

}  // namespace kernel_costs
