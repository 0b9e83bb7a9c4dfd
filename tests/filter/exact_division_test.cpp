// The multiply-and-shift division: exact for every total a count of bytes can reach, in the
// lanes it is meant for.
#include "averaging/exact_division.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "averaging/averaging_job.h"

namespace {

int64_t Largest(int count) { return int64_t(count) * 255 + count / 2; }

uint32_t Quotient16(int64_t total, const Divisor& d) {
  return uint32_t((uint32_t(total) * d.multiplier) >> 16) >> (d.shift - 16);
}
uint32_t Quotient32(int64_t total, const Divisor& d) {
  return uint32_t((uint64_t(total) * d.multiplier) >> d.shift);
}

TEST(ExactDivision, SixteenBitLanesDivideEveryTotal) {
  for (int count = 3; count <= 257; count += 2) {
    Divisor divisor;
    if (!FindDivisor16(count, &divisor)) {
      EXPECT_GT(count, 201) << "no 16-bit divisor";
      continue;
    }
    EXPECT_EQ(divisor.half, uint32_t(count / 2));
    ASSERT_LE(divisor.multiplier, uint32_t(UINT16_MAX));
    for (int64_t total = 0; total <= Largest(count); ++total)
      ASSERT_EQ(Quotient16(total, divisor), total / count) << "count " << count;
  }
  Divisor divisor;
  EXPECT_FALSE(FindDivisor16(257, &divisor)) << "257 bytes of 255 do not fit 16 bits";
}

TEST(ExactDivision, ThirtyTwoBitLanesDivideEveryTotal) {
  for (int count = 3; count <= 301; count += 2) {
    Divisor divisor;
    ASSERT_TRUE(FindDivisor32(count, &divisor)) << count;
    for (int64_t total = 0; total <= Largest(count); ++total)
      ASSERT_EQ(Quotient32(total, divisor), total / count) << "count " << count;
  }
}

// The float reciprocal, where there is one, for every total; and up to the counts whose
// totals stay below 2^24, at both ends of every quotient's block.
TEST(ExactDivision, FloatReciprocalsDivideEveryTotal) {
#if !defined(KORVEL_X86_KERNELS)
  GTEST_SKIP() << "only the x86-64 kernels divide by reciprocals";
#endif
  for (int count : {257, 259, 289, 317, 401, 797, 4225, 12'853, 46'727, 65'535}) {
    Divisor divisor;
    ASSERT_TRUE(FindDivisor32(count, &divisor)) << count;
    if (count <= 46'727) {
      EXPECT_GT(divisor.reciprocal, 0.0f) << count;
    }
    if (divisor.reciprocal == 0.0f) continue;
    auto quotient = [&](int64_t total) {
      const float product = float(total) * divisor.reciprocal;
      return int64_t(product);
    };
    if (count <= 401) {
      for (int64_t total = 0; total <= Largest(count); ++total)
        ASSERT_EQ(quotient(total), total / count) << "count " << count;
    }
    for (int64_t q = 0; q <= 255; ++q)
      for (int64_t total : {q * count, q * count + count - 1})
        if (total <= Largest(count)) {
          ASSERT_EQ(quotient(total), q) << count;
        }
  }
  Divisor divisor;
  ASSERT_TRUE(FindDivisor32(70'001, &divisor));
  EXPECT_EQ(divisor.reciprocal, 0.0f) << "totals past 2^24 do not convert to floats exactly";
}

// The fused multiply-add with 2^23 that the widest kernels divide by: the float's low byte
// is the quotient, for every sum of the counts tried, the largest with one included.
TEST(ExactDivision, NearestReciprocalsDivideEverySum) {
#if !defined(KORVEL_X86_KERNELS)
  GTEST_SKIP() << "only the x86-64 kernels divide by reciprocals";
#endif
  for (int count : {3, 9, 255, 257, 289, 317, 4225, 12'853, 65'793}) {
    Divisor divisor;
    ASSERT_TRUE(FindDivisor32(count, &divisor)) << count;
    ASSERT_GT(divisor.nearest_reciprocal, 0.0f) << count;
    for (int64_t sum = 0; sum <= int64_t(count) * 255; ++sum) {
      const float rounded = std::fmaf(float(sum), divisor.nearest_reciprocal, 8'388'608.0f);
      ASSERT_EQ(int64_t(rounded) - 8'388'608, (sum + count / 2) / count) << count << " " << sum;
    }
  }
  Divisor divisor;
  ASSERT_TRUE(FindDivisor32(65'795, &divisor));
  EXPECT_EQ(divisor.nearest_reciprocal, 0.0f) << "sums past 2^24 do not convert exactly";
}

// Too many totals to try them all: both ends of every quotient's block, and random ones.
// Past float division and up to 2^20 samples, the quotient is a whole byte of the product.
TEST(ExactDivision, ThirtyTwoBitLanesHoldUpToTheLargestCount) {
  int largest_count = 8'000'001;
  while (SumFitsInt32(largest_count + 2)) largest_count += 2;
  std::mt19937 random(5);
  for (int count : {4225, 65'795, 130'351, 1'000'001, largest_count}) {
    Divisor divisor;
    ASSERT_TRUE(FindDivisor32(count, &divisor)) << count;
    if (count >= 65'795 && count < (1 << 20)) {
      EXPECT_EQ(divisor.shift, 48) << count;
    }
    for (int64_t q = 0; q <= 255; ++q)
      for (int64_t total : {q * count, q * count + count - 1})
        if (total <= Largest(count)) {
          ASSERT_EQ(Quotient32(total, divisor), q) << count;
        }
    std::uniform_int_distribution<int64_t> any(0, Largest(count));
    for (int round = 0; round < 10'000; ++round) {
      const int64_t total = any(random);
      ASSERT_EQ(Quotient32(total, divisor), total / count) << count;
    }
  }
  Divisor divisor;
  EXPECT_FALSE(FindDivisor32(largest_count + 2, &divisor));
}

}  // namespace
