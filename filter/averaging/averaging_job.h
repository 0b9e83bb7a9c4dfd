// One frame's averaging step: where to read and write, which pixels, and which samples.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "arithmetic.h"
#include "averaging/float_sums.h"
#include "sample_format.h"

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
  const int32_t* offsets;  // byte offsets into the source, relative to the sample computed
  int offset_count;        // odd, at least 1
  SampleType sample_type = SampleType::kUint8;
  FloatScale float_scale{};  // for float samples: how they are summed (float_sums.h)

  bool Empty() const { return row_begin >= row_end || pixel_begin >= pixel_end; }
};

// True when count samples of 255 plus the rounding term fit a signed 32-bit sum.
inline bool SumFitsInt32(int64_t count) { return count * 255 + count / 2 <= INT32_MAX; }

// The job of a frame pass: rows margin_y + 1 to height - margin_y - 3 and pixels margin_x + 1
// to width - margin_x - 3, where every sample lies inside the source at least one row and
// pixel in from its edges; empty when the frame is too small for any.
inline AveragingJob InteriorJob(const uint8_t* src, ptrdiff_t src_pitch, uint8_t* dst,
                                ptrdiff_t dst_pitch, int width, int height, int bytes_per_pixel,
                                int64_t margin_x, int64_t margin_y, const int32_t* offsets,
                                int offset_count) {
  AveragingJob job;
  job.src = src;
  job.src_pitch = src_pitch;
  job.dst = dst;
  job.dst_pitch = dst_pitch;
  job.row_begin = int(Min<int64_t>(margin_y + 1, height));
  job.row_end = int(Max<int64_t>(height - margin_y - 2, 0));
  job.pixel_begin = int(Min<int64_t>(margin_x + 1, width));
  job.pixel_end = int(Max<int64_t>(width - margin_x - 2, 0));
  job.bytes_per_pixel = bytes_per_pixel;
  job.offsets = offsets;
  job.offset_count = offset_count;
  return job;
}
