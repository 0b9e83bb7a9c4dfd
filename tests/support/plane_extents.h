// Which extents a call gives one plane, the rule every host's function shares, for the tests'
// models. Without the C++ standard library, for the Windows test hosts too.
#pragma once

#include <string.h>

namespace korvel_test {

// A plane subsampled by 2^log2_w across and 2^log2_h down gets x and y divided toward zero;
// "focus" is a disc of the divided x. False where the plane is left as it is: a line of one
// sample, which has no direction for the model either.
inline bool PlaneExtents(const char* blur, int x, int y, int log2_w, int log2_h, int* plane_x,
                         int* plane_y) {
  *plane_x = x / (1 << log2_w);
  *plane_y = strcmp(blur, "focus") == 0 ? *plane_x : y / (1 << log2_h);
  return !(strcmp(blur, "line") == 0 && *plane_x == 0 && *plane_y == 0);
}

}  // namespace korvel_test
