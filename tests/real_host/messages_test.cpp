// Every message of Korvel's creation reaches the script as its error text, verbatim, and an
// accepted call at the edge of each range raises none.
#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(
    Shape, CreationMessages,
    ::testing::Values(
        MessageCase{Clip("RGB24") + ".Korvel(blur=\"Line\")",
                    "Korvel: blur can be  line rect or focus only"},
        MessageCase{Clip("RGB32") + ".Korvel(blur=\"focus \")",
                    "Korvel: blur can be  line rect or focus only"},
        MessageCase{Clip("RGB24") + ".Korvel(81, 61)", "Korvel:x must be  between plus minus 80"},
        MessageCase{Clip("RGB24") + ".Korvel(-81)", "Korvel:x must be  between plus minus 80"},
        MessageCase{Clip("RGB24") + ".Korvel(0, -61)", "Korvel:y must be  between plus minus 60"},
        MessageCase{Clip("RGB24", 32) + ".Korvel()", "Korvel:x must be  between plus minus 4"},
        MessageCase{Clip("RGB24") + ".Korvel(y=0, x=0)", "Korvel:x and y both must not be zero"},
        MessageCase{Clip("RGB24") + ".Korvel(-80, 60)", kAccepted},
        MessageCase{Clip("RGB24") + ".Korvel(1, blur=\"focus\")",
                    "Korvel:for focus x must be  between 2 80"},
        MessageCase{Clip("RGB32", 160, 800) + ".Korvel(21, blur=\"focus\")",
                    "Korvel:for focus x must be  between 2 20"},
        MessageCase{Clip("RGB24") + ".Korvel(80, 1000, \"focus\")", kAccepted},
        MessageCase{Clip("RGB24") + ".Korvel(0, 0, \"rect\")",
                    "Korvel:x must be  between 1 and 80"},
        MessageCase{Clip("RGB24") + ".Korvel(81, blur=\"rect\")",
                    "Korvel:x must be  between 1 and 80"},
        MessageCase{Clip("RGB32") + ".Korvel(80, 61, \"rect\")",
                    "Korvel:y must be  between 1 and 60"},
        MessageCase{Clip("RGB24") + ".Korvel(1, 0, \"rect\")",
                    "Korvel:y must be  between 1 and 60"},
        MessageCase{Clip("RGB24") + ".Korvel(80, 60, \"rect\")", kAccepted}));

}  // namespace
}  // namespace korvel_real_host
