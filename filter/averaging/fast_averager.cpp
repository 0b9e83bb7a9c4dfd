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
// Row sums of a box this many pixels wide, or fewer, fit 16 bits.
constexpr int kWidestRowSumBox = UINT16_MAX / 255;

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

// Sums of count words of `bits` bits, with the rounding term, fit 32-bit lanes.
bool WordSumsFit32(int64_t count, int bits) {
  return uint64_t(count) * ((uint64_t(1) << bits) - 1) + uint64_t(count / 2) <= UINT32_MAX;
}

// The largest word a job reads.
uint16_t LargestWordRead(const AveragingJob& job, const RunLayout& layout) {
  const int channels = job.bytes_per_pixel / 2;
  const ptrdiff_t begin = ptrdiff_t(job.pixel_begin + layout.first_column) * channels;
  const ptrdiff_t end = ptrdiff_t(job.pixel_end + layout.last_column) * channels;
  uint16_t largest = 0;
  for (int i = job.row_begin + layout.first_row; i < job.row_end + layout.last_row; ++i) {
    const uint16_t* row = reinterpret_cast<const uint16_t*>(job.src + ptrdiff_t(i) * job.src_pitch);
    for (ptrdiff_t k = begin; k < end; ++k) largest = row[k] > largest ? row[k] : largest;
  }
  return largest;
}

// Wide kernels read and write whole samples: every row start on a sample's boundary.
bool AlignedToSamples(const AveragingJob& job, int sample_bytes) {
  const uintptr_t mask = uintptr_t(sample_bytes - 1);
  return ((uintptr_t(job.src) | uintptr_t(job.dst) | uintptr_t(job.src_pitch) |
           uintptr_t(job.dst_pitch)) &
          mask) == 0;
}

}  // namespace

const KernelSet& KernelsFor(InstructionSet set) {
#if defined(KORVEL_X86_KERNELS)
  if (set == InstructionSet::kAvx2) return Avx2Kernels();
  if (set == InstructionSet::kAvx512) return Avx512Kernels();
  if (set == InstructionSet::kAvx512Vnni) return Avx512VnniKernels();
#endif
  (void)set;
  return PortableKernels();
}

const char* KernelName(KernelChoice choice) {
  constexpr const char* kNames[] = {"plain",     "box16",     "box32",   "box64",
                                    "runs16",    "runs32",    "runs64",  "shifted16",
                                    "shifted32", "shifted64", "rowbox32"};
  return kNames[int(choice)];
}

// What one caller writes while it averages: pointers to runs and samples, their lengths, two
// lines of sums and, where plans may use them, lines of earlier sums or prefix rows.
struct FastAverager::WorkSpace : HeapAllocated {
  HeapArray<const void*> pointers;
  HeapArray<int> lengths;
  HeapArray<uint32_t> lines;
  HeapArray<uint32_t> ring;
  KernelBuffers buffers{};
  int taken = 0;              // 1 while a call averages with it
  WorkSpace* next = nullptr;  // set before it joins the pool, then only read
};

FastAverager* FastAverager::Create(int x_bound, int y_bound, int64_t row_bytes,
                                   int64_t largest_count, bool ring, InstructionSet set,
                                   SumWidth narrowest, bool box_rows, SampleFormat samples) {
  if (x_bound < 0 || y_bound < 0 || row_bytes < 0 || !IsAvailable(set)) return nullptr;
  // Room for a row's samples and a pixel of leading zeros, rounded up to whole vectors.
  const int64_t line_capacity = (row_bytes / samples.SampleBytes() + 8 + 63) / 64 * 64;
  const int64_t rows = 2 * int64_t(y_bound) + 1;
  if (rows > kLargestRowSteps || line_capacity > INT32_MAX) return nullptr;
  FastAverager* averager = new FastAverager(x_bound, y_bound, KernelsFor(set), narrowest, samples);
  if (!averager) return nullptr;
  // Sums that fit 31 bits always have a 32-bit divisor; larger ones take 64-bit lanes, as do
  // floats' integers, and words' sums that any word could take past 32 bits.
  switch (samples.type) {
    case SampleType::kUint8:
      averager->value_bytes_ = SumFitsInt32(largest_count) && narrowest != kSum64 ? 4 : 8;
      break;
    case SampleType::kUint16:
      averager->value_bytes_ = WordSumsFit32(largest_count, 16) ? 4 : 8;
      break;
    case SampleType::kFloat32: averager->value_bytes_ = 8; break;
  }
  averager->rows_ = rows;
  averager->line_capacity_ = line_capacity;
  averager->pointer_capacity_ =
      kPointersPerRunKernel * rows +
      Min((kPointersPerRow - kPointersPerRunKernel) * rows, kLargestExtraPointers);
  // A line's or the disc's earlier sums need few lines, prefix rows as many as the table
  // has row steps; as many as the limit allows are kept, and none when memory is short.
  const int64_t line_bytes = line_capacity * averager->value_bytes_;
  int64_t ring_rows = ring ? rows : 0;
  // Row sums of 16 bits, two to a line, of the box's rows and a pass's more: for boxes of
  // 32-bit sums, as boxes of 16-bit sums take the other box kernel.
  const bool sums_past_16_bits =
      largest_count * 255 + largest_count / 2 > UINT16_MAX || narrowest == kSum32;
  if ((ring || box_rows) && sums_past_16_bits && samples.type == SampleType::kUint8 &&
      2 * int64_t(x_bound) + 1 <= kWidestRowSumBox)
    ring_rows = Max(ring_rows, (rows + kRowBoxRowsPerPass + 1) / 2);
  averager->ring_rows_ = Min(ring_rows, kLargestRingBytes / line_bytes);
  WorkSpace* first = averager->NewWorkSpace();
  if (!first && averager->ring_rows_ > 0) {
    averager->ring_rows_ = 0;
    first = averager->NewWorkSpace();
  }
  if (!first) {
    delete averager;
    return nullptr;
  }
  averager->work_spaces_ = first;
  averager->work_space_bytes_ = averager->pointer_capacity_ * int64_t(sizeof(void*) + sizeof(int)) +
                                (2 + averager->ring_rows_) * line_bytes;
  return averager;
}

FastAverager::~FastAverager() {
  for (WorkSpace* space = work_spaces_; space;) {
    WorkSpace* const next = space->next;
    delete space;
    space = next;
  }
}

FastAverager::WorkSpace* FastAverager::NewWorkSpace() const {
  WorkSpace* space = new WorkSpace;
  if (!space) return nullptr;
  const int64_t line_words = line_capacity_ * value_bytes_ / 4;
  if (!space->pointers.Allocate(pointer_capacity_) || !space->lengths.Allocate(pointer_capacity_) ||
      !space->lines.Allocate(2 * line_words) ||
      (ring_rows_ > 0 && !space->ring.Allocate(ring_rows_ * line_words))) {
    delete space;
    return nullptr;
  }
  // Narrower values fill a line from its start.
  space->buffers = {space->pointers.get(), int(pointer_capacity_),          space->lengths.get(),
                    space->lines.get(),    space->lines.get() + line_words, space->ring.get(),
                    int(ring_rows_),       ptrdiff_t(line_capacity_)};
  return space;
}

// A call finds every work space of the pool taken only while as many other calls average,
// so N calls at once leave at most N work spaces, whatever N.
FastAverager::WorkSpace* FastAverager::TakeWorkSpace() {
  for (WorkSpace* space = __atomic_load_n(&work_spaces_, __ATOMIC_ACQUIRE); space;
       space = space->next) {
    if (__atomic_load_n(&space->taken, __ATOMIC_RELAXED) == 0 &&
        __atomic_exchange_n(&space->taken, 1, __ATOMIC_ACQUIRE) == 0)
      return space;
  }
  WorkSpace* space = NewWorkSpace();
  if (!space) return nullptr;
  space->taken = 1;
  space->next = __atomic_load_n(&work_spaces_, __ATOMIC_RELAXED);
  while (!__atomic_compare_exchange_n(&work_spaces_, &space->next, space, true, __ATOMIC_RELEASE,
                                      __ATOMIC_RELAXED)) {
  }
  return space;
}

void FastAverager::ReturnWorkSpace(WorkSpace* space) {
  __atomic_store_n(&space->taken, 0, __ATOMIC_RELEASE);
}

int FastAverager::WorkSpaceCount() const {
  int count = 0;
  for (WorkSpace* space = __atomic_load_n(&work_spaces_, __ATOMIC_ACQUIRE); space;
       space = space->next)
    ++count;
  return count;
}

bool FastAverager::ChooseDivisor(int count, SumWidth* width, Divisor* divisor) const {
  if (count < 1) return false;
  if (narrowest_ <= kSum16 && FindDivisor16(count, divisor)) {
    *width = kSum16;
  } else if (narrowest_ <= kSum32 && FindDivisor32(count, divisor)) {
    *width = kSum32;
  } else {
    *width = kSum64;
    *divisor = DivisorByDivision(count);
  }
  return true;
}

// Words take 32-bit lanes where the format's largest sums fit them, floats' integers 64-bit
// ones; the division in double is checked for every sum the lanes can hold.
bool FastAverager::ChooseWideDivisor(int count, AveragingPlan* plan) const {
  if (count < 1) return false;
  plan->divisor_ = DivisorByDivision(count);
  if (samples_.type == SampleType::kFloat32) {
    plan->width_ = kSum64;
    return true;
  }
  plan->width_ = WordSumsFit32(count, samples_.bits) ? kSum32 : kSum64;
  if (plan->width_ == kSum64 && value_bytes_ < 8) return false;
  plan->checks_word_range_ = plan->width_ == kSum32 && !WordSumsFit32(count, 16);
  // 32-bit sums divide by a multiplier where one is exact for every sum they hold.
  const int largest_word = plan->checks_word_range_ ? (1 << samples_.bits) - 1 : UINT16_MAX;
  if (plan->width_ == kSum32)
    FindWordDivisor32(count, int64_t(count) * largest_word, &plan->divisor_);
  return DividesExactlyInDouble(count, uint64_t(count) * UINT16_MAX);
}

AveragingPlan* FastAverager::Plan(const int32_t* offsets, int offset_count, ptrdiff_t src_pitch,
                                  int bytes_per_pixel) const {
  AveragingPlan* plan = new AveragingPlan;
  HeapArray<bool> seen_rows;
  if (!plan || !plan->runs_.Allocate(rows_) || !seen_rows.Allocate(rows_)) {
    delete plan;
    return nullptr;
  }
  // The divisor's reciprocal is checked with the arithmetic the kernels will use.
  [[maybe_unused]] const DefaultFloatEnvironment float_environment;
  RunDescriber describer(x_bound_, y_bound_, plan->runs_.get(), seen_rows.get());
  const bool wide = samples_.type != SampleType::kUint8;
  if (!describer.Describe(offsets, offset_count, src_pitch, bytes_per_pixel, &plan->layout_))
    return plan;  // the plain kernel's
  if (wide ? !ChooseWideDivisor(offset_count, plan)
           : !ChooseDivisor(offset_count, &plan->width_, &plan->divisor_) ||
                 (plan->width_ == kSum64 && value_bytes_ < 8))
    return plan;
  const RunLayout& layout = plan->layout_;
  const SumWidth width = plan->width_;
  if (layout.IsBox() && wide) {
    plan->kernel_ = kBoxChoices[width];
    return plan;
  }
  if (layout.IsBox()) {
    const int64_t row_sum_lines = ring_rows_ * value_bytes_ / 2;
    const bool row_sums =
        width == kSum32 && layout.last_column - layout.first_column + 1 <= kWidestRowSumBox &&
        row_sum_lines >= layout.last_row - layout.first_row + 1 + kRowBoxRowsPerPass;
    plan->kernel_ = row_sums ? KernelChoice::kRowBox32 : kBoxChoices[width];
    return plan;
  }
  const bool narrow = width == kSum16;
  const RunsChoice runs = ChooseRuns(layout, narrow);
  if (ChooseShift(offsets, offset_count, src_pitch, bytes_per_pixel, layout, runs.cost, width,
                  &plan->shift_, &plan->entering_, &plan->leaving_)) {
    plan->kernel_ = kShiftedChoices[width];
    return plan;
  }
  plan->prefix_rows_ = runs.prefix_rows;
  plan->kernel_ = kRunsChoices[width];
  return plan;
}

// A sum may instead be built on an earlier one: a line's one period back, or one row up and
// as many pixels along as the samples lean. True when one of them reads less than the runs
// kernel; the chosen plan's entering and leaving samples are then kept in the two arrays.
bool FastAverager::ChooseShift(const int32_t* offsets, int offset_count, ptrdiff_t src_pitch,
                               int bytes_per_pixel, const RunLayout& layout, int runs_cost,
                               SumWidth width, ShiftPlan* chosen, HeapArray<RowRun>* entering,
                               HeapArray<RowRun>* leaving) const {
  const bool narrow = width == kSum16;
  // The byte kernel's wider sums add their entering and leaving bytes in 16-bit lanes first.
  const bool byte_changes_in_16_bits = !narrow && samples_.type == SampleType::kUint8;
  if (ring_rows_ == 0) return false;
  HeapArray<int> row_index;
  HeapArray<RowRun> all_entering, all_leaving;
  if (!row_index.Allocate(2 * rows_) || !all_entering.Allocate(4 * rows_) ||
      !all_leaving.Allocate(4 * rows_))
    return false;
  ShiftPlanner planner(x_bound_, y_bound_, row_index.get(), all_entering.get(), all_leaving.get());
  ShiftPlan plan;
  int best_cost = runs_cost, best_row_step = 0, best_column_step = 0;
  auto consider = [&](bool planned) {
    if (!planned || plan.row_step > ring_rows_) return;
    if (byte_changes_in_16_bits && !plan.SumsFit16Bits()) return;
    if (layout.run_count + plan.SamplesRead() > pointer_capacity_) return;
    const int cost = kernel_costs::Shifted(plan, StepCostsFor(width));
    if (cost >= best_cost) return;
    best_cost = cost, best_row_step = plan.row_step, best_column_step = plan.column_step;
  };
  const int period = TablePeriod(offsets, offset_count);
  if (period > 0)
    consider(planner.Plan(offsets, period, src_pitch, bytes_per_pixel, layout, &plan));
  const Lean lean = LeanPerRow(layout);
  consider(planner.PlanDisplacement(1, lean.down, layout, &plan));
  consider(planner.PlanDisplacement(1, lean.up, layout, &plan));
  if (best_row_step == 0 ||
      !planner.PlanDisplacement(best_row_step, best_column_step, layout, &plan))
    return false;
  // The plan keeps only the samples it names.
  if (!entering->Allocate(plan.entering_count) || !leaving->Allocate(plan.leaving_count))
    return false;
  for (int r = 0; r < plan.entering_count; ++r) (*entering)[r] = plan.entering[r];
  for (int r = 0; r < plan.leaving_count; ++r) (*leaving)[r] = plan.leaving[r];
  *chosen = plan;
  chosen->entering = entering->get();
  chosen->leaving = leaving->get();
  return true;
}

kernel_costs::StepCosts FastAverager::StepCostsFor(SumWidth width) const {
  switch (samples_.type) {
    case SampleType::kUint8: return kernel_costs::ByteCosts(width == kSum16);
    case SampleType::kUint16: return kernel_costs::kWordCosts;
    case SampleType::kFloat32: return kernel_costs::kFloatCosts;
  }
  return kernel_costs::kWordCosts;
}

// The runs kernel with prefix rows where the ring holds them and they pay, and its cost.
FastAverager::RunsChoice FastAverager::ChooseRuns(const RunLayout& layout, bool narrow) const {
  const int spanned_rows = layout.last_row - layout.first_row + 1;
  const bool ring = ring_rows_ >= spanned_rows;
  const kernel_costs::StepCosts costs = StepCostsFor(narrow ? kSum16 : kSum32);
  const int sample_by_sample = kernel_costs::RunsSampleBySample(layout, costs);
  const int with_prefix_rows = kernel_costs::RunsWithPrefixRows(layout, costs);
  if (ring && with_prefix_rows < sample_by_sample) return {with_prefix_rows, true};
  return {sample_by_sample, false};
}

// A line holds the prefix sums of the averaged samples and of the runs' reach beyond them,
// after a pixel of zeros, and a pixel's store may reach four values past the last.
bool FastAverager::Fits(const AveragingPlan& plan, const AveragingJob& job) const {
  const RunLayout& layout = plan.layout_;
  const int64_t span =
      int64_t(job.pixel_end - job.pixel_begin + layout.last_column - layout.first_column + 1) *
      (job.bytes_per_pixel / samples_.SampleBytes());
  return span + 4 <= line_capacity_ && AlignedToSamples(job, samples_.SampleBytes());
}

KernelChoice FastAverager::Average(const AveragingPlan& plan, const AveragingJob& job) {
  KernelChoice choice = plan.kernel_;
  WorkSpace* const space =
      choice == KernelChoice::kPlain || job.Empty() || !Fits(plan, job) ? nullptr : TakeWorkSpace();
  if (!space) {
    AveragePlain(job);
    return KernelChoice::kPlain;
  }
  if (samples_.type != SampleType::kUint8) {
    [[maybe_unused]] const DefaultFloatEnvironment float_environment;
    AverageWide(plan, job, space->buffers);
  } else {
    [[maybe_unused]] const DefaultFloatEnvironment float_environment;
    const KernelBuffers& buffers = space->buffers;
    const SumWidth width = plan.width_;
    if (choice == kBoxChoices[width])
      kernels_.box[width](job, plan.layout_, plan.divisor_, buffers);
    else if (choice == KernelChoice::kRowBox32)
      kernels_.row_box32(job, plan.layout_, plan.divisor_, buffers);
    else if (choice == kShiftedChoices[width])
      kernels_.shifted[width](job, plan.layout_, plan.shift_, plan.divisor_, buffers);
    else
      kernels_.runs[width](job, plan.layout_, plan.prefix_rows_, plan.divisor_, buffers);
  }
  ReturnWorkSpace(space);
  return choice;
}

void FastAverager::AverageWide(const AveragingPlan& plan, const AveragingJob& job,
                               const KernelBuffers& buffers) const {
  WideSums sums = plan.width_ == kSum32 ? kWords32 : kWords64;
  if (samples_.type == SampleType::kFloat32) sums = kFloats64;
  if (plan.checks_word_range_ && LargestWordRead(job, plan.layout_) >> samples_.bits != 0)
    sums = kWords64;
  const WideKernels& kernels = kernels_.wide[sums];
  const KernelChoice choice = plan.kernel_;
  if (choice == kBoxChoices[plan.width_])
    kernels.box(job, plan.layout_, plan.divisor_, buffers);
  else if (choice == kShiftedChoices[plan.width_])
    kernels.shifted(job, plan.layout_, plan.shift_, plan.divisor_, buffers);
  else
    kernels.runs(job, plan.layout_, plan.prefix_rows_, plan.divisor_, buffers);
}

KernelChoice FastAverager::Average(const AveragingJob& job) {
  AveragingPlan* plan = Plan(job.offsets, job.offset_count, job.src_pitch, job.bytes_per_pixel);
  if (!plan) {
    AveragePlain(job);
    return KernelChoice::kPlain;
  }
  const KernelChoice choice = Average(*plan, job);
  delete plan;
  return choice;
}
