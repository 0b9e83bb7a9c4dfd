#include "ffmpeg_pipes.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "encoder_settings.h"
#include "ffmpeg_programs.h"
#include "matroska_frames.h"
#include "platform.h"
#include "tool_error.h"

namespace {

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

std::string Ratio(unsigned numerator, unsigned denominator) {
  return std::to_string(numerator) + "/" + std::to_string(denominator);
}

// Frame n's time in nanoseconds: its own where the input gave one, else one frame period
// after the frame before.
int64_t FrameNanoseconds(const StreamInfo& info, int64_t n) {
  const long double tick = 1e9L * info.time_base_numerator / info.time_base_denominator;
  const long double period = 1e9L * info.rate_denominator / info.rate_numerator;
  const int64_t known = int64_t(info.frame_times.size());
  if (n < known) return std::llround(tick * info.frame_times[size_t(n)]);
  const long double last = known > 0 ? tick * info.frame_times.back() : -period;
  return std::llround(last + period * (n - known + 1));
}

class VideoReader : public FrameReader {
 public:
  VideoReader(const std::string& path, const StreamInfo& info, std::optional<int64_t> frame_limit)
      : path_(path), info_(info), frame_limit_(frame_limit) {}
  ~VideoReader() override {
    if (pipe_) platform::StopProgram(pipe_);
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
    if (filled == frame_bytes) {
      ++frames_read_;
      return true;
    }
    finished_ = true;
    std::string messages;
    const int status = platform::ClosePipe(pipe_, &messages);
    pipe_ = nullptr;
    PassOn(messages);
    if (status != 0)
      throw ToolError("cannot decode " + path_ + ": " + ExitReason("ffmpeg", status));
    if (filled != 0) throw ToolError("cannot decode " + path_ + ": ffmpeg gave a partial frame");
    // A damaged file can end early with no complaint in the exit status.
    int64_t expected = info_.frame_count;
    if (frame_limit_ && expected > *frame_limit_) expected = *frame_limit_;
    if (frames_read_ < expected)
      throw ToolError("cannot decode " + path_ + ": it ended after " +
                      std::to_string(frames_read_) + " of its " + std::to_string(expected) +
                      " frames; ffmpeg's message, if any, is above");
    return false;
  }

 private:
  void Start() {
    std::vector<std::string> arguments = QuietFfmpeg();
    for (const std::string& a :
         {std::string("-i"), FileUrl(path_), std::string("-map"), std::string("0:v:0")})
      arguments.push_back(a);
    if (frame_limit_) {
      arguments.push_back("-frames:v");
      arguments.push_back(std::to_string(*frame_limit_));
    }
    // Every decoded frame once: no frames dropped or repeated to fit a rate. ffmpeg scales
    // frames of a size changed mid-stream back to the first one's, the probed size.
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
  int64_t frames_read_ = 0;
  bool finished_ = false;
};

class VideoWriter : public FrameWriter {
 public:
  VideoWriter(const std::string& temporary_path, const std::string& final_path,
              const StreamInfo& info, FILE* pipe)
      : temporary_path_(temporary_path), final_path_(final_path), info_(info), pipe_(pipe) {
    Write(MatroskaStart(info_.layout,
                        std::llround(1e9L * info_.rate_denominator / info_.rate_numerator)));
  }
  ~VideoWriter() override {
    if (pipe_) platform::StopProgram(pipe_);
  }
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  void WriteFrame(const Picture& picture) override {
    Write(MatroskaFrameStart(FrameNanoseconds(info_, frames_), int64_t(picture.size())));
    if (std::fwrite(picture.data(), 1, picture.size(), pipe_) != picture.size()) Fail();
    ++frames_;
  }
  void Finish() override {
    if (std::fflush(pipe_) != 0) Fail();
    std::string messages;
    const int status = platform::ClosePipe(pipe_, &messages);
    pipe_ = nullptr;
    PassOn(messages);
    if (status != 0)
      throw ToolError("cannot write " + final_path_ + ": " + ExitReason("ffmpeg", status));
    // A full disk can show only as a message, with exit status 0.
    if (!messages.empty())
      throw ToolError("cannot write " + final_path_ + ": ffmpeg reported an error, above");
    CheckWrittenVideo(temporary_path_, final_path_, frames_);
  }

 private:
  void Write(const std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), pipe_) != bytes.size()) Fail();
  }

  // A write fails when ffmpeg has gone; its exit status tells more than the broken pipe.
  [[noreturn]] void Fail() {
    std::string messages;
    const int status = platform::ClosePipe(pipe_, &messages);
    pipe_ = nullptr;
    PassOn(messages);
    throw ToolError("cannot write " + final_path_ + ": " + ExitReason("ffmpeg", status));
  }

  std::string temporary_path_;
  std::string final_path_;
  StreamInfo info_;
  FILE* pipe_;
  int64_t frames_ = 0;
};

}  // namespace

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
  info.frame_times = probe.frame_times;
  info.time_base_numerator = probe.time_base_numerator;
  info.time_base_denominator = probe.time_base_denominator;
  return std::make_unique<VideoReader>(path, info, frame_limit);
}

std::unique_ptr<FrameWriter> OpenVideoWriter(const std::string& temporary_path,
                                             const std::string& final_path,
                                             const StreamInfo& input_info,
                                             const AudioSource& audio) {
  RequireProgram("ffmpeg");
  StreamInfo info = input_info;
  if (!StoresFrameTimes(final_path)) {
    info.frame_times.clear();
    info.time_base_numerator = info.rate_denominator;
    info.time_base_denominator = info.rate_numerator;
  }
  const FrameLayout& layout = info.layout;
  // A pipe has no name for ffmpeg to tell the stream's format by.
  std::vector<std::string> arguments = QuietFfmpeg();
  for (const char* a : {"-y", "-f", "matroska", "-i", "-"}) arguments.push_back(a);
  if (!audio.path.empty()) {
    for (const std::string& a : {std::string("-i"), FileUrl(audio.path), std::string("-map"),
                                 std::string("0:v:0"), std::string("-map"), std::string("1:a"),
                                 std::string("-c:a"), AudioEncoderFor(final_path, audio.codec)})
      arguments.push_back(a);
    if (audio.cut_to_video) arguments.push_back("-shortest");
  }
  // Each frame keeps its time, counted in the input's own units so that none is rounded.
  for (const std::string& a :
       {std::string("-fps_mode"), std::string("passthrough"), std::string("-enc_time_base"),
        Ratio(info.time_base_numerator, info.time_base_denominator)})
    arguments.push_back(a);
  for (const std::string& a : VideoEncoderOptions(final_path, layout.width, layout.height))
    arguments.push_back(a);
  arguments.push_back(FileUrl(temporary_path));
  FILE* pipe = platform::OpenPipe(arguments, "w");
  if (!pipe) throw ToolError("cannot start ffmpeg: " + std::string(std::strerror(errno)));
  return std::make_unique<VideoWriter>(temporary_path, final_path, info, pipe);
}
