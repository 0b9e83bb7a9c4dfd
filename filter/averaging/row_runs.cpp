#include "averaging/row_runs.h"

#include "arithmetic.h"

namespace {

// Quotient rounded towards negative infinity, for a positive divisor.
int64_t FloorDivide(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

bool RunLayout::IsBox() const {
  if (run_count != last_row - first_row + 1) return false;
  for (int r = 0; r < run_count; ++r)
    if (runs[r].first_column != first_column || runs[r].last_column != last_column) return false;
  return true;  // run_count distinct rows within [first_row, last_row]: all of them
}

bool RunDescriber::Describe(const int32_t* offsets, int count, ptrdiff_t pitch, int bytes_per_pixel,
                            RunLayout* layout) {
  const int64_t bytes = bytes_per_pixel;
  // With a row longer than the widest reach the split of an entry into rows and pixels is
  // unique; shorter rows are left to the plain kernel.
  if (count < 1 || bytes < 1 || pitch <= 2 * int64_t(x_bound_) * bytes) return false;
  for (int r = 0; r < 2 * y_bound_ + 1; ++r) seen_rows_[r] = false;
  int run_count = 0;
  int direction = 0;  // +1 or -1 once the current run has two samples
  for (int e = 0; e < count; ++e) {
    // An entry one pixel on from the run's end, in its direction, extends it without a
    // division: within the reach, rows and pixels split one way only.
    if (run_count > 0 && direction != 0) {
      RowRun& run = runs_[run_count - 1];
      int end = direction > 0 ? run.last_column : run.first_column;
      const int64_t step = direction * bytes;
      const int limit = direction > 0 ? x_bound_ : -x_bound_;
      const int first = e;
      while (e < count && end != limit && int64_t(offsets[e]) - offsets[e - 1] == step) {
        end += direction;
        ++e;
      }
      (direction > 0 ? run.last_column : run.first_column) = end;
      if (e > first) {
        --e;  // the loop's increment moves on to the first entry not taken
        continue;
      }
    }
    const int64_t shifted = int64_t(offsets[e]) + x_bound_ * bytes;
    const int64_t row = FloorDivide(shifted, pitch);
    const int64_t rest = shifted - row * pitch;
    if (rest % bytes != 0 || row < -y_bound_ || row > y_bound_) return false;
    const int column = int(rest / bytes) - x_bound_;
    if (column > x_bound_) return false;
    if (run_count > 0 && runs_[run_count - 1].row == row) {
      RowRun& run = runs_[run_count - 1];
      const int step = direction != 0 ? direction : (column > run.last_column ? 1 : -1);
      const int next = step > 0 ? run.last_column + 1 : run.first_column - 1;
      if (column != next) return false;
      (step > 0 ? run.last_column : run.first_column) = column;
      direction = step;
      continue;
    }
    bool& seen = seen_rows_[row + y_bound_];
    if (seen) return false;
    seen = true;
    runs_[run_count++] = {int(row), column, column};
    direction = 0;
  }
  layout->runs = runs_;
  layout->run_count = run_count;
  layout->first_row = layout->last_row = runs_[0].row;
  layout->first_column = runs_[0].first_column;
  layout->last_column = runs_[0].last_column;
  for (int r = 1; r < run_count; ++r) {
    layout->first_row = Min(layout->first_row, runs_[r].row);
    layout->last_row = Max(layout->last_row, runs_[r].row);
    layout->first_column = Min(layout->first_column, runs_[r].first_column);
    layout->last_column = Max(layout->last_column, runs_[r].last_column);
  }
  return true;
}
