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

// Planar and 16-bit RGB carry the host's RGB flag too, but their frames are not interleaved
// 8-bit RGB.
INSTANTIATE_TEST_SUITE_P(
    Format, CreationMessages,
    ::testing::Values(MessageCase{BlankClip("YUY2") + ".Korvel(999, 999, \"Blob\")", kFormat},
                      MessageCase{BlankClip("YV12") + ".Korvel()", kFormat},
                      MessageCase{BlankClip("Y8") + ".Korvel()", kFormat},
                      MessageCase{BlankClip("RGBP8") + ".Korvel()", kFormat},
                      MessageCase{BlankClip("RGBAP8") + ".Korvel()", kFormat},
                      MessageCase{BlankClip("RGB48") + ".Korvel()", kFormat},
                      MessageCase{BlankClip("RGB64") + ".Korvel()", kFormat},
                      MessageCase{BlankClip("RGB24") + ".Korvel()", kAccepted},
                      MessageCase{BlankClip("RGB32") + ".Korvel()", kAccepted}));

// The shape and extent checks every host's function makes, on RGB24 clips.
class ExtentMessages : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(ExtentMessages, ArriveVerbatim) {
  const ExtentCase& c = GetParam();
  RealHost host;
  EXPECT_EQ(
      host.ErrorOf(BlankClip("RGB24", c.width, c.height) + ".Korvel(" + ScriptArguments(c) + ")"),
      c.message ? c.message : kAccepted);
}

INSTANTIATE_TEST_SUITE_P(Table, ExtentMessages,
                         ::testing::ValuesIn(kExtentCases, kExtentCases + kExtentCaseCount));

}  // namespace
}  // namespace korvel_real_host
