#include "blur_engine.h"

#include "arithmetic.h"
#include "averaging/averaging_job.h"
#include "averaging/kernel_set.h"
#include "averaging/plain_kernel.h"

SampleTable::~SampleTable() { delete plan; }

BlurEngine* BlurEngine::Create(Shape shape, int x, int y, SampleFormat format,
                               int64_t largest_row_bytes, InstructionSet set) {
  if (!format.IsValid()) return nullptr;
  const int64_t capacity = ::TableCapacity(shape, x, y);
  // A table that its count cannot count, or a 32-bit process cannot address, is as unusable
  // as one that was not allocated.
  if (capacity <= 0 || capacity > INT32_MAX) return nullptr;
  BlurEngine* engine = new BlurEngine(shape, x, y, format, int(capacity), set);
  if (!engine) return nullptr;
  // The first table's room is taken now, so that a clip whose table does not fit in memory
  // is refused when it is made, not on its first frame.
  engine->spare_ = engine->NewTable();
  if (!engine->spare_) {
    delete engine;
    return nullptr;
  }
#if !defined(KORVEL_PLAIN_KERNEL_ONLY)
  // Rows of prefix sums, or of earlier sums, pay off where the samples fill no box;
  // horizontal and vertical lines are boxes too, and keep the rows of a box's row sums.
  const bool ring = shape == Shape::kFocus || (shape == Shape::kLine && x != 0 && y != 0);
  const int64_t x_bound = Magnitude(x), y_bound = Magnitude(y);
  if (x_bound < INT32_MAX / 4 && y_bound < INT32_MAX / 4)
    engine->averager_ = FastAverager::Create(int(x_bound), int(y_bound), largest_row_bytes,
                                             capacity, ring, set, kSum16, !ring, format);
#else
  (void)largest_row_bytes;
#endif
  return engine;
}

BlurEngine::~BlurEngine() {
  for (SampleTable* table = tables_; table;) {
    SampleTable* const next = table->next;
    delete table;
    table = next;
  }
  delete spare_;
  delete averager_;
}

SampleTable* BlurEngine::NewTable() {
  SampleTable* table = new SampleTable;
  if (table && !table->offsets.Allocate(capacity_)) {
    delete table;
    return nullptr;
  }
  return table;
}

const SampleTable* BlurEngine::TableFor(int pitch, AverageResult* result, SampleTable** temporary) {
  *temporary = nullptr;
  for (const SampleTable* table = __atomic_load_n(&tables_, __ATOMIC_ACQUIRE); table;
       table = table->next)
    if (table->pitch == pitch) return table;

  SampleTable* table = __atomic_exchange_n(&spare_, nullptr, __ATOMIC_ACQUIRE);
  if (!table) table = NewTable();
  if (!table) {
    *result = AverageResult::kOutOfMemory;
    return nullptr;
  }
  table->pitch = pitch;
  table->offset_count = capacity_;
  if (!FillOffsets(shape_, x_, y_, pitch, bytes_per_pixel_, table->offsets.get(),
                   &table->offset_count)) {
    delete table;
    *result = AverageResult::kComputingError;
    return nullptr;
  }
  // Without a plan the plain kernel averages; it writes the same bytes.
  if (averager_)
    table->plan =
        averager_->Plan(table->offsets.get(), table->offset_count, pitch, bytes_per_pixel_);
  const SampleTable* published = Publish(table);
  if (!published) *temporary = table;
  return published ? published : table;
}

// Adds the table to the published ones, unless another thread has just published one for
// the same pitch (then that one, and this is deleted) or enough are kept already (null: the
// caller keeps it for its one call).
SampleTable* BlurEngine::Publish(SampleTable* table) {
  SampleTable* head = __atomic_load_n(&tables_, __ATOMIC_ACQUIRE);
  for (;;) {
    int count = 0;
    for (SampleTable* kept = head; kept; kept = kept->next, ++count) {
      if (kept->pitch != table->pitch) continue;
      delete table;
      return kept;
    }
    if (count >= kMostTables) return nullptr;
    table->next = head;
    if (__atomic_compare_exchange_n(&tables_, &head, table, false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
      return table;
  }
}

AverageResult BlurEngine::AverageInterior(const uint8_t* src, ptrdiff_t src_pitch, uint8_t* dst,
                                          ptrdiff_t dst_pitch, int width, int height,
                                          RowOrder order) {
  AverageResult result = AverageResult::kDone;
  SampleTable* temporary = nullptr;
  const SampleTable* table = TableFor(int(src_pitch), &result, &temporary);
  if (!table) return result;
  AveragingJob job =
      InteriorJob(src, src_pitch, dst, dst_pitch, width, height, bytes_per_pixel_, Magnitude(x_),
                  Magnitude(y_), table->offsets.get(), table->offset_count);
  // Its samples then reach from row 2 to height - 2: still inside the buffer.
  if (order == RowOrder::kBottomUp && !job.Empty()) {
    ++job.row_begin;
    ++job.row_end;
  }
  job.sample_type = format_.type;
  KernelChoice kernel;
  if (format_.type == SampleType::kFloat32 && !job.Empty()) {
    const FloatPlaneScan scan =
        KernelsFor(set_).scan_floats(src, src_pitch, ptrdiff_t(width) * format_.channels, height);
    job.float_scale = FloatScaleFor(scan.largest_finite_bits, job.offset_count);
    kernel = scan.non_finite ? AverageAroundNonFinite(*table, job, width, height)
                             : Average(*table, job);
  } else {
    kernel = Average(*table, job);
  }
  __atomic_store_n(&last_kernel_, int(kernel), __ATOMIC_RELAXED);
  __atomic_fetch_add(&frames_by_kernel_[int(kernel)], 1, __ATOMIC_RELAXED);
  delete temporary;
  return AverageResult::kDone;
}

KernelChoice BlurEngine::Average(const SampleTable& table, const AveragingJob& job) {
  if (table.plan) return averager_->Average(*table.plan, job);
  AveragePlain(job);
  return KernelChoice::kPlain;
}

namespace {

bool IsFinite(float sample) { return (FloatBits(sample) & 0x7FFFFFFFu) < kNonFiniteBits; }
// A NaN, or an infinity of that sign.
bool Upwards(float sample) { return !IsFinite(sample) && FloatBits(sample) != 0xFF800000u; }
bool Downwards(float sample) { return !IsFinite(sample) && FloatBits(sample) != kNonFiniteBits; }

// The samples of each row, `samples` floats `pitch` bytes apart, each through `map`.
template <typename Map>
void MapFloats(const uint8_t* in, uint8_t* out, ptrdiff_t pitch, ptrdiff_t samples, int rows,
               Map map) {
  for (int i = 0; i < rows; ++i) {
    const float* in_row = reinterpret_cast<const float*>(in + ptrdiff_t(i) * pitch);
    float* out_row = reinterpret_cast<float*>(out + ptrdiff_t(i) * pitch);
    for (ptrdiff_t k = 0; k < samples; ++k) out_row[k] = map(in_row[k]);
  }
}

}  // namespace

// A running sum must not carry an infinity or a NaN on to later outputs. The samples are
// averaged with those counted as 0, then each output whose samples hold one takes what a
// direct sum gives: which do is found by averaging planes of 1 where an upward (NaN or +inf)
// or a downward (NaN or -inf) sample lies, and 0 elsewhere, whose means are above 0 exactly
// there. Where the copies cannot be allocated, the plain kernel sums directly.
KernelChoice BlurEngine::AverageAroundNonFinite(const SampleTable& table, AveragingJob job,
                                                int width, int height) {
  const ptrdiff_t samples = ptrdiff_t(width) * format_.channels;
  HeapArray<uint8_t> finite, marks, means;
  if (job.src_pitch % 4 != 0 || job.dst_pitch % 4 != 0 ||
      !finite.Allocate(int64_t(height) * job.src_pitch) ||
      !marks.Allocate(int64_t(height) * job.src_pitch) ||
      !means.Allocate(int64_t(height) * job.dst_pitch)) {
    AveragePlain(job);
    return KernelChoice::kPlain;
  }
  const uint8_t* const src = job.src;
  uint8_t* const dst = job.dst;
  MapFloats(src, finite.get(), job.src_pitch, samples, height,
            [](float v) { return IsFinite(v) ? v : 0.0f; });
  job.src = finite.get();
  const KernelChoice kernel = Average(table, job);

  AveragingJob marked = job;
  marked.src = marks.get();
  marked.dst = means.get();
  marked.float_scale = FloatScaleFor(FloatBits(1.0f), job.offset_count);
  const int channels = format_.channels;
  const bool directions[] = {true, false};  // upwards, then downwards
  for (const bool upwards : directions) {
    MapFloats(src, marks.get(), job.src_pitch, samples, height,
              [&](float v) { return (upwards ? Upwards(v) : Downwards(v)) ? 1.0f : 0.0f; });
    Average(table, marked);
    for (int i = job.row_begin; i < job.row_end; ++i) {
      const float* mean_row = reinterpret_cast<const float*>(means.get() + i * job.dst_pitch);
      float* out_row = reinterpret_cast<float*>(dst + i * job.dst_pitch);
      for (ptrdiff_t k = ptrdiff_t(job.pixel_begin) * channels;
           k < ptrdiff_t(job.pixel_end) * channels; ++k) {
        if (mean_row[k] <= 0) continue;
        const bool up_too = !upwards && FloatBits(out_row[k]) == kNonFiniteBits;
        out_row[k] = NonFiniteMean(upwards || up_too, !upwards, 0);
      }
    }
  }
  return kernel;
}

int64_t BlurEngine::WorkSpaceBytes() const {
  return averager_ ? averager_->WorkSpaceBytes() * averager_->WorkSpaceCount() : 0;
}
