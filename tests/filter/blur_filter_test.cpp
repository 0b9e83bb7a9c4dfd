// The filter object's table capacity for each shape.
#include "blur_filter.h"

#include <gtest/gtest.h>

#include "test_clips.h"

namespace {

int Capacity(int x, int y, const char* blur) {
  PClip source(new MemoryClip(korvel_test::RgbInfo(640, 480, CS_BGR24)));
  auto* filter = new BlurFilter(source, x, y, blur);
  PClip hold(filter);
  return filter->Engine().TableCapacity();
}

TEST(BlurFilter, TableCapacityByShape) {
  EXPECT_EQ(Capacity(4, -4, "line"), 9);
  EXPECT_EQ(Capacity(0, 3, "line"), 7);
  EXPECT_EQ(Capacity(-6, 2, "line"), 13);
  EXPECT_EQ(Capacity(2, 1, "rect"), 15);
  EXPECT_EQ(Capacity(3, 9, "focus"), 49);  // the disc uses x for both extents
}

}  // namespace
