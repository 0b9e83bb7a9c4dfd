// An independent model of the blurred picture, computed from the shape's geometry on a
// packed picture (rows of W·B bytes back to back), for checking whole frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel_test {

struct Step {
  int column, row;
};

// The displacements a shape averages over, in no particular order.
std::vector<Step> ShapeSteps(int x, int y, const std::string& blur);

// The picture the filter should make of `source`: border strips copied, the interior the
// rounded mean over the shape.
std::vector<uint8_t> ReferenceBlur(const std::vector<uint8_t>& source, int width, int height,
                                   int bytes_per_pixel, int x, int y, const std::string& blur);

}  // namespace korvel_test
