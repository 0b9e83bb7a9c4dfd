#include "averaging/fast_averager.h"

#include "arithmetic.h"
#include "averaging/float_environment.h"
#include "averaging/plain_kernel.h"
#if defined(KORVEL_X86_KERNELS)
#include "averaging/x86/avx2_kernels.h"
#include "averaging/x86/avx512_kernels.h"
#endif

namespace {

// Work space beyond these is not taken: frames with longer rows take the plain kernel, and
// the ring keeps the lines that fit, enough for the disc's and most lines' earlier sums;
// kernels that need more lines do without.
constexpr int64_t kLargestRingBytes = int64_t(64) << 20;
// Pointers to runs and samples a row step of the table's reach: the runs kernel needs three
// a run, the shifted kernel one a run and one an entering or leaving sample. Tables of very
// many rows get only the first and a bounded number more, which only bars costly plans.
constexpr int kPointersPerRow = 12;
constexpr int kPointersPerRunKernel = 3;
constexpr int64_t kLargestExtraPointers = int64_t(1) << 22;
// Every count below stays within int.
constexpr int64_t kLargestRowSteps = INT32_MAX / 8;

constexpr KernelChoice kBoxChoices[] = {KernelChoice::kBox16, KernelChoice::kBox32,
                                        KernelChoice::kBox64};
constexpr KernelChoice kRunsChoices[] = {KernelChoice::kRuns16, KernelChoice::kRuns32,
                                         KernelChoice::kRuns64};
constexpr KernelChoice kShiftedChoices[] = {KernelChoice::kShifted16, KernelChoice::kShifted32,
                                            KernelChoice::kShifted64};

const KernelSet& KernelsFor(InstructionSet set) {
#if defined(KORVEL_X86_KERNELS)
  if (set == InstructionSet::kAvx2) return Avx2Kernels();
  if (set == InstructionSet::kAvx512) return Avx512Kernels();
#endif
  (void)set;
  return PortableKernels();
}

// The whole pixels by which the samples move per row, rounded down and up: from the middle
// of the first run in the table to the middle of the last.
struct Lean {
  int down, up;
};
Lean LeanPerRow(const RunLayout& layout) {
  const RowRun& first = layout.runs[0];
  const RowRun& last = layout.runs[layout.run_count - 1];
  int64_t columns = int64_t(last.first_column) + last.last_column - first.first_column -
                    first.last_column;  // twice the move of the middle
  int64_t rows = 2 * (int64_t(last.row) - first.row);
  if (rows == 0) return {0, 0};
  if (rows < 0) rows = -rows, columns = -columns;
  const int64_t down = columns >= 0 ? columns / rows : -((-columns + rows - 1) / rows);
  return {int(down), int(columns % rows == 0 ? down : down + 1)};
}

}  // namespace

const char* KernelName(KernelChoice choice) {
  constexpr const char* kNames[] = {"plain",  "box16",  "box32",     "box64",     "runs16",
                                    "runs32", "runs64", "shifted16", "shifted32", "shifted64"};
  return kNames[int(choice)];
}

FastAverager* FastAverager::Create(int x_bound, int y_bound, int64_t row_bytes,
                                   int64_t largest_count, bool ring, InstructionSet set,
                                   SumWidth narrowest) {
  if (x_bound < 0 || y_bound < 0 || row_bytes < 0 || !IsAvailable(set)) return nullptr;
  // Room for a row's bytes and a pixel of leading zeros, rounded up to whole vectors.
  const int64_t line_capacity = (row_bytes + 8 + 63) / 64 * 64;
  const int64_t rows = 2 * int64_t(y_bound) + 1;
  if (rows > kLargestRowSteps || line_capacity > INT32_MAX) return nullptr;
  // Sums that fit 31 bits always have a 32-bit divisor; larger ones take 64-bit lanes.
  const int value_bytes = SumFitsInt32(largest_count) && narrowest != kSum64 ? 4 : 8;
  FastAverager* averager = new FastAverager(x_bound, y_bound, KernelsFor(set), narrowest);
  if (!averager) return nullptr;
  if (!averager->Allocate(rows, line_capacity, value_bytes, ring)) {
    delete averager;
    return nullptr;
  }
  return averager;
}

bool FastAverager::Allocate(int64_t rows, int64_t line_capacity, int value_bytes, bool ring) {
  value_bytes_ = value_bytes;
  const int64_t line_words = line_capacity * value_bytes / 4;
  const int64_t pointers =
      kPointersPerRunKernel * rows +
      Min((kPointersPerRow - kPointersPerRunKernel) * rows, kLargestExtraPointers);
  if (!runs_.Allocate(rows) || !seen_rows_.Allocate(rows) || !row_index_.Allocate(2 * rows) ||
      !entering_.Allocate(4 * rows) || !leaving_.Allocate(4 * rows) ||
      !run_pointers_.Allocate(pointers) || !run_lengths_.Allocate(pointers) ||
      !lines_.Allocate(2 * line_words))
    return false;
  // A line's or the disc's earlier sums need few lines, prefix rows as many as the table
  // has row steps; as many as the limit allows are kept.
  const int64_t ring_rows = ring ? Min(rows, kLargestRingBytes / (line_words * 4)) : 0;
  if (ring_rows > 0) ring_.Allocate(ring_rows * line_words);
  work_space_bytes_ = rows * int64_t(sizeof(RowRun) * 9 + sizeof(bool) + sizeof(int) * 2) +
                      pointers * int64_t(sizeof(void*) + sizeof(int)) +
                      (2 + (ring_ ? ring_rows : 0)) * line_words * 4;
  // Narrower values fill a line from its start.
  buffers_ = {run_pointers_.get(),        int(pointers),
              run_lengths_.get(),         lines_.get(),
              lines_.get() + line_words,  ring_.get(),
              ring_ ? int(ring_rows) : 0, ptrdiff_t(line_capacity)};
  return true;
}

bool FastAverager::DivisorFor(int count, SumWidth* width) {
  if (count < 1) return false;
  if (count != divisor_count_) {
    if (narrowest_ <= kSum16 && FindDivisor16(count, &divisor_)) {
      divisor_width_ = kSum16;
    } else if (narrowest_ <= kSum32 && FindDivisor32(count, &divisor_)) {
      divisor_width_ = kSum32;
    } else {
      divisor_width_ = kSum64;
      divisor_ = DivisorByDivision(count);
    }
    divisor_count_ = count;
  }
  *width = divisor_width_;
  return true;
}

KernelChoice FastAverager::Average(const AveragingJob& job) {
  // Before the divisor is chosen: its reciprocal is checked with the arithmetic the kernels
  // will use.
  [[maybe_unused]] const DefaultFloatEnvironment float_environment;
  RunLayout layout;
  RunDescriber describer(x_bound_, y_bound_, runs_.get(), seen_rows_.get());
  SumWidth width = kSum16;
  bool covered = !job.Empty() &&
                 describer.Describe(job.offsets, job.offset_count, job.src_pitch,
                                    job.bytes_per_pixel, &layout) &&
                 DivisorFor(job.offset_count, &width);
  const bool narrow = width == kSum16;
  if (width == kSum64 && value_bytes_ < 8) covered = false;
  // A line holds the prefix sums of the averaged bytes and of the runs' reach beyond them,
  // after a pixel of zeros, and a pixel's store may reach four values past the last.
  if (covered) {
    const int64_t span =
        int64_t(job.pixel_end - job.pixel_begin + layout.last_column - layout.first_column + 1) *
        job.bytes_per_pixel;
    covered = span + 4 <= buffers_.line_capacity;
  }
  if (!covered) {
    AveragePlain(job);
    return KernelChoice::kPlain;
  }
  if (layout.IsBox()) {
    kernels_.box[width](job, layout, divisor_, buffers_);
    return kBoxChoices[width];
  }
  // A sum may instead be built on an earlier one: a line's one period back, or one row up
  // and as many pixels along as the samples lean. Whichever reads least wins.
  ShiftPlanner planner(x_bound_, y_bound_, row_index_.get(), entering_.get(), leaving_.get());
  ShiftPlan plan;
  const RunsChoice runs = ChooseRuns(layout, narrow);
  int best_cost = runs.cost, best_row_step = 0, best_column_step = 0;
  auto consider = [&](bool planned) {
    if (!planned || !buffers_.ring || plan.row_step > buffers_.ring_rows) return;
    if (!narrow && !plan.SumsFit16Bits()) return;
    if (layout.run_count + plan.SamplesRead() > buffers_.pointer_capacity) return;
    const int cost = kernel_costs::Shifted(plan, narrow);
    if (cost >= best_cost) return;
    best_cost = cost, best_row_step = plan.row_step, best_column_step = plan.column_step;
  };
  const int period = TablePeriod(job.offsets, job.offset_count);
  if (period > 0)
    consider(planner.Plan(job.offsets, period, job.src_pitch, job.bytes_per_pixel, layout, &plan));
  const Lean lean = LeanPerRow(layout);
  consider(planner.PlanDisplacement(1, lean.down, layout, &plan));
  consider(planner.PlanDisplacement(1, lean.up, layout, &plan));
  if (best_row_step != 0 &&
      planner.PlanDisplacement(best_row_step, best_column_step, layout, &plan)) {
    kernels_.shifted[width](job, layout, plan, divisor_, buffers_);
    return kShiftedChoices[width];
  }
  kernels_.runs[width](job, layout, runs.prefix_rows, divisor_, buffers_);
  return kRunsChoices[width];
}

// The runs kernel with prefix rows where the ring holds them and they pay, and its cost.
FastAverager::RunsChoice FastAverager::ChooseRuns(const RunLayout& layout, bool narrow) const {
  const int spanned_rows = layout.last_row - layout.first_row + 1;
  const bool ring = buffers_.ring && buffers_.ring_rows >= spanned_rows;
  const int sample_by_sample = kernel_costs::RunsSampleBySample(layout, narrow);
  const int with_prefix_rows = kernel_costs::RunsWithPrefixRows(layout, narrow);
  if (ring && with_prefix_rows < sample_by_sample) return {with_prefix_rows, true};
  return {sample_by_sample, false};
}
