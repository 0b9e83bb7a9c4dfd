// How the host binds Korvel's arguments: omitted ones take their defaults, named ones may
// come in any order and mix with positional ones.
#include <gtest/gtest.h>

#include "blur_case.h"

namespace korvel_real_host {
namespace {

TEST(Arguments, BindByPositionNameOrDefault) {
  constexpr int kWidth = 96, kHeight = 80;
  struct Call {
    std::string arguments;  // after the clip
    BlurCase meant;
  };
  const Call calls[] = {
      {"", {kWidth, kHeight, false, "line", 5, 5}},
      {", y=-3", {kWidth, kHeight, false, "line", 5, -3}},
      {", blur=\"rect\"", {kWidth, kHeight, false, "rect", 5, 5}},
      {", blur=\"rect\", y=2, x=3", {kWidth, kHeight, false, "rect", 3, 2}},
      {", y=2, blur=\"rect\", x=3", {kWidth, kHeight, false, "rect", 3, 2}},
      {", 3, 2, \"rect\"", {kWidth, kHeight, false, "rect", 3, 2}},
      {", 7, blur=\"focus\"", {kWidth, kHeight, true, "focus", 7, 5}},
      {", -4, 0", {kWidth, kHeight, true, "line", -4, 0}},
  };
  RealHost host;
  for (const Call& call : calls) {
    const BlurCase& c = call.meant;
    SCOPED_TRACE("Korvel(clip" + call.arguments + ")");
    const std::string source = DetailedSource(c.width, c.height, 1, c.rgb32);
    const AVSValue blurred = host.Evaluate("Korvel(" + source + call.arguments + ")");
    const auto difference = FirstDifference(ModelFrame(host, c, 0),
                                            Picture(blurred.AsClip(), 0, host.env()), c.RowBytes());
    EXPECT_FALSE(difference) << *difference;
  }
}

}  // namespace
}  // namespace korvel_real_host
