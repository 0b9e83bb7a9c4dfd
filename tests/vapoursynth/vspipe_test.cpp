// korvel.Blur in a VapourSynth script, as users run one: a .vpy that loads the library with
// core.std.LoadPlugin and opens a video the test makes (H.264, with ffmpeg) through FFMS2's
// ffms2.Source, piped through vspipe. The blurred frames equal the model of the script's
// frames without the blur, plane by plane.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "blur_case.h"

namespace korvel_vs_test {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 160, kHeight = 120, kFrames = 5;

class VsPipe : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("korvel-vspipe-" + std::to_string(getpid()));
    fs::create_directories(folder_);
    const std::string video = (folder_ / "clip.mp4").string();
    ASSERT_EQ(Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" +
                  std::to_string(kWidth) + "x" + std::to_string(kHeight) + ":rate=25 -frames:v " +
                  std::to_string(kFrames) + " -c:v libx264 -pix_fmt yuv420p '" + video + "'"),
              0);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // The script's frames through vspipe, as raw planes: `blur` is a call's arguments, or
  // empty for the source alone.
  std::vector<uint8_t> Render(const std::string& name, const std::string& blur) {
    const fs::path script = folder_ / (name + ".vpy"), output = folder_ / (name + ".raw");
    std::ofstream(script) << "import vapoursynth as vs\n"
                          << "core = vs.core\n"
                          << "core.std.LoadPlugin(r'" KORVEL_FFMS2_PLUGIN "')\n"
                          << "core.std.LoadPlugin(r'" KORVEL_VS_PLUGIN_PATH "')\n"
                          << "clip = core.ffms2.Source(r'" << (folder_ / "clip.mp4").string()
                          << "', cache=False)\n"
                          << (blur.empty() ? "" : "clip = core.korvel.Blur(clip, " + blur + ")\n")
                          << "clip.set_output()\n";
    EXPECT_EQ(Run("PYTHONPATH='" KORVEL_VS_PYTHON_PATH "' '" KORVEL_VSPIPE "' '" + script.string() +
                  "' '" + output.string() + "'"),
              0);
    std::ifstream file(output, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  static int Run(const std::string& command) { return std::system(command.c_str()); }

  fs::path folder_;
};

// Frame n's planes in vspipe's raw output: YUV 4:2:0, each plane's rows back to back.
std::vector<Plane> FramePlanes(const std::vector<uint8_t>& raw, int n) {
  const size_t luma = size_t(kWidth) * kHeight, chroma = luma / 4;
  auto at = raw.begin() + std::ptrdiff_t(n * (luma + 2 * chroma));
  std::vector<Plane> planes;
  for (const auto& [width, height] :
       {std::pair{kWidth, kHeight}, {kWidth / 2, kHeight / 2}, {kWidth / 2, kHeight / 2}}) {
    const auto end = at + std::ptrdiff_t(width * height);
    planes.push_back({width, height, std::vector<uint8_t>(at, end)});
    at = end;
  }
  return planes;
}

TEST_F(VsPipe, RendersAScriptThatLoadsThePlugin) {
  const BlurCase c{kYuv420, kWidth, kHeight, "line", 8, 3, {}};
  const std::vector<uint8_t> source = Render("source", "");
  const std::vector<uint8_t> blurred = Render("blurred", "8, 3, 'line'");
  const size_t frame_bytes = size_t(kWidth) * kHeight * 3 / 2;
  ASSERT_EQ(source.size(), frame_bytes * kFrames);
  ASSERT_EQ(blurred.size(), source.size());
  for (int n = 0; n < kFrames; ++n) {
    const std::vector<Plane> planes = FramePlanes(source, n), actual = FramePlanes(blurred, n);
    for (size_t p = 0; p < planes.size(); ++p)
      if (const auto mismatch = PlaneMismatch(planes[p], actual[p], c, int(p)))
        ADD_FAILURE() << "frame " << n << ", plane " << p << ": " << *mismatch;
  }
}

TEST_F(VsPipe, PassesOnTheCallsMessage) {
  const fs::path script = folder_ / "refused.vpy";
  std::ofstream(script) << "import vapoursynth as vs\n"
                        << "core = vs.core\n"
                        << "core.std.LoadPlugin(r'" KORVEL_VS_PLUGIN_PATH "')\n"
                        << "core.std.BlankClip(format=vs.GRAY8, width=64, height=48)"
                        << ".korvel.Blur(9, 0, 'line').set_output()\n";
  const std::string log = (folder_ / "refused.log").string();
  EXPECT_NE(Run("PYTHONPATH='" KORVEL_VS_PYTHON_PATH "' '" KORVEL_VSPIPE "' '" + script.string() +
                "' - >/dev/null 2>'" + log + "'"),
            0);
  std::ifstream file(log);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_NE(text.find("Korvel:x must be  between plus minus 8"), std::string::npos) << text;
}

}  // namespace
}  // namespace korvel_vs_test
