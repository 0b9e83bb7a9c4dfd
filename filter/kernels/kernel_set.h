// The fast averaging kernels of one instruction set, as data the dispatcher picks from.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "averaging_job.h"
#include "exact_division.h"
#include "kernel_costs.h"
#include "row_runs.h"
#include "shift_plan.h"

// Work space sized when the filter is built. Lines hold one value per byte of the longest
// row plus a pixel of zeros; the ring holds ring_rows such lines, or is null.
struct KernelBuffers {
  const void** pointers;  // room for pointer_capacity
  int pointer_capacity;   // kPointersPerRow per row step of the table's reach
  int* lengths;           // as many

  uint32_t* first_line;
  uint32_t* second_line;
  uint32_t* ring;
  int ring_rows;
  ptrdiff_t line_capacity;  // values per line, 32-bit or 16-bit alike
};

constexpr int kPointersPerRow = 12;

using AverageFunction = void (*)(const AveragingJob& job, const RunLayout& layout,
                                 const Divisor& divisor, const KernelBuffers& buffers);

using ShiftFunction = void (*)(const AveragingJob& job, const RunLayout& layout,
                               const ShiftPlan& plan, const Divisor& divisor,
                               const KernelBuffers& buffers);

// "16" kernels keep sums in 16-bit lanes and need FindDivisor16; "32" ones FindDivisor32.
// Callers check that the job fits the buffers.
struct KernelSet {
  AverageFunction box16;  // layout.IsBox()
  AverageFunction box32;
  AverageFunction runs16;  // any layout
  AverageFunction runs32;
  ShiftFunction shifted16;  // needs a ring of plan.row_step lines
  ShiftFunction shifted32;  // needs plan.SumsFit16Bits() too
  // Both need a pointer per run and per entering and leaving sample.
};

const KernelSet& PortableKernels();
