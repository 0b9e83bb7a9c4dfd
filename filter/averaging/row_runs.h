// The offset table seen as rows of neighbouring samples: every shape puts its samples of
// one row step side by side, so a row's samples are one run of columns.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct RowRun {
  int row;  // row step of every sample of the run
  int first_column;
  int last_column;  // first_column <= last_column
  int Length() const { return last_column - first_column + 1; }
};

struct RunLayout {
  const RowRun* runs;
  int run_count;
  int first_row, last_row;        // smallest and largest row step of any run
  int first_column, last_column;  // smallest and largest column step of any run
  // True when every row step from first_row to last_row has the run from first_column to
  // last_column: the samples fill a box.
  bool IsBox() const;
};

// Splits a table into row runs, storage for at most 2 * y_bound + 1 runs given. Fails when
// an entry is not u rows and v pixels with |u| <= y_bound and |v| <= x_bound for this
// pitch, or when the samples of a row step are not consecutive neighbours in the table,
// ascending or descending, or when a row step comes back after another: the layout then
// names exactly the table's samples, each once.
class RunDescriber {
 public:
  // `seen_rows` has room for 2 * y_bound + 1 flags.
  RunDescriber(int x_bound, int y_bound, RowRun* runs, bool* seen_rows)
      : x_bound_(x_bound), y_bound_(y_bound), runs_(runs), seen_rows_(seen_rows) {}

  bool Describe(const int32_t* offsets, int count, ptrdiff_t pitch, int bytes_per_pixel,
                RunLayout* layout);

 private:
  int x_bound_;
  int y_bound_;
  RowRun* runs_;
  bool* seen_rows_;
};
