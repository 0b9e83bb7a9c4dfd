// The korvel command rendering a script through the host's library: it writes the host's
// own frames, top row first in raw files, and a video of them with the script's sound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "real_host.h"
#include "reference_pictures.h"

namespace korvel_real_host {
namespace {

const std::string kLoadPlugin = "LoadPlugin(\"\"\"" KORVEL_PLUGIN_PATH "\"\"\")\n";

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A folder of its own for a script and what the command writes from it.
class ScriptRun {
 public:
  explicit ScriptRun(const std::string& script) {
    char pattern[] = "/tmp/korvel-script-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    folder_ = pattern;
    std::ofstream(folder_ / "clip.avs") << script << "\n";
  }
  ~ScriptRun() { std::filesystem::remove_all(folder_); }

  std::filesystem::path Path(const std::string& name) const { return folder_ / name; }

  // Runs `command` on clip.avs with `output` in the folder, the host's library found on
  // `library_path` (none when empty), and an empty home folder; its exit status, its
  // messages in `messages`.
  int Render(const std::string& command, const std::string& output, const std::string& library_path,
             std::string* messages = nullptr) const {
    const std::string library_setting =
        library_path.empty() ? "env -u LD_LIBRARY_PATH" : "LD_LIBRARY_PATH='" + library_path + "'";
    const std::string line = "HOME='" + folder_.string() + "' " + library_setting + " '" + command +
                             "' --quiet '" + Path("clip.avs").string() + "' '" +
                             Path(output).string() + "' 2>'" + Path("messages").string() + "'";
    const int status = std::system(line.c_str());
    const std::vector<uint8_t> text = ReadFile(Path("messages"));
    if (messages) messages->assign(text.begin(), text.end());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::filesystem::path folder_;
};

// The host's frames of the script's clip as a raw file holds them: rows top-down, the planes
// of a planar format back to back, chroma in the order the format names it (or U first).
std::vector<uint8_t> HostFrames(const std::string& script, bool u_first = false) {
  RealHost host;
  const PClip clip = host.Evaluate(script).AsClip();
  const VideoInfo& vi = clip->GetVideoInfo();
  std::vector<int> planes{0};
  if (vi.IsPlanar())
    planes = u_first ? std::vector<int>{PLANAR_Y, PLANAR_U, PLANAR_V}
                     : std::vector<int>{PLANAR_Y, PLANAR_V, PLANAR_U};
  std::vector<uint8_t> frames;
  for (int n = 0; n < vi.num_frames; ++n) {
    const PVideoFrame frame = clip->GetFrame(n, host.env());
    for (int plane : planes) {
      const int row_bytes = frame->GetRowSize(plane), rows = frame->GetHeight(plane);
      for (int row = 0; row < rows; ++row) {
        // The host keeps RGB bottom-up.
        const int memory_row = vi.IsRGB() ? rows - 1 - row : row;
        const BYTE* data =
            frame->GetReadPtr(plane) + ptrdiff_t(memory_row) * frame->GetPitch(plane);
        frames.insert(frames.end(), data, data + row_bytes);
      }
    }
  }
  return frames;
}

std::string BlurredSource(const char* conversion) {
  return DetailedSource(64, 48, 3, true) + ".Korvel(x=3, y=2, blur=\"rect\")" + conversion;
}

TEST(ScriptInput, RawOutputIsTheHostsFramesTopRowFirst) {
  for (const char* conversion : {"", ".ConvertToRGB24()", ".ConvertToYUY2()", ".ConvertToYV12()"}) {
    SCOPED_TRACE(conversion);
    const std::string script = kLoadPlugin + BlurredSource(conversion);
    const ScriptRun run(script);
    std::string messages;
    ASSERT_EQ(run.Render(KORVEL_COMMAND_PATH, "out.raw", KORVEL_HOST_LIBRARY_FOLDER, &messages), 0)
        << messages;
    EXPECT_TRUE(ReadFile(run.Path("out.raw")) == HostFrames(script));
  }
}

TEST(ScriptInput, LosslessVideoDecodesBackToTheHostsFrames) {
  const std::string script = kLoadPlugin + BlurredSource(".ConvertToYV12()");
  const ScriptRun run(script);
  std::string messages;
  // A stream of YUV 4:2:0 frames as they are, which ffmpeg decodes back.
  ASSERT_EQ(run.Render(KORVEL_COMMAND_PATH, "out.y4m", KORVEL_HOST_LIBRARY_FOLDER, &messages), 0)
      << messages;
  const std::string decode = "ffmpeg -v error -i '" + run.Path("out.y4m").string() +
                             "' -f rawvideo -pix_fmt yuv420p '" + run.Path("back.raw").string() +
                             "'";
  ASSERT_EQ(std::system(decode.c_str()), 0);
  EXPECT_TRUE(ReadFile(run.Path("back.raw")) == HostFrames(script, true));
}

TEST(ScriptInput, Mp4HoldsEveryFrameAndTheSound) {
  // The host's colour bars come with a tone.
  const ScriptRun run(kLoadPlugin + "ColorBars(320, 240, pixel_type=\"RGB32\").Trim(0, 24)" +
                      ".Korvel(x=4, y=4, blur=\"focus\")");
  std::string messages;
  ASSERT_EQ(run.Render(KORVEL_COMMAND_PATH, "out.mp4", KORVEL_HOST_LIBRARY_FOLDER, &messages), 0)
      << messages;
  const std::string probe =
      "ffprobe -v error -count_frames -show_entries "
      "stream=codec_type,width,height,nb_read_frames -of csv=p=0 '" +
      run.Path("out.mp4").string() + "' >'" + run.Path("probe").string() + "'";
  ASSERT_EQ(std::system(probe.c_str()), 0);
  const std::vector<uint8_t> text = ReadFile(run.Path("probe"));
  const std::string streams(text.begin(), text.end());
  EXPECT_NE(streams.find("video,320,240,25"), std::string::npos) << streams;
  EXPECT_NE(streams.find("audio"), std::string::npos) << streams;
}

// What ffprobe says of one of the command's outputs.
std::string Probe(const ScriptRun& run, const std::string& entries, const std::string& output) {
  const std::string probe = "ffprobe -v error -show_entries " + entries + " -of csv=p=0 '" +
                            run.Path(output).string() + "' >'" + run.Path("probe").string() + "'";
  if (std::system(probe.c_str()) != 0) return "ffprobe failed";
  const std::vector<uint8_t> text = ReadFile(run.Path("probe"));
  return std::string(text.begin(), text.end());
}

// Sound of more than eight channels crashed the resampler when encoded again.
TEST(ScriptInput, SixteenChannelsOfSoundAreEncodedAgain) {
  const ScriptRun run(
      "AudioDub(BlankClip(length=10, width=64, height=48, pixel_type=\"YV12\"), "
      "Tone(length=0.4, channels=16))");
  std::string messages;
  ASSERT_EQ(run.Render(KORVEL_COMMAND_PATH, "out.mp4", KORVEL_HOST_LIBRARY_FOLDER, &messages), 0)
      << messages;
  EXPECT_EQ(Probe(run, "stream=codec_name,channels", "out.mp4"), "h264\naac,16\n");
}

// The host's RGB32 carries a fourth channel its sources leave 0: a PNG of it is opaque.
TEST(ScriptInput, Rgb32IntoPngHasNoTransparency) {
  const ScriptRun run(
      "BlankClip(length=1, width=64, height=48, pixel_type=\"RGB32\", "
      "color=$FF8000)");
  std::string messages;
  ASSERT_EQ(run.Render(KORVEL_COMMAND_PATH, "out.png", KORVEL_HOST_LIBRARY_FOLDER, &messages), 0)
      << messages;
  EXPECT_EQ(Probe(run, "stream=pix_fmt", "out.png"), "rgb24\n");
}

TEST(ScriptInput, InstalledCommandRendersAScriptWithTheInstalledPlugin) {
  // The prefix holds a host built for it, and Korvel installed by `cmake --install`: the
  // command finds the host beside it, and the host the plugin, with no LoadPlugin and no
  // library path.
  const std::filesystem::path prefix = KORVEL_INSTALL_PREFIX;
  const std::string script = BlurredSource("");
  const ScriptRun run(script);
  std::string messages;
  ASSERT_EQ(run.Render((prefix / "bin/korvel").string(), "out.raw", "", &messages), 0) << messages;
  EXPECT_TRUE(ReadFile(run.Path("out.raw")) == HostFrames(kLoadPlugin + script));
}

// Raw RGB32 frames, rows top-down as the command writes them, blurred by the model, which
// counts rows in the host's memory order (bottom-up).
std::vector<uint8_t> ModelOfRawFrames(const std::vector<uint8_t>& raw, int width, int height, int x,
                                      int y, const std::string& blur) {
  const size_t row_bytes = size_t(width) * 4, frame_bytes = row_bytes * size_t(height);
  auto flip = [&](const uint8_t* frame) {
    std::vector<uint8_t> flipped(frame_bytes);
    for (int row = 0; row < height; ++row)
      std::copy_n(frame + size_t(height - 1 - row) * row_bytes, row_bytes,
                  flipped.begin() + std::ptrdiff_t(size_t(row) * row_bytes));
    return flipped;
  };
  std::vector<uint8_t> model;
  for (size_t at = 0; at + frame_bytes <= raw.size(); at += frame_bytes) {
    const std::vector<uint8_t> blurred =
        korvel_test::ReferenceBlur(flip(&raw[at]), width, height, 4, x, y, blur);
    const std::vector<uint8_t> top_down = flip(blurred.data());
    model.insert(model.end(), top_down.begin(), top_down.end());
  }
  return model;
}

TEST(ScriptInput, InstalledCommandOpensAVideoThroughTheInstalledSourceFilter) {
  // As the README's first script: FFMS2 and Korvel both in the prefix's plugin folder, which
  // the host loads by itself. The video's frames come from that host's conversion, so the
  // model blurs the frames the command writes of the same script without Korvel.
  const std::filesystem::path prefix = KORVEL_INSTALL_PREFIX;
  ASSERT_TRUE(std::filesystem::is_regular_file(prefix / "lib/avisynth/libffms2.so"));
  const std::string source = VideoSource(TestVideo()) + ".Trim(0, 4).ConvertToRGB32()";
  const ScriptRun plain(source), blurred(source + ".Korvel(x=4, y=2, blur=\"rect\")");
  std::string messages;
  ASSERT_EQ(plain.Render((prefix / "bin/korvel").string(), "out.raw", "", &messages), 0)
      << messages;
  ASSERT_EQ(blurred.Render((prefix / "bin/korvel").string(), "out.raw", "", &messages), 0)
      << messages;
  const std::vector<uint8_t> frames = ReadFile(plain.Path("out.raw"));
  EXPECT_EQ(frames.size(), size_t(160) * 120 * 4 * 5);
  EXPECT_TRUE(ReadFile(blurred.Path("out.raw")) ==
              ModelOfRawFrames(frames, 160, 120, 4, 2, "rect"));
}

// KorvelBlur, on the host's C interface, installed in the same folder and autoloaded: the
// plugin takes the host's functions from the command, which loaded the host.
TEST(ScriptInput, InstalledCommandRendersKorvelBlurFromTheSameFolder) {
  const std::filesystem::path prefix = KORVEL_INSTALL_PREFIX;
  // RGB32 as the source makes it: a conversion would differ between the host the command
  // renders with (the prefix's) and the one this program runs (3.7.5 or master).
  const std::string script = DetailedSource(64, 48, 3, true) + ".KorvelBlur(4, 2, \"line\")";
  const ScriptRun run(script);
  std::string messages;
  ASSERT_EQ(run.Render((prefix / "bin/korvel").string(), "out.raw", "", &messages), 0) << messages;
  const std::string load =
      "LoadPlugin(\"\"\"" + (prefix / "lib/avisynth/libkorvelblur.so").string() + "\"\"\")\n";
  EXPECT_TRUE(ReadFile(run.Path("out.raw")) == HostFrames(load + script));
}

TEST(ScriptInput, TheHostsMessageNamesTheScript) {
  const std::string script = kLoadPlugin + "BlankClip(pixel_type=\"RGB32\").Korvel(blur=\"disc\")";
  const ScriptRun run(script);
  std::string messages;
  EXPECT_EQ(run.Render(KORVEL_COMMAND_PATH, "out.raw", KORVEL_HOST_LIBRARY_FOLDER, &messages), 1);
  const std::string path = run.Path("clip.avs").string();
  std::string refusal;
  try {
    RealHost().Invoke("Import", AVSValue(path.c_str()), nullptr);
  } catch (const std::runtime_error& error) {
    refusal = error.what();
  }
  const std::string preamble = "the host refused Import: ";
  ASSERT_EQ(refusal.rfind(preamble, 0), 0u) << refusal;
  EXPECT_EQ(messages,
            "korvel: cannot read " + path + ": " + refusal.substr(preamble.size()) + "\n");
  EXPECT_FALSE(std::filesystem::exists(run.Path("out.raw")));
}

}  // namespace
}  // namespace korvel_real_host
