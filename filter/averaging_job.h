// One frame's averaging step: where to read and write, which pixels, and which samples.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct AveragingJob {
  const uint8_t* src;  // first byte of source row 0
  ptrdiff_t src_pitch;
  uint8_t* dst;  // first byte of destination row 0
  ptrdiff_t dst_pitch;
  int row_begin;  // averaged rows are [row_begin, row_end)
  int row_end;
  int pixel_begin;  // averaged pixels of a row are [pixel_begin, pixel_end)
  int pixel_end;
  int bytes_per_pixel;
  const int32_t* offsets;  // byte offsets into the source, relative to the byte computed
  int offset_count;        // odd, at least 1

  bool Empty() const { return row_begin >= row_end || pixel_begin >= pixel_end; }
};

// True when count samples of 255 plus the rounding term fit a signed 32-bit sum.
inline bool SumFitsInt32(int64_t count) { return count * 255 + count / 2 <= INT32_MAX; }
