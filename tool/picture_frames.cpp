#include "picture_frames.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool_error.h"

AVPixelFormat AvFormatOf(PixelFormat format) {
  switch (format) {
    case PixelFormat::kRgb24: return AV_PIX_FMT_BGR24;
    case PixelFormat::kRgb32: return AV_PIX_FMT_BGRA;
    case PixelFormat::kYuy2: return AV_PIX_FMT_YUYV422;
    case PixelFormat::kYv12:
    case PixelFormat::kI420: return AV_PIX_FMT_YUV420P;
  }
  return AV_PIX_FMT_NONE;
}

void ForEachFileRow(const FrameLayout& layout, AVFrame* frame,
                    const std::function<void(uint8_t* row, size_t bytes)>& row) {
  for (int p = 0; p < (layout.IsPlanar() ? 3 : 1); ++p) {
    const int plane = layout.format == PixelFormat::kYv12 && p > 0 ? 3 - p : p;
    const size_t bytes = size_t(p == 0 ? layout.RowBytes() : layout.width / 2);
    for (int y = 0; y < (p == 0 ? layout.height : layout.height / 2); ++y)
      row(frame->data[plane] + ptrdiff_t(y) * frame->linesize[plane], bytes);
  }
}

namespace {

class Pictures : public MediaSource {
 public:
  Pictures(const std::string& name, InputKind kind, const FrameLayout& layout, int64_t count,
           std::function<AvFramePtr()> next)
      : next_(std::move(next)) {
    description_.name = name;
    description_.kind = kind;
    StreamDescription stream;
    stream.parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    description_.streams.push_back(std::move(stream));
    VideoDescription& video = description_.video;
    video.format = AvFormatOf(layout.format);
    video.width = layout.width;
    video.height = layout.height;
    video.time_base = av_inv_q(video.frame_rate);
    video.frame_count = count;
    video.raw_format = layout.format;
  }
  const InputDescription& Description() const override { return description_; }
  bool Read(SourceItem* item) override {
    item->frame = next_();
    if (!item->frame) return false;
    item->stream = 0;
    item->packet.reset();
    item->frame->pts = count_++;
    return true;
  }

 private:
  std::function<AvFramePtr()> next_;
  InputDescription description_;
  int64_t count_ = 0;
};

}  // namespace

std::unique_ptr<MediaSource> PictureSource(const std::string& name, InputKind kind,
                                           const FrameLayout& layout, int64_t count,
                                           std::function<AvFramePtr()> next) {
  return std::make_unique<Pictures>(name, kind, layout, count, std::move(next));
}

void CheckFrameFits(const AVFrame* frame, const FrameLayout& layout) {
  if (frame->format != AvFormatOf(layout.format) || frame->width != layout.width ||
      frame->height != layout.height)
    throw ToolError("a frame does not have the size and format of the output");
}

FILE* OutputStream(int descriptor, const std::string& name) {
  const int copy = dup(descriptor);
  FILE* file = copy < 0 ? nullptr : fdopen(copy, "wb");
  if (!file && copy >= 0) close(copy);
  if (!file) throw ToolError("cannot write " + name + ": " + std::strerror(errno));
  return file;
}
