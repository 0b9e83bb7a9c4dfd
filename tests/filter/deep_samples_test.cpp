// Planes of 16-bit words and of floats through the engine, on every instruction set: against
// the model (integers exact, floats within the bound), at the bounds of their sums, and with
// infinities and NaNs, which change exactly the outputs whose samples hold them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "accepted_arguments.h"
#include "blur_engine.h"
#include "plane_blur.h"
#include "reference_pictures.h"

namespace {

// A plane of samples with rows `pitch` samples apart, and the picture it holds.
template <typename Sample>
struct Plane {
  int width, height, channels;
  ptrdiff_t pitch;
  std::vector<Sample> samples;

  Plane(int w, int h, int c, int padding)
      : width(w),
        height(h),
        channels(c),
        pitch(ptrdiff_t(w) * c + padding),
        samples(size_t(pitch * h)) {}
  Sample& at(int row, ptrdiff_t k) { return samples[size_t(row * pitch + k)]; }
  std::vector<Sample> Picture() const {
    std::vector<Sample> picture;
    for (int i = 0; i < height; ++i)
      picture.insert(picture.end(), samples.begin() + i * pitch,
                     samples.begin() + i * pitch + ptrdiff_t(width) * channels);
    return picture;
  }
};

template <typename Sample>
Plane<Sample> Blurred(const Plane<Sample>& in, const std::string& blur, int x, int y,
                      SampleFormat format, InstructionSet set) {
  const Shape shape = ShapeOf(blur.c_str());
  PlaneBlur plane = PlaneBlurOf(shape, x, y, 0, 0);
  plane.engine = BlurEngine::Create(shape, plane.x, plane.y, format,
                                    int64_t(in.width) * format.PixelBytes(), set);
  Plane<Sample> out(in.width, in.height, in.channels, 3);
  EXPECT_NE(plane.engine, nullptr);
  if (!plane.engine) return out;
  constexpr ptrdiff_t kSize = sizeof(Sample);
  EXPECT_EQ(BlurPlane(plane, reinterpret_cast<const uint8_t*>(in.samples.data()), in.pitch * kSize,
                      reinterpret_cast<uint8_t*>(out.samples.data()), out.pitch * kSize, in.width,
                      in.height),
            AverageResult::kDone);
  if (in.height > 2 * std::abs(plane.y) + 3 && in.width > 2 * std::abs(plane.x) + 3 &&
      !(blur == "line" && x == 0 && y == 0)) {
    EXPECT_NE(plane.engine->LastKernel(), KernelChoice::kPlain) << "the fast path did not run";
  }
  delete plane.engine;
  return out;
}

double LargestFinite(const std::vector<float>& picture) {
  double largest = 0;
  for (const float v : picture)
    if (std::isfinite(v)) largest = std::max(largest, double(std::fabs(v)));
  return largest;
}

// The first output unlike the model's, as "row, sample: got, wanted", or empty.
template <typename Sample>
std::string FirstMismatch(const Plane<Sample>& out, const Plane<Sample>& in,
                          const std::string& blur, int x, int y) {
  const std::vector<Sample> picture = in.Picture(), actual = out.Picture();
  const ptrdiff_t row = ptrdiff_t(in.width) * in.channels;
  if constexpr (sizeof(Sample) == 2) {
    const std::vector<Sample> expected =
        korvel_test::ReferenceBlur(picture, in.width, in.height, in.channels, x, y, blur);
    for (size_t k = 0; k < actual.size(); ++k)
      if (actual[k] != expected[k])
        return std::to_string(k / row) + ", " + std::to_string(k % row) + ": " +
               std::to_string(actual[k]) + ", " + std::to_string(expected[k]);
  } else {
    const std::vector<double> expected =
        korvel_test::ReferenceMeans(picture, in.width, in.height, in.channels, x, y, blur);
    const double largest = LargestFinite(picture);
    for (size_t k = 0; k < actual.size(); ++k)
      if (!korvel_test::FloatMeanAcceptable(actual[k], expected[k], largest))
        return std::to_string(k / row) + ", " + std::to_string(k % row) + ": " +
               std::to_string(actual[k]) + ", " + std::to_string(expected[k]);
  }
  return "";
}

bool ProcessorHas(InstructionSet set) { return IsAvailable(set) && set <= WidestWithin(nullptr); }

class DeepSamples : public ::testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    if (!ProcessorHas(GetParam())) GTEST_SKIP() << "this processor lacks the instruction set";
  }
};

TEST_P(DeepSamples, MatchTheModel) {
  std::mt19937 random(28);
  auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int round = 0; round < 120; ++round) {
    const int width = uniform(4, 90), height = uniform(4, 90), channels = uniform(0, 2) ? 1 : 3;
    const auto arguments = korvel_test::DrawAcceptedArguments(width, height, random);
    if (!arguments) continue;
    const int x = arguments->x, y = arguments->blur == "focus" ? x : arguments->y;
    const int padding = uniform(0, 1) ? 0 : uniform(1, 9);
    SCOPED_TRACE(::testing::Message()
                 << "round " << round << ": " << arguments->blur << " " << x << "/" << y << " on "
                 << width << "x" << height << "x" << channels);
    if (round % 2) {
      const int bits = uniform(9, 16);
      Plane<uint16_t> in(width, height, channels, padding);
      for (uint16_t& s : in.samples) s = uint16_t(uniform(0, (1 << bits) - 1));
      const auto out =
          Blurred(in, arguments->blur, x, y, {SampleType::kUint16, bits, channels}, GetParam());
      EXPECT_EQ(FirstMismatch(out, in, arguments->blur, x, y), "") << bits << " bits";
    } else {
      Plane<float> in(width, height, channels, padding);
      const float scale = std::pow(10.0f, float(uniform(-30, 30)));
      std::uniform_real_distribution<float> unit(-1, 1);
      for (float& s : in.samples) s = unit(random) * (uniform(0, 9) ? scale : 1e30f);
      const auto out =
          Blurred(in, arguments->blur, x, y, {SampleType::kFloat32, 32, channels}, GetParam());
      EXPECT_EQ(FirstMismatch(out, in, arguments->blur, x, y), "") << "floats of " << scale;
    }
    if (HasFailure()) return;
  }
}

// The largest box at 3840x2160 (519,901 samples, sums past 2^35 in 64-bit lanes), the same in
// 10-bit words (32-bit lanes), a disc and a line of their largest extents: a plane of one
// value comes out that value exactly, whatever the type.
TEST_P(DeepSamples, APlaneOfOneValueKeepsIt) {
  const struct {
    const char* blur;
    int x, y, width, height;
  } calls[] = {{"rect", 480, 270, 3840, 2160},
               {"focus", 480, 480, 3840, 966},
               {"line", 480, -270, 3840, 2160},
               {"line", 5, 270, 40, 2160}};
  // How many samples of the picture differ from `value`.
  auto differing = [](const auto& plane, auto value) {
    int64_t count = 0;
    for (int i = 0; i < plane.height; ++i)
      for (ptrdiff_t k = 0; k < ptrdiff_t(plane.width) * plane.channels; ++k)
        count +=
            std::memcmp(&plane.samples[size_t(i * plane.pitch + k)], &value, sizeof value) != 0;
    return count;
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(::testing::Message() << c.blur << " " << c.x << "/" << c.y);
    for (const int bits : {16, 10}) {
      Plane<uint16_t> in(c.width, c.height, 1, 0);
      const uint16_t value = uint16_t((1 << bits) - 1);
      std::fill(in.samples.begin(), in.samples.end(), value);
      const auto out = Blurred(in, c.blur, c.x, c.y, {SampleType::kUint16, bits, 1}, GetParam());
      EXPECT_EQ(differing(out, value), 0) << bits << " bits";
    }
    for (const float value : {0.1f, -3.7e-30f, -3.4e38f}) {
      Plane<float> in(c.width, c.height, 1, 0);
      std::fill(in.samples.begin(), in.samples.end(), value);
      const auto out = Blurred(in, c.blur, c.x, c.y, {SampleType::kFloat32, 32, 1}, GetParam());
      EXPECT_EQ(differing(out, value), 0) << value;
    }
    if (HasFailure()) return;
  }
}

// One NaN in a 1920x1080 plane, then infinities of both signs near each other: the outputs
// whose samples hold one are what a direct sum gives, and every other output has the bits it
// has where those samples are 0.
TEST_P(DeepSamples, NonFiniteSamplesChangeOnlyTheirWindows) {
  constexpr int kWidth = 1920, kHeight = 1080;
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* blur;
    int x, y;
  } calls[] = {{"focus", 9, 9}, {"rect", 3, 2}, {"line", 7, -3}};
  const struct {
    int row, column;
    float value;
  } marks[][3] = {{{500, 700, NAN}, {}, {}}, {{300, 300, inf}, {303, 302, -inf}, {900, 1800, inf}}};
  std::mt19937 random(5);
  std::uniform_real_distribution<float> unit(-1, 1);
  Plane<float> zeros(kWidth, kHeight, 1, 16);
  for (float& s : zeros.samples) s = unit(random);
  for (const auto& c : calls) {
    for (const auto& marked : marks) {
      SCOPED_TRACE(::testing::Message() << c.blur << " " << c.x << "/" << c.y);
      Plane<float> in = zeros;
      for (const auto& mark : marked) {
        if (mark.row == 0) continue;
        zeros.at(mark.row, mark.column) = 0;
        in.at(mark.row, mark.column) = mark.value;
      }
      const SampleFormat floats{SampleType::kFloat32, 32, 1};
      const auto plain = Blurred(zeros, c.blur, c.x, c.y, floats, GetParam());
      const auto out = Blurred(in, c.blur, c.x, c.y, floats, GetParam());
      // Every output's direct sum of the marks alone.
      std::vector<korvel_test::Step> steps(size_t(korvel_test::ShapeStepCapacity(c.x, c.y)));
      steps.resize(size_t(korvel_test::ShapeSteps(c.x, c.y, c.blur, steps.data())));
      std::vector<float> marks_sum(size_t(kWidth) * kHeight, 0.0f);
      const int margin_x = std::abs(c.x), margin_y = std::abs(c.blur[0] == 'f' ? c.x : c.y);
      for (const auto& mark : marked) {
        if (mark.row == 0) continue;
        for (const auto& step : steps) {
          const int i = mark.row - step.row, j = mark.column - step.column;
          if (i > margin_y && i < kHeight - margin_y - 2 && j > margin_x &&
              j < kWidth - margin_x - 2)
            marks_sum[size_t(i) * kWidth + size_t(j)] += mark.value;
        }
      }
      int changed = 0, wrong = 0;
      for (int i = 0; i < kHeight; ++i) {
        for (int j = 0; j < kWidth; ++j) {
          const float expected = marks_sum[size_t(i) * kWidth + size_t(j)];
          const float actual = out.samples[size_t(i * out.pitch + j)];
          const float unmarked = plain.samples[size_t(i * plain.pitch + j)];
          if (expected != 0 || std::isnan(expected)) {
            ++changed;
            wrong += !(std::isnan(expected) ? std::isnan(actual) : actual == expected);
          } else {
            wrong += std::memcmp(&actual, &unmarked, sizeof actual) != 0;
          }
        }
      }
      EXPECT_EQ(wrong, 0) << "of " << changed << " outputs the marks reach";
      EXPECT_GT(changed, 0);
      for (const auto& mark : marked)
        if (mark.row != 0) zeros.at(mark.row, mark.column) = in.at(mark.row, mark.column) = 0;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(InstructionSets, DeepSamples,
                         ::testing::Values(InstructionSet::kPortable, InstructionSet::kAvx2,
                                           InstructionSet::kAvx512, InstructionSet::kAvx512Vnni),
                         [](const ::testing::TestParamInfo<InstructionSet>& set) {
                           return std::string(InstructionSetName(set.param));
                         });

}  // namespace
