// The sample offset tables of the three shapes, for both pixel sizes and several pitches.
#include <gtest/gtest.h>

#include <vector>

#include "blur_filter.h"
#include "test_clips.h"

namespace {

struct Sample {
  int column, row;
};

class FillOffsetsTest : public ::testing::Test {
 protected:
  // The table a new filter fills for this pitch and pixel size.
  std::vector<int32_t> Table(int x, int y, const char* blur, int pitch, int bytes_per_pixel) {
    filter_ = new BlurFilter(source_, x, y, blur);
    hold_ = filter_;
    filter_->FillOffsets(pitch, bytes_per_pixel, &env_);
    return {filter_->Offsets(), filter_->Offsets() + filter_->OffsetCount()};
  }
  static std::vector<int32_t> Entries(const std::vector<Sample>& samples, int pitch,
                                      int bytes_per_pixel) {
    std::vector<int32_t> entries;
    for (const Sample& s : samples) entries.push_back(s.row * pitch + s.column * bytes_per_pixel);
    return entries;
  }
  ScriptEnvironment env_;
  PClip source_{new MemoryClip(korvel_test::RgbInfo(640, 480, CS_BGR24))};
  BlurFilter* filter_ = nullptr;
  PClip hold_;
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
    filter_ = new BlurFilter(source_, x, 1000, "focus");
    hold_ = filter_;
    EXPECT_EQ(filter_->OffsetCount(), (2 * x + 1) * (2 * x + 1));
    filter_->FillOffsets(2000, 4, &env_);
    EXPECT_EQ(filter_->OffsetCount(), points);
    const std::vector<int32_t> first(filter_->Offsets(), filter_->Offsets() + points);
    filter_->FillOffsets(2000, 4, &env_);  // no "computing error" the second time
    EXPECT_EQ(filter_->OffsetCount(), points);
    EXPECT_EQ(std::vector<int32_t>(filter_->Offsets(), filter_->Offsets() + points), first);
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
