// The fast averaging step: derives the samples' row runs from the table that FillOffsets
// has just written, and hands the job to the fastest kernel that covers it. The plain
// kernel takes whatever no fast kernel covers.
#pragma once

#include <stdint.h>

#include "averaging/averaging_job.h"
#include "averaging/instruction_set.h"
#include "averaging/kernel_set.h"
#include "heap.h"
#include "sample_format.h"

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
  kShifted64,
  kRowBox32
};
constexpr int kKernelChoices = int(KernelChoice::kRowBox32) + 1;

// "box16", "shifted32", "plain": for reports.
const char* KernelName(KernelChoice choice);

// What the dispatcher decides for one table: the kernel, its lane width, the samples' layout
// and, for the shifted kernel, its plan. Made once per table by FastAverager::Plan and then
// only read, so any number of threads may average with it at once.
class AveragingPlan : public HeapAllocated {
  friend class FastAverager;
  KernelChoice kernel_ = KernelChoice::kPlain;
  SumWidth width_ = kSum16;
  // Words of fewer than 16 bits whose sums take 32-bit lanes only while every sample is within
  // the format's range: a frame with larger samples takes 64-bit lanes.
  bool checks_word_range_ = false;
  bool prefix_rows_ = false;  // for the runs kernel
  RunLayout layout_{};
  ShiftPlan shift_{};
  Divisor divisor_{};
  HeapArray<RowRun> runs_;
  HeapArray<RowRun> entering_;
  HeapArray<RowRun> leaving_;
};

class FastAverager : public HeapAllocated {
 public:
  // For tables of at most largest_count samples that lie at most x_bound pixels and y_bound
  // rows away, and averaged rows of at most row_bytes bytes. With `ring`, lines for the
  // prefix sums of long runs and for earlier sums are kept too. Sums take lanes at least as
  // wide as `narrowest` (wider than needed only to test or compare them). With `ring` or
  // `box_rows`, the ring also holds the row sums of boxes up to 257 pixels wide whose sums
  // take 32-bit lanes. Samples are bytes unless `samples` says otherwise (its channels are
  // not used). Null when the first work space cannot be allocated; the caller deletes it.
  static FastAverager* Create(int x_bound, int y_bound, int64_t row_bytes, int64_t largest_count,
                              bool ring, InstructionSet set, SumWidth narrowest = kSum16,
                              bool box_rows = false, SampleFormat samples = BytePixels(1));
  ~FastAverager();
  FastAverager(const FastAverager&) = delete;
  FastAverager& operator=(const FastAverager&) = delete;

  // The plan for a table of offsets into source frames of this pitch; a plan for the plain
  // kernel where no fast one covers the table, null when memory is short. The caller owns it.
  AveragingPlan* Plan(const int32_t* offsets, int offset_count, ptrdiff_t src_pitch,
                      int bytes_per_pixel) const;

  // Writes the job's bytes exactly as AveragePlain would, and says which kernel did. The
  // plan is the one made for the job's table. The source must be readable from y_bound rows
  // above the job's rows to y_bound below, and from x_bound pixels left of its pixels to
  // x_bound right, as the frame pass guarantees. Any number of threads may call this at once:
  // each call takes a work space of its own from a pool that grows, without a ceiling, to the
  // number of calls that average at once, and keeps them until the averager is deleted. Only
  // a work space that cannot be allocated leaves a call to the plain kernel.
  KernelChoice Average(const AveragingPlan& plan, const AveragingJob& job);

  // Plans and averages in one call.
  KernelChoice Average(const AveragingJob& job);

  // The bytes of one work space; Average allocates one only when more threads call at once
  // than ever before, so a burst of N threads leaves N of them.
  int64_t WorkSpaceBytes() const { return work_space_bytes_; }
  int WorkSpaceCount() const;

 private:
  struct WorkSpace;

  FastAverager(int x_bound, int y_bound, const KernelSet& kernels, SumWidth narrowest,
               SampleFormat samples)
      : x_bound_(x_bound),
        y_bound_(y_bound),
        kernels_(kernels),
        narrowest_(narrowest),
        samples_(samples) {}
  WorkSpace* NewWorkSpace() const;
  bool ChooseDivisor(int count, SumWidth* width, Divisor* divisor) const;
  bool ChooseWideDivisor(int count, AveragingPlan* plan) const;
  void AverageWide(const AveragingPlan& plan, const AveragingJob& job,
                   const KernelBuffers& buffers) const;
  struct RunsChoice {
    int cost;
    bool prefix_rows;
  };
  RunsChoice ChooseRuns(const RunLayout& layout, bool narrow) const;
  kernel_costs::StepCosts StepCostsFor(SumWidth width) const;
  bool ChooseShift(const int32_t* offsets, int offset_count, ptrdiff_t src_pitch,
                   int bytes_per_pixel, const RunLayout& layout, int runs_cost, SumWidth width,
                   ShiftPlan* chosen, HeapArray<RowRun>* entering,
                   HeapArray<RowRun>* leaving) const;
  bool Fits(const AveragingPlan& plan, const AveragingJob& job) const;
  // A free work space of the pool, or a new one added to it; null when memory is short.
  WorkSpace* TakeWorkSpace();
  static void ReturnWorkSpace(WorkSpace* space);

  int x_bound_;
  int y_bound_;
  const KernelSet& kernels_;
  SumWidth narrowest_;
  SampleFormat samples_;
  int value_bytes_ = 4;  // of the values lines hold: 8 where sums may need 64-bit lanes
  int64_t rows_ = 0;     // row steps of the table's reach
  int64_t line_capacity_ = 0;
  int64_t pointer_capacity_ = 0;
  int64_t ring_rows_ = 0;  // lines of earlier sums, prefix rows or row sums per work space
  int64_t work_space_bytes_ = 0;
  WorkSpace* work_spaces_ = nullptr;  // the pool: a list that only grows, newest first
};
