// The table FillOffsets writes for a shape's parameters, as the filter keeps them.
#pragma once

#include <stdint.h>

#include <vector>

#include "sample_table.h"

namespace korvel_test {

inline std::vector<int32_t> TableOf(const char* blur, int x, int y, int pitch,
                                    int bytes_per_pixel) {
  const Shape shape = ShapeOf(blur);
  if (shape == Shape::kFocus) y = x;  // the disc is as high as it is wide
  int count = int(TableCapacity(shape, x, y));
  std::vector<int32_t> table(static_cast<size_t>(count));
  if (!FillOffsets(shape, x, y, pitch, bytes_per_pixel, table.data(), &count)) return {};
  table.resize(size_t(count));
  return table;
}

}  // namespace korvel_test
