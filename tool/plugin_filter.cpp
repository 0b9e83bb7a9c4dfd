#include "plugin_filter.h"

#include <climits>
#include <cstring>

#include "plugin_location.h"
#include "tool_error.h"

namespace {

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

}  // namespace

PluginFilter::PluginFilter(ScriptEnvironment& env, const Options& options, AVPixelFormat format,
                           int width, int height, AVRational rate)
    : env_(env),
      format_(format),
      width_(width),
      height_(height),
      pixel_bytes_(format == AV_PIX_FMT_BGR24 ? 3 : 4),
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

AvFramePtr PluginFilter::Apply(AvFramePtr frame) {
  if (frame->format != format_ || frame->width != width_ || frame->height != height_)
    throw ToolError("a frame changed its format or size on its way to the filter");
  const int n = next_++;
  const size_t row_bytes = size_t(width_) * size_t(pixel_bytes_);
  PVideoFrame host = env_.NewFrame(int(row_bytes), height_);
  BYTE* base = host->GetWritePtr();
  for (int row = 0; row < height_; ++row)
    std::memcpy(base + ptrdiff_t(height_ - 1 - row) * host->GetPitch(),
                frame->data[0] + ptrdiff_t(row) * frame->linesize[0], row_bytes);
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
  if (!result || result->GetRowSize() < int(row_bytes) || result->GetHeight() < height_)
    throw ToolError("the filter gave a frame smaller than its clip");
  AvFramePtr blurred = NewVideoFrame(format_, width_, height_);
  if (av_frame_copy_props(blurred.get(), frame.get()) < 0) throw std::bad_alloc();
  const BYTE* data = result->GetReadPtr();
  for (int row = 0; row < height_; ++row)
    std::memcpy(blurred->data[0] + ptrdiff_t(row) * blurred->linesize[0],
                data + ptrdiff_t(height_ - 1 - row) * result->GetPitch(), row_bytes);
  return blurred;
}
