// The samples the filter itself uses for a blur call, read back from the table it fills,
// so that the plain kernel and the peers' kernels see exactly the filter's sample set.
#pragma once

#include <cstdint>
#include <vector>

#include "blur_cases.h"

// The table the filter fills for a source frame of this pitch and pixel size.
std::vector<int32_t> FilterOffsets(const BlurCase& blur_case, int pitch, int bytes_per_pixel);

struct SampleStep {
  int row;
  int column;
};

// The same samples as steps in rows and pixels from the pixel computed, in table order.
std::vector<SampleStep> FilterSampleSteps(const BlurCase& blur_case);
