// One blur's averaging, shared by every thread that asks for frames. What the blur's
// parameters decide is decided once and then only read: the sample table and the fast
// averager's plan for each source pitch are built on the first frame of that pitch and
// published; what a frame writes lives in a work space that the call takes for itself.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "averaging/fast_averager.h"
#include "heap.h"
#include "sample_format.h"
#include "sample_table.h"
#include "shape.h"

enum class AverageResult { kDone, kOutOfMemory, kComputingError };

// How a picture's rows lie in memory: from its top (every planar format), or from its bottom
// (packed RGB in AviSynth+), where the interior, counted from the picture's top, is one row
// further from the buffer's start.
enum class RowOrder { kTopDown, kBottomUp };

class BlurEngine : public HeapAllocated {
 public:
  // For a shape with extents x and y as the filter keeps them (a disc's y equal to its x),
  // pixels of the format's samples, and rows of at most largest_row_bytes bytes. Null when
  // the format is not one the engine averages, or the shape's table cannot be counted or
  // allocated. The kernels are those of the instruction set given (tests and benchmarks
  // name one), else the widest the processor has within KORVEL_INSTRUCTION_SET.
  static BlurEngine* Create(Shape shape, int x, int y, SampleFormat format,
                            int64_t largest_row_bytes, InstructionSet set = BestInstructionSet());
  ~BlurEngine();
  BlurEngine(const BlurEngine&) = delete;
  BlurEngine& operator=(const BlurEngine&) = delete;

  // Writes the interior of a frame of width pixels and height rows (the rows from |y| + 1 to
  // height - |y| - 3, the pixels from |x| + 1 to width - |x| - 3) as the rounded means over
  // the table for the source pitch, exactly as the plain kernel. Pitches are in bytes, and
  // multiples of the sample's size. Safe to call from any number of threads at once. Writes
  // nothing unless the result is kDone. Stored bottom-up, the rows written are those from |y| + 2
  // to height - |y| - 2 in memory, and a line's engine is made with y negated, so that the
  // picture gets what it gets stored top-down.
  AverageResult AverageInterior(const uint8_t* src, ptrdiff_t src_pitch, uint8_t* dst,
                                ptrdiff_t dst_pitch, int width, int height,
                                RowOrder order = RowOrder::kTopDown);

  int TableCapacity() const { return capacity_; }
  SampleFormat Format() const { return format_; }
  // The kernel that averaged the latest frame, and how many frames each kernel averaged, for
  // tests and reports.
  KernelChoice LastKernel() const {
    return KernelChoice(__atomic_load_n(&last_kernel_, __ATOMIC_RELAXED));
  }
  int64_t FramesAveragedBy(KernelChoice kernel) const {
    return __atomic_load_n(&frames_by_kernel_[int(kernel)], __ATOMIC_RELAXED);
  }
  // The work spaces the averager holds now.
  int64_t WorkSpaceBytes() const;

 private:
  // Frames of one clip almost always share one pitch; a source that changes it on every
  // frame gets tables made for one call beyond these.
  static constexpr int kMostTables = 8;

  BlurEngine(Shape shape, int x, int y, SampleFormat format, int capacity, InstructionSet set)
      : shape_(shape),
        x_(x),
        y_(y),
        format_(format),
        bytes_per_pixel_(format.PixelBytes()),
        capacity_(capacity),
        set_(set) {}
  // The table for source frames of this pitch, built and published on first use; null, with
  // the reason in *result, when it cannot be built. Tables past the most kept are made for
  // one call: *temporary then owns the table, which the caller deletes.
  const SampleTable* TableFor(int pitch, AverageResult* result, SampleTable** temporary);
  SampleTable* NewTable();
  SampleTable* Publish(SampleTable* table);
  KernelChoice Average(const SampleTable& table, const AveragingJob& job);
  KernelChoice AverageAroundNonFinite(const SampleTable& table, AveragingJob job, int width,
                                      int height);

  Shape shape_;
  int x_;
  int y_;
  SampleFormat format_;
  int bytes_per_pixel_;
  int capacity_;
  InstructionSet set_;
  FastAverager* averager_ = nullptr;  // null: every frame takes the plain kernel
  SampleTable* tables_ = nullptr;     // published, never changed or freed before the engine
  SampleTable* spare_ = nullptr;      // allocated at creation, taken by the first table built
  int last_kernel_ = int(KernelChoice::kPlain);  // a KernelChoice, stored atomically
  int64_t frames_by_kernel_[kKernelChoices] = {};
};
