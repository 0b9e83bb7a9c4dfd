// The fast averaging kernels of one instruction set, as data the dispatcher picks from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "averaging_job.h"
#include "exact_division.h"
#include "row_runs.h"

// Work space sized when the filter is built. Lines hold one value per byte of the longest
// row plus a pixel of zeros; the ring holds ring_rows such lines, or is null.
struct KernelBuffers {
  uint32_t* first_line;
  uint32_t* second_line;
  uint32_t* ring;
  int ring_rows;
  ptrdiff_t line_capacity;  // values per line, 32-bit or 16-bit alike
};

// Samples of a row that are read one by one rather than from running sums.
constexpr int kLongestDirectRun = 3;

using AverageFunction = void (*)(const AveragingJob& job, const RunLayout& layout,
                                 const Divisor& divisor, const KernelBuffers& buffers);

// "16" kernels keep sums in 16-bit lanes and need FindDivisor16; "32" ones FindDivisor32.
// Callers check that the job fits the buffers.
struct KernelSet {
  AverageFunction box16;  // layout.IsBox()
  AverageFunction box32;
  AverageFunction runs16;  // any layout
  AverageFunction runs32;
};

const KernelSet& PortableKernels();
