#include "plane_blur.h"

#include <string.h>

#include "arithmetic.h"
#include "border_strips.h"

PlaneBlur PlaneBlurOf(Shape shape, int x, int y, int log2_w, int log2_h, RowOrder order) {
  PlaneBlur plane{};
  plane.x = x / (1 << log2_w);
  plane.y = shape == Shape::kFocus ? plane.x : y / (1 << log2_h);
  if (order == RowOrder::kBottomUp && shape == Shape::kLine) plane.y = -plane.y;
  return plane;
}

bool AveragingChangesPlane(const PlaneBlur& plane, Shape shape, int width, int height) {
  const bool one_sample = plane.x == 0 && (plane.y == 0 || shape == Shape::kFocus);
  // The interior's rows are |y| + 1 to height - |y| - 3, its pixels likewise.
  const int64_t margin_x = Magnitude(plane.x), margin_y = Magnitude(plane.y);
  return !one_sample && width > 2 * margin_x + 3 && height > 2 * margin_y + 3;
}

namespace {

void CopyStrip(const Strip& strip, const uint8_t* src, ptrdiff_t src_stride, uint8_t* dst,
               ptrdiff_t dst_stride) {
  for (int row = strip.first_row; row < strip.first_row + strip.rows; ++row)
    memcpy(dst + row * dst_stride + strip.first_byte, src + row * src_stride + strip.first_byte,
           size_t(strip.bytes));
}

}  // namespace

AverageResult BlurPlane(const PlaneBlur& plane, const uint8_t* src, ptrdiff_t src_stride,
                        uint8_t* dst, ptrdiff_t dst_stride, int width, int height, RowOrder order) {
  const BorderStrips strips = BorderStripsOf(width, height, plane.engine->Format().PixelBytes(),
                                             Magnitude(plane.x), Magnitude(plane.y));
  const Strip in_copy_order[] = {strips.top, strips.bottom, strips.left, strips.right};
  // The strips are as deep at the top as at the bottom, so the same for either row order.
  for (const Strip& strip : in_copy_order) CopyStrip(strip, src, src_stride, dst, dst_stride);
  return plane.engine->AverageInterior(src, src_stride, dst, dst_stride, width, height, order);
}
