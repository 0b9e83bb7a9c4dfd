// What a video keeps through the command: colour tags, pixel shape, the offset between its
// streams, its display matrix as stored, its sound (copied, encoded again or left out with
// a note, as the output's container takes it) and its cover picture.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tool_runner.h"

namespace {

using korvel_test::ReadBytes;
using korvel_test::RunFfmpeg;
using korvel_test::RunFfprobe;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;

void MakeClip(const ScratchFolder& folder, const std::string& size,
              const std::vector<std::string>& options, const std::string& name) {
  std::vector<std::string> arguments{"-f", "lavfi", "-i", "testsrc2=rate=25:size=" + size,
                                     "-f", "lavfi", "-i", "sine=sample_rate=48000",
                                     "-t", "1"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back(name);
  RunFfmpeg(folder, arguments);
}

// A second of H.264 with two sound tracks, each a sine at its rate in its codec.
struct SoundTrack {
  const char* rate;
  const char* codec;
};
void MakeTwoTrackClip(const ScratchFolder& folder, SoundTrack first, SoundTrack second,
                      const std::string& name) {
  RunFfmpeg(folder,
            {"-f",     "lavfi",      "-i",     "testsrc2=rate=25:size=64x48",
             "-f",     "lavfi",      "-i",     std::string("sine=sample_rate=") + first.rate,
             "-f",     "lavfi",      "-i",     std::string("sine=sample_rate=") + second.rate,
             "-t",     "1",          "-map",   "0",
             "-map",   "1",          "-map",   "2",
             "-c:v",   "libx264",    "-c:a:0", first.codec,
             "-c:a:1", second.codec, name});
}

std::string Probe(const ScratchFolder& folder, const std::string& entries, const std::string& name,
                  const std::string& streams = "v:0") {
  return RunFfprobe(folder,
                    {"-select_streams", streams, "-show_entries", entries, "-of", "csv=p=0", name});
}

TEST(StreamProperties, ColourTagsAndPixelShapeAreKept) {
  ScratchFolder folder;
  MakeClip(folder, "720x576",
           {"-vf", "setsar=64/45", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-colorspace", "bt709",
            "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv"},
           "in.mkv");
  for (const char* output : {"out.mp4", "out.mkv"}) {
    ASSERT_EQ(RunKorvel(folder, {"in.mkv", output, "-b", "rect", "-x", "1", "-y", "1"}).status, 0);
    EXPECT_EQ(Probe(folder,
                    "stream=color_space,color_range,color_primaries,color_transfer,"
                    "sample_aspect_ratio",
                    output),
              "64:45,tv,bt709,bt709,bt709\n")
        << output;
  }
  // A flat green keeps its luma: decoded and encoded again with the same matrix.
  RunFfmpeg(folder, {"-f", "lavfi", "-i", "color=c=0x1DBC3B:size=64x48", "-frames:v", "2", "-c:v",
                     "libx264", "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_range", "tv",
                     "green.mp4"});
  ASSERT_EQ(
      RunKorvel(folder, {"green.mp4", "green-out.mkv", "-b", "rect", "-x", "1", "-y", "1"}).status,
      0);
  auto luma = [&](const std::string& name) {
    RunFfmpeg(folder,
              {"-i", name, "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray", name + ".y"});
    return int(ReadBytes(folder.Path(name + ".y"))[32 * 64 + 32]);
  };
  EXPECT_NEAR(luma("green-out.mkv"), luma("green.mp4"), 1);
}

TEST(StreamProperties, TheOffsetBetweenStreamsIsKept) {
  ScratchFolder folder;
  MakeClip(folder, "64x48", {"-c:v", "libx264", "-c:a", "aac"}, "plain.mkv");
  RunFfmpeg(folder, {"-itsoffset", "1.02", "-i", "plain.mkv", "-i", "plain.mkv", "-map", "0:v",
                     "-map", "1:a", "-c", "copy", "late.mkv"});
  for (const char* output : {"out.mkv", "out.mp4"}) {
    ASSERT_EQ(RunKorvel(folder, {"late.mkv", output}).status, 0) << output;
    const double video = std::stod(Probe(folder, "stream=start_time", output));
    const double audio = std::stod(Probe(folder, "stream=start_time", output, "a:0"));
    EXPECT_NEAR(video - audio, 1.02, 0.03) << output;
  }
}

// A turn of 90.5 degrees: a display matrix that turns no frame, copied as it is stored.
TEST(StreamProperties, DisplayMatrixIsCopiedAsStored) {
  ScratchFolder folder;
  RunFfmpeg(folder, {"-f", "lavfi", "-i", "testsrc2=size=64x48", "-frames:v", "2", "-c:v",
                     "libx264", "-metadata:s:v:0", "rotate=90", "turned.mp4"});
  std::vector<uint8_t> bytes = ReadBytes(folder.Path("turned.mp4"));
  const std::string text(bytes.begin(), bytes.end());
  const size_t matrix = text.find("tkhd") + 44;  // after the header fields of version 0
  const uint8_t skew[] = {0xff, 0xff, 0xfd, 0xc4, 0xff, 0xff, 0x00, 0x02,  // -572, -65534
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xfe,  // 0, 65534
                          0xff, 0xff, 0xfd, 0xc4};                         // -572
  std::memcpy(bytes.data() + matrix, skew, sizeof skew);
  korvel_test::WriteBytes(folder.Path("skewed.mp4"), bytes);
  const std::string stored = Probe(folder, "stream_side_data=displaymatrix", "skewed.mp4");
  ASSERT_NE(stored.find("-572"), std::string::npos) << stored;
  ASSERT_EQ(RunKorvel(folder, {"skewed.mp4", "out.mp4"}).status, 0);
  EXPECT_EQ(Probe(folder, "stream_side_data=displaymatrix", "out.mp4"), stored);
  ASSERT_EQ(RunKorvel(folder, {"skewed.mp4", "out.raw"}).status, 0);
  EXPECT_EQ(ReadBytes(folder.Path("out.raw")).size(), 64u * 48 * 4 * 2);
}

TEST(StreamProperties, EachContainerGetsSoundItTakes) {
  ScratchFolder folder;
  MakeClip(folder, "64x48", {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"}, "aac.mp4");
  struct Case {
    const char* output;
    const char* video_and_sound;
  };
  for (const Case& c : {Case{"out.ts", "mpeg2video,25,\naac\n"},
                        Case{"out.mpg", "mpeg1video,25\nmp2\n"}, Case{"out.avi", "mpeg4,25\naac\n"},
                        Case{"out.webm", "vp9,25\nopus\n"}, Case{"out.flv", "flv1,25\naac\n"},
                        Case{"out.y4m", "rawvideo,25\n"}, Case{"out.gif", "gif,25\n"}}) {
    const auto result = RunKorvel(folder, {"aac.mp4", c.output});
    ASSERT_EQ(result.status, 0) << c.output << ": " << result.standard_error;
    const std::string video =
        RunFfprobe(folder, {"-count_frames", "-select_streams", "v:0", "-show_entries",
                            "stream=codec_name,nb_read_frames", "-of", "csv=p=0", c.output});
    // Transport streams list their streams once more under their program: the first
    // line of each is the stream's own.
    const std::string sound = RunFfprobe(folder, {"-select_streams", "a:0", "-show_entries",
                                                  "stream=codec_name", "-of", "csv=p=0", c.output});
    EXPECT_EQ(video.substr(0, video.find('\n') + 1) + sound.substr(0, sound.find('\n') + 1),
              c.video_and_sound)
        << c.output;
  }
  const auto gif = RunKorvel(folder, {"aac.mp4", "again.gif"});
  EXPECT_EQ(gif.standard_error,
            "korvel: again.gif: gif does not write yuv420p frames; they are written as bgr8\n"
            "korvel: again.gif: sound track 1 (aac) is left out: CompuServe Graphics Interchange "
            "Format (GIF) files hold no sound\n");
}

// Containers that list a codec and then refuse it, or hold one sound track only: what
// ffmpeg writes by default works, so these must too.
TEST(StreamProperties, SoundAContainerRefusesAsItIsIsEncodedAgain) {
  ScratchFolder folder;
  MakeTwoTrackClip(folder, {"44100", "flac"}, {"48000", "libopus"}, "sound.mkv");
  struct Case {
    const char* output;
    const char* sound;
  };
  for (const Case& c :
       {Case{"flac.mp4", "aac,44100\nopus,48000\n"}, Case{"opus.mov", "aac,44100\naac,48000\n"},
        Case{"one.flv", "mp3,44100\n"}, Case{"rate.mxf", "pcm_s16le,48000\npcm_s16le,48000\n"}}) {
    const auto result = RunKorvel(folder, {"sound.mkv", c.output});
    ASSERT_EQ(result.status, 0) << c.output << ": " << result.standard_error;
    EXPECT_EQ(Probe(folder, "stream=codec_name,sample_rate", c.output, "a"), c.sound) << c.output;
  }
  EXPECT_EQ(RunKorvel(folder, {"sound.mkv", "again.flv"}).standard_error,
            "korvel: again.flv: sound track 2 (opus) is left out: FLV (Flash Video) files hold "
            "one sound track\n");
}

TEST(StreamProperties, TwoSoundTracksAndACoverPictureToMp4) {
  ScratchFolder folder;
  MakeTwoTrackClip(folder, {"48000", "aac"}, {"44100", "pcm_s16le"}, "two.mov");
  ASSERT_EQ(RunKorvel(folder, {"two.mov", "two.mp4"}).status, 0);
  EXPECT_EQ(Probe(folder, "stream=codec_name,sample_rate", "two.mp4", "a"),
            "aac,48000\naac,44100\n");
  RunFfmpeg(folder, {"-f",
                     "lavfi",
                     "-i",
                     "sine",
                     "-f",
                     "lavfi",
                     "-i",
                     "testsrc2=size=64x64",
                     "-t",
                     "1",
                     "-frames:v",
                     "1",
                     "-map",
                     "0",
                     "-map",
                     "1",
                     "-c:a",
                     "libmp3lame",
                     "-c:v",
                     "mjpeg",
                     "-disposition:v",
                     "attached_pic",
                     "cover.mp3"});
  const auto cover = RunKorvel(folder, {"cover.mp3", "cover.mp4"});
  ASSERT_EQ(cover.status, 0) << cover.standard_error;
  EXPECT_EQ(
      RunFfprobe(folder, {"-count_frames", "-show_entries", "stream=codec_name,nb_read_frames",
                          "-of", "csv=p=0", "-select_streams", "v", "cover.mp4"}),
      "h264,1\n");
  EXPECT_EQ(Probe(folder, "stream=codec_name", "cover.mp4", "a"), "mp3\n");
}

}  // namespace
