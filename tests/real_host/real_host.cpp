#include "real_host.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace korvel_real_host {

RealHost::RealHost(Plugin plugin) : env_(CreateScriptEnvironment(AVISYNTH_INTERFACE_VERSION)) {
  if (!env_) throw std::runtime_error("the host cannot create a script environment");
  // Quoted by the host's own string escape, so any path is one script string.
  if (plugin == Plugin::kLoadedByScript) Evaluate("LoadPlugin(\"\"\"" KORVEL_PLUGIN_PATH "\"\"\")");
}

RealHost::~RealHost() { env_->DeleteScriptEnvironment(); }

AVSValue RealHost::Evaluate(const std::string& script) {
  // The host's error is no std::exception: turned into one, its text reaches the report.
  try {
    return env_->Invoke("Eval", AVSValue(env_->SaveString(script.c_str())));
  } catch (const AvisynthError& error) {
    throw std::runtime_error("the host refused " + script + "\n" + error.msg);
  }
}

AVSValue RealHost::Invoke(const char* name, const AVSValue& arguments, const char* const* names) {
  try {
    return env_->Invoke(name, arguments, names);
  } catch (const AvisynthError& error) {
    throw std::runtime_error(std::string("the host refused ") + name + ": " + error.msg);
  } catch (const IScriptEnvironment::NotFound&) {
    throw std::runtime_error(std::string("the host has no function named ") + name);
  }
}

std::string RealHost::ErrorOf(const std::string& script) {
  try {
    env_->Invoke("Eval", AVSValue(env_->SaveString(script.c_str())));
  } catch (const AvisynthError& error) {
    return error.msg;
  }
  return "(no error)";
}

std::vector<uint8_t> Picture(const PClip& clip, int n, IScriptEnvironment* env) {
  const PVideoFrame frame = clip->GetFrame(n, env);
  const int row_bytes = frame->GetRowSize(), rows = frame->GetHeight(), pitch = frame->GetPitch();
  const BYTE* data = frame->GetReadPtr();
  std::vector<uint8_t> picture(size_t(row_bytes) * size_t(rows));
  for (int row = 0; row < rows; ++row)
    std::memcpy(&picture[size_t(row) * size_t(row_bytes)], data + ptrdiff_t(row) * pitch,
                size_t(row_bytes));
  return picture;
}

std::string DetailedSource(int width, int height, int frames, bool rgb32) {
  // Each plane is its own quadratic in the column and row, plus the frame number, modulo
  // 256: neighbours differ by amounts that change along each row and column, so no row or
  // column is flat and no plane or frame repeats another.
  const char* planes[] = {
      "sx sx * 5 * sy sy * 3 * + sx sy * 7 * + sx 11 * + sy 13 * + frameno 29 * + 256 %",
      "sx sx * 3 * sy sy * 7 * + sx sy * 5 * + sx 17 * + sy 3 * + frameno 41 * + 37 + 256 %",
      "sx sx * 7 * sy sy * 5 * + sx sy * 3 * + sx 5 * + sy 19 * + frameno 23 * + 101 + 256 %",
      "sx sx * 11 * sy sy * 13 * + sx sy * 2 * + sx 7 * + sy 11 * + frameno 31 * + 211 + 256 %"};
  std::string script = "BlankClip(length=" + std::to_string(frames) +
                       ", width=" + std::to_string(width) + ", height=" + std::to_string(height) +
                       ", pixel_type=\"" + (rgb32 ? "RGBAP8" : "RGBP8") + "\").Expr(";
  for (int plane = 0; plane < (rgb32 ? 4 : 3); ++plane)
    script += std::string(plane ? ", " : "") + "\"" + planes[plane] + "\"";
  return script + ")." + (rgb32 ? "ConvertToRGB32()" : "ConvertToRGB24()");
}

std::string BlankClip(const char* pixel_type, int width, int height) {
  return "BlankClip(width=" + std::to_string(width) + ", height=" + std::to_string(height) +
         ", pixel_type=\"" + pixel_type + "\")";
}

std::string ScriptArguments(const ExtentCase& c) {
  std::string arguments;
  auto add = [&](const std::string& argument) {
    arguments += (arguments.empty() ? "" : ", ") + argument;
  };
  if (c.x != kLeftOut) add("x=" + std::to_string(c.x));
  if (c.y != kLeftOut) add("y=" + std::to_string(c.y));
  if (c.blur) add(std::string("blur=\"") + c.blur + "\"");
  return arguments;
}

namespace {

class VideoFolder {
 public:
  VideoFolder() {
    char pattern[] = "/tmp/korvel-video-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    folder_ = pattern;
    video_ = folder_ + "/clip.mp4";
    const std::string make =
        "ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=160x120:rate=25 "
        "-frames:v " +
        std::to_string(kTestVideoFrames) + " -c:v libx264 -pix_fmt yuv420p '" + video_ + "'";
    if (std::system(make.c_str()) != 0) throw std::runtime_error("ffmpeg made no test video");
  }
  ~VideoFolder() { std::filesystem::remove_all(folder_); }
  const std::string& video() const { return video_; }

 private:
  std::string folder_, video_;
};

}  // namespace

const std::string& TestVideo() {
  static const VideoFolder folder;
  return folder.video();
}

std::string VideoSource(const std::string& path) {
  return "FFVideoSource(\"\"\"" + path + "\"\"\", cache=false)";
}

}  // namespace korvel_real_host
