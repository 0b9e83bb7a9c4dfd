// Videos that are not plain: turned by a rotation flag, damaged, at an uneven rate, under
// names ffmpeg would misread. Each is blurred as it is shown, or refused with one message.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "raw_pictures.h"
#include "tool_runner.h"

namespace {

using korvel_test::ReadBytes;
using korvel_test::RunFfmpeg;
using korvel_test::RunFfprobe;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;
using Names = std::vector<std::string>;

void MakeVideo(const ScratchFolder& folder, const std::string& size, int frames,
               const std::vector<std::string>& options, const std::string& name) {
  std::vector<std::string> arguments{
      "-f", "lavfi", "-i", "testsrc2=rate=25:size=" + size, "-frames:v", std::to_string(frames)};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.insert(arguments.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", name});
  RunFfmpeg(folder, arguments);
}

TEST(VideoFaults, RotatedVideoIsBlurredAsShown) {
  ScratchFolder folder;
  MakeVideo(folder, "64x48", 3, {}, "stored.mp4");
  RunFfmpeg(folder, {"-i", "stored.mp4", "-c", "copy", "-metadata:s:v:0", "rotate=90", "rot.mp4"});
  RunFfmpeg(folder, {"-i", "rot.mp4", "-f", "rawvideo", "-pix_fmt", "bgra", "shown.raw"});
  const auto result = RunKorvel(folder, {"rot.mp4", "out.raw", "-x", "3", "-y", "1"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_TRUE(
      ReadBytes(folder.Path("out.raw")) ==
      korvel_test::ExpectedOutput(ReadBytes(folder.Path("shown.raw")), {48, 64, 4}, 3, 1, "line"));
}

TEST(VideoFaults, DamagedVideoEndingEarlyIsAnError) {
  ScratchFolder folder;
  MakeVideo(folder, "320x240", 100, {"-movflags", "+faststart"}, "whole.mp4");
  std::vector<uint8_t> bytes = ReadBytes(folder.Path("whole.mp4"));
  bytes.resize(bytes.size() / 2);
  korvel_test::WriteBytes(folder.Path("half.mp4"), bytes);
  const auto result = RunKorvel(folder, {"half.mp4", "out.mp4"});
  EXPECT_EQ(result.status, 1);
  const std::string& error = result.standard_error;
  EXPECT_EQ(error.find("korvel: "), error.rfind("korvel: ")) << error;
  EXPECT_NE(error.find("korvel: cannot read half.mp4: "), std::string::npos) << error;
  EXPECT_EQ(folder.Names(), (Names{"half.mp4", "whole.mp4"}));
  // Cut without decoding, a file also holds frames before the cut that are never shown.
  RunFfmpeg(folder, {"-ss", "1.5", "-i", "whole.mp4", "-c", "copy", "cut.mp4"});
  const auto cut = RunKorvel(folder, {"cut.mp4", "out.mp4"});
  EXPECT_EQ(cut.status, 0) << cut.standard_error;
}

// Where the first video packet past the middle starts that is shown before the one ahead of
// it (a B-frame after its P-frame): cut there, the stream ends after a whole frame, and
// the B-frames shown before that frame are lost.
size_t CutAfterReorderedFrame(const ScratchFolder& folder, const std::string& name) {
  std::istringstream packets(RunFfprobe(
      folder, {"-select_streams", "v", "-show_entries", "packet=pts,pos", "-of", "csv=p=0", name}));
  const size_t middle = ReadBytes(folder.Path(name)).size() / 2;
  long long pts = 0, pos = 0, last_pts = -1;
  for (std::string line; std::getline(packets, line);) {
    if (std::sscanf(line.c_str(), "%lld,%lld", &pts, &pos) != 2) continue;
    if (size_t(pos) > middle && pts < last_pts) return size_t(pos);
    last_pts = pts;
  }
  return 0;
}

// Containers that declare no frame count: Matroska's end-time tags, and a transport stream
// that ends inside one of its packets, or between two, after a frame whose B-frames it lost.
TEST(VideoFaults, TruncatedMatroskaAndTransportStreamsAreErrors) {
  ScratchFolder folder;
  MakeVideo(folder, "320x240", 100, {}, "whole.mkv");
  RunFfmpeg(folder, {"-i", "whole.mkv", "-c", "copy", "whole.ts"});
  korvel_test::WriteBytes(folder.Path("keep.mp4"), {'o', 'l', 'd'});
  const size_t frame_cut = CutAfterReorderedFrame(folder, "whole.ts");
  ASSERT_TRUE(frame_cut > 0 && frame_cut % 188 == 0) << frame_cut;
  for (const std::string name : {"half.mkv", "half.ts", "frame.ts"}) {
    std::vector<uint8_t> bytes = ReadBytes(folder.Path("whole" + name.substr(name.find('.'))));
    bytes.resize(name == "frame.ts" ? frame_cut : bytes.size() / 2 + 100);
    korvel_test::WriteBytes(folder.Path(name), bytes);
    for (const char* output : {"keep.mp4", "new.raw"}) {
      const auto result = RunKorvel(folder, {name, output});
      EXPECT_EQ(result.status, 1) << name;
      EXPECT_NE(result.standard_error.find(std::string("korvel: cannot ")), std::string::npos);
      EXPECT_NE(result.standard_error.find(name), std::string::npos) << result.standard_error;
    }
  }
  EXPECT_EQ(ReadBytes(folder.Path("keep.mp4")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(folder.Names(),
            (Names{"frame.ts", "half.mkv", "half.ts", "keep.mp4", "whole.mkv", "whole.ts"}));
  EXPECT_EQ(RunKorvel(folder, {"whole.ts", "new.raw"}).status, 0);
}

TEST(VideoFaults, UnevenFrameTimesAreKept) {
  ScratchFolder folder;
  // Ten frames 80 ms apart, then ten 20 ms apart.
  MakeVideo(folder, "64x48", 20,
            {"-vf", "setpts='if(lt(N,10),2*N,20+(N-10)/2)/25/TB'", "-fps_mode", "vfr"},
            "uneven.mp4");
  auto frame_times = [&](const std::string& name) {
    return RunFfprobe(folder, {"-select_streams", "v", "-show_entries", "frame=pts_time", "-of",
                               "default=nw=1:nk=1", name});
  };
  for (const char* output : {"out.mp4", "out.webm"}) {
    ASSERT_EQ(RunKorvel(folder, {"uneven.mp4", output}).status, 0);
    EXPECT_EQ(frame_times(output), frame_times("uneven.mp4")) << output;
  }
}

TEST(VideoFaults, AnyFileNameIsAFile) {
  ScratchFolder folder;
  MakeVideo(folder, "64x48", 2, {}, "made.mp4");
  std::rename(folder.Path("made.mp4").c_str(), folder.Path("Holiday:2024.mp4").c_str());
  const auto result = RunKorvel(folder, {"--", "Holiday:2024.mp4", "-out:1.mkv"});
  EXPECT_EQ(result.status, 0) << result.standard_error;
  const auto again = RunKorvel(folder, {"--", "-out:1.mkv", "plain.mkv"});
  EXPECT_EQ(again.status, 0) << again.standard_error;
  EXPECT_EQ(folder.Names(), (Names{"-out:1.mkv", "Holiday:2024.mp4", "plain.mkv"}));
}

// ffmpeg, cut off when korvel stops reading, would complain of the broken pipe.
TEST(VideoFaults, StoppingEarlyGivesOnlyTheOneMessage) {
  ScratchFolder folder;
  MakeVideo(folder, "64x48", 50, {}, "in.mp4");  // more than a pipe holds
  const auto result = RunKorvel(folder, {"in.mp4", "one.png"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.standard_error,
            "korvel: one.png can hold only one frame; choose one with --frames 1\n");
}

}  // namespace
