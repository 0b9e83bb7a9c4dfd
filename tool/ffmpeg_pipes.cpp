#include "ffmpeg_pipes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "encoder_settings.h"
#include "platform.h"
#include "tool_error.h"

namespace {

void RequireProgram(const char* program) {
  if (!platform::ProgramExists(program))
    throw ToolError(std::string(program) +
                    " is not installed, and video files need it (on Debian: apt-get install "
                    "ffmpeg); PNG and raw files work without it");
}

std::vector<std::string> QuietFfmpeg() {
  return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"};
}

std::string PipeFormat(PixelFormat format) {
  switch (format) {
    case PixelFormat::kRgb24: return "bgr24";
    case PixelFormat::kRgb32: return "bgra";
    case PixelFormat::kYuy2: return "yuyv422";
    case PixelFormat::kI420: return "yuv420p";
    case PixelFormat::kYv12: break;
  }
  throw ToolError(std::string("ffmpeg has no ") + NameOf(format) + " pipe format");
}

std::string ExitReason(const std::string& program, int status) {
  return program + " ended with exit status " + std::to_string(status) +
         (status != 0 ? "; its message, if any, is above" : "");
}

// "30000/1001" into its two numbers; false for "0/0" and other unknown rates.
bool ParseRate(const std::string& text, unsigned* numerator, unsigned* denominator) {
  unsigned long top = 0, bottom = 0;
  if (std::sscanf(text.c_str(), "%lu/%lu", &top, &bottom) != 2 || top == 0 || bottom == 0 ||
      top > 0xFFFFFFFFul || bottom > 0xFFFFFFFFul)
    return false;
  *numerator = unsigned(top);
  *denominator = unsigned(bottom);
  return true;
}

// One "key=value" map per [STREAM] section of ffprobe's default output.
std::vector<std::map<std::string, std::string>> ParseStreams(const std::string& text) {
  std::vector<std::map<std::string, std::string>> streams;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // text-mode pipes on Windows
    if (line == "[STREAM]") {
      streams.emplace_back();
    } else if (!streams.empty()) {
      const size_t equals = line.find('=');
      if (equals != std::string::npos)
        streams.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return streams;
}

class VideoReader : public FrameReader {
 public:
  VideoReader(const std::string& path, const StreamInfo& info, std::optional<int64_t> frame_limit)
      : path_(path), info_(info), frame_limit_(frame_limit) {}
  ~VideoReader() override {
    if (pipe_) platform::ClosePipe(pipe_);
  }
  VideoReader(const VideoReader&) = delete;
  VideoReader& operator=(const VideoReader&) = delete;

  const StreamInfo& Info() const override { return info_; }

  bool ReadFrame(Picture* picture) override {
    if (finished_) return false;
    if (!pipe_) Start();
    const size_t frame_bytes = size_t(info_.layout.FrameBytes());
    picture->resize(frame_bytes);
    size_t filled = 0;
    while (filled < frame_bytes) {
      const size_t count = std::fread(picture->data() + filled, 1, frame_bytes - filled, pipe_);
      if (count == 0) break;
      filled += count;
    }
    if (filled == frame_bytes) return true;
    finished_ = true;
    const int status = platform::ClosePipe(pipe_);
    pipe_ = nullptr;
    if (status != 0)
      throw ToolError("cannot decode " + path_ + ": " + ExitReason("ffmpeg", status));
    if (filled != 0) throw ToolError("cannot decode " + path_ + ": ffmpeg gave a partial frame");
    return false;
  }

 private:
  void Start() {
    std::vector<std::string> arguments = QuietFfmpeg();
    for (const char* a : {"-i", path_.c_str(), "-map", "0:v:0"}) arguments.push_back(a);
    if (frame_limit_) {
      arguments.push_back("-frames:v");
      arguments.push_back(std::to_string(*frame_limit_));
    }
    // Every decoded frame once: no frames dropped or repeated to fit a rate.
    for (const char* a : {"-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt"})
      arguments.push_back(a);
    arguments.push_back(PipeFormat(info_.layout.format));
    arguments.push_back("-");
    pipe_ = platform::OpenPipe(arguments, "r");
    if (!pipe_) throw ToolError("cannot start ffmpeg: " + std::string(std::strerror(errno)));
  }

  std::string path_;
  StreamInfo info_;
  std::optional<int64_t> frame_limit_;
  FILE* pipe_ = nullptr;
  bool finished_ = false;
};

class VideoWriter : public FrameWriter {
 public:
  VideoWriter(const std::string& final_path, FILE* pipe) : final_path_(final_path), pipe_(pipe) {}
  ~VideoWriter() override {
    if (pipe_) platform::ClosePipe(pipe_);
  }
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  void WriteFrame(const Picture& picture) override {
    if (std::fwrite(picture.data(), 1, picture.size(), pipe_) != picture.size()) Fail();
  }
  void Finish() override {
    if (std::fflush(pipe_) != 0) Fail();
    const int status = platform::ClosePipe(pipe_);
    pipe_ = nullptr;
    if (status != 0)
      throw ToolError("cannot write " + final_path_ + ": " + ExitReason("ffmpeg", status));
  }

 private:
  // A write fails when ffmpeg has gone; its exit status tells more than the broken pipe.
  [[noreturn]] void Fail() {
    const int status = platform::ClosePipe(pipe_);
    pipe_ = nullptr;
    throw ToolError("cannot write " + final_path_ + ": " + ExitReason("ffmpeg", status));
  }

  std::string final_path_;
  FILE* pipe_;
};

}  // namespace

VideoProbe ProbeVideo(const std::string& path) {
  RequireProgram("ffprobe");
  FILE* pipe =
      platform::OpenPipe({"ffprobe", "-hide_banner", "-loglevel", "error", "-show_entries",
                          "stream=codec_type,codec_name,width,height,r_frame_rate,nb_frames", path},
                         "r");
  if (!pipe) throw ToolError("cannot start ffprobe: " + std::string(std::strerror(errno)));
  std::string text;
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, count);
  const int status = platform::ClosePipe(pipe);
  if (status != 0) throw ToolError("cannot read " + path + ": " + ExitReason("ffprobe", status));

  VideoProbe probe;
  bool found_video = false;
  for (auto& stream : ParseStreams(text)) {
    if (stream["codec_type"] == "audio" && probe.audio_codec.empty()) {
      probe.audio_codec = stream["codec_name"].empty() ? "unknown" : stream["codec_name"];
    } else if (stream["codec_type"] == "video" && !found_video) {
      found_video = true;
      probe.width = std::atoi(stream["width"].c_str());
      probe.height = std::atoi(stream["height"].c_str());
      ParseRate(stream["r_frame_rate"], &probe.rate_numerator, &probe.rate_denominator);
      const std::string frames = stream["nb_frames"];
      if (!frames.empty() && frames != "N/A") probe.frame_count = std::atoll(frames.c_str());
    }
  }
  if (!found_video) throw ToolError(path + " has no video stream");
  return probe;
}

std::unique_ptr<FrameReader> OpenVideoReader(const std::string& path, const VideoProbe& probe,
                                             PixelFormat format,
                                             std::optional<int64_t> frame_limit) {
  RequireProgram("ffmpeg");
  StreamInfo info;
  info.layout = {format, probe.width, probe.height};
  CheckFrameLayout(info.layout);
  info.rate_numerator = probe.rate_numerator;
  info.rate_denominator = probe.rate_denominator;
  info.frame_count = probe.frame_count;
  return std::make_unique<VideoReader>(path, info, frame_limit);
}

std::unique_ptr<FrameWriter> OpenVideoWriter(const std::string& temporary_path,
                                             const std::string& final_path, const StreamInfo& info,
                                             const AudioSource& audio) {
  RequireProgram("ffmpeg");
  const FrameLayout& layout = info.layout;
  std::vector<std::string> arguments = QuietFfmpeg();
  for (const std::string& a :
       {std::string("-y"), std::string("-f"), std::string("rawvideo"), std::string("-pix_fmt"),
        PipeFormat(layout.format), std::string("-video_size"),
        std::to_string(layout.width) + "x" + std::to_string(layout.height),
        std::string("-framerate"),
        std::to_string(info.rate_numerator) + "/" + std::to_string(info.rate_denominator),
        std::string("-i"), std::string("-")})
    arguments.push_back(a);
  if (!audio.path.empty()) {
    for (const std::string& a : {std::string("-i"), audio.path, std::string("-map"),
                                 std::string("0:v:0"), std::string("-map"), std::string("1:a"),
                                 std::string("-c:a"), AudioEncoderFor(final_path, audio.codec)})
      arguments.push_back(a);
    if (audio.cut_to_video) arguments.push_back("-shortest");
  }
  for (const std::string& a : VideoEncoderOptions(final_path, layout.width, layout.height))
    arguments.push_back(a);
  arguments.push_back(temporary_path);
  FILE* pipe = platform::OpenPipe(arguments, "w");
  if (!pipe) throw ToolError("cannot start ffmpeg: " + std::string(std::strerror(errno)));
  return std::make_unique<VideoWriter>(final_path, pipe);
}
