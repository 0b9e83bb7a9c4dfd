// The filter's source clip lives exactly as long as the filter. The counts show a source
// kept too long; one freed too early shows in the memcheck run as the filter's read of freed
// memory, since the host's own reference keeps it until the filter itself goes.
#include <gtest/gtest.h>

#include <atomic>

#include "blur_case.h"

namespace korvel_real_host {
namespace {

// A pass-through clip that counts how many of its kind are alive.
class ObservedSource : public GenericVideoFilter {
 public:
  static inline std::atomic<int> alive{0};
  explicit ObservedSource(PClip child) : GenericVideoFilter(child) { ++alive; }
  ~ObservedSource() override { --alive; }
};

// Korvel called on an observed source through the host's Invoke, which owns the source from
// then on; `prefetch` threads when more than 0.
AVSValue BlurObserved(RealHost& host, const BlurCase& c, int prefetch) {
  const AVSValue source = host.Evaluate(DetailedSource(c.width, c.height, 4, c.rgb32));
  const AVSValue arguments[] = {PClip(new ObservedSource(source.AsClip())), c.x, c.y,
                                c.blur.c_str()};
  const char* const names[] = {nullptr, "x", "y", "blur"};
  AVSValue blurred = host.Invoke("Korvel", AVSValue(arguments, 4), names);
  if (prefetch > 0) {
    const AVSValue prefetch_arguments[] = {blurred, prefetch};
    blurred = host.Invoke("Prefetch", AVSValue(prefetch_arguments, 2), nullptr);
  }
  return blurred;
}

class SourceLifetime : public ::testing::TestWithParam<int> {};

TEST_P(SourceLifetime, EqualsTheFilters) {
  const BlurCase c{64, 48, true, "rect", 2, 3};
  const int before = ObservedSource::alive;  // sources a failed case before this one leaked
  RealHost host;
  {
    AVSValue blurred = BlurObserved(host, c, GetParam());
    EXPECT_EQ(ObservedSource::alive, before + 1) << "the source is gone while the filter holds it";
    for (int n = 0; n < 4; ++n) {
      const auto difference = FirstDifference(
          ModelFrame(host, c, n), Picture(blurred.AsClip(), n, host.env()), c.RowBytes());
      EXPECT_FALSE(difference) << "frame " << n << ": " << *difference;
    }
    EXPECT_EQ(ObservedSource::alive, before + 1) << "the source is gone while the filter holds it";
  }
  EXPECT_EQ(ObservedSource::alive, before) << "the source outlives the filter";
}

INSTANTIATE_TEST_SUITE_P(Instances, SourceLifetime, ::testing::Values(0, 2), [](const auto& info) {
  return info.param ? "Prefetch" + std::to_string(info.param) : std::string("OneInstance");
});

TEST(SourceLifetime, IsUntouchedByARefusedCall) {
  const int before = ObservedSource::alive;
  RealHost host;
  const AVSValue source = host.Evaluate(DetailedSource(64, 48, 1, false));
  {
    const AVSValue arguments[] = {PClip(new ObservedSource(source.AsClip())), 0, 0};
    const char* const names[] = {nullptr, "x", "y"};
    try {
      host.Invoke("Korvel", AVSValue(arguments, 3), names);
      ADD_FAILURE() << "Korvel accepted x = y = 0";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "the host refused Korvel: Korvel:x and y both must not be zero");
    }
    EXPECT_EQ(ObservedSource::alive, before + 1) << "the refused call released the caller's source";
  }
  EXPECT_EQ(ObservedSource::alive, before) << "the refused call kept the source";
}

}  // namespace
}  // namespace korvel_real_host
