// Every creation message, with its number, and the order in which the checks are made.
#include <gtest/gtest.h>

#include "extent_messages.h"
#include "test_clips.h"

namespace {

using korvel_test::KorvelArguments;

constexpr const char* kAccepted = "(no error)";
constexpr const char* kFormat = "Korvel: RGB32, RGB24 formats only are accepted";

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

// The shape and extent checks every host's function makes, on RGB24 clips.
class ExtentChecks : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(ExtentChecks, GiveTheirMessage) {
  const ExtentCase& c = GetParam();
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  PClip clip(new MemoryClip(korvel_test::RgbInfo(c.width, c.height, CS_BGR24)));
  KorvelArguments arguments;
  if (c.x != kLeftOut) arguments.x = c.x;
  if (c.y != kLeftOut) arguments.y = c.y;
  if (c.blur) arguments.blur = c.blur;
  EXPECT_EQ(korvel_test::CreationError(env, clip, arguments), c.message ? c.message : kAccepted);
}

INSTANTIATE_TEST_SUITE_P(Table, ExtentChecks,
                         ::testing::ValuesIn(kExtentCases, kExtentCases + kExtentCaseCount));

}  // namespace
