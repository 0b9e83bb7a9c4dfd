// The sample offset tables of the three shapes, for both pixel sizes and several pitches.
#include <gtest/gtest.h>

#include <vector>

#include "sample_tables.h"

namespace {

struct Sample {
  int column, row;
};

class FillOffsetsTest : public ::testing::Test {
 protected:
  // The table filled for this pitch and pixel size.
  std::vector<int32_t> Table(int x, int y, const char* blur, int pitch, int bytes_per_pixel) {
    return korvel_test::TableOf(blur, x, y, pitch, bytes_per_pixel);
  }
  static std::vector<int32_t> Entries(const std::vector<Sample>& samples, int pitch,
                                      int bytes_per_pixel) {
    std::vector<int32_t> entries;
    for (const Sample& s : samples) entries.push_back(s.row * pitch + s.column * bytes_per_pixel);
    return entries;
  }
};

struct Example {
  int x, y;
  const char* blur;
  std::vector<Sample> samples;  // (column step, row step) in table order
};

TEST_F(FillOffsetsTest, WorkedExamples) {
  const std::vector<Example> examples = {
      {3, 1, "line", {{-3, -1}, {-2, -1}, {-1, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {1, -3, "line", {{-1, 3}, {-1, 2}, {0, 1}, {0, 0}, {0, -1}, {1, -2}, {1, -3}}},
      {-3, -2, "line", {{3, 2}, {2, 1}, {1, 1}, {0, 0}, {-1, -1}, {-2, -1}, {-3, -2}}},
      {2, 2, "line", {{-2, -2}, {-1, -1}, {0, 0}, {1, 1}, {2, 2}}},
      {1, 2, "line", {{-1, -2}, {0, -1}, {0, 0}, {1, 1}, {1, 2}}},
      {0, 2, "line", {{0, -2}, {0, -1}, {0, 0}, {0, 1}, {0, 2}}},
      {0, -2, "line", {{0, -2}, {0, -1}, {0, 0}, {0, 1}, {0, 2}}},
      {-2, 0, "line", {{-2, 0}, {-1, 0}, {0, 0}, {1, 0}, {2, 0}}},
      {-2, -2, "line", {{2, 2}, {1, 1}, {0, 0}, {-1, -1}, {-2, -2}}},
      {1,
       1,
       "rect",
       {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}},
      {2,
       2,
       "focus",
       {{0, -2},
        {-1, -1},
        {0, -1},
        {1, -1},
        {-2, 0},
        {-1, 0},
        {0, 0},
        {1, 0},
        {2, 0},
        {-1, 1},
        {0, 1},
        {1, 1},
        {0, 2}}},
  };
  for (const Example& e : examples) {
    for (int bytes_per_pixel : {3, 4}) {
      for (int pitch : {1920, 7 * 64 + 13, 8}) {
        SCOPED_TRACE(::testing::Message() << e.blur << " x=" << e.x << " y=" << e.y
                                          << " B=" << bytes_per_pixel << " pitch=" << pitch);
        EXPECT_EQ(Table(e.x, e.y, e.blur, pitch, bytes_per_pixel),
                  Entries(e.samples, pitch, bytes_per_pixel));
      }
    }
  }
}

TEST_F(FillOffsetsTest, LineEndsAtTheDisplacementAndStaysUnbroken) {
  const int pitch = 10000;  // row and column steps separate cleanly
  for (int x = -9; x <= 9; ++x) {
    for (int y = -9; y <= 9; ++y) {
      if (x == 0 && y == 0) continue;
      const std::vector<int32_t> table = Table(x, y, "line", pitch, 1);
      const int m = std::max(std::abs(x), std::abs(y));
      ASSERT_EQ(int(table.size()), 2 * m + 1);
      EXPECT_EQ(table[size_t(m)], 0);
      if (x != 0 && y != 0) {
        EXPECT_EQ(table.back(), y * pitch + x);
        EXPECT_EQ(table.front(), -y * pitch - x);
      }
      for (size_t j = 1; j < table.size(); ++j) {
        const int step = table[j] - table[j - 1];
        const int rows = (step + pitch / 2 + 10 * pitch) / pitch - 10,
                  columns = step - rows * pitch;
        EXPECT_LE(std::abs(rows), 1);
        EXPECT_LE(std::abs(columns), 1);
        EXPECT_EQ(std::abs(rows) + std::abs(columns) > 0, true);
      }
    }
  }
}

TEST_F(FillOffsetsTest, DiscCountsItsPointsAndLowersTheCountOnce) {
  const int expected[][2] = {{2, 13},  {3, 29},  {4, 49},  {5, 81},
                             {6, 113}, {7, 149}, {8, 197}, {10, 317}};
  for (const auto& [x, points] : expected) {
    int count = int(TableCapacity(Shape::kFocus, x, x));
    EXPECT_EQ(count, (2 * x + 1) * (2 * x + 1));
    std::vector<int32_t> table(static_cast<size_t>(count));
    ASSERT_TRUE(FillOffsets(Shape::kFocus, x, x, 2000, 4, table.data(), &count));
    EXPECT_EQ(count, points);
    const std::vector<int32_t> first(table.begin(), table.begin() + points);
    // A second fill into the lowered count finds room for every point ("computing error"
    // otherwise).
    ASSERT_TRUE(FillOffsets(Shape::kFocus, x, x, 2000, 4, table.data(), &count));
    EXPECT_EQ(count, points);
    EXPECT_EQ(std::vector<int32_t>(table.begin(), table.begin() + points), first);
  }
}

TEST_F(FillOffsetsTest, RectKeepsItsCountInRowMajorOrder) {
  const std::vector<int32_t> table = Table(2, 1, "rect", 100, 3);
  ASSERT_EQ(table.size(), 15u);
  EXPECT_EQ(table.front(), -100 - 6);
  EXPECT_EQ(table.back(), 100 + 6);
  EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
}

}  // namespace
