// The fast averaging step: derives the samples' row runs from the table that FillOffsets
// has just written, and hands the job to the fastest kernel that covers it. The plain
// kernel takes whatever no fast kernel covers.
#pragma once

#include <stdint.h>

#include "averaging/averaging_job.h"
#include "averaging/instruction_set.h"
#include "averaging/kernel_set.h"
#include "heap.h"

// Which kernel averaged a job, and whether in 16-bit or 32-bit lanes.
enum class KernelChoice {
  kPlain,
  kBox16,
  kBox32,
  kBox64,
  kRuns16,
  kRuns32,
  kRuns64,
  kShifted16,
  kShifted32,
  kShifted64
};

// "box16", "shifted32", "plain": for reports.
const char* KernelName(KernelChoice choice);

class FastAverager : public HeapAllocated {
 public:
  // For tables of at most largest_count samples that lie at most x_bound pixels and y_bound
  // rows away, and averaged rows of at most row_bytes bytes. With `ring`, lines for the
  // prefix sums of long runs and for earlier sums are kept too. Sums take lanes at least as
  // wide as `narrowest` (wider than needed only to test or compare them). Null when the work
  // space cannot be allocated; the caller deletes it.
  static FastAverager* Create(int x_bound, int y_bound, int64_t row_bytes, int64_t largest_count,
                              bool ring, InstructionSet set, SumWidth narrowest = kSum16);

  // Writes the job's bytes exactly as AveragePlain would, and says which kernel did. The
  // source must be readable from y_bound rows above the job's rows to y_bound below, and
  // from x_bound pixels left of its pixels to x_bound right, as the frame pass guarantees.
  KernelChoice Average(const AveragingJob& job);

  // The bytes of work space taken at creation; Average allocates nothing.
  int64_t WorkSpaceBytes() const { return work_space_bytes_; }

 private:
  FastAverager(int x_bound, int y_bound, const KernelSet& kernels, SumWidth narrowest)
      : x_bound_(x_bound), y_bound_(y_bound), kernels_(kernels), narrowest_(narrowest) {}
  bool Allocate(int64_t rows, int64_t line_capacity, int value_bytes, bool ring);
  bool DivisorFor(int count, SumWidth* width);
  struct RunsChoice {
    int cost;
    bool prefix_rows;
  };
  RunsChoice ChooseRuns(const RunLayout& layout, bool narrow) const;

  int x_bound_;
  int y_bound_;
  const KernelSet& kernels_;
  SumWidth narrowest_;
  HeapArray<RowRun> runs_;
  HeapArray<bool> seen_rows_;
  HeapArray<int> row_index_;
  HeapArray<RowRun> entering_;
  HeapArray<RowRun> leaving_;
  HeapArray<const void*> run_pointers_;
  HeapArray<int> run_lengths_;
  HeapArray<uint32_t> lines_;
  HeapArray<uint32_t> ring_;
  int value_bytes_ = 4;  // of the values lines hold: 8 where sums may need 64-bit lanes
  KernelBuffers buffers_{};
  int64_t work_space_bytes_ = 0;
  int divisor_count_ = 0;  // the count `divisor_` belongs to, 0 for none yet
  SumWidth divisor_width_ = kSum16;
  Divisor divisor_{};
};
