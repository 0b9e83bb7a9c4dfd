// Every message of Korvel's creation reaches the script as its error text, verbatim, and an
// accepted call at the edge of each range raises none.
#include <gtest/gtest.h>

#include "extent_messages.h"
#include "real_host.h"

namespace korvel_real_host {
namespace {

constexpr const char* kAccepted = "(no error)";
constexpr const char* kFormat = "Korvel: RGB32, RGB24 formats only are accepted";

struct MessageCase {
  std::string script;
  std::string message;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.script; }

class CreationMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(CreationMessages, ArriveVerbatim) {
  RealHost host;
  EXPECT_EQ(host.ErrorOf(GetParam().script), GetParam().message);
}

std::string Clip(const char* pixel_type, int width = 640, int height = 480) {
  return "BlankClip(width=" + std::to_string(width) + ", height=" + std::to_string(height) +
         ", pixel_type=\"" + pixel_type + "\")";
}

// Planar and 16-bit RGB carry the host's RGB flag too, but their frames are not interleaved
// 8-bit RGB.
INSTANTIATE_TEST_SUITE_P(Format, CreationMessages,
                         ::testing::Values(MessageCase{Clip("YUY2") + ".Korvel(999, 999, \"Blob\")",
                                                       kFormat},
                                           MessageCase{Clip("YV12") + ".Korvel()", kFormat},
                                           MessageCase{Clip("Y8") + ".Korvel()", kFormat},
                                           MessageCase{Clip("RGBP8") + ".Korvel()", kFormat},
                                           MessageCase{Clip("RGBAP8") + ".Korvel()", kFormat},
                                           MessageCase{Clip("RGB48") + ".Korvel()", kFormat},
                                           MessageCase{Clip("RGB64") + ".Korvel()", kFormat},
                                           MessageCase{Clip("RGB24") + ".Korvel()", kAccepted},
                                           MessageCase{Clip("RGB32") + ".Korvel()", kAccepted}));

// The shape and extent checks every host's function makes, on RGB24 clips.
class ExtentMessages : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(ExtentMessages, ArriveVerbatim) {
  const ExtentCase& c = GetParam();
  std::string arguments;
  auto add = [&](const std::string& argument) {
    arguments += (arguments.empty() ? "" : ", ") + argument;
  };
  if (c.x != kLeftOut) add("x=" + std::to_string(c.x));
  if (c.y != kLeftOut) add("y=" + std::to_string(c.y));
  if (c.blur) add(std::string("blur=\"") + c.blur + "\"");
  RealHost host;
  EXPECT_EQ(host.ErrorOf(Clip("RGB24", c.width, c.height) + ".Korvel(" + arguments + ")"),
            c.message ? c.message : kAccepted);
}

INSTANTIATE_TEST_SUITE_P(Table, ExtentMessages,
                         ::testing::ValuesIn(kExtentCases, kExtentCases + kExtentCaseCount));

}  // namespace
}  // namespace korvel_real_host
