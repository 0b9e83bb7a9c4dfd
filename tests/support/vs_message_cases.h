// Every creation message of korvel.Blur, in the order its checks take precedence: refused
// formats first, then the same checks of shape and extents as the AviSynth plugin makes
// (against the clip's width and height, whatever its subsampling), then the planes. One
// table for every host that checks them: the VapourSynth stage's test program on Linux and
// the Windows test host of korvel_vs.dll, which has no C++ standard library; so plain
// values only.
#pragma once

#include <VapourSynth4.h>
#include <stdint.h>

namespace korvel_test {

// A clip's format and size; colour family cfUndefined is a clip whose format varies, a size
// of 0x0 one whose size varies.
struct VsClip {
  const char* name;
  int color_family, bits, sample_type, log2_w, log2_h, width, height;
};

// What a call passes: x and y where `has_x`/`has_y`, `blur` where not null (its first
// `blur_size` bytes, or up to its zero byte where that is -1), `planes` where
// `plane_count` is not negative.
struct VsArguments {
  bool has_x;
  int64_t x;
  bool has_y;
  int64_t y;
  const char* blur;
  int blur_size;
  int plane_count;
  int64_t planes[3];
};

struct VsMessageCase {
  VsClip clip;
  VsArguments arguments;
  const char* message;  // kVsAccepted where the call makes a filter
};

constexpr const char* kVsAccepted = "(no error)";

namespace vs_message_cases {

// The clips the cases use: 640x480 unless the name says otherwise.
constexpr VsClip kGray8 = {"Gray8", cfGray, 8, stInteger, 0, 0, 640, 480};
constexpr VsClip kRgb24 = {"RGB24", cfRGB, 8, stInteger, 0, 0, 640, 480};
constexpr VsClip kYuv420P8 = {"YUV420P8", cfYUV, 8, stInteger, 1, 1, 640, 480};
constexpr VsClip kYuv411P8Tall = {"YUV411P8 160x800", cfYUV, 8, stInteger, 2, 0, 160, 800};
constexpr VsClip kGray8Narrow = {"Gray8 32x480", cfGray, 8, stInteger, 0, 0, 32, 480};
constexpr VsClip kYuv420P16 = {"YUV420P16", cfYUV, 16, stInteger, 1, 1, 640, 480};
constexpr VsClip kGray16 = {"Gray16", cfGray, 16, stInteger, 0, 0, 640, 480};
constexpr VsClip kRgb30 = {"RGB30", cfRGB, 10, stInteger, 0, 0, 640, 480};
constexpr VsClip kGrayS = {"GrayS", cfGray, 32, stFloat, 0, 0, 640, 480};
constexpr VsClip kYuv444PH = {"YUV444PH", cfYUV, 16, stFloat, 0, 0, 640, 480};
constexpr VsClip kVariableFormat = {"variable format", cfUndefined, 0, 0, 0, 0, 640, 480};
constexpr VsClip kVariableSize = {"variable size", cfGray, 8, stInteger, 0, 0, 0, 0};

constexpr VsArguments kNone = {false, 0, false, 0, nullptr, -1, -1, {}};
constexpr VsArguments Shape(const char* blur, int64_t x = 5, int64_t y = 5) {
  return {true, x, true, y, blur, -1, -1, {}};
}
constexpr VsArguments Line(int64_t x, int64_t y) { return Shape("line", x, y); }
constexpr VsArguments Planes(int count, int64_t a, int64_t b = 0, int64_t c = 0) {
  return {false, 0, false, 0, nullptr, -1, count, {a, b, c}};
}

constexpr const char* kFormat =
    "Korvel: only constant formats of 8-bit integer samples are accepted";
constexpr const char* kSize = "Korvel: only clips of constant size are accepted";
constexpr const char* kShape = "Korvel: blur can be  line rect or focus only";

}  // namespace vs_message_cases

inline constexpr VsMessageCase kVsMessageCases[] = {
    // Formats, checked before anything else, whatever the other arguments.
    {vs_message_cases::kYuv420P16,
     {true, 999, true, 999, "Blob", -1, 1, {7}},
     vs_message_cases::kFormat},
    {vs_message_cases::kGray16, vs_message_cases::kNone, vs_message_cases::kFormat},
    {vs_message_cases::kRgb30, vs_message_cases::kNone, vs_message_cases::kFormat},
    {vs_message_cases::kGrayS, vs_message_cases::kNone, vs_message_cases::kFormat},
    {vs_message_cases::kYuv444PH, vs_message_cases::kNone, vs_message_cases::kFormat},
    {vs_message_cases::kVariableFormat, vs_message_cases::kNone, vs_message_cases::kFormat},
    {vs_message_cases::kVariableSize,
     {true, 999, true, 999, "Blob", -1, -1, {}},
     vs_message_cases::kSize},
    {vs_message_cases::kGray8, vs_message_cases::kNone, kVsAccepted},
    {vs_message_cases::kRgb24, vs_message_cases::kNone, kVsAccepted},
    {vs_message_cases::kYuv420P8, vs_message_cases::kNone, kVsAccepted},
    // Shape and extents.
    {vs_message_cases::kRgb24, vs_message_cases::Shape("Line"), vs_message_cases::kShape},
    {vs_message_cases::kGray8, vs_message_cases::Shape("focus "), vs_message_cases::kShape},
    {vs_message_cases::kGray8, {true, 5, true, 5, "line\0", 5, -1, {}}, vs_message_cases::kShape},
    {vs_message_cases::kGray8, vs_message_cases::Shape("rectangle"), vs_message_cases::kShape},
    {vs_message_cases::kYuv420P8, vs_message_cases::Line(81, 61),
     "Korvel:x must be  between plus minus 80"},
    {vs_message_cases::kGray8, vs_message_cases::Line(-81, 0),
     "Korvel:x must be  between plus minus 80"},
    {vs_message_cases::kGray8, vs_message_cases::Line(int64_t(1) << 40, 0),
     "Korvel:x must be  between plus minus 80"},
    {vs_message_cases::kGray8, vs_message_cases::Line(0, -61),
     "Korvel:y must be  between plus minus 60"},
    {vs_message_cases::kGray8Narrow, vs_message_cases::kNone,
     "Korvel:x must be  between plus minus 4"},
    {vs_message_cases::kYuv420P8, vs_message_cases::Line(0, 0),
     "Korvel:x and y both must not be zero"},
    {vs_message_cases::kYuv420P8, vs_message_cases::Line(-80, 60), kVsAccepted},
    {vs_message_cases::kRgb24, vs_message_cases::Shape("focus", 1),
     "Korvel:for focus x must be  between 2 80"},
    {vs_message_cases::kYuv411P8Tall, vs_message_cases::Shape("focus", 21),
     "Korvel:for focus x must be  between 2 20"},
    {vs_message_cases::kYuv420P8, vs_message_cases::Shape("focus", 80, 1000), kVsAccepted},
    {vs_message_cases::kGray8, vs_message_cases::Shape("rect", 0, 0),
     "Korvel:x must be  between 1 and 80"},
    {vs_message_cases::kRgb24, vs_message_cases::Shape("rect", 81),
     "Korvel:x must be  between 1 and 80"},
    {vs_message_cases::kYuv420P8, vs_message_cases::Shape("rect", 80, 61),
     "Korvel:y must be  between 1 and 60"},
    {vs_message_cases::kGray8, vs_message_cases::Shape("rect", 1, 0),
     "Korvel:y must be  between 1 and 60"},
    {vs_message_cases::kYuv420P8, vs_message_cases::Shape("rect", 80, 60), kVsAccepted},
    // Planes, checked last: an index outside the clip's planes, or one listed twice.
    {vs_message_cases::kYuv420P8, vs_message_cases::Planes(1, 3),
     "Korvel: planes must be between 0 and 2"},
    {vs_message_cases::kRgb24, vs_message_cases::Planes(2, 0, -1),
     "Korvel: planes must be between 0 and 2"},
    {vs_message_cases::kGray8, vs_message_cases::Planes(1, 1),
     "Korvel: planes must be between 0 and 0"},
    {vs_message_cases::kGray8,
     {true, 99, true, 0, "line", -1, 1, {1}},
     "Korvel:x must be  between plus minus 80"},
    {vs_message_cases::kYuv420P8, vs_message_cases::Planes(3, 2, 0, 2),
     "Korvel: plane 2 is listed twice"},
    {vs_message_cases::kGray8, vs_message_cases::Planes(1, 0), kVsAccepted},
    {vs_message_cases::kYuv420P8, vs_message_cases::Planes(3, 2, 1, 0), kVsAccepted},
};

}  // namespace korvel_test
