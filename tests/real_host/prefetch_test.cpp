// Under Prefetch(2) the host makes a second filter and asks both for frames from its own
// threads; every frame must be the one a single instance gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "blur_case.h"

namespace korvel_real_host {
namespace {

TEST(Prefetch, GivesTheFramesOfOneInstance) {
  constexpr int kFrames = 16;
  const BlurCase cases[] = {{320, 240, false, "line", 9, -4},
                            {320, 240, true, "rect", 3, 2},
                            {321, 239, true, "focus", 6, 0}};
  RealHost host;
  for (const BlurCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c));
    const std::string single = KorvelScript(DetailedSource(c.width, c.height, kFrames, c.rgb32), c);
    const AVSValue one = host.Evaluate(single);
    const AVSValue two = host.Evaluate(single + ".Prefetch(2)");
    // Out of order as well as in order, so that the threads' work overlaps unevenly.
    std::vector<int> order(kFrames);
    for (int n = 0; n < kFrames; ++n) order[size_t(n)] = n;
    std::vector<int> shuffled = order;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    order.insert(order.end(), shuffled.begin(), shuffled.end());
    for (const int n : order) {
      const auto difference = FirstDifference(Picture(one.AsClip(), n, host.env()),
                                              Picture(two.AsClip(), n, host.env()), c.RowBytes());
      ASSERT_FALSE(difference) << "frame " << n << ": " << *difference;
    }
  }
}

}  // namespace
}  // namespace korvel_real_host
