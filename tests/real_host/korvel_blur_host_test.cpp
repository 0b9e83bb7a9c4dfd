// KorvelBlur as the real host sees it: frame properties passed through, its declared thread
// mode taken (no warning in the host's log) with Prefetch(4) giving one thread's frames, and
// every message of creation as the script's error.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "extent_messages.h"
#include "korvel_blur_case.h"

namespace korvel_real_host {
namespace {

constexpr const char* kAccepted = "(no error)";

TEST(KorvelBlurFrameProperties, PassThrough) {
  KorvelBlurHost host;
  for (const char* format : {"YV12", "YUV420P10", "RGB32", "RGBPS"}) {
    SCOPED_TRACE(format);
    const std::string source =
        DetailedSourceOf(HostFormatNamed(format), 64, 48, 3) +
        ".propSet(\"_Matrix\", 9).propSet(\"_ColorRange\", 1).propSet(\"korvel_mark\", 4711)";
    const PClip clip = host.Evaluate(source + ".KorvelBlur(3, 2, \"rect\")").AsClip();
    for (int n = 0; n < 3; ++n) {
      const PVideoFrame frame = clip->GetFrame(n, host.env());
      const AVSMap* properties = host.env()->getFramePropsRO(frame);
      int error = 0;
      EXPECT_EQ(host.env()->propGetInt(properties, "_Matrix", 0, &error), 9);
      EXPECT_EQ(host.env()->propGetInt(properties, "_ColorRange", 0, &error), 1);
      EXPECT_EQ(host.env()->propGetInt(properties, "korvel_mark", 0, &error), 4711);
      EXPECT_EQ(error, 0);
    }
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The filter declares the mode that shares one instance between the threads; the host takes
// it without a script's SetFilterMTMode and logs no warning about it.
TEST(KorvelBlurThreadMode, DeclaredAndSharedInstanceGivesOneThreadsFrames) {
  constexpr int kFrames = 24;
  const std::string log = testing::TempDir() + "korvel_blur_thread_mode.log";
  std::remove(log.c_str());
  KorvelBlurHost one_thread, threaded;
  threaded.Evaluate("SetLogParams(\"" + log + "\", 2)");
  for (const KorvelBlurCase& c :
       {KorvelBlurCase{&HostFormatNamed("YV12"), 480, 320, "focus", 12, 0, {}},
        KorvelBlurCase{&HostFormatNamed("YUV420P16"), 480, 320, "line", 9, 4, {}},
        KorvelBlurCase{&HostFormatNamed("RGB32"), 480, 320, "rect", 8, 8, {}},
        KorvelBlurCase{&HostFormatNamed("Y32"), 480, 320, "line", -7, 2, {}}}) {
    SCOPED_TRACE(::testing::PrintToString(c));
    const std::string script =
        KorvelBlurScript(DetailedSourceOf(*c.format, c.width, c.height, kFrames), c);
    const PClip alone = one_thread.Evaluate(script).AsClip();
    const PClip prefetched = threaded.Evaluate(script + ".Prefetch(4)").AsClip();
    ExpectEqualFrames(one_thread, alone, threaded, prefetched, kFrames);
  }
  const std::string logged = ReadFile(log);
  EXPECT_EQ(logged.find("KorvelBlur() has no MT-mode"), std::string::npos) << logged;
  std::remove(log.c_str());
}

struct MessageCase {
  std::string script;
  std::string message;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.script; }

class KorvelBlurMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(KorvelBlurMessages, ArriveVerbatim) {
  KorvelBlurHost host;
  EXPECT_EQ(host.ErrorOf(GetParam().script), GetParam().message);
}

// The one format refused comes first, whatever the other arguments; every other is taken.
std::vector<MessageCase> FormatCases() {
  std::vector<MessageCase> cases = {
      {BlankClip("YUY2") + ".KorvelBlur(999, 999, \"Blob\", planes=[7])",
       "Korvel: YUY2 is not accepted; convert it with ConvertToYV16() first"},
      {"BlankClip(audio_rate=48000).KillVideo().KorvelBlur()", "Korvel: the clip has no video"}};
  for (int f = 0; f < kHostFormatCount; ++f)
    cases.push_back({BlankClip(kHostFormats[f].pixel_type) + ".KorvelBlur()", kAccepted});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Format, KorvelBlurMessages, ::testing::ValuesIn(FormatCases()));

// Then the planes, checked last: a number outside the clip's planes, or one listed twice.
INSTANTIATE_TEST_SUITE_P(
    Planes, KorvelBlurMessages,
    ::testing::Values(MessageCase{BlankClip("YV12") + ".KorvelBlur(planes=[3])",
                                  "Korvel: planes must be between 0 and 2"},
                      MessageCase{BlankClip("RGB24") + ".KorvelBlur(planes=[0, -1])",
                                  "Korvel: planes must be between 0 and 2"},
                      MessageCase{BlankClip("RGB32") + ".KorvelBlur(planes=[4])",
                                  "Korvel: planes must be between 0 and 3"},
                      MessageCase{BlankClip("YUVA444P16") + ".KorvelBlur(planes=[3, 3])",
                                  "Korvel: plane 3 is listed twice"},
                      MessageCase{BlankClip("Y8") + ".KorvelBlur(planes=[1])",
                                  "Korvel: planes must be between 0 and 0"},
                      MessageCase{BlankClip("Y8") + ".KorvelBlur(99, 0, \"line\", planes=[1])",
                                  "Korvel:x must be  between plus minus 80"},
                      MessageCase{BlankClip("RGBAP8") + ".KorvelBlur(planes=[3, 2, 1, 0])",
                                  kAccepted},
                      MessageCase{BlankClip("YV12") + ".KorvelBlur(planes=[])", kAccepted}));

// The shape and extent checks every host's function makes, on grey clips, against the
// clip's width and height.
class KorvelBlurExtentMessages : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(KorvelBlurExtentMessages, ArriveVerbatim) {
  const ExtentCase& c = GetParam();
  KorvelBlurHost host;
  EXPECT_EQ(
      host.ErrorOf(BlankClip("Y8", c.width, c.height) + ".KorvelBlur(" + ScriptArguments(c) + ")"),
      c.message ? c.message : kAccepted);
}

INSTANTIATE_TEST_SUITE_P(Table, KorvelBlurExtentMessages,
                         ::testing::ValuesIn(kExtentCases, kExtentCases + kExtentCaseCount));

}  // namespace
}  // namespace korvel_real_host
