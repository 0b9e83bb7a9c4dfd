// What the engine needs to know of a plane of floats before averaging it: the largest finite
// magnitude, which sets how samples are summed (float_sums.h), and whether any sample is an
// infinity or a NaN, which the running sums of the fast kernels must not carry.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct FloatPlaneScan {
  uint32_t largest_finite_bits;  // magnitude bits of the largest finite sample
  bool non_finite;
};

// Over `rows` rows of `samples` floats each, `pitch` bytes apart.
FloatPlaneScan ScanFloatPlane(const uint8_t* plane, ptrdiff_t pitch, ptrdiff_t samples, int rows);
