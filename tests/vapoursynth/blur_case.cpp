#include "blur_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "detail_source.h"
#include "plane_extents.h"
#include "reference_pictures.h"

namespace korvel_vs_test {

BlurArguments BlurCase::Arguments() const {
  BlurArguments arguments{x, y, blur, std::nullopt};
  if (!planes.empty()) arguments.planes = planes;
  return arguments;
}

void PrintTo(const BlurCase& c, std::ostream* os) {
  *os << c.width << "x" << c.height << " " << c.format.name << " " << c.blur << " x=" << c.x
      << " y=" << c.y;
  if (!c.planes.empty()) {
    *os << " planes=[";
    for (const int64_t p : c.planes) *os << (p == c.planes.front() ? "" : ",") << p;
    *os << "]";
  }
}

namespace {

template <typename Sample>
std::vector<Sample> SamplesOf(const Plane& plane) {
  std::vector<Sample> samples(plane.bytes.size() / sizeof(Sample));
  std::memcpy(samples.data(), plane.bytes.data(), plane.bytes.size());
  return samples;
}

template <typename Sample>
Plane PlaneOf(const std::vector<Sample>& samples, const Plane& like) {
  Plane plane = like;
  std::memcpy(plane.bytes.data(), samples.data(), plane.bytes.size());
  return plane;
}

}  // namespace

std::optional<std::string> PlaneMismatch(const Plane& source, const Plane& actual,
                                         const BlurCase& c, int p) {
  const bool listed =
      c.planes.empty() || std::find(c.planes.begin(), c.planes.end(), int64_t(p)) != c.planes.end();
  int x = 0, y = 0;
  if (!listed || !korvel_test::PlaneExtents(c.blur.c_str(), c.x, c.y, p > 0 ? c.format.log2_w : 0,
                                            p > 0 ? c.format.log2_h : 0, &x, &y))
    return FirstDifference(source, actual);
  const int w = source.width, h = source.height;
  switch (source.sample_bytes) {
    case 1:
      return FirstDifference(
          PlaneOf(korvel_test::ReferenceBlur(source.bytes, w, h, 1, x, y, c.blur), source), actual);
    case 2:
      return FirstDifference(
          PlaneOf(korvel_test::ReferenceBlur(SamplesOf<uint16_t>(source), w, h, 1, x, y, c.blur),
                  source),
          actual);
  }
  const std::vector<float> samples = SamplesOf<float>(source), got = SamplesOf<float>(actual);
  const std::vector<double> means = korvel_test::ReferenceMeans(samples, w, h, 1, x, y, c.blur);
  double largest = 0;
  for (const float v : samples) largest = std::max(largest, double(std::fabs(v)));
  for (size_t k = 0; k < got.size(); ++k)
    if (!korvel_test::FloatMeanAcceptable(got[k], means[k], largest))
      return "row " + std::to_string(k / size_t(w)) + ", sample " + std::to_string(k % size_t(w)) +
             ": " + std::to_string(got[k]) + " where the mean is " + std::to_string(means[k]);
  return std::nullopt;
}

void CheckAgainstModel(const Core& core, const BlurCase& c, int frames) {
  const VSVideoFormat format = core.Format(c.format.color_family, c.format.bits,
                                           c.format.sample_type, c.format.log2_w, c.format.log2_h);
  const Node source = DetailedSource(core, format, c.width, c.height, frames);
  const Node blurred = core.Blur(source.get(), c.Arguments());
  for (int n = 0; n < frames; ++n) {
    const std::vector<Plane> in = Planes(GetFrame(source.get(), n).get());
    const std::vector<Plane> out = Planes(GetFrame(blurred.get(), n).get());
    ASSERT_EQ(in.size(), out.size());
    for (size_t p = 0; p < in.size(); ++p) {
      const auto mismatch = PlaneMismatch(in[p], out[p], c, int(p));
      EXPECT_FALSE(mismatch) << "frame " << n << ", plane " << p << ": " << *mismatch;
    }
  }
}

}  // namespace korvel_vs_test
