#include "reference_blur.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

namespace korvel_test {

namespace {

// Nearest integer to a / b (b > 0), halves upwards.
int Nearest(int a, int b) {
  const int numerator = 2 * a + b, denominator = 2 * b;
  const int quotient = numerator / denominator;
  return numerator % denominator != 0 && numerator < 0 ? quotient - 1 : quotient;
}

int Largest(int a, int b) { return a < b ? b : a; }

// The compiler's own, the same with every C runtime.
bool IsNan(double v) { return __builtin_isnan(v); }
bool IsInf(double v) { return __builtin_isinf(v); }

// The shape's steps, and the interior the filter averages, for one call.
struct Shape {
  Step* steps;
  int count;
  int margin_x, margin_y;

  Shape(int x, int y, const char* blur) {
    if (strcmp(blur, "focus") == 0) y = x;
    margin_x = abs(x), margin_y = abs(y);
    steps = static_cast<Step*>(malloc(sizeof(Step) * size_t(ShapeStepCapacity(x, y))));
    count = ShapeSteps(x, y, blur, steps);
  }
  ~Shape() { free(steps); }
  Shape(const Shape&) = delete;
  Shape& operator=(const Shape&) = delete;

  // Calls average(i, j) for every averaged pixel.
  template <typename Average>
  void ForInterior(int width, int height, Average average) const {
    for (int i = margin_y + 1; i < height - margin_y - 2; ++i)
      for (int j = margin_x + 1; j < width - margin_x - 2; ++j) average(i, j);
  }
};

template <typename Sample>
void ModelIntegers(const Sample* source, Sample* result, int width, int height, int channels, int x,
                   int y, const char* blur) {
  const Shape shape(x, y, blur);
  const int64_t row = int64_t(width) * channels, count = shape.count;
  memcpy(result, source, sizeof(Sample) * size_t(row) * size_t(height));
  shape.ForInterior(width, height, [&](int i, int j) {
    for (int k = 0; k < channels; ++k) {
      int64_t sum = 0;
      for (int s = 0; s < shape.count; ++s)
        sum += source[(i + shape.steps[s].row) * row + (j + shape.steps[s].column) * channels + k];
      result[i * row + j * channels + k] = Sample((2 * sum + count) / (2 * count));
    }
  });
}

}  // namespace

int ShapeStepCapacity(int x, int y) {
  const int side = 2 * Largest(abs(x), abs(y)) + 1;
  return side * side;
}

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

void ModelBlur(const uint8_t* source, uint8_t* result, int width, int height, int channels, int x,
               int y, const char* blur) {
  ModelIntegers(source, result, width, height, channels, x, y, blur);
}

void ModelBlur(const uint16_t* source, uint16_t* result, int width, int height, int channels, int x,
               int y, const char* blur) {
  ModelIntegers(source, result, width, height, channels, x, y, blur);
}

void ModelBlur(const float* source, double* result, int width, int height, int channels, int x,
               int y, const char* blur) {
  const Shape shape(x, y, blur);
  const int64_t row = int64_t(width) * channels;
  for (int64_t k = 0; k < row * height; ++k) result[k] = source[k];
  shape.ForInterior(width, height, [&](int i, int j) {
    for (int k = 0; k < channels; ++k) {
      // Neumaier's compensated sum: close to exact for any count the filter takes.
      double sum = 0, compensation = 0;
      bool nan = false, up = false, down = false;
      for (int s = 0; s < shape.count; ++s) {
        const double v =
            source[(i + shape.steps[s].row) * row + (j + shape.steps[s].column) * channels + k];
        if (IsNan(v) || IsInf(v)) {
          nan |= IsNan(v), up |= v > 0, down |= v < 0;
          continue;
        }
        const double t = sum + v;
        compensation += fabs(sum) >= fabs(v) ? (sum - t) + v : (v - t) + sum;
        sum = t;
      }
      double mean = (sum + compensation) / shape.count;
      if (nan || (up && down))
        mean = __builtin_nan("");
      else if (up || down)
        mean = up ? __builtin_inf() : -__builtin_inf();
      result[i * row + j * channels + k] = mean;
    }
  });
}

bool FloatMeanAcceptable(float actual, double exact, double largest) {
  if (IsNan(exact) || IsNan(actual)) return IsNan(exact) && IsNan(actual);
  if (IsInf(exact) || IsInf(actual)) return double(actual) == exact;
  const float nearest = fabsf(float(exact));
  const double ulp = double(nextafterf(nearest, __builtin_inff())) - double(nearest);
  const double error = fabs(double(actual) - exact);
  return error <= ulp || error <= 1e-9 * largest;
}

}  // namespace korvel_test
