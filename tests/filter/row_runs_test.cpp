// The offset table seen as row runs, and the plan that moves a line along its period: both
// must name exactly the table's samples, or refuse.
#include "averaging/row_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "averaging/shift_plan.h"
#include "sample_tables.h"

namespace {

constexpr int kPitch = 1000, kBytes = 4;

using Point = std::pair<int, int>;  // row, column

// The table a shape's FillOffsets writes.
std::vector<int32_t> TableOf(int x, int y, const char* blur) {
  return korvel_test::TableOf(blur, x, y, kPitch, kBytes);
}

std::set<Point> PointsOf(const RowRun* runs, int count) {
  std::set<Point> points;
  for (int r = 0; r < count; ++r)
    for (int c = runs[r].first_column; c <= runs[r].last_column; ++c)
      points.insert({runs[r].row, c});
  return points;
}

std::set<Point> PointsOf(const std::vector<int32_t>& table) {
  std::set<Point> points;
  for (int32_t entry : table) {
    const int shifted = entry + kPitch / 2;  // columns reach far less than half a row
    const int row = shifted / kPitch - (shifted % kPitch < 0 ? 1 : 0);
    points.insert({row, (entry - row * kPitch) / kBytes});
  }
  return points;
}

struct Describer {
  explicit Describer(int reach)
      : runs(size_t(2 * reach + 1)), seen(new bool[2 * reach + 1]), bound(reach) {}
  bool Describe(const std::vector<int32_t>& table, RunLayout* layout, int pitch = kPitch) {
    return RunDescriber(bound, bound, runs.data(), seen.get())
        .Describe(table.data(), int(table.size()), pitch, kBytes, layout);
  }
  std::vector<RowRun> runs;
  std::unique_ptr<bool[]> seen;
  int bound;
};

TEST(RowRuns, EveryShapeIsOneRunPerRowHoldingExactlyItsSamples) {
  const struct {
    int x, y;
    const char* blur;
    bool box;
  } shapes[] = {{3, 2, "rect", true},   {0, -4, "line", true},  {-5, 0, "line", true},
                {7, 7, "focus", false}, {-9, 4, "line", false}, {3, -8, "line", false}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(::testing::Message() << shape.blur << " " << shape.x << "/" << shape.y);
    const std::vector<int32_t> table = TableOf(shape.x, shape.y, shape.blur);
    Describer describer(9);
    RunLayout layout;
    ASSERT_TRUE(describer.Describe(table, &layout));
    EXPECT_EQ(layout.IsBox(), shape.box);
    EXPECT_EQ(PointsOf(layout.runs, layout.run_count), PointsOf(table));
  }
}

TEST(RowRuns, RefusesTablesThatAreNotOneRunPerRow) {
  Describer describer(3);
  RunLayout layout;
  EXPECT_FALSE(describer.Describe({0, 0, 8}, &layout)) << "a sample twice";
  EXPECT_FALSE(describer.Describe({0, 8}, &layout)) << "a gap in a row";
  EXPECT_FALSE(describer.Describe({0, kPitch, 4}, &layout)) << "a row that comes back";
  EXPECT_FALSE(describer.Describe({0, 2}, &layout)) << "not a whole pixel";
  EXPECT_FALSE(describer.Describe({0, 4 * kPitch}, &layout)) << "beyond the rows";
  EXPECT_FALSE(describer.Describe({0, 16}, &layout)) << "beyond the pixels";
  EXPECT_FALSE(describer.Describe({0, 4}, &layout, 24)) << "rows too short to tell apart";
  EXPECT_TRUE(describer.Describe({8, 4, 0, kPitch - 4}, &layout));
}

// For random lines: the entering samples are the table's, the leaving ones are not, and
// what the table keeps is what the moved table keeps.
TEST(ShiftPlan, EnteringAndLeavingSamplesTurnTheMovedTableIntoTheTable) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> extent(-12, 12);
  for (int round = 0; round < 200; ++round) {
    const int x = extent(random), y = extent(random);
    if (x == 0 && y == 0) continue;
    SCOPED_TRACE(::testing::Message() << "line " << x << "/" << y);
    const std::vector<int32_t> table = TableOf(x, y, "line");
    Describer describer(12);
    RunLayout layout;
    ASSERT_TRUE(describer.Describe(table, &layout));
    const int period = TablePeriod(table.data(), int(table.size()));
    ASSERT_GT(period, 0);
    std::vector<int> row_index(4 * 12 + 1);
    std::vector<RowRun> entering(8 * 12 + 4), leaving(8 * 12 + 4);
    ShiftPlan plan;
    if (!ShiftPlanner(12, 12, row_index.data(), entering.data(), leaving.data())
             .Plan(table.data(), period, kPitch, kBytes, layout, &plan)) {
      EXPECT_EQ(y, 0) << "only lines along a row have no plan";
      continue;
    }
    ASSERT_GT(plan.row_step, 0);
    const std::set<Point> own = PointsOf(table);
    std::set<Point> moved;
    for (const Point& p : own) moved.insert({p.first - plan.row_step, p.second - plan.column_step});
    const std::set<Point> in = PointsOf(plan.entering, plan.entering_count);
    const std::set<Point> out = PointsOf(plan.leaving, plan.leaving_count);
    std::set<Point> kept_own, kept_moved;
    std::set_difference(own.begin(), own.end(), in.begin(), in.end(),
                        std::inserter(kept_own, kept_own.end()));
    std::set_difference(moved.begin(), moved.end(), out.begin(), out.end(),
                        std::inserter(kept_moved, kept_moved.end()));
    EXPECT_TRUE(std::includes(own.begin(), own.end(), in.begin(), in.end()));
    EXPECT_TRUE(std::includes(moved.begin(), moved.end(), out.begin(), out.end()));
    EXPECT_EQ(kept_own, kept_moved);
    EXPECT_EQ(in.size(), size_t(period));
  }
}

}  // namespace
