// Inputs and outputs a careful user tries: damage in each container, valid files of unusual
// shape, outputs that would lose what the input holds. Each is taken whole, or refused with
// one plain message and nothing written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tool_runner.h"

namespace {

using korvel_test::ReadBytes;
using korvel_test::RunFfmpeg;
using korvel_test::RunFfprobe;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;
using korvel_test::WriteBytes;
using Names = std::vector<std::string>;

void MakeInput(const ScratchFolder& folder, const std::vector<std::string>& encoding,
               const std::string& name, const std::string& extra_input = "") {
  std::vector<std::string> arguments{"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25"};
  if (!extra_input.empty()) arguments.insert(arguments.end(), {"-f", "lavfi", "-i", extra_input});
  arguments.insert(arguments.end(), {"-t", "1"});
  arguments.insert(arguments.end(), encoding.begin(), encoding.end());
  arguments.push_back(name);
  RunFfmpeg(folder, arguments);
}

// The input with `bytes` bytes from its end cut off, or with bytes at `at` overwritten.
void Cut(const ScratchFolder& folder, const std::string& from, size_t bytes, const std::string& to) {
  std::vector<uint8_t> data = ReadBytes(folder.Path(from));
  data.resize(data.size() - bytes);
  WriteBytes(folder.Path(to), data);
}

void ExpectRefused(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                   const std::string& message) {
  const Names before = folder.Names();
  const auto result = RunKorvel(folder, arguments);
  EXPECT_EQ(result.status, 1) << arguments[0];
  EXPECT_NE(result.standard_error.find("korvel: " + message), std::string::npos)
      << result.standard_error;
  EXPECT_EQ(folder.Names(), before);
}

TEST(HostileInputs, DamageInEveryContainerIsAnError) {
  ScratchFolder folder;
  MakeInput(folder, {"-c:v", "libx264"}, "whole.mkv", "sine");
  const size_t size = ReadBytes(folder.Path("whole.mkv")).size();
  Cut(folder, "whole.mkv", size / 100, "cut-99.mkv");
  Cut(folder, "whole.mkv", 1, "cut-1.mkv");
  for (const char* cut : {"cut-99.mkv", "cut-1.mkv"})
    ExpectRefused(folder, {cut, "out.mkv"},
                  std::string("cannot read ") + cut +
                      ": it ends before the end its header declares, so it is cut short");
  MakeInput(folder, {"-frames:v", "3"}, "whole.y4m");
  Cut(folder, "whole.y4m", 100, "cut.y4m");
  ExpectRefused(folder, {"cut.y4m", "out.mkv"}, "cannot read cut.y4m: its last frame is cut short");
  // The decoders' own reports: corrupt LZW data in a GIF, a damaged MPEG-4 part 2 frame
  // (whose decoder aborted the command when told to fail at the first error).
  MakeInput(folder, {"-frames:v", "4", "-c:v", "gif"}, "whole.gif");
  std::vector<uint8_t> gif = ReadBytes(folder.Path("whole.gif"));
  for (size_t i = 820; i < 850; ++i) gif[i] ^= 0x55;
  WriteBytes(folder.Path("bad.gif"), gif);
  ExpectRefused(folder, {"bad.gif", "out.mkv"}, "cannot decode bad.gif: ");
  MakeInput(folder, {"-c:v", "mpeg4", "-bitexact"}, "whole.avi");
  std::vector<uint8_t> avi = ReadBytes(folder.Path("whole.avi"));
  std::fill(avi.begin() + 8000, avi.begin() + 8008, 0xff);
  WriteBytes(folder.Path("bad.avi"), avi);
  ExpectRefused(folder, {"bad.avi", "out.mkv"}, "cannot decode bad.avi: ");
}

TEST(HostileInputs, ValidFilesOfUnusualShapeAreTakenWhole) {
  ScratchFolder folder;
  // AVI fills a gap in the frame times with empty chunks, which it counts as frames.
  RunFfmpeg(folder, {"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25:d=0.4", "-vf",
                     "setpts='if(gte(N,5),PTS+25,PTS)'", "-vsync", "passthrough", "-c:v", "mpeg4",
                     "gaps.avi"});
  const auto gaps = RunKorvel(folder, {"gaps.avi", "out.avi"});
  EXPECT_EQ(gaps.status, 0) << gaps.standard_error;
  // A Matroska track whose last frame is held to the end its tag declares.
  MakeInput(folder, {"-frames:v", "10", "-c:v", "libx264"}, "short.mkv");
  std::vector<uint8_t> bytes = ReadBytes(folder.Path("short.mkv"));
  std::string text(bytes.begin(), bytes.end());
  const size_t tag = text.find("00:00:00.400000000");
  ASSERT_NE(tag, std::string::npos);
  bytes[tag + 7] = '3';
  WriteBytes(folder.Path("held.mkv"), bytes);
  const auto held = RunKorvel(folder, {"held.mkv", "out.mkv"});
  EXPECT_EQ(held.status, 0) << held.standard_error;
  // An animated PNG is read whole whatever its name.
  RunFfmpeg(folder, {"-f", "lavfi", "-i", "testsrc2=size=64x48", "-frames:v", "5", "-plays", "0",
                     "-f", "apng", "anim.png"});
  ASSERT_EQ(RunKorvel(folder, {"anim.png", "anim.mkv"}).status, 0);
  EXPECT_EQ(RunFfprobe(folder, {"-count_frames", "-show_entries", "stream=nb_read_frames", "-of",
                                "csv=p=0", "anim.mkv"}),
            "5\n");
  // Sound of 16 channels and no declared layout, encoded again (it crashed the resampler).
  std::string channels = "sin(200*2*PI*t)";
  for (int c = 1; c < 16; ++c) channels += "|sin(" + std::to_string(200 + 50 * c) + "*2*PI*t)";
  MakeInput(folder, {"-c:v", "libx264", "-c:a", "pcm_s16le"}, "sixteen.mkv",
            "aevalsrc=" + channels + ":s=48000");
  const auto sixteen = RunKorvel(folder, {"sixteen.mkv", "sixteen.mp4"});
  EXPECT_EQ(sixteen.status, 0) << sixteen.standard_error;
  EXPECT_EQ(RunFfprobe(folder, {"-show_entries", "stream=codec_name,channels", "-of", "csv=p=0",
                                "sixteen.mp4"}),
            "h264\naac,16\n");
}

TEST(HostileInputs, OutputsThatWouldLoseOrScatterAreRefused) {
  ScratchFolder folder;
  MakeInput(folder, {"-c:v", "libx264"}, "in.mp4", "sine");
  ExpectRefused(folder, {"in.mp4", "out.m3u8"},
                "cannot write out.m3u8: Apple HTTP Live Streaming is written as several files");
  ExpectRefused(folder, {"in.mp4", "out.mpd"}, "cannot write out.mpd: DASH Muxer is written as");
  ExpectRefused(folder, {"in.mp4", "out.mp3"}, "cannot write out.mp3: MP3 (MPEG audio layer 3) "
                                               "files hold sound, not a video");
  ExpectRefused(folder, {"in.mp4", "out.flac"}, "cannot write out.flac: raw FLAC files hold sound");
}

TEST(HostileInputs, WhatTheInputHoldsIsKept) {
  ScratchFolder folder;
  MakeInput(folder, {"-c:v", "libx264"}, "in.mp4");
  const std::string chapters = ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=One\n"
                         "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Two\n";
  WriteBytes(folder.Path("chapters.txt"), std::vector<uint8_t>(chapters.begin(), chapters.end()));
  RunFfmpeg(folder, {"-i", "in.mp4", "-i", "chapters.txt", "-map_chapters", "1", "-c", "copy",
                     "chapters.mkv"});
  // A turn stored as a display matrix: outputs that cannot store it get upright frames.
  RunFfmpeg(folder, {"-i", "in.mp4", "-c", "copy", "-metadata:s:v:0", "rotate=90", "turned.mp4"});
  for (const std::string output : {"out.mkv", "out.mp4"}) {
    ASSERT_EQ(RunKorvel(folder, {"chapters.mkv", output}).status, 0);
    EXPECT_EQ(RunFfprobe(folder, {"-show_entries", "chapter_tags=title", "-of", "csv=p=0", output}),
              "One\nTwo\n");
  }
  for (const std::string output : {"upright.mkv", "upright.webm", "upright.avi", "upright.y4m"}) {
    ASSERT_EQ(RunKorvel(folder, {"turned.mp4", output, "-q"}).status, 0) << output;
    EXPECT_EQ(RunFfprobe(folder, {"-select_streams", "v", "-show_entries", "stream=width,height",
                                  "-of", "csv=p=0", output}),
              "48,64\n")
        << output;
  }
}

TEST(HostileInputs, MessagesArePlain) {
  ScratchFolder folder;
  mkdir(folder.Path("x.avs").c_str(), 0755);
  ExpectRefused(folder, {"x.avs", "out.raw"}, "cannot open x.avs: Is a directory");
  const std::string header = "YUV4MPEG2 W16385 H16385 F25:1 Ip A1:1 C420jpeg\nFRAME\n";
  WriteBytes(folder.Path("huge.y4m"), std::vector<uint8_t>(header.begin(), header.end()));
  ExpectRefused(folder, {"huge.y4m", "out.mkv"},
                "cannot read huge.y4m: frame size 16385x16385 is too large");
  WriteBytes(folder.Path("empty.raw"), {});
  ExpectRefused(folder, {"empty.raw", "out.raw", "--size", "16x16"}, "empty.raw holds no frames");
  WriteBytes(folder.Path("in.raw"), std::vector<uint8_t>(48 * 40 * 3));
  for (const char* spaced : {" 2", "2 "}) {
    const auto result = RunKorvel(folder, {"in.raw", "out.raw", "--size", "48x40", "-x", spaced});
    EXPECT_EQ(result.status, 2) << spaced;
  }
  // Past a file size limit the write fails, rather than the signal ending the command.
  const auto limited = korvel_test::RunProgram(
      folder, {"sh", "-c", std::string("ulimit -f 1; exec ") + KORVEL_TOOL_PATH +
                               " in.raw big.raw --size 48x40"});
  EXPECT_EQ(limited.status, 1);
  EXPECT_EQ(limited.standard_error, "korvel: cannot write big.raw: File too large\n");
}

// A file of two names keeps both: it is written over in place once complete.
TEST(HostileInputs, AHardLinkedOutputKeepsItsOtherName) {
  ScratchFolder folder;
  WriteBytes(folder.Path("in.raw"), std::vector<uint8_t>(48 * 40 * 3, 7));
  WriteBytes(folder.Path("out.raw"), {1, 2, 3});
  ASSERT_EQ(link(folder.Path("out.raw").c_str(), folder.Path("other.raw").c_str()), 0);
  ASSERT_EQ(RunKorvel(folder, {"in.raw", "out.raw", "--size", "48x40"}).status, 0);
  EXPECT_EQ(ReadBytes(folder.Path("other.raw")).size(), 48u * 40 * 3);
  EXPECT_EQ(ReadBytes(folder.Path("other.raw")), ReadBytes(folder.Path("out.raw")));
  EXPECT_EQ(folder.Names(), (Names{"in.raw", "other.raw", "out.raw"}));
}

}  // namespace
