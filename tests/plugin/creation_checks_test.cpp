// Every creation message, with its number, and the order in which the checks are made.
#include <gtest/gtest.h>

#include "test_clips.h"

namespace {

using korvel_test::KorvelArguments;

constexpr const char* kAccepted = "(no error)";
constexpr const char* kFormat = "Korvel: RGB32, RGB24 formats only are accepted";
constexpr const char* kShape = "Korvel: blur can be  line rect or focus only";
constexpr const char* kZero = "Korvel:x and y both must not be zero";

struct Case {
  int width, height, pixel_type;
  KorvelArguments arguments;
  const char* expected;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.width << "x" << c.height << " type " << std::hex << c.pixel_type << std::dec
      << " x=" << (c.arguments.x ? std::to_string(*c.arguments.x) : "-")
      << " y=" << (c.arguments.y ? std::to_string(*c.arguments.y) : "-")
      << " blur=" << (c.arguments.blur ? "\"" + *c.arguments.blur + "\"" : "-");
}

class CreationChecks : public ::testing::TestWithParam<Case> {};

TEST_P(CreationChecks, GiveTheirMessage) {
  const Case& c = GetParam();
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  auto* source = new MemoryClip(korvel_test::RgbInfo(c.width, c.height, c.pixel_type));
  PClip clip(source);
  EXPECT_EQ(korvel_test::CreationError(env, clip, c.arguments), c.expected);
  EXPECT_EQ(source->GetRefcount(), 1);
}

const int kRgb24 = CS_BGR24, kRgb32 = CS_BGR32;

INSTANTIATE_TEST_SUITE_P(Format, CreationChecks,
                         ::testing::Values(Case{640, 480, CS_YUY2, {999, 999, "Blob"}, kFormat},
                                           Case{640, 480, CS_YV12, {}, kFormat},
                                           Case{640, 480, CS_I420, {}, kFormat},
                                           // Planar and 16-bit RGB carry the RGB flag too.
                                           Case{640, 480, int(0x90000001u), {}, kFormat},
                                           Case{640, 480, 0x50010001, {}, kFormat},
                                           Case{640, 480, kRgb24, {}, kAccepted},
                                           Case{640, 480, kRgb32, {}, kAccepted}));

INSTANTIATE_TEST_SUITE_P(Shape, CreationChecks,
                         ::testing::Values(Case{640, 480, kRgb24, {999, 999, "Line"}, kShape},
                                           Case{640, 480, kRgb24, {{}, {}, "RECT"}, kShape},
                                           Case{640, 480, kRgb24, {{}, {}, "focus "}, kShape},
                                           Case{640, 480, kRgb24, {{}, {}, ""}, kShape},
                                           Case{640, 480, kRgb24, {{}, {}, "line"}, kAccepted},
                                           Case{640, 480, kRgb24, {{}, {}, "rect"}, kAccepted},
                                           Case{640, 480, kRgb24, {{}, {}, "focus"}, kAccepted}));

INSTANTIATE_TEST_SUITE_P(
    Line, CreationChecks,
    ::testing::Values(
        Case{640, 480, kRgb24, {-80, -60, "line"}, kAccepted},
        Case{640, 480, kRgb24, {80, 60, "line"}, kAccepted},
        Case{640, 480, kRgb24, {81, {}, "line"}, "Korvel:x must be  between plus minus 80"},
        Case{640, 480, kRgb24, {-81, {}, {}}, "Korvel:x must be  between plus minus 80"},
        Case{640, 480, kRgb24, {81, 61, {}}, "Korvel:x must be  between plus minus 80"},
        Case{640, 480, kRgb24, {0, 61, {}}, "Korvel:y must be  between plus minus 60"},
        Case{640, 480, kRgb24, {0, -61, {}}, "Korvel:y must be  between plus minus 60"},
        Case{640, 480, kRgb24, {0, 0, {}}, kZero}, Case{640, 480, kRgb24, {0, {}, {}}, kAccepted},
        Case{640, 480, kRgb24, {{}, 0, {}}, kAccepted},
        Case{32, 480, kRgb24, {}, "Korvel:x must be  between plus minus 4"},
        Case{640, 32, kRgb24, {}, "Korvel:y must be  between plus minus 4"},
        Case{7, 480, kRgb24, {0, 60, {}}, kAccepted}, Case{7, 480, kRgb24, {0, 0, {}}, kZero},
        Case{7, 480, kRgb24, {1, 1, {}}, "Korvel:x must be  between plus minus 0"},
        Case{7, 480, kRgb24, {0, 61, {}}, "Korvel:y must be  between plus minus 60"}));

INSTANTIATE_TEST_SUITE_P(
    Rect, CreationChecks,
    ::testing::Values(
        Case{640, 480, kRgb24, {0, {}, "rect"}, "Korvel:x must be  between 1 and 80"},
        Case{640, 480, kRgb24, {81, {}, "rect"}, "Korvel:x must be  between 1 and 80"},
        Case{640, 480, kRgb24, {0, 0, "rect"}, "Korvel:x must be  between 1 and 80"},
        Case{640, 480, kRgb24, {80, 60, "rect"}, kAccepted},
        Case{640, 480, kRgb24, {1, 1, "rect"}, kAccepted},
        Case{640, 480, kRgb24, {80, 61, "rect"}, "Korvel:y must be  between 1 and 60"},
        Case{640, 480, kRgb24, {80, 0, "rect"}, "Korvel:y must be  between 1 and 60"},
        Case{32, 480, kRgb24, {{}, {}, "rect"}, "Korvel:x must be  between 1 and 4"}));

INSTANTIATE_TEST_SUITE_P(
    Focus, CreationChecks,
    ::testing::Values(
        Case{640, 480, kRgb24, {1, {}, "focus"}, "Korvel:for focus x must be  between 2 80"},
        Case{640, 480, kRgb24, {81, {}, "focus"}, "Korvel:for focus x must be  between 2 80"},
        Case{640, 480, kRgb24, {2, {}, "focus"}, kAccepted},
        Case{640, 480, kRgb24, {80, {}, "focus"}, kAccepted},
        Case{640, 480, kRgb24, {2, 1000, "focus"}, kAccepted},
        Case{32, 480, kRgb24, {{}, {}, "focus"}, "Korvel:for focus x must be  between 2 4"},
        // A clip higher than wide: the message shows the bound applied, width/8.
        Case{160, 800, kRgb24, {21, {}, "focus"}, "Korvel:for focus x must be  between 2 20"},
        Case{640, 64, kRgb32, {70, {}, "focus"}, kAccepted}));

}  // namespace
