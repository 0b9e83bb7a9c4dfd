// Videos through FFmpeg's libraries: a short clip made from ffmpeg's test sources keeps its size,
// frame count, rate and audio, and its decoded frames are blurred exactly.
#include <gtest/gtest.h>

#include <string>

#include "raw_pictures.h"
#include "tool_runner.h"

namespace {

using korvel_test::ExpectedOutput;
using korvel_test::ReadBytes;
using korvel_test::RunFfmpeg;
using korvel_test::RunFfprobe;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;

// 64x48, 10 frames at 25 per second, with a tone as AAC audio.
void MakeClip(const ScratchFolder& folder, const std::string& name) {
  RunFfmpeg(folder, {"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25", "-f", "lavfi", "-i",
                     "sine=frequency=440:sample_rate=48000", "-frames:v", "10", "-t", "0.4", "-c:v",
                     "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", name});
}

std::string StreamSummary(const ScratchFolder& folder, const std::string& name) {
  return RunFfprobe(folder,
                    {"-count_frames", "-show_entries",
                     "stream=codec_type,codec_name,width,height,r_frame_rate,nb_read_frames",
                     "-select_streams", "v:0", "-of", "csv=p=0", name}) +
         RunFfprobe(folder, {"-show_entries", "stream=codec_name", "-select_streams", "a", "-of",
                             "csv=p=0", name});
}

TEST(VideoFiles, RoundTripKeepsSizeRateFrameCountAndAudio) {
  ScratchFolder folder;
  MakeClip(folder, "in.mp4");
  const auto result = RunKorvel(folder, {"in.mp4", "out.mp4", "-b", "rect", "-x", "2", "-y", "2"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(StreamSummary(folder, "out.mp4"), "h264,video,64,48,25/1,10\naac\n");
  EXPECT_EQ(RunFfprobe(folder, {"-show_entries", "stream=pix_fmt", "-select_streams", "v", "-of",
                                "csv=p=0", "out.mp4"}),
            "yuv420p\n");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.mp4", "out.mp4"}));
}

TEST(VideoFiles, DecodedFramesAreBlurredExactlyWithAnyThreadCount) {
  ScratchFolder folder;
  MakeClip(folder, "in.mp4");
  RunFfmpeg(folder, {"-i", "in.mp4", "-f", "rawvideo", "-pix_fmt", "bgra", "decoded.raw"});
  const std::vector<uint8_t> expected =
      ExpectedOutput(ReadBytes(folder.Path("decoded.raw")), {64, 48, 4}, 3, 1, "line");
  ASSERT_EQ(expected.size(), 64u * 48 * 4 * 10);
  for (const char* threads : {"1", "3"}) {
    const std::string output = std::string("out-") + threads + ".raw";
    const auto result =
        RunKorvel(folder, {"in.mp4", output, "-x", "3", "-y", "1", "--threads", threads});
    ASSERT_EQ(result.status, 0) << result.standard_error;
    EXPECT_TRUE(ReadBytes(folder.Path(output)) == expected) << threads << " threads";
  }
}

TEST(VideoFiles, FramesShortensVideoAndAudio) {
  ScratchFolder folder;
  MakeClip(folder, "in.mp4");
  const auto result =
      RunKorvel(folder, {"in.mp4", "out.mkv", "--frames", "4", "--rgb", "--format", "rgb24"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(StreamSummary(folder, "out.mkv"), "h264,video,64,48,25/1,4\naac\n");
  // 4 frames last 0.16 s; the audio, 0.4 s long, ends with them, give or take a packet.
  const double seconds = std::stod(
      RunFfprobe(folder, {"-show_entries", "format=duration", "-of", "csv=p=0", "out.mkv"}));
  EXPECT_LT(seconds, 0.25);
}

TEST(VideoFiles, RawFramesBecomeAVideo) {
  ScratchFolder folder;
  korvel_test::WriteBytes(folder.Path("in.raw"), korvel_test::RandomFrames({48, 40, 3}, 3, 31));
  const auto result = RunKorvel(folder, {"in.raw", "out.mkv", "--size", "48x40"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(StreamSummary(folder, "out.mkv"), "h264,video,48,40,25/1,3\n");
}

TEST(VideoFiles, PluginMessageBeforeAnyDecodingAndNothingWritten) {
  ScratchFolder folder;
  MakeClip(folder, "in.mp4");
  const auto result = RunKorvel(folder, {"in.mp4", "out.mp4", "-b", "focus", "-x", "9"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.standard_error, "korvel: Korvel:for focus x must be  between 2 8\n");
  const auto rgb = RunKorvel(folder, {"in.mp4", "out.mp4", "--rgb", "-b", "focus", "-x", "9"});
  EXPECT_EQ(rgb.standard_error, "korvel: Korvel:for focus x must be  between 2 8\n");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.mp4"}));
}

// Videos are read and written in the command's own process.
TEST(VideoFiles, NeedsNoFfmpegPrograms) {
  ScratchFolder folder;
  MakeClip(folder, "in.mp4");
  const auto result = RunKorvel(folder, {"in.mp4", "out.mkv"}, "", "PATH=/nonexistent");
  EXPECT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(StreamSummary(folder, "out.mkv"), "h264,video,64,48,25/1,10\naac\n");
}

TEST(VideoFiles, UnreadableVideoIsNamedWithTheReason) {
  ScratchFolder folder;
  korvel_test::WriteBytes(folder.Path("noise.mp4"), korvel_test::RandomFrames({16, 16, 3}, 1, 3));
  const auto result = RunKorvel(folder, {"noise.mp4", "out.mp4"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.standard_error,
            "korvel: cannot read noise.mp4: Invalid data found when processing input\n");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"noise.mp4"}));
}

}  // namespace
