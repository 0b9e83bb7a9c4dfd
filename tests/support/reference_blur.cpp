#include "reference_blur.h"

#include <cmath>
#include <cstdlib>

namespace korvel_test {

namespace {

// Nearest integer to a / b (b > 0), halves upwards.
int Nearest(int a, int b) { return int(std::floor((2.0 * a + b) / (2.0 * b))); }

}  // namespace

std::vector<Step> ShapeSteps(int x, int y, const std::string& blur) {
  std::vector<Step> steps;
  if (blur == "rect") {
    for (int row = -y; row <= y; ++row)
      for (int column = -x; column <= x; ++column) steps.push_back({column, row});
  } else if (blur == "focus") {
    for (int row = -x; row <= x; ++row)
      for (int column = -x; column <= x; ++column)
        if (column * column + row * row <= x * x) steps.push_back({column, row});
  } else {
    // One step at a time along the longer component; the other is scaled from the
    // magnitudes, rounded (halves up), then given its sign. A horizontal or vertical
    // line ascends whatever the sign of its parameter.
    const int ax = std::abs(x), ay = std::abs(y), m = std::max(ax, ay);
    const int sx = x < 0 ? -1 : 1, sy = y < 0 ? -1 : 1;
    for (int s = -m; s <= m; ++s) {
      if (ax >= ay)
        steps.push_back({y == 0 ? s : sx * s, sy * Nearest(s * ay, ax)});
      else
        steps.push_back({sx * Nearest(s * ax, ay), x == 0 ? s : sy * s});
    }
  }
  return steps;
}

std::vector<uint8_t> ReferenceBlur(const std::vector<uint8_t>& source, int width, int height,
                                   int bytes_per_pixel, int x, int y, const std::string& blur) {
  if (blur == "focus") y = x;
  const int margin_x = std::abs(x), margin_y = std::abs(y);
  const std::vector<Step> steps = ShapeSteps(x, y, blur);
  const int64_t count = int64_t(steps.size());
  const int row_bytes = width * bytes_per_pixel;
  std::vector<uint8_t> result = source;
  for (int i = margin_y + 1; i < height - margin_y - 2; ++i) {
    for (int j = margin_x + 1; j < width - margin_x - 2; ++j) {
      for (int k = 0; k < bytes_per_pixel; ++k) {
        int64_t sum = 0;
        for (const Step& s : steps)
          sum += source[size_t((i + s.row) * row_bytes + (j + s.column) * bytes_per_pixel + k)];
        result[size_t(i * row_bytes + j * bytes_per_pixel + k)] =
            uint8_t((2 * sum + count) / (2 * count));
      }
    }
  }
  return result;
}

}  // namespace korvel_test
