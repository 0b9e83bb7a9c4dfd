// Korvel's frames in the real host, byte for byte: against the model for every case, and
// against the stand-in host for the fixed ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "accepted_arguments.h"
#include "blur_case.h"
#include "stand_in_host.h"

namespace korvel_real_host {
namespace {

constexpr int kFrames = 2;

// Blurs the source in the host and checks every frame; returns the host's frames.
std::vector<std::vector<uint8_t>> CheckAgainstModel(RealHost& host, const std::string& source,
                                                    const BlurCase& c) {
  const AVSValue blurred = host.Evaluate(KorvelScript(source, c));
  std::vector<std::vector<uint8_t>> frames;
  for (int n = 0; n < kFrames; ++n) {
    frames.push_back(Picture(blurred.AsClip(), n, host.env()));
    const auto difference =
        FirstDifference(ModelFrame(host, source, c, n), frames.back(), c.RowBytes());
    EXPECT_FALSE(difference) << "frame " << n << ": " << *difference;
  }
  return frames;
}

class Frames : public ::testing::TestWithParam<BlurCase> {};

TEST_P(Frames, EqualTheModelAndTheStandInHost) {
  const BlurCase& c = GetParam();
  RealHost host;
  const std::string source_script = DetailedSource(c.width, c.height, kFrames, c.rgb32);
  const auto frames = CheckAgainstModel(host, source_script, c);
  const AVSValue source = host.Evaluate(source_script);
  for (int n = 0; n < kFrames; ++n) {
    const auto stand_in = StandInBlur(Picture(source.AsClip(), n, host.env()), c.width, c.height,
                                      c.rgb32, c.x, c.y, c.blur);
    const auto difference = FirstDifference(stand_in, frames[size_t(n)], c.RowBytes());
    EXPECT_FALSE(difference) << "frame " << n << " against the stand-in host: " << *difference;
  }
}

// Each shape at both ends of its range and at small values, on sizes from the smallest
// that admit every shape to odd ones.
std::vector<BlurCase> FixedCases() {
  std::vector<BlurCase> cases;
  for (const auto [width, height] : {std::pair{16, 16}, {41, 23}, {64, 48}, {161, 121}}) {
    const int bound_x = width / 8, bound_y = height / 8;
    for (const bool rgb32 : {false, true}) {
      for (const auto& [blur, x, y] : {std::tuple{"line", bound_x, -bound_y},
                                       {"line", -1, bound_y},
                                       {"line", 0, -1},
                                       {"line", 2, 0},
                                       {"rect", bound_x, 1},
                                       {"rect", 1, bound_y},
                                       {"focus", 2, 0},
                                       {"focus", bound_x, 0}}) {
        const BlurCase c{width, height, rgb32, blur, x, y};
        // On the smallest size the focus range is one radius, listed once.
        if (cases.empty() || c != cases.back()) cases.push_back(c);
      }
    }
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<BlurCase>& info) {
  const BlurCase& c = info.param;
  auto number = [](int value) { return (value < 0 ? "m" : "") + std::to_string(std::abs(value)); };
  return std::to_string(c.width) + "x" + std::to_string(c.height) +
         (c.rgb32 ? "_rgb32_" : "_rgb24_") + c.blur + "_" + number(c.x) + "_" + number(c.y);
}

INSTANTIATE_TEST_SUITE_P(Fixed, Frames, ::testing::ValuesIn(FixedCases()), CaseName);

// Sizes and arguments drawn anew on every run; the seed is printed to repeat a failure,
// and KORVEL_REAL_HOST_SEED sets it.
TEST(RandomFrames, EqualTheModel) {
  const char* chosen = std::getenv("KORVEL_REAL_HOST_SEED");
  const unsigned seed =
      chosen ? unsigned(std::strtoul(chosen, nullptr, 10)) : std::random_device()();
  std::mt19937 random(seed);
  for (int drawn = 0; drawn < 24;) {
    const int width = std::uniform_int_distribution(8, 200)(random);
    const int height = std::uniform_int_distribution(8, 150)(random);
    const auto arguments = korvel_test::DrawAcceptedArguments(width, height, random);
    if (!arguments) continue;
    const BlurCase c{width, height, random() % 2 == 1, arguments->blur, arguments->x, arguments->y};
    SCOPED_TRACE("KORVEL_REAL_HOST_SEED=" + std::to_string(seed) + ", case " +
                 ::testing::PrintToString(c));
    RealHost host;
    CheckAgainstModel(host, DetailedSource(width, height, kFrames, c.rgb32), c);
    ++drawn;
  }
}

// A cropped clip's frames start inside the host's buffer, at an offset, with a pitch wider
// than their rows.
TEST(CroppedFrames, EqualTheModel) {
  for (const bool rgb32 : {false, true}) {
    for (const BlurCase& c : {BlurCase{91, 67, rgb32, "line", 7, -5},
                              {91, 67, rgb32, "rect", 3, 2},
                              {91, 67, rgb32, "focus", 4, 0}}) {
      SCOPED_TRACE(::testing::PrintToString(c));
      RealHost host;
      CheckAgainstModel(host, DetailedSource(100, 72, kFrames, rgb32) + ".Crop(5, 3, -4, -2)", c);
    }
  }
}

// Full HD frames, whose rows and tables are far larger than the others'; too slow for the
// memcheck run, which leaves them out.
TEST(LargeFrames, EqualTheModel) {
  for (const bool rgb32 : {false, true}) {
    for (const BlurCase& c : {BlurCase{1920, 1080, rgb32, "rect", 2, 2},
                              {1920, 1080, rgb32, "line", 8, 3},
                              {1920, 1080, rgb32, "focus", 5, 0}}) {
      SCOPED_TRACE(::testing::PrintToString(c));
      RealHost host;
      const std::string source = DetailedSource(c.width, c.height, 1, c.rgb32);
      const AVSValue blurred = host.Evaluate(KorvelScript(source, c));
      const auto difference = FirstDifference(
          ModelFrame(host, source, c, 0), Picture(blurred.AsClip(), 0, host.env()), c.RowBytes());
      EXPECT_FALSE(difference) << *difference;
    }
  }
}

}  // namespace
}  // namespace korvel_real_host
