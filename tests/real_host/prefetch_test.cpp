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

// A version-2 plugin declares no thread mode, but scripts set one: for Korvel by name or as
// the default of every filter. Mode 1 shares one instance between the threads; 2 gives each
// thread an instance, 3 lets one thread in at a time. Each gives the frames of one thread.
TEST(ThreadModes, EveryModeGivesTheFramesOfOneThread) {
  constexpr int kFrames = 24;
  const BlurCase cases[] = {{480, 320, true, "focus", 24, 0}, {480, 320, false, "focus", 5, 0},
                            {480, 320, false, "line", 9, 4},  {480, 320, true, "line", 60, 20},
                            {480, 320, true, "rect", 8, 8},   {480, 320, false, "line", 3, 0}};
  const char* const modes[] = {"SetFilterMTMode(\"Korvel\", 1)",
                               "SetFilterMTMode(\"DEFAULT_MT_MODE\", 1)",
                               "SetFilterMTMode(\"Korvel\", 2)", "SetFilterMTMode(\"Korvel\", 3)"};
  RealHost one_thread;
  for (const char* mode : modes) {
    RealHost host;
    host.Evaluate(mode);
    for (const BlurCase& c : cases) {
      SCOPED_TRACE(::testing::Message() << mode << ", " << ::testing::PrintToString(c));
      const std::string script =
          KorvelScript(DetailedSource(c.width, c.height, kFrames, c.rgb32), c);
      const PClip alone = one_thread.Evaluate(script).AsClip();
      const PClip threaded = host.Evaluate(script + ".Prefetch(4)").AsClip();
      for (int n = 0; n < kFrames; ++n) {
        const auto difference = FirstDifference(Picture(alone, n, one_thread.env()),
                                                Picture(threaded, n, host.env()), c.RowBytes());
        ASSERT_FALSE(difference) << "frame " << n << ": " << *difference;
      }
    }
  }
}

}  // namespace
}  // namespace korvel_real_host
