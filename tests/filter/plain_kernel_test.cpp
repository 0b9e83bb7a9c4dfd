// The reference kernel's arithmetic where a 32-bit sum would overflow.
#include "averaging/plain_kernel.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// One pixel whose samples are k + 1 copies of a 255 byte and k copies of a 0 byte: the
// exact mean is 255·(k + 1)/(2k + 1), which rounds to 128 for every large k.
TEST(PlainKernel, WidensTheSumWhenSamplesOutgrow32Bits) {
  const int half = 4'300'000;  // 8.6 million samples: 255 each would pass 2^31
  const int count = 2 * half + 1;
  ASSERT_FALSE(SumFitsInt32(count));
  // Source: two 1-byte "pixels", 0 then 255; the pixel computed is the first one.
  const uint8_t source[2] = {0, 255};
  std::vector<int32_t> offsets(size_t(count), 0);
  std::fill(offsets.begin(), offsets.begin() + half + 1, 1);
  uint8_t result = 0;
  AveragingJob job{source, 2, &result, 1, 0, 1, 0, 1, 1, offsets.data(), count};
  AveragePlain(job);
  EXPECT_EQ(result, 128);

  std::fill(offsets.begin(), offsets.end(), 1);  // all 255: no wrap-around to a small value
  AveragePlain(job);
  EXPECT_EQ(result, 255);
}

TEST(PlainKernel, RoundsToNearest) {
  const uint8_t source[3] = {10, 11, 11};
  const int32_t offsets[3] = {0, 1, 2};
  uint8_t result = 0;
  AveragingJob job{source, 3, &result, 1, 0, 1, 0, 1, 1, offsets, 3};
  AveragePlain(job);
  EXPECT_EQ(result, 11);  // 32 / 3 = 10.67
}

}  // namespace
