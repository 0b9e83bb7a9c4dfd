#include "arithmetic.h"
#include "sample_table.h"

namespace {

// Nearest integer to a / b for b > 0, ties to the larger integer; the division floors, so
// negative numerators round like positive ones.
int64_t RoundedRatio(int64_t a, int64_t b) {
  const int64_t n = a + b / 2;
  return n >= 0 ? n / b : -((-n + b - 1) / b);
}

int Sign(int v) { return v > 0 ? 1 : -1; }

class OffsetWriter {
 public:
  OffsetWriter(int32_t* table, int pitch, int bytes_per_pixel)
      : table_(table), pitch_(pitch), bytes_per_pixel_(bytes_per_pixel) {}
  int32_t Entry(int64_t row_step, int64_t column_step) const {
    return int32_t(row_step * pitch_ + column_step * bytes_per_pixel_);
  }
  void Put(int index, int64_t row_step, int64_t column_step) {
    table_[index] = Entry(row_step, column_step);
  }

 private:
  int32_t* table_;
  int64_t pitch_;
  int64_t bytes_per_pixel_;
};

// 2M + 1 samples from -(x, y) to +(x, y), one per step along the major axis, the minor
// step rounded to the nearest integer. A vertical or horizontal line ascends whatever
// the sign of its parameter.
void FillLine(OffsetWriter& out, int x, int y) {
  const int64_t ax = Magnitude(x), ay = Magnitude(y);
  const bool y_major = ax < ay;
  const int64_t m = y_major ? ay : ax;
  for (int64_t s = -m; s <= m; ++s) {
    int64_t row, column;
    if (y_major) {
      row = x == 0 ? s : Sign(y) * s;
      column = x == 0 ? 0 : Sign(x) * RoundedRatio(s * ax, ay);
    } else {
      column = y == 0 ? s : Sign(x) * s;
      row = y == 0 ? 0 : Sign(y) * RoundedRatio(s * ay, ax);
    }
    out.Put(int(s + m), row, column);
  }
}

// Row-major from the row of lowest address.
void FillRect(OffsetWriter& out, int x, int y) {
  int k = 0;
  for (int dy = -y; dy <= y; ++dy)
    for (int dx = -x; dx <= x; ++dx) out.Put(k++, dy, dx);
}

}  // namespace

int64_t TableCapacity(Shape shape, int64_t x, int64_t y) {
  switch (shape) {
    case Shape::kLine: return 2 * Max(Magnitude(x), Magnitude(y)) + 1;
    case Shape::kRect: return (2 * x + 1) * (2 * y + 1);
    case Shape::kFocus: return (2 * x + 1) * (2 * x + 1);
  }
  return 0;
}

bool FillOffsets(Shape shape, int x, int y, int pitch, int bytes_per_pixel, int32_t* offsets,
                 int* offset_count) {
  OffsetWriter out(offsets, pitch, bytes_per_pixel);
  switch (shape) {
    case Shape::kLine: FillLine(out, x, y); return true;
    case Shape::kRect: FillRect(out, x, y); return true;
    case Shape::kFocus: break;
  }
  // The closed disc of radius x; the count becomes its number of points.
  const int64_t r = x;
  int k = 0;
  for (int64_t dy = -r; dy <= r; ++dy) {
    for (int64_t dx = -r; dx <= r; ++dx) {
      if (dx * dx + dy * dy > r * r) continue;
      if (k >= *offset_count) return false;
      out.Put(k++, dy, dx);
    }
  }
  *offset_count = k;
  return true;
}
