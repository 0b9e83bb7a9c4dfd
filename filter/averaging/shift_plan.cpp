#include "averaging/shift_plan.h"

namespace {

int64_t FloorDivide(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Appends the columns of `from` that are not in `minus`, as at most two runs.
void AppendDifference(int row, const RowRun* from, const RowRun* minus, RowRun* out, int* count) {
  if (!from) return;
  if (!minus || minus->last_column < from->first_column ||
      minus->first_column > from->last_column) {
    out[(*count)++] = {row, from->first_column, from->last_column};
    return;
  }
  if (from->first_column < minus->first_column)
    out[(*count)++] = {row, from->first_column, minus->first_column - 1};
  if (minus->last_column < from->last_column)
    out[(*count)++] = {row, minus->last_column + 1, from->last_column};
}

}  // namespace

int ShiftPlan::SamplesRead() const {
  int samples = 1;  // the earlier sum
  for (int r = 0; r < entering_count; ++r) samples += entering[r].Length();
  for (int r = 0; r < leaving_count; ++r) samples += leaving[r].Length();
  return samples;
}

bool ShiftPlan::SumsFit16Bits() const {
  int entering_samples = 0, leaving_samples = 0;
  for (int r = 0; r < entering_count; ++r) entering_samples += entering[r].Length();
  for (int r = 0; r < leaving_count; ++r) leaving_samples += leaving[r].Length();
  return int64_t(entering_samples) * 255 <= UINT16_MAX &&
         int64_t(leaving_samples) * 255 <= UINT16_MAX;
}

int TablePeriod(const int32_t* offsets, int count) {
  for (int period = 1; period <= count / 2; ++period) {
    const int64_t step = int64_t(offsets[period]) - offsets[0];
    int s = 1;
    while (s + period < count && int64_t(offsets[s + period]) - offsets[s] == step) ++s;
    if (s + period >= count) return period;
  }
  return 0;
}

bool ShiftPlanner::Plan(const int32_t* offsets, int period, ptrdiff_t pitch, int bytes_per_pixel,
                        const RunLayout& layout, ShiftPlan* plan) {
  // The displacement spans at most twice the table's reach each way.
  const int64_t bytes = bytes_per_pixel;
  if (period < 1 || pitch <= 4 * int64_t(x_bound_) * bytes) return false;
  const int64_t shifted = int64_t(offsets[period]) - offsets[0] + 2 * int64_t(x_bound_) * bytes;
  const int64_t row_step = FloorDivide(shifted, pitch);
  const int64_t rest = shifted - row_step * pitch;
  if (rest % bytes != 0) return false;
  const int64_t column_step = rest / bytes - 2 * int64_t(x_bound_);
  if (row_step < -2 * y_bound_ || row_step > 2 * y_bound_ || column_step > 2 * x_bound_)
    return false;
  return PlanDisplacement(int(row_step), int(column_step), layout, plan);
}

bool ShiftPlanner::PlanDisplacement(int row_step, int column_step, const RunLayout& layout,
                                    ShiftPlan* plan) {
  if (row_step == 0 || row_step < -2 * y_bound_ || row_step > 2 * y_bound_ ||
      column_step < -2 * x_bound_ || column_step > 2 * x_bound_)
    return false;
  if (row_step < 0) row_step = -row_step, column_step = -column_step;

  // Runs by row step: the table's own, and the moved table's (row u holds what row u + D's
  // row step holds, moved back by D's column step).
  const int first = layout.first_row - int(row_step), last = layout.last_row;
  for (int r = 0; r < 4 * y_bound_ + 1; ++r) row_index_[r] = -1;
  for (int r = 0; r < layout.run_count; ++r) row_index_[layout.runs[r].row + 2 * y_bound_] = r;
  auto run_at = [&](int row) -> const RowRun* {
    if (row < -2 * y_bound_ || row > 2 * y_bound_) return nullptr;
    const int index = row_index_[row + 2 * y_bound_];
    return index < 0 ? nullptr : &layout.runs[index];
  };
  int entering_count = 0, leaving_count = 0;
  for (int row = first; row <= last; ++row) {
    const RowRun* own = run_at(row);
    const RowRun* later = run_at(row + int(row_step));
    RowRun moved{};
    if (later) {
      moved = {row, later->first_column - int(column_step), later->last_column - int(column_step)};
    }
    AppendDifference(row, own, later ? &moved : nullptr, entering_, &entering_count);
    AppendDifference(row, later ? &moved : nullptr, own, leaving_, &leaving_count);
  }
  *plan = {int(row_step), int(column_step), entering_, entering_count, leaving_, leaving_count};
  return true;
}
