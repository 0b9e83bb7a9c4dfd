#include "averaging/exact_division.h"

#include <string.h>

#include "averaging/float_environment.h"
#if defined(KORVEL_X86_KERNELS)
#include <xmmintrin.h>
#endif

namespace {

int64_t LargestTotal(int64_t count) { return count * 255 + count / 2; }

// The approximation floor(total * multiplier / 2^shift) never decreases as total grows, so
// it equals floor(total / count) everywhere once it does at both ends of every quotient's
// block of totals: that checks every possible sum with two tries per quotient.
bool IsExact(int64_t count, uint64_t multiplier, int shift, int64_t largest) {
  auto quotient = [&](int64_t total) { return int64_t((uint64_t(total) * multiplier) >> shift); };
  for (int64_t q = 0; q * count <= largest; ++q) {
    const int64_t last = q * count + count - 1 < largest ? q * count + count - 1 : largest;
    if (quotient(q * count) != q || quotient(last) != q) return false;
  }
  return true;
}

#if defined(KORVEL_X86_KERNELS)
// The kernels' own steps, one lane of them: convert, multiply, truncate. The caller
// rounds to nearest.
int64_t ReciprocalQuotient(int64_t total, float reciprocal) {
  const __m128 value = _mm_cvtsi32_ss(_mm_setzero_ps(), int(total));
  return _mm_cvttss_si32(_mm_mul_ss(value, _mm_set_ss(reciprocal)));
}

// The same two tries per quotient hold for a float product: converting a total below 2^24
// is exact, and rounding a product by a positive constant never decreases as it grows.
bool IsExactReciprocal(int64_t count, float reciprocal, int64_t largest) {
  for (int64_t q = 0; q * count <= largest; ++q) {
    const int64_t last = q * count + count - 1 < largest ? q * count + count - 1 : largest;
    if (ReciprocalQuotient(q * count, reciprocal) != q || ReciprocalQuotient(last, reciprocal) != q)
      return false;
  }
  return true;
}

// The next float up from a positive one.
float NextUp(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  ++bits;
  memcpy(&value, &bits, sizeof value);
  return value;
}

// 1 / count rounded, or the next floats up, whichever is exact first; 0 for none. Chosen and
// checked rounding to nearest, as the kernels divide, whatever mode the caller is in.
float FindReciprocal(int count) {
  const int64_t largest = LargestTotal(count);
  if (count < 1 || largest >= (int64_t(1) << 24)) return 0;
  [[maybe_unused]] const DefaultFloatEnvironment float_environment;
  float reciprocal = _mm_cvtss_f32(_mm_div_ss(_mm_set_ss(1.0f), _mm_set_ss(float(count))));
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (IsExactReciprocal(count, reciprocal, largest)) return reciprocal;
    reciprocal = NextUp(reciprocal);
  }
  return 0;
}
// Sum times the reciprocal rounded once to the nearest integer, ties to even: the exact
// product of a 24-bit sum and a float fits a double, and the conversion rounds as the
// caller's mode says, to nearest.
int64_t NearestQuotient(int64_t sum, float reciprocal) {
  return _mm_cvtsd_si32(_mm_set_sd(double(sum) * double(reciprocal)));
}

// Rounding a product by a positive constant never decreases as the sum grows, so the two
// ends of every quotient's block of sums check them all.
bool IsExactNearest(int64_t count, float reciprocal) {
  const int64_t half = count / 2, largest = count * 255;
  for (int64_t q = 0; q * count - half <= largest; ++q) {
    const int64_t first = q * count - half > 0 ? q * count - half : 0;
    const int64_t last =
        q * count + count - 1 - half < largest ? q * count + count - 1 - half : largest;
    if (NearestQuotient(first, reciprocal) != q || NearestQuotient(last, reciprocal) != q)
      return false;
  }
  return true;
}

// 1 / count rounded, or a neighbouring float, whichever is exact first; 0 for none.
float FindNearestReciprocal(int count) {
  if (count < 1 || int64_t(count) * 255 >= (int64_t(1) << 24)) return 0;
  [[maybe_unused]] const DefaultFloatEnvironment float_environment;
  const float rounded = _mm_cvtss_f32(_mm_div_ss(_mm_set_ss(1.0f), _mm_set_ss(float(count))));
  float up = rounded;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (IsExactNearest(count, up)) return up;
    up = NextUp(up);
  }
  return 0;
}
#else
// Only the x86 kernels divide by a reciprocal.
float FindReciprocal(int) { return 0; }
float FindNearestReciprocal(int) { return 0; }
#endif

bool FindDivisor(int count, int64_t largest, int first_shift, int last_shift,
                 uint64_t multiplier_limit, int64_t total_limit, Divisor* divisor) {
  if (count < 1 || largest > total_limit) return false;
  for (int shift = first_shift; shift <= last_shift; ++shift) {
    const uint64_t multiplier = ((uint64_t(1) << shift) + uint64_t(count) - 1) / uint64_t(count);
    if (multiplier > multiplier_limit) break;
    if (IsExact(count, multiplier, shift, largest)) {
      *divisor = {uint32_t(multiplier), shift, uint32_t(count / 2), 0, uint32_t(count), 0};
      return true;
    }
  }
  return false;
}

}  // namespace

bool FindDivisor16(int count, Divisor* divisor) {
  return FindDivisor(count, LargestTotal(count), 16, 31, UINT16_MAX, UINT16_MAX, divisor);
}

bool FindDivisor32(int count, Divisor* divisor) {
  // A shift of 40 or 48 where one is exact: the quotient is then a whole byte of the 64-bit
  // product, which a byte permute picks out.
  const int64_t largest = LargestTotal(count);
  const bool found = FindDivisor(count, largest, 40, 40, UINT32_MAX, INT32_MAX, divisor) ||
                     FindDivisor(count, largest, 48, 48, UINT32_MAX, INT32_MAX, divisor) ||
                     FindDivisor(count, largest, 32, 63, UINT32_MAX, INT32_MAX, divisor);
  if (!found) return false;
  divisor->reciprocal = FindReciprocal(count);
  divisor->nearest_reciprocal = FindNearestReciprocal(count);
  return true;
}

Divisor DivisorByDivision(int count) { return {0, 0, uint32_t(count / 2), 0, uint32_t(count), 0}; }

bool FindWordDivisor32(int count, int64_t largest_sum, Divisor* divisor) {
  return FindDivisor(count, largest_sum + count / 2, 32, 63, UINT32_MAX, UINT32_MAX, divisor);
}

// The division of the wide kernels (wide_kernels.inc): (total + half + 1/2) · (1 / count) in
// double, truncated. It grows with the total, so it is exact for every total up to `largest`
// when it is exact on both sides of each step of the true quotient.
bool DividesExactlyInDouble(int count, uint64_t largest) {
  if (count < 1 || largest >= (uint64_t(1) << 51)) return false;
  const double inverse = 1.0 / double(count), bias = double(count / 2) + 0.5;
  auto quotient = [&](uint64_t sum) { return uint64_t((double(sum) + bias) * inverse); };
  const uint64_t half = uint64_t(count / 2);
  for (uint64_t q = 0; q * uint64_t(count) <= largest + half; ++q) {
    // The smallest sum whose rounded mean is q, and the sum before it.
    const uint64_t first = q * uint64_t(count) > half ? q * uint64_t(count) - half : 0;
    if (quotient(first) != q) return false;
    if (first > 0 && quotient(first - 1) != q - 1) return false;
  }
  return true;
}
