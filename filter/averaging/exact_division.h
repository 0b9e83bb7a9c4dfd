// Division of a sample sum by the sample count as a multiply and a shift, or, for sums past
// 32-bit products, as an integer division.
#pragma once

#include <stdint.h>

// (sum + half) / count == ((sum + half) * multiplier) >> shift for every sum of count bytes.
struct Divisor {
  uint32_t multiplier;
  int shift;
  uint32_t half;  // count / 2, the rounding term
  // For 32-bit sums below 2^24, else 0: (sum + half) / count == the product of
  // float(sum + half) and this, truncated, computed in single precision rounding to nearest.
  float reciprocal;
  uint32_t count;
  // For 32-bit sums below 2^24, else 0: sum (without the rounding term) times this, rounded
  // once to the nearest integer (ties to even) as a fused multiply-add with 2^23 rounds it,
  // is (sum + half) / count.
  float nearest_reciprocal;
};

// The divisor for sums in 16-bit lanes: multiplier < 2^16 and shift >= 16, so the product's
// high half followed by shift - 16 more bits gives the quotient. False when count bytes
// plus the rounding term do not fit 16 bits, or no such pair is exact.
bool FindDivisor16(int count, Divisor* divisor);

// The divisor for sums in 32-bit lanes, the product taken in 64 bits (with a shift of 40 or
// 48 where one is exact, else the smallest), and the reciprocal where one is exact. False
// when the sum does not fit 31 bits, or no multiplier below 2^32 is exact.
bool FindDivisor32(int count, Divisor* divisor);

// The divisor for sums of words in 32-bit lanes, up to largest_sum without the rounding term:
// multiplier < 2^32 and shift >= 32, the product taken in 64 bits. False when the sum with
// the rounding term does not fit 32 bits, or no such multiplier is exact.
bool FindWordDivisor32(int count, int64_t largest_sum, Divisor* divisor);

// For sums in 64-bit lanes, divided one by one by the count itself; any count from 1.
Divisor DivisorByDivision(int count);

// True when the wide kernels' division in double rounds every sum of count samples up to
// `largest` exactly as (sum + count / 2) / count does.
bool DividesExactlyInDouble(int count, uint64_t largest);
