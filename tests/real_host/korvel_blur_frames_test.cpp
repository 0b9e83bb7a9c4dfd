// KorvelBlur's frames in the real host, every format family plane by plane against the model,
// and packed RGB equal to the planar RGB of the same picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "accepted_arguments.h"
#include "korvel_blur_case.h"

namespace korvel_real_host {
namespace {

constexpr int kFrames = 2;

// Each format with a long line (y pointing both ways), a box and a disc, on a size every
// subsampling divides.
TEST(KorvelBlurFrames, EveryFormatEqualsTheModel) {
  KorvelBlurHost host;
  for (int f = 0; f < kHostFormatCount; ++f) {
    const HostFormat& format = kHostFormats[f];
    for (const KorvelBlurCase& c : {KorvelBlurCase{&format, 88, 66, "line", 11, -3, {}},
                                    KorvelBlurCase{&format, 88, 66, "line", -4, 8, {}},
                                    KorvelBlurCase{&format, 88, 66, "rect", 3, 2, {}},
                                    KorvelBlurCase{&format, 88, 66, "focus", 6, 0, {}}}) {
      SCOPED_TRACE(::testing::PrintToString(c));
      CheckAgainstModel(host, c, kFrames);
    }
  }
}

// Planes left out are the source's, in planar and packed formats alike.
TEST(KorvelBlurFrames, PlanesLeftOutAreTheSources) {
  KorvelBlurHost host;
  for (const KorvelBlurCase& c :
       {KorvelBlurCase{&HostFormatNamed("YUVA420P8"), 64, 48, "rect", 4, 3, {3, 0}},
        KorvelBlurCase{&HostFormatNamed("YUV420P10"), 64, 48, "line", 7, -5, {2, 1}},
        KorvelBlurCase{&HostFormatNamed("RGBAPS"), 64, 48, "focus", 5, 0, {1}},
        KorvelBlurCase{&HostFormatNamed("RGB32"), 64, 48, "line", 7, 5, {0, 3}},
        KorvelBlurCase{&HostFormatNamed("RGB48"), 64, 48, "rect", 2, 5, {2}}}) {
    SCOPED_TRACE(::testing::PrintToString(c));
    CheckAgainstModel(host, c, kFrames);
  }
}

// Formats, sizes, arguments and planes drawn anew on every run; KORVEL_REAL_HOST_SEED repeats
// one.
TEST(KorvelBlurFrames, RandomCallsEqualTheModel) {
  const char* chosen = std::getenv("KORVEL_REAL_HOST_SEED");
  const unsigned seed =
      chosen ? unsigned(std::strtoul(chosen, nullptr, 10)) : std::random_device()();
  std::mt19937 random(seed);
  KorvelBlurHost host;
  for (int drawn = 0; drawn < 24;) {
    const HostFormat& format = kHostFormats[random() % unsigned(kHostFormatCount)];
    // Sizes the format's subsampling divides.
    const int width = std::uniform_int_distribution(8, 180)(random) >> format.log2_w
                                                                           << format.log2_w;
    const int height = std::uniform_int_distribution(8, 120)(random) >> format.log2_h
                                                                            << format.log2_h;
    const auto arguments = korvel_test::DrawAcceptedArguments(width, height, random);
    if (!arguments) continue;
    KorvelBlurCase c{&format, width, height, arguments->blur, arguments->x, arguments->y, {}};
    if (random() % 2 == 1)
      for (int p = 0; p < format.plane_count; ++p)
        if (random() % 2 == 1) c.planes.push_back(p);
    SCOPED_TRACE("KORVEL_REAL_HOST_SEED=" + std::to_string(seed) + ", case " +
                 ::testing::PrintToString(c));
    CheckAgainstModel(host, c, kFrames);
    ++drawn;
  }
}

// The same picture blurred packed and planar: `y` points the same way on screen, and the
// rows left as they were are the same rows of the picture.
TEST(KorvelBlurFrames, PackedRgbEqualsPlanarRgb) {
  KorvelBlurHost host;
  const struct {
    const char* packed;
    const char* to_planar;
    const char* back;
  } pairs[] = {{"RGB24", "ConvertToPlanarRGB()", "ConvertToRGB24()"},
               {"RGB32", "ConvertToPlanarRGBA()", "ConvertToRGB32()"},
               {"RGB48", "ConvertToPlanarRGB()", "ConvertToRGB48()"},
               {"RGB64", "ConvertToPlanarRGBA()", "ConvertToRGB64()"}};
  for (const auto& pair : pairs)
    for (const KorvelBlurCase& c :
         {KorvelBlurCase{&HostFormatNamed(pair.packed), 83, 61, "line", 9, -4, {}},
          KorvelBlurCase{&HostFormatNamed(pair.packed), 83, 61, "line", -2, 7, {}},
          KorvelBlurCase{&HostFormatNamed(pair.packed), 83, 61, "rect", 4, 6, {}},
          KorvelBlurCase{&HostFormatNamed(pair.packed), 83, 61, "focus", 5, 0, {}}}) {
      SCOPED_TRACE(::testing::PrintToString(c));
      const std::string source = DetailedSourceOf(*c.format, c.width, c.height, kFrames);
      const PClip packed = host.Evaluate(KorvelBlurScript(source, c)).AsClip();
      const PClip planar =
          host.Evaluate(KorvelBlurScript(source + "." + pair.to_planar, c) + "." + pair.back)
              .AsClip();
      ExpectEqualFrames(host, planar, host, packed, kFrames);
    }
}

// Full HD frames, whose rows and tables are far larger than the others'.
TEST(KorvelBlurLargeFrames, EqualTheModel) {
  KorvelBlurHost host;
  for (const char* format : {"YV12", "YUV420P16", "RGB32"})
    for (const KorvelBlurCase& c :
         {KorvelBlurCase{&HostFormatNamed(format), 1920, 1080, "rect", 8, 8, {}},
          KorvelBlurCase{&HostFormatNamed(format), 1920, 1080, "line", 8, 3, {}}}) {
      SCOPED_TRACE(::testing::PrintToString(c));
      CheckAgainstModel(host, c, 1);
    }
}

}  // namespace
}  // namespace korvel_real_host
