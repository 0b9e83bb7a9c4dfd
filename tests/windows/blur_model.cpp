#include "blur_model.h"

#include <stdlib.h>
#include <string.h>

namespace {

struct Step {
  int column, row;
};

// Nearest integer to a / b (b > 0), halves upwards.
int Nearest(int a, int b) {
  const int numerator = 2 * a + b, denominator = 2 * b;
  const int quotient = numerator / denominator;
  return numerator % denominator != 0 && numerator < 0 ? quotient - 1 : quotient;
}

int Largest(int a, int b) { return a < b ? b : a; }

// The displacements the shape averages over; `steps` has room for (2·max + 1)² of them.
int ShapeSteps(int x, int y, const char* blur, Step* steps) {
  int count = 0;
  if (strcmp(blur, "rect") == 0) {
    for (int row = -y; row <= y; ++row)
      for (int column = -x; column <= x; ++column) steps[count++] = {column, row};
  } else if (strcmp(blur, "focus") == 0) {
    for (int row = -x; row <= x; ++row)
      for (int column = -x; column <= x; ++column)
        if (column * column + row * row <= x * x) steps[count++] = {column, row};
  } else {
    // One step at a time along the longer component; the other is scaled from the
    // magnitudes, rounded (halves up), then given its sign. A horizontal or vertical line
    // ascends whatever the sign of its parameter.
    const int ax = abs(x), ay = abs(y), m = Largest(ax, ay);
    const int sx = x < 0 ? -1 : 1, sy = y < 0 ? -1 : 1;
    for (int s = -m; s <= m; ++s) {
      if (ax >= ay)
        steps[count++] = {y == 0 ? s : sx * s, sy * Nearest(s * ay, ax)};
      else
        steps[count++] = {sx * Nearest(s * ax, ay), x == 0 ? s : sy * s};
    }
  }
  return count;
}

}  // namespace

void ModelBlur(const uint8_t* source, uint8_t* result, int width, int height, int bytes_per_pixel,
               int x, int y, const char* blur) {
  if (strcmp(blur, "focus") == 0) y = x;
  const int margin_x = abs(x), margin_y = abs(y);
  const int side = 2 * Largest(margin_x, margin_y) + 1;
  Step* steps = static_cast<Step*>(malloc(sizeof(Step) * size_t(side) * size_t(side)));
  const int64_t count = ShapeSteps(x, y, blur, steps);
  const int row_bytes = width * bytes_per_pixel;
  memcpy(result, source, size_t(row_bytes) * size_t(height));
  for (int i = margin_y + 1; i < height - margin_y - 2; ++i) {
    for (int j = margin_x + 1; j < width - margin_x - 2; ++j) {
      for (int k = 0; k < bytes_per_pixel; ++k) {
        int64_t sum = 0;
        for (int64_t s = 0; s < count; ++s)
          sum +=
              source[(i + steps[s].row) * row_bytes + (j + steps[s].column) * bytes_per_pixel + k];
        result[i * row_bytes + j * bytes_per_pixel + k] = uint8_t((2 * sum + count) / (2 * count));
      }
    }
  }
  free(steps);
}
