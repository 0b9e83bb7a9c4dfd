#include "blur_filter.h"

#include "arithmetic.h"
#include "averaging/fast_averager.h"
#include "shape.h"

namespace {

// Entries the table needs for the shape; 64-bit, since the product can outgrow int32
// for very wide clips.
int64_t TableCapacity(Shape shape, int64_t x, int64_t y) {
  switch (shape) {
    case Shape::kLine: return 2 * Max(Magnitude(x), Magnitude(y)) + 1;
    case Shape::kRect: return (2 * x + 1) * (2 * y + 1);
    case Shape::kFocus: return (2 * x + 1) * (2 * x + 1);
  }
  return 0;
}

}  // namespace

BlurFilter::BlurFilter(const PClip& source, int x_extent, int y_extent, const char* keyword)
    : GenericVideoFilter(source), x(x_extent), y(y_extent), blur(keyword) {
  const Shape shape = ShapeOf(blur);
  if (shape == Shape::kFocus) y = x;  // the disc is as high as it is wide
  const int64_t capacity = TableCapacity(shape, x, y);
  // A table that offset_count cannot count, or a 32-bit process cannot address, is as
  // unusable as one that was not allocated.
  if (capacity > 0 && capacity <= INT32_MAX && offsets.Allocate(capacity))
    offset_count = int(capacity);
#if !defined(KORVEL_PLAIN_KERNEL_ONLY)
  // Rows of prefix sums, or of a line's earlier sums, pay off where the samples fill no box.
  // Horizontal and vertical lines are boxes too.
  const bool ring = shape == Shape::kFocus || (shape == Shape::kLine && x != 0 && y != 0);
  const int64_t x_bound = Magnitude(x), y_bound = Magnitude(y);
  if (offsets && x_bound < INT32_MAX / 4 && y_bound < INT32_MAX / 4)
    averager = FastAverager::Create(int(x_bound), int(y_bound),
                                    int64_t(vi.width) * (vi.BitsPerPixel() / 8), offset_count, ring,
                                    BestInstructionSet());
#endif
}

BlurFilter::~BlurFilter() { delete averager; }
