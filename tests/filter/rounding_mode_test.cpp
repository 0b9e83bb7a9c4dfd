// Sums at which the rounding mode decides the quotient: (q + 1) * N - 1 divides to q only
// with the reciprocal chosen rounding to nearest; one chosen rounding toward zero or down
// gives q + 1. Each frame is q everywhere but for just enough samples of q + 1 in one
// window, so that its total lands there; the byte must be q in every mode the caller leaves.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <memory>
#include <vector>

#include "averaging/fast_averager.h"
#include "test_clips.h"

namespace {

struct Window {
  const char* blur;
  int x, y;
  int width, height, bytes_per_pixel;
  int pixel, row;  // the window's centre
  int quotient;    // q: the samples hold q, and (N - 1) / 2 of them q + 1
};

// The window's samples in row-major order, disc or box, as (row, pixel) steps.
std::vector<std::pair<int, int>> Samples(const Window& w) {
  std::vector<std::pair<int, int>> samples;
  const bool disc = std::strcmp(w.blur, "focus") == 0;
  const int rows = disc ? w.x : w.y;
  for (int dy = -rows; dy <= rows; ++dy)
    for (int dx = -w.x; dx <= w.x; ++dx)
      if (!disc || dx * dx + dy * dy <= w.x * w.x) samples.push_back({dy, dx});
  return samples;
}

// A picture of q with the first (N - 1) / 2 samples of the window raised to q + 1: the total
// plus the rounding term is then (q + 1) * N - 1.
std::vector<uint8_t> Picture(const Window& w, ptrdiff_t pitch) {
  std::vector<uint8_t> picture(size_t(pitch * w.height), uint8_t(w.quotient));
  const auto samples = Samples(w);
  for (size_t s = 0; s < (samples.size() - 1) / 2; ++s) {
    uint8_t* pixel = picture.data() + (w.row + samples[s].first) * pitch +
                     (w.pixel + samples[s].second) * w.bytes_per_pixel;
    std::memset(pixel, w.quotient + 1, size_t(w.bytes_per_pixel));
  }
  return picture;
}

const Window kWindows[] = {
    {"rect", 58, 129, 480, 1040, 4, 240, 520, 230},   // N = 30303
    {"focus", 118, 118, 944, 240, 3, 472, 120, 244},  // N = 43709
    {"rect", 58, 129, 240, 1040, 1, 120, 520, 230},   // a plane of 8-bit samples
};

const int kModes[] = {FE_TONEAREST, FE_TOWARDZERO, FE_DOWNWARD, FE_UPWARD};

// Through the plugin as a host calls it, on the instruction set it chooses.
TEST(RoundingMode, DecidesNoByteThroughTheFilter) {
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  const int saved = std::fegetround();
  for (const Window& w : kWindows) {
    if (w.bytes_per_pixel == 1) continue;  // the plugin takes RGB clips only
    const VideoInfo vi =
        korvel_test::RgbInfo(w.width, w.height, w.bytes_per_pixel == 3 ? CS_BGR24 : CS_BGR32);
    PVideoFrame source = korvel_test::UniformFrame(env, vi, 0);
    const std::vector<uint8_t> picture = Picture(w, source->GetPitch());
    std::memcpy(source->GetWritePtr(), picture.data(), picture.size());
    const PClip clip = korvel_test::ClipOf(vi, {source});
    for (int mode : kModes) {
      SCOPED_TRACE(::testing::Message() << w.blur << " " << w.x << "/" << w.y << ", mode " << mode);
      // A filter of its own, so its divisor is chosen in this mode.
      const PClip filter = korvel_test::CallKorvel(env, clip, {w.x, w.y, w.blur}).AsClip();
      std::fesetround(mode);
      PVideoFrame out = filter->GetFrame(0, &env);
      EXPECT_EQ(std::fegetround(), mode) << "the caller's mode must be kept";
      std::fesetround(saved);
      const BYTE* centre =
          out->GetReadPtr() + w.row * out->GetPitch() + w.pixel * w.bytes_per_pixel;
      for (int k = 0; k < w.bytes_per_pixel; ++k) EXPECT_EQ(centre[k], w.quotient) << "byte " << k;
    }
#if defined(__GLIBC__)
    // A caller that traps on inexact results: the products rounded inside must not trap.
    const PClip filter = korvel_test::CallKorvel(env, clip, {w.x, w.y, w.blur}).AsClip();
    feenableexcept(FE_INEXACT);
    PVideoFrame out = filter->GetFrame(0, &env);
    fedisableexcept(FE_INEXACT);
#endif
  }
}

// On every instruction set the processor has, the averager's divisor chosen in each mode.
TEST(RoundingMode, DecidesNoByteOnAnyInstructionSet) {
  const int saved = std::fegetround();
  for (const Window& w : kWindows) {
    const ptrdiff_t pitch = ptrdiff_t(w.width) * w.bytes_per_pixel;
    const std::vector<uint8_t> picture = Picture(w, pitch);
    std::vector<int32_t> offsets;
    for (const auto& [dy, dx] : Samples(w))
      offsets.push_back(int32_t(dy * pitch + dx * w.bytes_per_pixel));
    for (InstructionSet set : {InstructionSet::kPortable, InstructionSet::kAvx2,
                               InstructionSet::kAvx512, InstructionSet::kAvx512Vnni}) {
      if (!IsAvailable(set)) continue;
      for (int mode : kModes) {
        SCOPED_TRACE(::testing::Message() << w.blur << ", set " << int(set) << ", mode " << mode);
        std::fesetround(mode);
        std::unique_ptr<FastAverager> averager(
            FastAverager::Create(w.x, w.y, pitch, int64_t(offsets.size()), w.blur[0] == 'f', set));
        ASSERT_NE(averager, nullptr);
        uint8_t out[4] = {};
        // Only the centre pixel: the job's destination is laid so it lands in `out`.
        AveragingJob job{picture.data(),
                         pitch,
                         out - w.row * pitch - w.pixel * w.bytes_per_pixel,
                         pitch,
                         w.row,
                         w.row + 1,
                         w.pixel,
                         w.pixel + 1,
                         w.bytes_per_pixel,
                         offsets.data(),
                         int(offsets.size())};
        EXPECT_NE(averager->Average(job), KernelChoice::kPlain);
        EXPECT_EQ(std::fegetround(), mode);
        std::fesetround(saved);
        for (int k = 0; k < w.bytes_per_pixel; ++k) EXPECT_EQ(out[k], w.quotient) << "byte " << k;
      }
    }
  }
}

}  // namespace
