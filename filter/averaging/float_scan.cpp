#include "averaging/float_scan.h"

#include <string.h>

#include "averaging/float_sums.h"

FloatPlaneScan ScanFloatPlane(const uint8_t* plane, ptrdiff_t pitch, ptrdiff_t samples, int rows) {
  uint32_t largest = 0, largest_any = 0;
  for (int i = 0; i < rows; ++i) {
    const uint8_t* row = plane + ptrdiff_t(i) * pitch;
    // Magnitudes as integers order as the floats do; a loop the compiler vectorises.
    uint32_t finite = 0, any = 0;
    for (ptrdiff_t k = 0; k < samples; ++k) {
      uint32_t bits;
      memcpy(&bits, row + k * ptrdiff_t(sizeof bits), sizeof bits);
      const uint32_t magnitude = bits & 0x7FFFFFFFu;
      any = magnitude > any ? magnitude : any;
      finite = magnitude < kNonFiniteBits && magnitude > finite ? magnitude : finite;
    }
    largest = finite > largest ? finite : largest;
    largest_any = any > largest_any ? any : largest_any;
  }
  return {largest, largest_any >= kNonFiniteBits};
}
