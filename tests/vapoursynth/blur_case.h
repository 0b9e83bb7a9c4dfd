// One call of korvel.Blur on a detailed source, and the planes the model expects of it.
#pragma once

#include <ostream>

#include "vs_core.h"

namespace korvel_vs_test {

// A format by its colour family, subsampling and samples.
struct FormatCase {
  const char* name;
  int color_family;
  int log2_w, log2_h;
  int bits = 8;
  int sample_type = stInteger;
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
inline constexpr FormatCase kGray16{"Gray16", cfGray, 0, 0, 16};
inline constexpr FormatCase kYuv420P10{"YUV420P10", cfYUV, 1, 1, 10};
inline constexpr FormatCase kYuv444P16{"YUV444P16", cfYUV, 0, 0, 16};
inline constexpr FormatCase kGrayS{"GrayS", cfGray, 0, 0, 32, stFloat};
inline constexpr FormatCase kRgbS{"RGBS", cfRGB, 0, 0, 32, stFloat};

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

// Where plane p of korvel.Blur's frame first differs from what the model makes of the source
// plane, or nothing: a listed plane blurred with x and y divided by its subsampling toward
// zero (a disc's radius by the horizontal one), integers exactly, floats within the model's
// bound; the others unchanged.
std::optional<std::string> PlaneMismatch(const Plane& source, const Plane& actual,
                                         const BlurCase& c, int p);

// Blurs a detailed source of the case in the core and checks frames 0 to frames - 1 against
// the model, plane by plane.
void CheckAgainstModel(const Core& core, const BlurCase& c, int frames);

}  // namespace korvel_vs_test
