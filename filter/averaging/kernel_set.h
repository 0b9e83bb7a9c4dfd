// The fast averaging kernels of one instruction set, as data the dispatcher picks from.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "averaging/averaging_job.h"
#include "averaging/exact_division.h"
#include "averaging/instruction_set.h"
#include "averaging/kernel_costs.h"
#include "averaging/row_runs.h"
#include "averaging/shift_plan.h"

// Work space sized when the filter is built. Lines hold one value, of up to 64 bits, per byte
// of the longest row plus a pixel of zeros; the ring holds ring_rows such lines, or is null.
struct KernelBuffers {
  const void** pointers;  // room for pointer_capacity
  int pointer_capacity;   // at least three per row step of the table's reach
  int* lengths;           // as many

  uint32_t* first_line;
  uint32_t* second_line;
  uint32_t* ring;
  int ring_rows;
  ptrdiff_t line_capacity;  // values per line, whatever their width
};

using AverageFunction = void (*)(const AveragingJob& job, const RunLayout& layout,
                                 const Divisor& divisor, const KernelBuffers& buffers);

// With prefix_rows, long runs are read from prefix sums of their rows, kept in a ring of as
// many lines as the layout spans rows.
using RunsFunction = void (*)(const AveragingJob& job, const RunLayout& layout, bool prefix_rows,
                              const Divisor& divisor, const KernelBuffers& buffers);

using ShiftFunction = void (*)(const AveragingJob& job, const RunLayout& layout,
                               const ShiftPlan& plan, const Divisor& divisor,
                               const KernelBuffers& buffers);

// The width of the lanes sums are kept in: 16-bit lanes need FindDivisor16, 32-bit ones
// FindDivisor32, and 64-bit ones take DivisorByDivision.
enum SumWidth { kSum16, kSum32, kSum64, kSumWidths };

// The kernels for samples wider than a byte, for one sample type and one width of sums, as
// the byte kernels of the same names need them.
struct WideKernels {
  AverageFunction box;
  RunsFunction runs;
  ShiftFunction shifted;
};

// Words summed in 32-bit or 64-bit lanes, and floats, whose integers take 64-bit lanes.
enum WideSums { kWords32, kWords64, kFloats64, kWideSumsCount };

// Each kernel in each width. Callers check that the job fits the buffers.
struct KernelSet {
  AverageFunction box[kSumWidths];  // layout.IsBox()
  RunsFunction runs[kSumWidths];    // any layout
  // Needs a ring of plan.row_step lines, a pointer per run and per entering and leaving
  // sample, and past 16-bit sums plan.SumsFit16Bits() too.
  ShiftFunction shifted[kSumWidths];
  // layout.IsBox() with rows of at most 257 samples, 32-bit sums, and a ring of as many
  // 16-bit lines as the box has rows plus kRowBoxRowsPerPass (each ring line holds two).
  // Boxes of 16-bit sums take `box`, which reads less for them.
  AverageFunction row_box32;
  WideKernels wide[kWideSumsCount];
  // Over `rows` rows of `samples` floats each, `pitch` bytes apart.
  FloatPlaneScan (*scan_floats)(const uint8_t* plane, ptrdiff_t pitch, ptrdiff_t samples, int rows);
};

// Output rows the row-sum box averages a pass: its ring holds as many rows beyond the box's.
constexpr int kRowBoxRowsPerPass = 4;

const KernelSet& PortableKernels();

// The kernels built for an instruction set the processor has (the portable ones for any
// other).
const KernelSet& KernelsFor(InstructionSet set);
