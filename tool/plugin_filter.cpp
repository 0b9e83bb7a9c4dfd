extern "C" {
#include <libavutil/imgutils.h>
}

#include <unistd.h>

#include <atomic>
#include <climits>
#include <map>
#include <mutex>

#include "frame_filter.h"
#include "platform.h"
#include "script_environment.h"
#include "tool_error.h"

namespace {

// The library beside the executable (as in the build folder) if it is there, else the one
// where `cmake --install` puts it relative to the installed command (as in a prefix or the
// unpacked archive); that second path, when neither exists, so the message names it.
std::string DefaultPluginPath() {
  const std::string folder = platform::ExecutableDirectory();
  if (folder.empty()) return KORVEL_PLUGIN_FILE_NAME;
  const std::string beside = folder + "/" + KORVEL_PLUGIN_FILE_NAME;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return folder + "/" KORVEL_INSTALLED_PLUGIN_PATH;
}

// The clip the plugin reads from: it serves the frames placed in it, to any thread.
class SourceClip : public IClip {
 public:
  explicit SourceClip(const VideoInfo& vi) : vi_(vi) {}

  void Put(int n, const PVideoFrame& frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_[n] = frame;
  }
  // Frame n is no longer needed.
  void Drop(int n) {
    PVideoFrame released;  // dropped after the lock, outside the critical section
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = frames_.find(n);
    if (found == frames_.end()) return;
    released = std::move(found->second);
    frames_.erase(found);
  }

  // Frame n as placed; asking for a frame not held is an error of the tool's scheduling.
  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override {
    PVideoFrame frame;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = frames_.find(n);
      if (found != frames_.end()) frame = found->second;
    }
    if (!frame) env->ThrowError("korvel: source frame %d is not available", n);
    return frame;
  }
  bool GetParity(int) override { return false; }
  // The tool carries audio outside the filters, so the clip has none to give.
  void GetAudio(void*, int64_t, int64_t, IScriptEnvironment*) override {}
  void SetCacheHints(int, int) override {}
  const VideoInfo& GetVideoInfo() override { return vi_; }

 private:
  const VideoInfo vi_;
  std::mutex mutex_;
  std::map<int, PVideoFrame> frames_;
};

VideoInfo ClipDescription(AVPixelFormat format, int width, int height, AVRational rate) {
  VideoInfo vi;
  vi.width = width;
  vi.height = height;
  vi.pixel_type = format == AV_PIX_FMT_BGR24 ? CS_BGR24 : CS_BGR32;
  vi.fps_numerator = unsigned(rate.num);
  vi.fps_denominator = unsigned(rate.den);
  // As long as a clip can be: it ends when the input does.
  vi.num_frames = INT_MAX;
  return vi;
}

// The host keeps RGB rows bottom-up, so frames are turned over on the way in and out.
class PluginFilter : public FrameFilter {
 public:
  PluginFilter(ScriptEnvironment& env, const Options& options, AVPixelFormat format, int width,
               int height, AVRational rate)
      : env_(env),
        format_(format),
        width_(width),
        height_(height),
        row_bytes_(size_t(width) * (format == AV_PIX_FMT_BGR24 ? 3 : 4)),
        source_(new SourceClip(ClipDescription(format, width, height, rate))),
        source_clip_(source_) {
    env.LoadPlugin(options.plugin.empty() ? DefaultPluginPath() : options.plugin);
    std::vector<NamedArgument> named;
    if (options.x) named.push_back({"x", *options.x});
    if (options.y) named.push_back({"y", *options.y});
    if (options.blur) named.push_back({"blur", options.blur->c_str()});
    filter_ = env.Call("Korvel", {source_clip_}, named).AsClip();
    if (!filter_) throw ToolError("Korvel gave no clip");
  }

  AvFramePtr Apply(AvFramePtr frame) override {
    if (frame->format != format_ || frame->width != width_ || frame->height != height_)
      throw ToolError("a frame changed its format or size on its way to the filter");
    const int n = next_++;
    PVideoFrame host = env_.NewFrame(int(row_bytes_), height_);
    BYTE* base = host->GetWritePtr();
    // Turned over: the last row of the host's frame is the first of the picture.
    av_image_copy_plane(base + ptrdiff_t(height_ - 1) * host->GetPitch(), -host->GetPitch(),
                        frame->data[0], frame->linesize[0], int(row_bytes_), height_);
    source_->Put(n, host);
    host = nullptr;
    PVideoFrame result;
    try {
      result = filter_->GetFrame(n, &env_);
    } catch (...) {
      source_->Drop(n);
      throw;
    }
    source_->Drop(n);
    if (!result || result->GetRowSize() < int(row_bytes_) || result->GetHeight() < height_)
      throw ToolError("the filter gave a frame smaller than its clip");
    AvFramePtr blurred = NewVideoFrame(format_, width_, height_);
    if (av_frame_copy_props(blurred.get(), frame.get()) < 0) throw std::bad_alloc();
    const BYTE* data = result->GetReadPtr();
    av_image_copy_plane(blurred->data[0], blurred->linesize[0],
                        data + ptrdiff_t(height_ - 1) * result->GetPitch(), -result->GetPitch(),
                        int(row_bytes_), height_);
    return blurred;
  }

 private:
  ScriptEnvironment& env_;
  AVPixelFormat format_;
  int width_, height_;
  size_t row_bytes_;
  SourceClip* source_;  // owned by source_clip_
  PClip source_clip_;
  PClip filter_;
  std::atomic<int> next_{0};  // the number the source clip gives the next frame
};

}  // namespace

std::unique_ptr<FrameFilter> MakePluginFilter(ScriptEnvironment& env, const Options& options,
                                              AVPixelFormat format, int width, int height,
                                              AVRational rate) {
  return std::make_unique<PluginFilter>(env, options, format, width, height, rate);
}
