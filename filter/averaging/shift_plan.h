// A line's samples repeat one displacement further on: the table moved by that displacement
// D shares all but a few samples with itself, so the sum at a pixel follows from the sum at
// the pixel D back, plus the samples that enter and minus those that leave.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "averaging/row_runs.h"

struct ShiftPlan {
  int row_step;  // D, always at least one row, so the earlier sum is on an earlier row
  int column_step;
  const RowRun* entering;  // the table's samples that the table moved by D lacks
  int entering_count;
  const RowRun* leaving;  // the moved table's samples that the table lacks
  int leaving_count;

  int SamplesRead() const;
  // True when neither the entering nor the leaving samples can sum past 16 bits.
  bool SumsFit16Bits() const;
};

// The smallest p with offsets[s + p] - offsets[s] the same for every s; 0 when there is
// none up to count / 2.
int TablePeriod(const int32_t* offsets, int count);

// Derives the plan for the displacement of `period` entries from the table and its layout.
// Fails when the displacement is not whole rows and pixels within the table's reach, or
// moves along a row only.
class ShiftPlanner {
 public:
  // Storage for the row index of 4 * y_bound + 1 rows and for twice that many runs of each
  // kind.
  ShiftPlanner(int x_bound, int y_bound, int* row_index, RowRun* entering, RowRun* leaving)
      : x_bound_(x_bound),
        y_bound_(y_bound),
        row_index_(row_index),
        entering_(entering),
        leaving_(leaving) {}

  bool Plan(const int32_t* offsets, int period, ptrdiff_t pitch, int bytes_per_pixel,
            const RunLayout& layout, ShiftPlan* plan);

  // The plan for a displacement given in rows and pixels; any table has the one of a row.
  bool PlanDisplacement(int row_step, int column_step, const RunLayout& layout, ShiftPlan* plan);

 private:
  int x_bound_;
  int y_bound_;
  int* row_index_;
  RowRun* entering_;
  RowRun* leaving_;
};
