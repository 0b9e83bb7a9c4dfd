// A script that opens a video file, as users' scripts do, through FFMS2's FFVideoSource (the
// source filter scripts/install-avisynth installs beside the host): a video the test makes,
// converted to RGB32 and blurred, gives the model of its own frames.
#include <gtest/gtest.h>

#include "blur_case.h"

namespace korvel_real_host {
namespace {

TEST(SourceFilter, BlurredVideoFramesEqualTheModel) {
  RealHost host;
  host.Evaluate("LoadPlugin(\"\"\"" KORVEL_FFMS2_PLUGIN "\"\"\")");
  const std::string source = VideoSource(TestVideo()) + ".ConvertToRGB32()";
  EXPECT_EQ(host.Evaluate(source).AsClip()->GetVideoInfo().num_frames, kTestVideoFrames);
  for (const BlurCase& c :
       {BlurCase{160, 120, true, "rect", 4, 2}, BlurCase{160, 120, true, "line", -20, 15},
        BlurCase{160, 120, true, "focus", 6, 0}}) {
    SCOPED_TRACE(c.blur);
    const PClip blurred = host.Evaluate(KorvelScript(source, c)).AsClip();
    for (const int n : {0, 4, kTestVideoFrames - 1}) {
      const auto difference = FirstDifference(ModelFrame(host, source, c, n),
                                              Picture(blurred, n, host.env()), c.RowBytes());
      EXPECT_FALSE(difference) << "frame " << n << ": " << *difference;
    }
  }
}

}  // namespace
}  // namespace korvel_real_host
