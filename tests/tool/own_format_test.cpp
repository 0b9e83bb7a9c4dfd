// Videos blurred in their own pixel format: each plane as korvel.Blur blurs it in
// VapourSynth (its extents divided by the plane's subsampling, toward zero), held to the
// shared model, and the format kept where the encoder takes it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "reference_pictures.h"
#include "tool_runner.h"

namespace {

using korvel_test::ReadBytes;
using korvel_test::RunFfmpeg;
using korvel_test::RunFfprobe;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;

struct PlanarFormat {
  const char* name;  // as FFmpeg names it
  int planes, log2_w, log2_h, bytes;
};

constexpr int kWidth = 64, kHeight = 48, kFrames = 2;

// The frames of a YUV4MPEG file, FRAME headers left out.
std::vector<uint8_t> Yuv4MpegFrames(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> frames;
  size_t at = std::find(file.begin(), file.end(), '\n') - file.begin() + 1;
  const size_t frame_bytes = (file.size() - at) / kFrames - 6;
  for (int n = 0; n < kFrames; ++n, at += 6 + frame_bytes)
    frames.insert(frames.end(), file.begin() + ptrdiff_t(at + 6),
                  file.begin() + ptrdiff_t(at + 6 + frame_bytes));
  return frames;
}

template <typename Sample>
std::vector<uint8_t> ModelFrames(const std::vector<uint8_t>& source, const PlanarFormat& format,
                                 int x, int y, const std::string& blur) {
  std::vector<uint8_t> result;
  size_t at = 0;
  for (int n = 0; n < kFrames; ++n) {
    for (int p = 0; p < format.planes; ++p) {
      const int log2_w = p > 0 ? format.log2_w : 0, log2_h = p > 0 ? format.log2_h : 0;
      const int width = (kWidth + (1 << log2_w) - 1) >> log2_w;
      const int height = (kHeight + (1 << log2_h) - 1) >> log2_h;
      const size_t bytes = size_t(width) * size_t(height) * sizeof(Sample);
      std::vector<Sample> plane(bytes / sizeof(Sample));
      std::memcpy(plane.data(), source.data() + at, bytes);
      at += bytes;
      const int plane_x = x / (1 << log2_w);
      const int plane_y = blur == "focus" ? plane_x : y / (1 << log2_h);
      // A single sample, or no interior, leaves the plane as it is.
      const bool one = plane_x == 0 && (plane_y == 0 || blur == "focus");
      const bool fits = width > 2 * std::abs(plane_x) + 3 && height > 2 * std::abs(plane_y) + 3;
      const std::vector<Sample> blurred =
          one || !fits ? plane
                       : korvel_test::ReferenceBlur(plane, width, height, 1, plane_x, plane_y, blur);
      const auto* out = reinterpret_cast<const uint8_t*>(blurred.data());
      result.insert(result.end(), out, out + bytes);
    }
  }
  return result;
}

TEST(OwnFormat, EachPlaneIsBlurredAsKorvelBlurDoesAndTheFormatKept) {
  const PlanarFormat formats[] = {{"yuv420p", 3, 1, 1, 1},   {"yuv420p10le", 3, 1, 1, 2},
                                  {"yuv422p10le", 3, 1, 0, 2}, {"yuv444p", 3, 0, 0, 1},
                                  {"yuv444p12le", 3, 0, 0, 2}, {"gray", 1, 0, 0, 1},
                                  {"gray10le", 1, 0, 0, 2}};
  struct Blur {
    int x, y;
    const char* shape;
  };
  const Blur blurs[] = {{5, 3, "rect"}, {-7, 3, "line"}, {4, 0, "focus"}};
  ScratchFolder folder;
  int case_number = 0;
  for (const PlanarFormat& format : formats) {
    const Blur& blur = blurs[case_number++ % 3];
    SCOPED_TRACE(std::string(format.name) + " " + blur.shape);
    RunFfmpeg(folder, {"-f", "lavfi", "-i", "testsrc2=size=64x48,noise=alls=40:allf=t",
                       "-frames:v", "2", "-pix_fmt", format.name, "-strict", "-1", "-y", "in.y4m"});
    const auto result = RunKorvel(folder, {"in.y4m", "out.y4m", "-x", std::to_string(blur.x),
                                           "-y", std::to_string(blur.y), "-b", blur.shape});
    ASSERT_EQ(result.status, 0) << result.standard_error;
    EXPECT_EQ(result.standard_error, "");
    const std::vector<uint8_t> source = Yuv4MpegFrames(ReadBytes(folder.Path("in.y4m")));
    const std::vector<uint8_t> expected =
        format.bytes == 1 ? ModelFrames<uint8_t>(source, format, blur.x, blur.y, blur.shape)
                          : ModelFrames<uint16_t>(source, format, blur.x, blur.y, blur.shape);
    EXPECT_TRUE(Yuv4MpegFrames(ReadBytes(folder.Path("out.y4m"))) == expected);
    EXPECT_EQ(RunFfprobe(folder, {"-show_entries", "stream=pix_fmt", "-of", "csv=p=0", "out.y4m"}),
              std::string(format.name) + "\n");
  }
}

// H.264 holds 8 and 10 bits, 4:2:0, 4:2:2, 4:4:4 and grey; other formats become the
// nearest it holds, with a note.
TEST(OwnFormat, VideosKeepTheirDepthAndSubsampling) {
  ScratchFolder folder;
  for (const std::string format : {"yuv420p10le", "yuv422p10le", "yuv444p10le", "gray", "gbrp"}) {
    RunFfmpeg(folder, {"-f", "lavfi", "-i", "testsrc2=size=64x48", "-frames:v", "3", "-c:v",
                       "ffv1", "-pix_fmt", format, "-y", "in.mkv"});
    const auto result = RunKorvel(folder, {"in.mkv", "out.mkv", "-b", "rect", "-x", "2", "-y", "2"});
    ASSERT_EQ(result.status, 0) << result.standard_error;
    // FFmpeg's H.264 decoder gives 4:0:0 frames as 4:2:0 ones with flat chroma.
    const std::string written = format == "gbrp" ? "yuv444p" : format == "gray" ? "yuv420p" : format;
    EXPECT_EQ(result.standard_error,
              format == "gbrp"
                  ? "korvel: out.mkv: libx264 does not write gbrp frames; they are written as "
                    "yuv444p\n"
                  : "");
    EXPECT_EQ(RunFfprobe(folder, {"-show_entries", "stream=codec_name,pix_fmt", "-of", "csv=p=0",
                                  "out.mkv"}),
              "h264," + written + "\n");
  }
}

}  // namespace
