// Small integer helpers, for code that builds without a C++ standard library.
#pragma once

#include <stdint.h>

template <class T>
constexpr T Min(T a, T b) {
  return b < a ? b : a;
}
template <class T>
constexpr T Max(T a, T b) {
  return a < b ? b : a;
}
// 64-bit, so that the magnitude of INT32_MIN is representable.
constexpr int64_t Magnitude(int64_t value) { return value < 0 ? -value : value; }
