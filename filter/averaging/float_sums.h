// Float samples are summed exactly, as integers: each sample counts as the nearest integer
// to sample · 2^shift (ties to even), the shift chosen for a plane from its largest finite
// magnitude so that a sum of `count` of them stays within ±2^50. A mean is that sum times
// 2^-shift / count, rounded once to float. Sums without rounding are the same in any order,
// so every kernel, on every instruction set, gives the same bits; the grid is at most
// 2^-50 · count of the largest magnitude apart, far below a float's precision for any
// mean not near zero.
#pragma once

#include <stdint.h>
#include <string.h>

struct FloatScale {
  double scale;    // 2^shift
  double inverse;  // 2^-shift / count
};

// Adding this to a double of magnitude below 2^51 rounds it to an integer, which the low bits
// of the result then hold (and the reverse for an integer below 2^51 in magnitude).
constexpr double kRoundingMagic = 6755399441055744.0;  // 1.5 · 2^52
constexpr uint64_t kRoundingMagicBits = 0x4338000000000000u;

inline uint32_t FloatBits(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Magnitude bits (sign cleared) at and above this are infinities and NaNs.
constexpr uint32_t kNonFiniteBits = 0x7F800000u;

// What the engine needs to know of a plane of floats before averaging it: the largest finite
// magnitude, which sets how samples are summed, and whether any sample is an infinity or a
// NaN, which the running sums of the fast kernels must not carry.
struct FloatPlaneScan {
  uint32_t largest_finite_bits;  // magnitude bits of the largest finite sample
  bool non_finite;
};

// For a plane whose largest finite magnitude has the magnitude bits `largest_bits`, averaged
// over `count` samples (count >= 1).
inline FloatScale FloatScaleFor(uint32_t largest_bits, int64_t count) {
  // Magnitudes are below 2^exponent, and count at most 2^count_bits.
  const int biased = int(largest_bits >> 23);
  const int exponent = biased == 0 ? -126 : biased - 126;
  int count_bits = 0;
  while ((int64_t(1) << count_bits) < count) ++count_bits;
  const int shift = largest_bits == 0 ? 0 : 50 - count_bits - exponent;
  // 2^shift and its reciprocal, exactly, for shifts well inside the double range.
  uint64_t scale_bits = uint64_t(1023 + shift) << 52;
  uint64_t unscale_bits = uint64_t(1023 - shift) << 52;
  double scale, unscale;
  memcpy(&scale, &scale_bits, sizeof scale);
  memcpy(&unscale, &unscale_bits, sizeof unscale);
  return {scale, unscale / double(count)};
}

// The integer a finite sample counts as.
inline int64_t QuantizedSample(float sample, double scale) {
  const double shifted = double(sample) * scale + kRoundingMagic;
  uint64_t bits;
  memcpy(&bits, &shifted, sizeof bits);
  return int64_t(bits - kRoundingMagicBits);
}

// The mean of samples whose integers sum to `sum` (as a 64-bit value, possibly wrapped on the
// way: the sum itself is within ±2^50).
inline float MeanOfSum(uint64_t sum, const FloatScale& scale) {
  return float(double(int64_t(sum)) * scale.inverse);
}

// The mean of a window by what it holds besides finite samples: a NaN, or infinities of both
// signs, give NaN; an infinity of one sign gives that infinity; none gives `finite_mean`.
inline float NonFiniteMean(bool upwards, bool downwards, float finite_mean) {
  if (!upwards && !downwards) return finite_mean;
  const uint32_t bits = upwards && downwards ? 0x7FC00000u : upwards ? 0x7F800000u : 0xFF800000u;
  float mean;
  memcpy(&mean, &bits, sizeof mean);
  return mean;
}
