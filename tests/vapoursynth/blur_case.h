// One call of korvel.Blur on a detailed source, and the planes the model expects of it.
#pragma once

#include <ostream>

#include "vs_core.h"

namespace korvel_vs_test {

// An 8-bit format by its colour family and subsampling.
struct FormatCase {
  const char* name;
  int color_family;
  int log2_w, log2_h;
  bool operator==(const FormatCase&) const = default;
};
inline constexpr FormatCase kGray8{"Gray8", cfGray, 0, 0};
inline constexpr FormatCase kRgb24{"RGB24", cfRGB, 0, 0};
inline constexpr FormatCase kYuv444{"YUV444P8", cfYUV, 0, 0};
inline constexpr FormatCase kYuv422{"YUV422P8", cfYUV, 1, 0};
inline constexpr FormatCase kYuv420{"YUV420P8", cfYUV, 1, 1};
inline constexpr FormatCase kYuv411{"YUV411P8", cfYUV, 2, 0};
inline constexpr FormatCase kYuv440{"YUV440P8", cfYUV, 0, 1};
inline constexpr FormatCase kYuv410{"YUV410P8", cfYUV, 2, 2};

struct BlurCase {
  FormatCase format;
  int width, height;
  std::string blur;
  int x, y;
  std::vector<int64_t> planes;  // empty: the argument is left out

  BlurArguments Arguments() const;
  bool operator==(const BlurCase&) const = default;
};

void PrintTo(const BlurCase& c, std::ostream* os);

// The planes korvel.Blur should make of these source planes: each listed plane blurred by
// the model, one byte per pixel, with x and y divided by the plane's subsampling toward zero
// (a disc's radius by the horizontal one); the others unchanged.
std::vector<Plane> ModelPlanes(const std::vector<Plane>& source, const BlurCase& c);

// Blurs a detailed source of the case in the core and checks frames 0 to frames - 1 against
// the model, plane by plane.
void CheckAgainstModel(const Core& core, const BlurCase& c, int frames);

}  // namespace korvel_vs_test
