#include "blur_case.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "detail_source.h"
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

std::vector<Plane> ModelPlanes(const std::vector<Plane>& source, const BlurCase& c) {
  std::vector<Plane> planes = source;
  for (size_t p = 0; p < planes.size(); ++p) {
    if (!c.planes.empty() &&
        std::find(c.planes.begin(), c.planes.end(), int64_t(p)) == c.planes.end())
      continue;
    const int factor_w = p > 0 ? 1 << c.format.log2_w : 1;
    const int factor_h = p > 0 ? 1 << c.format.log2_h : 1;
    const int x = c.x / factor_w;
    const int y = c.blur == "focus" ? x : c.y / factor_h;
    // A line of one sample is the plane itself (and has no direction for the model).
    if (c.blur == "line" && x == 0 && y == 0) continue;
    planes[p].bytes = korvel_test::ReferenceBlur(source[p].bytes, source[p].width, source[p].height,
                                                 1, x, y, c.blur);
  }
  return planes;
}

void CheckAgainstModel(const Core& core, const BlurCase& c, int frames) {
  const VSVideoFormat format =
      core.Format(c.format.color_family, 8, stInteger, c.format.log2_w, c.format.log2_h);
  const Node source = DetailedSource(core, format, c.width, c.height, frames);
  const Node blurred = core.Blur(source.get(), c.Arguments());
  for (int n = 0; n < frames; ++n) {
    const std::vector<Plane> expected = ModelPlanes(Planes(GetFrame(source.get(), n).get()), c);
    const std::vector<Plane> actual = Planes(GetFrame(blurred.get(), n).get());
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t p = 0; p < expected.size(); ++p) {
      const auto difference = FirstDifference(expected[p], actual[p]);
      EXPECT_FALSE(difference) << "frame " << n << ", plane " << p << ": " << *difference;
    }
  }
}

}  // namespace korvel_vs_test
