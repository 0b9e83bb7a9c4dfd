// Every creation message of korvel.Blur reaches the caller through the map's error, verbatim:
// refused formats first, then the same checks of shape and extents as the AviSynth plugin
// makes, against the clip's width and height, then the planes.
#include <gtest/gtest.h>

#include "detail_source.h"
#include "extent_messages.h"

namespace korvel_vs_test {
namespace {

constexpr const char* kAccepted = "(no error)";
constexpr const char* kFormat =
    "Korvel: only constant formats of 8 to 16-bit integer or 32-bit float samples are accepted";
constexpr const char* kSize = "Korvel: only clips of constant size are accepted";
constexpr const char* kShape = "Korvel: blur can be  line rect or focus only";

struct MessageCase {
  const char* clip;
  BlurArguments arguments;
  std::string message;
};

void PrintTo(const MessageCase& c, std::ostream* os) {
  *os << c.clip << " x=" << (c.arguments.x ? std::to_string(*c.arguments.x) : "-")
      << " y=" << (c.arguments.y ? std::to_string(*c.arguments.y) : "-")
      << " blur=" << (c.arguments.blur ? "\"" + *c.arguments.blur + "\"" : "-");
  if (c.arguments.planes) {
    *os << " planes=";
    for (const int64_t p : *c.arguments.planes) *os << "[" << p << "]";
  }
}

// The clips the cases name: 640x480 unless the name says otherwise.
Node Clip(const Core& core, const std::string& name) {
  struct Named {
    const char* name;
    int family, bits, sample_type, log2_w, log2_h, width, height;
  };
  const Named clips[] = {{"Gray8", cfGray, 8, stInteger, 0, 0, 640, 480},
                         {"RGB24", cfRGB, 8, stInteger, 0, 0, 640, 480},
                         {"YUV420P8", cfYUV, 8, stInteger, 1, 1, 640, 480},
                         {"YUV411P8 160x800", cfYUV, 8, stInteger, 2, 0, 160, 800},
                         {"Gray8 32x480", cfGray, 8, stInteger, 0, 0, 32, 480},
                         {"YUV420P16", cfYUV, 16, stInteger, 1, 1, 640, 480},
                         {"Gray16", cfGray, 16, stInteger, 0, 0, 640, 480},
                         {"RGB30", cfRGB, 10, stInteger, 0, 0, 640, 480},
                         {"GrayS", cfGray, 32, stFloat, 0, 0, 640, 480},
                         {"YUV444PH", cfYUV, 16, stFloat, 0, 0, 640, 480},
                         {"variable size", cfGray, 8, stInteger, 0, 0, 0, 0}};
  for (const Named& clip : clips)
    if (name == clip.name)
      return DetailedSource(
          core, core.Format(clip.family, clip.bits, clip.sample_type, clip.log2_w, clip.log2_h),
          clip.width, clip.height, 1);
  if (name == "variable format") return DetailedSource(core, VSVideoFormat{}, 640, 480, 1);
  throw std::runtime_error("no clip named " + name);
}

class CreationMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(CreationMessages, ArriveVerbatim) {
  const Core core;
  const Node clip = Clip(core, GetParam().clip);
  EXPECT_EQ(core.BlurError(clip.get(), GetParam().arguments), GetParam().message);
}

BlurArguments Line(int64_t x, int64_t y) { return {x, y, "line", {}}; }
BlurArguments Shape(const std::string& blur, int64_t x = 5, int64_t y = 5) {
  return {x, y, blur, {}};
}
BlurArguments Planes(std::vector<int64_t> planes) { return {{}, {}, {}, planes}; }

// Checked before anything else, whatever the other arguments.
INSTANTIATE_TEST_SUITE_P(
    Format, CreationMessages,
    ::testing::Values(MessageCase{"YUV444PH", {999, 999, "Blob", {{7}}}, kFormat},
                      MessageCase{"Gray16", {}, kAccepted}, MessageCase{"RGB30", {}, kAccepted},
                      MessageCase{"GrayS", {}, kAccepted}, MessageCase{"YUV420P16", {}, kAccepted},
                      MessageCase{"variable format", {}, kFormat},
                      MessageCase{"variable size", {999, 999, "Blob", {}}, kSize},
                      MessageCase{"Gray8", {}, kAccepted}, MessageCase{"RGB24", {}, kAccepted},
                      MessageCase{"YUV420P8", {}, kAccepted}));

// The shape and extent checks every host's function makes, on Gray8 clips; then on
// subsampled ones, against the clip's width and height, whatever the subsampling.
class ExtentMessages : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(ExtentMessages, ArriveVerbatim) {
  const ExtentCase& c = GetParam();
  const Core core;
  const Node clip =
      DetailedSource(core, core.Format(cfGray, 8, stInteger, 0, 0), c.width, c.height, 1);
  BlurArguments arguments;
  if (c.x != kLeftOut) arguments.x = c.x;
  if (c.y != kLeftOut) arguments.y = c.y;
  if (c.blur) arguments.blur = c.blur;
  EXPECT_EQ(core.BlurError(clip.get(), arguments), c.message ? c.message : kAccepted);
}

INSTANTIATE_TEST_SUITE_P(Table, ExtentMessages,
                         ::testing::ValuesIn(kExtentCases, kExtentCases + kExtentCaseCount));

INSTANTIATE_TEST_SUITE_P(
    Shape, CreationMessages,
    ::testing::Values(
        MessageCase{"Gray8", Shape(std::string("line\0", 5)), kShape},
        MessageCase{"YUV420P8", Line(81, 61), "Korvel:x must be  between plus minus 80"},
        MessageCase{"Gray8", Line(int64_t(1) << 40, 0), "Korvel:x must be  between plus minus 80"},
        MessageCase{"YUV420P8", Line(-80, 60), kAccepted},
        MessageCase{"YUV411P8 160x800", Shape("focus", 21),
                    "Korvel:for focus x must be  between 2 20"},
        MessageCase{"YUV420P8", Shape("rect", 80, 61), "Korvel:y must be  between 1 and 60"},
        MessageCase{"YUV420P8", Shape("rect", 80, 60), kAccepted}));

// Checked last: an index outside the clip's planes, or one listed twice.
INSTANTIATE_TEST_SUITE_P(
    Planes, CreationMessages,
    ::testing::Values(
        MessageCase{"YUV420P8", Planes({3}), "Korvel: planes must be between 0 and 2"},
        MessageCase{"RGB24", Planes({0, -1}), "Korvel: planes must be between 0 and 2"},
        MessageCase{"Gray8", Planes({1}), "Korvel: planes must be between 0 and 0"},
        MessageCase{"Gray8", {99, 0, "line", {{1}}}, "Korvel:x must be  between plus minus 80"},
        MessageCase{"YUV420P8", Planes({2, 0, 2}), "Korvel: plane 2 is listed twice"},
        MessageCase{"Gray8", Planes({0}), kAccepted},
        MessageCase{"YUV420P8", Planes({2, 1, 0}), kAccepted}));

}  // namespace
}  // namespace korvel_vs_test
