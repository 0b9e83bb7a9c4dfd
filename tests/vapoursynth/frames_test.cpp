// korvel.Blur's frames in VapourSynth's core, plane by plane against the model: integers of
// every depth sample for sample, floats within the model's bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "accepted_arguments.h"
#include "blur_case.h"

namespace korvel_vs_test {
namespace {

constexpr int kFrames = 2;

class Frames : public ::testing::TestWithParam<BlurCase> {};

TEST_P(Frames, EqualTheModel) {
  const Core core;
  CheckAgainstModel(core, GetParam(), kFrames);
}

// Each shape at both ends of its range and at small values, on the smallest size that admits
// every shape and on larger ones, odd where the format allows; subsampled planes get extents
// down to 0 there.
std::vector<BlurCase> FixedCases() {
  struct Sizes {
    FormatCase format;
    std::pair<int, int> sizes[3];
  };
  const Sizes formats[] = {{kGray8, {{16, 16}, {41, 23}, {161, 121}}},
                           {kRgb24, {{16, 16}, {41, 23}, {161, 121}}},
                           {kYuv444, {{16, 16}, {41, 23}, {161, 121}}},
                           {kYuv422, {{16, 16}, {42, 23}, {162, 121}}},
                           {kYuv420, {{16, 16}, {42, 24}, {162, 122}}},
                           {kYuv411, {{16, 16}, {44, 23}, {164, 121}}},
                           {kYuv440, {{16, 16}, {41, 24}, {161, 122}}},
                           {kYuv410, {{16, 16}, {44, 24}, {164, 124}}},
                           {kGray16, {{16, 16}, {41, 23}, {161, 121}}},
                           {kYuv420P10, {{16, 16}, {42, 24}, {162, 122}}},
                           {kYuv444P16, {{16, 16}, {41, 23}, {161, 121}}},
                           {kGrayS, {{16, 16}, {41, 23}, {161, 121}}},
                           {kRgbS, {{16, 16}, {41, 23}, {161, 121}}}};
  std::vector<BlurCase> cases;
  for (const Sizes& format : formats) {
    for (const auto& [width, height] : format.sizes) {
      const int bound_x = width / 8, bound_y = height / 8;
      for (const auto& [blur, x, y] : {std::tuple{"line", bound_x, -bound_y},
                                       {"line", -1, bound_y},
                                       {"line", 0, -1},
                                       {"line", 2, 0},
                                       {"line", -3, 3},
                                       {"rect", bound_x, 1},
                                       {"rect", 1, bound_y},
                                       {"focus", 2, 0},
                                       {"focus", 3, 0},
                                       {"focus", bound_x, 0}}) {
        // On the smallest size some of these are out of range, or the same case twice.
        const BlurCase c{format.format, width, height, blur, x, y, {}};
        if (std::abs(x) <= bound_x && std::abs(y) <= bound_y &&
            std::find(cases.begin(), cases.end(), c) == cases.end())
          cases.push_back(c);
      }
    }
  }
  // Planes left out are the source's; the listed ones are blurred whatever their order.
  cases.push_back({kYuv420, 162, 122, "rect", 4, 3, {0}});
  cases.push_back({kYuv420, 162, 122, "line", 9, -5, {2, 1}});
  cases.push_back({kRgb24, 41, 23, "focus", 5, 0, {1}});
  cases.push_back({kYuv411, 164, 121, "focus", 7, 0, {0, 1, 2}});
  cases.push_back({kYuv420P10, 162, 122, "line", -9, 5, {1, 2}});
  cases.push_back({kRgbS, 41, 23, "rect", 2, 2, {2}});
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<BlurCase>& info) {
  const BlurCase& c = info.param;
  auto number = [](int value) { return (value < 0 ? "m" : "") + std::to_string(std::abs(value)); };
  std::string name = std::string(c.format.name) + "_" + std::to_string(c.width) + "x" +
                     std::to_string(c.height) + "_" + c.blur + "_" + number(c.x) + "_" +
                     number(c.y);
  for (const int64_t p : c.planes) name += "_p" + std::to_string(p);
  return name;
}

INSTANTIATE_TEST_SUITE_P(Fixed, Frames, ::testing::ValuesIn(FixedCases()), CaseName);

// Formats, sizes, arguments and planes drawn anew on every run; the seed is printed to repeat
// a failure, and KORVEL_VS_SEED sets it.
TEST(RandomFrames, EqualTheModel) {
  const char* chosen = std::getenv("KORVEL_VS_SEED");
  const unsigned seed =
      chosen ? unsigned(std::strtoul(chosen, nullptr, 10)) : std::random_device()();
  std::mt19937 random(seed);
  const FormatCase formats[] = {kGray8,  kRgb24,  kYuv444,    kYuv422,    kYuv420, kYuv411, kYuv440,
                                kYuv410, kGray16, kYuv420P10, kYuv444P16, kGrayS,  kRgbS};
  const Core core;
  for (int drawn = 0; drawn < 30;) {
    const FormatCase format = formats[random() % std::size(formats)];
    // Sizes the format's subsampling divides.
    const int width = std::uniform_int_distribution(8, 200)(random) >> format.log2_w
                                                                           << format.log2_w;
    const int height = std::uniform_int_distribution(8, 150)(random) >> format.log2_h
                                                                            << format.log2_h;
    const auto arguments = korvel_test::DrawAcceptedArguments(width, height, random);
    if (!arguments) continue;
    BlurCase c{format, width, height, arguments->blur, arguments->x, arguments->y, {}};
    const int plane_count = format.color_family == cfGray ? 1 : 3;
    if (random() % 2 == 1)
      for (int p = 0; p < plane_count; ++p)
        if (random() % 2 == 1) c.planes.push_back(p);
    SCOPED_TRACE("KORVEL_VS_SEED=" + std::to_string(seed) + ", case " +
                 ::testing::PrintToString(c));
    CheckAgainstModel(core, c, kFrames);
    ++drawn;
  }
}

// Full HD frames, whose rows and tables are far larger than the others'.
TEST(LargeFrames, EqualTheModel) {
  const Core core;
  for (const FormatCase& format : {kRgb24, kYuv420, kYuv420P10, kRgbS}) {
    for (const BlurCase& c : {BlurCase{format, 1920, 1080, "rect", 2, 2, {}},
                              BlurCase{format, 1920, 1080, "line", 8, 3, {}}}) {
      SCOPED_TRACE(::testing::PrintToString(c));
      CheckAgainstModel(core, c, 1);
    }
  }
}

}  // namespace
}  // namespace korvel_vs_test
