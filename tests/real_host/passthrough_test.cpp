// What Korvel passes on from its source unchanged: the clip's description, its audio and its
// field parity, each through its own slot of the clip's table.
#include <gtest/gtest.h>

#include <cstring>

#include "blur_case.h"

namespace korvel_real_host {
namespace {

TEST(Passthrough, DescriptionAudioAndParity) {
  RealHost host;
  // Separated fields, whose parity alternates, and a tone rather than silence.
  const std::string source = "AudioDub(" + DetailedSource(64, 48, 6, true) +
                             ".AssumeFieldBased(), Tone(length=1, samplerate=48000, channels=2))";
  const AVSValue original = host.Evaluate(source);
  const AVSValue blurred = host.Evaluate("Korvel(" + source + ", 3, 2, \"rect\")");
  const PClip before = original.AsClip(), after = blurred.AsClip();

  const VideoInfo& a = before->GetVideoInfo();
  const VideoInfo& b = after->GetVideoInfo();
  EXPECT_EQ(std::memcmp(&a, &b, sizeof(VideoInfo)), 0) << "the clip's description changed";

  constexpr int64_t kStart = 1000, kCount = 4000;
  const size_t bytes = size_t(a.BytesFromAudioSamples(kCount));
  std::vector<uint8_t> expected(bytes), actual(bytes);
  before->GetAudio(expected.data(), kStart, kCount, host.env());
  ASSERT_NE(expected, std::vector<uint8_t>(bytes)) << "the source is silent";
  after->GetAudio(actual.data(), kStart, kCount, host.env());
  EXPECT_EQ(expected, actual) << "the audio changed";

  ASSERT_NE(before->GetParity(0), before->GetParity(1)) << "the source's parity is constant";
  for (int n = 0; n < 6; ++n) EXPECT_EQ(after->GetParity(n), before->GetParity(n)) << "frame " << n;
}

}  // namespace
}  // namespace korvel_real_host
