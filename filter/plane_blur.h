// What a blur does to one plane of a frame, decided once at creation: shared by the hosts
// whose clips are planar.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "blur_engine.h"
#include "shape.h"

struct PlaneBlur {
  bool averaged;  // false: the plane is the source's, unchanged
  int x, y;       // the shape's extents on this plane (a disc's y equals its x)
  BlurEngine* engine;
};

// The extents on a plane subsampled by 2^log2_w across and 2^log2_h down, divided toward
// zero: a line keeps its direction on the picture, and a disc stays round, its radius
// divided by the horizontal factor. Stored bottom-up, a line's y is negated: memory rows run up
// the picture (a box and a disc are the same either way up).
PlaneBlur PlaneBlurOf(Shape shape, int x, int y, int log2_w, int log2_h,
                      RowOrder order = RowOrder::kTopDown);

// Whether averaging a plane of this size changes anything: false where the shape is a single
// sample, or where the border strips leave no interior.
bool AveragingChangesPlane(const PlaneBlur& plane, Shape shape, int width, int height);

// One averaged plane of a frame: its border strips copied from the source, its interior the
// means over the shape. Strides are in bytes. A plane stored bottom-up is described so by
// PlaneBlurOf.
AverageResult BlurPlane(const PlaneBlur& plane, const uint8_t* src, ptrdiff_t src_stride,
                        uint8_t* dst, ptrdiff_t dst_stride, int width, int height,
                        RowOrder order = RowOrder::kTopDown);
