// PNG pictures in and out. The pictures are made and read back with ffmpeg, so that the
// command's reading and writing are checked against another implementation.
#include <gtest/gtest.h>

#include "raw_pictures.h"
#include "tool_runner.h"

namespace {

using korvel_test::ExpectedOutput;
using korvel_test::RandomFrames;
using korvel_test::RawLayout;
using korvel_test::ReadBytes;
using korvel_test::RunFfmpeg;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;
using korvel_test::WriteBytes;

// A PNG made by ffmpeg from raw frames of `pipe_format`, stored in the PNG as `png_format`.
void MakePng(const ScratchFolder& folder, const std::string& raw, const std::string& size,
             const std::string& pipe_format, const std::string& png_format,
             const std::string& png) {
  RunFfmpeg(folder, {"-f", "rawvideo", "-pix_fmt", pipe_format, "-video_size", size, "-i", raw,
                     "-frames:v", "1", "-pix_fmt", png_format, png});
}

TEST(PngFiles, RoundTripKeepsSizeAndBlursLikeTheFramePass) {
  const RawLayout layout{50, 42, 3};
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 1, 21);
  WriteBytes(folder.Path("in.raw"), input);
  MakePng(folder, "in.raw", "50x42", "bgr24", "rgb24", "in.png");
  const auto result = RunKorvel(folder, {"in.png", "out.png", "-b", "rect", "-x", "3", "-y", "2"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(korvel_test::RunFfprobe(folder, {"-show_entries", "stream=width,height,pix_fmt", "-of",
                                             "csv=p=0", "out.png"}),
            "50,42,rgb24\n");
  RunFfmpeg(folder, {"-i", "out.png", "-f", "rawvideo", "-pix_fmt", "bgr24", "out.raw"});
  EXPECT_TRUE(ReadBytes(folder.Path("out.raw")) == ExpectedOutput(input, layout, 3, 2, "rect"));
}

TEST(PngFiles, AlphaBecomesRgb32AndIsBlurredToo) {
  const RawLayout layout{40, 32, 4};
  ScratchFolder folder;
  const std::vector<uint8_t> input = RandomFrames(layout, 1, 22);
  WriteBytes(folder.Path("in.raw"), input);
  MakePng(folder, "in.raw", "40x32", "bgra", "rgba", "in.png");
  const auto result = RunKorvel(folder, {"in.png", "out.raw", "-b", "focus", "-x", "3"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_TRUE(ReadBytes(folder.Path("out.raw")) == ExpectedOutput(input, layout, 3, 3, "focus"));
}

TEST(PngFiles, GreyIsExpandedToRgb) {
  ScratchFolder folder;
  const RawLayout grey_layout{40, 32, 1};
  const std::vector<uint8_t> grey = RandomFrames(grey_layout, 1, 23);
  WriteBytes(folder.Path("grey.raw"), grey);
  MakePng(folder, "grey.raw", "40x32", "gray", "gray", "grey.png");
  const auto result = RunKorvel(folder, {"grey.png", "out.raw", "-x", "2", "-y", "-3"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  std::vector<uint8_t> as_rgb;
  for (uint8_t value : grey) as_rgb.insert(as_rgb.end(), {value, value, value});
  EXPECT_TRUE(ReadBytes(folder.Path("out.raw")) ==
              ExpectedOutput(as_rgb, {40, 32, 3}, 2, -3, "line"));
}

// A gamma the file declares changes nothing, and 16-bit samples give the nearest 8-bit value.
TEST(PngFiles, SamplesAreTakenAsStored) {
  ScratchFolder folder;
  const std::vector<uint8_t> deep = RandomFrames({40, 32, 6}, 1, 25);
  WriteBytes(folder.Path("deep.raw"), deep);
  MakePng(folder, "deep.raw", "40x32", "rgb48be", "rgb48be", "deep.png");
  std::vector<uint8_t> bgr;
  for (size_t i = 0; i < deep.size(); i += 6)
    for (size_t c : {4, 2, 0})
      bgr.push_back(uint8_t(((deep[i + c] << 8 | deep[i + c + 1]) * 255 + 32767) / 65535));
  // The same picture in 8 bits, declared linear by a gAMA chunk of 1.0 after the header.
  WriteBytes(folder.Path("flat.raw"), bgr);
  MakePng(folder, "flat.raw", "40x32", "bgr24", "rgb24", "flat.png");
  std::vector<uint8_t> png = ReadBytes(folder.Path("flat.png"));
  std::vector<uint8_t> chunk{0, 0, 0, 4, 'g', 'A', 'M', 'A', 0, 1, 0x86, 0xA0};
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 4; i < chunk.size(); ++i) {
    crc ^= chunk[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(uint8_t(~crc >> shift));
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  WriteBytes(folder.Path("flat.png"), png);
  for (const char* input : {"deep.png", "flat.png"}) {
    const auto result = RunKorvel(folder, {input, "out.raw", "-b", "rect", "-x", "2", "-y", "2"});
    ASSERT_EQ(result.status, 0) << result.standard_error;
    EXPECT_TRUE(ReadBytes(folder.Path("out.raw")) == ExpectedOutput(bgr, {40, 32, 3}, 2, 2, "rect"))
        << input;
  }
}

TEST(PngFiles, OneFrameOnlyAndNothingLeftOnFailure) {
  ScratchFolder folder;
  WriteBytes(folder.Path("two.raw"), RandomFrames({48, 40, 3}, 2, 24));
  const auto two = RunKorvel(folder, {"two.raw", "out.png", "--size", "48x40"});
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(two.standard_error,
            "korvel: out.png can hold only one frame; choose one with --frames 1\n");
  const auto one = RunKorvel(folder, {"two.raw", "one.png", "--size", "48x40", "--frames", "1"});
  EXPECT_EQ(one.status, 0) << one.standard_error;

  WriteBytes(folder.Path("broken.png"), {0x89, 'P', 'N', 'G', 1, 2, 3});
  const auto broken = RunKorvel(folder, {"broken.png", "out.png"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.standard_error.rfind("korvel: cannot read broken.png: ", 0), 0u)
      << broken.standard_error;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"broken.png", "one.png", "two.raw"}));
}

}  // namespace
