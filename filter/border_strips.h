// The four strips along a frame's edges that are copied unchanged before the interior is
// averaged: Y + 2 rows at the top and the bottom, X + 2 pixels at the left and the right,
// each limited to the frame, so that a strip wider than the frame starts at its edge rather
// than before it.
#pragma once

#include <stdint.h>

#include "arithmetic.h"

struct Strip {
  int first_row, rows;    // rows [first_row, first_row + rows)
  int first_byte, bytes;  // bytes [first_byte, first_byte + bytes) of each of those rows
};

// In the order they are copied.
struct BorderStrips {
  Strip top, bottom, left, right;
};

inline BorderStrips BorderStripsOf(int width, int height, int bytes_per_pixel, int64_t margin_x,
                                   int64_t margin_y) {
  const int rows = int(Min<int64_t>(margin_y + 2, height));
  const int pixels = int(Min<int64_t>(margin_x + 2, width));
  const int row_bytes = width * bytes_per_pixel;
  return {{0, rows, 0, row_bytes},
          {height - rows, rows, 0, row_bytes},
          {0, height, 0, pixels * bytes_per_pixel},
          {0, height, (width - pixels) * bytes_per_pixel, pixels * bytes_per_pixel}};
}
