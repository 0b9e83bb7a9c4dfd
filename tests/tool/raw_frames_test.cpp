// Raw frames through the command: the bytes it writes are what the frame pass makes of
// the bytes it reads, for both formats, all three shapes, files and pipes, any threads.
#include <gtest/gtest.h>

#include "raw_pictures.h"
#include "tool_runner.h"

namespace {

using korvel_test::ExpectedOutput;
using korvel_test::RandomFrames;
using korvel_test::RawLayout;
using korvel_test::ReadBytes;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;
using korvel_test::WriteBytes;

struct ShapeCase {
  const char* format;
  int bytes_per_pixel;
  const char* blur;
  int x, y;
};

void PrintTo(const ShapeCase& c, std::ostream* os) {
  *os << c.format << " " << c.blur << " x=" << c.x << " y=" << c.y;
}

class RawShapes : public ::testing::TestWithParam<ShapeCase> {};

// Odd sizes, so that no row length is a multiple of any alignment.
TEST_P(RawShapes, OutputIsTheFramePassOfTheInput) {
  const ShapeCase& c = GetParam();
  const RawLayout layout{45, 37, c.bytes_per_pixel};
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 3, 7);
  WriteBytes(folder.Path("in.raw"), input);
  const auto result =
      RunKorvel(folder, {"in.raw", "out.raw", "--size", "45x37", "--format", c.format, "-b", c.blur,
                         "-x", std::to_string(c.x), "-y", std::to_string(c.y), "-q"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(result.standard_error, "");
  EXPECT_TRUE(ReadBytes(folder.Path("out.raw")) == ExpectedOutput(input, layout, c.x, c.y, c.blur));
}

INSTANTIATE_TEST_SUITE_P(
    BothFormatsAllShapes, RawShapes,
    ::testing::Values(ShapeCase{"rgb24", 3, "line", 3, -2}, ShapeCase{"rgb24", 3, "rect", 2, 3},
                      ShapeCase{"rgb24", 3, "focus", 4, 1}, ShapeCase{"rgb32", 4, "line", -5, 1},
                      ShapeCase{"rgb32", 4, "rect", 1, 4}, ShapeCase{"rgb32", 4, "focus", 3, 9}));

TEST(RawFrames, OmittedArgumentsAreThePluginsDefaults) {
  const RawLayout layout{48, 40, 3};  // 48/8 and 40/8 admit the default 5
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 2, 11);
  WriteBytes(folder.Path("in.raw"), input);
  const auto result = RunKorvel(folder, {"in.raw", "out.raw", "--size", "48x40"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_TRUE(ReadBytes(folder.Path("out.raw")) == ExpectedOutput(input, layout, 5, 5, "line"));
}

// The host keeps RGB rows bottom-up, so in the picture the border left unblurred is one
// row deeper at the top than at the bottom: y + 2 rows above, y + 1 below.
TEST(RawFrames, DeeperCopiedBorderIsAtThePicturesTop) {
  const RawLayout layout{40, 40, 3};
  const int y = 2;
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 1, 5);
  WriteBytes(folder.Path("in.raw"), input);
  const auto result = RunKorvel(folder, {"in.raw", "out.raw", "--size", "40x40", "-b", "rect", "-x",
                                         "2", "-y", std::to_string(y)});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  const std::vector<uint8_t> output = ReadBytes(folder.Path("out.raw"));
  using korvel_test::Row;
  EXPECT_EQ(Row(output, layout, 0, y + 1), Row(input, layout, 0, y + 1));
  EXPECT_NE(Row(output, layout, 0, y + 2), Row(input, layout, 0, y + 2));
  EXPECT_EQ(Row(output, layout, 0, layout.height - y - 1),
            Row(input, layout, 0, layout.height - y - 1));
  EXPECT_NE(Row(output, layout, 0, layout.height - y - 2),
            Row(input, layout, 0, layout.height - y - 2));
}

TEST(RawFrames, PipesCarryTheSameBytesAsFiles) {
  const RawLayout layout{33, 24, 4};
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 4, 3);
  WriteBytes(folder.Path("in.raw"), input);
  // `cat` makes standard input a pipe, whose length is not known in advance.
  const auto piped =
      korvel_test::RunProgram(folder, {"sh", "-c",
                                       std::string("cat in.raw | ") + KORVEL_TOOL_PATH +
                                           " - - --size 33x24 --format rgb32 -b rect -x 2 -y 1"});
  ASSERT_EQ(piped.status, 0) << piped.standard_error;
  EXPECT_EQ(piped.standard_error, "");
  const std::vector<uint8_t> output(piped.standard_output.begin(), piped.standard_output.end());
  EXPECT_TRUE(output == ExpectedOutput(input, layout, 2, 1, "rect"));
}

TEST(RawFrames, EveryThreadCountWritesTheSameBytes) {
  const RawLayout layout{64, 48, 3};
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 11, 13);
  WriteBytes(folder.Path("in.raw"), input);
  const std::vector<uint8_t> expected = ExpectedOutput(input, layout, 4, 3, "focus");
  for (const char* threads : {"1", "2", "3", "8"}) {
    const std::string output = std::string("out-") + threads + ".raw";
    const auto result = RunKorvel(folder, {"in.raw", output, "--size", "64x48", "-b", "focus", "-x",
                                           "4", "--threads", threads});
    ASSERT_EQ(result.status, 0) << result.standard_error;
    EXPECT_TRUE(ReadBytes(folder.Path(output)) == expected) << threads << " threads";
  }
}

TEST(RawFrames, FramesKeepsOnlyTheFirstOnes) {
  const RawLayout layout{24, 16, 3};
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 5, 17);
  WriteBytes(folder.Path("in.raw"), input);
  const auto result = RunKorvel(folder, {"in.raw", "out.raw", "--size", "24x16", "-x", "2", "-y",
                                         "1", "--frames", "2", "--threads", "3"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  const std::vector<uint8_t> first_two(input.begin(),
                                       input.begin() + ptrdiff_t(2 * layout.FrameBytes()));
  EXPECT_TRUE(ReadBytes(folder.Path("out.raw")) == ExpectedOutput(first_two, layout, 2, 1, "line"));
}

}  // namespace
