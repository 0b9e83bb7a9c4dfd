#include "picture_frames.h"

#include <cstring>

#include "tool_error.h"

namespace {

struct PlaneBytes {
  int row_bytes, rows;
};

// The planes of a raw frame in the order the file holds them, with the frame's plane
// each one is: YV12 keeps V before U.
int PlaneCount(const FrameLayout& layout) { return layout.IsPlanar() ? 3 : 1; }

PlaneBytes PlaneSize(const FrameLayout& layout, int plane) {
  if (plane == 0) return {int(layout.RowBytes()), layout.height};
  return {layout.width / 2, layout.height / 2};
}

int FramePlane(const FrameLayout& layout, int file_plane) {
  if (layout.format == PixelFormat::kYv12 && file_plane > 0) return 3 - file_plane;
  return file_plane;
}

}  // namespace

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

AvFramePtr FrameFromPicture(const FrameLayout& layout, const Picture& picture) {
  AvFramePtr frame = NewVideoFrame(AvFormatOf(layout.format), layout.width, layout.height);
  const uint8_t* in = picture.data();
  for (int p = 0; p < PlaneCount(layout); ++p) {
    const PlaneBytes size = PlaneSize(layout, p);
    const int plane = FramePlane(layout, p);
    for (int row = 0; row < size.rows; ++row, in += size.row_bytes)
      std::memcpy(frame->data[plane] + ptrdiff_t(row) * frame->linesize[plane], in,
                  size_t(size.row_bytes));
  }
  return frame;
}

namespace {

void PictureFromFrame(const AVFrame* frame, const FrameLayout& layout, Picture* picture) {
  if (frame->format != AvFormatOf(layout.format) || frame->width != layout.width ||
      frame->height != layout.height)
    throw ToolError("a frame does not have the size and format of the output");
  picture->resize(size_t(layout.FrameBytes()));
  uint8_t* out = picture->data();
  for (int p = 0; p < PlaneCount(layout); ++p) {
    const PlaneBytes size = PlaneSize(layout, p);
    const int plane = FramePlane(layout, p);
    for (int row = 0; row < size.rows; ++row, out += size.row_bytes)
      std::memcpy(out, frame->data[plane] + ptrdiff_t(row) * frame->linesize[plane],
                  size_t(size.row_bytes));
  }
}

class PictureSourceAdapter : public MediaSource {
 public:
  PictureSourceAdapter(std::unique_ptr<FrameReader> reader, InputKind kind,
                       const std::string& name)
      : reader_(std::move(reader)) {
    const StreamInfo& info = reader_->Info();
    description_.name = name;
    description_.kind = kind;
    StreamDescription stream;
    stream.type = AVMEDIA_TYPE_VIDEO;
    stream.time_base = {int(info.rate_denominator), int(info.rate_numerator)};
    description_.streams.push_back(std::move(stream));
    VideoDescription& video = description_.video;
    video.format = AvFormatOf(info.layout.format);
    video.width = info.layout.width;
    video.height = info.layout.height;
    video.frame_rate = {int(info.rate_numerator), int(info.rate_denominator)};
    video.time_base = av_inv_q(video.frame_rate);
    video.frame_count = info.frame_count;
    // Pictures are RGB, full range; raw RGB32 carries an alpha the user gave.
    video.range = AVCOL_RANGE_JPEG;
    video.raw_format = info.layout.format;
  }
  const InputDescription& Description() const override { return description_; }
  bool Read(SourceItem* item) override {
    if (!reader_->ReadFrame(&picture_)) return false;
    item->stream = 0;
    item->packet.reset();
    item->frame = FrameFromPicture(reader_->Info().layout, picture_);
    item->frame->pts = count_++;
    return true;
  }

 private:
  std::unique_ptr<FrameReader> reader_;
  InputDescription description_;
  Picture picture_;
  int64_t count_ = 0;
};

class PictureSinkAdapter : public MediaSink {
 public:
  PictureSinkAdapter(std::unique_ptr<FrameWriter> writer, const FrameLayout& layout)
      : writer_(std::move(writer)), layout_(layout) {}
  void WriteFrame(AVFrame* frame) override {
    PictureFromFrame(frame, layout_, &picture_);
    writer_->WriteFrame(picture_);
  }
  void WritePacket(int, AVPacket*) override {}
  void Finish() override { writer_->Finish(); }

 private:
  std::unique_ptr<FrameWriter> writer_;
  FrameLayout layout_;
  Picture picture_;
};

}  // namespace

std::unique_ptr<MediaSource> PictureSource(std::unique_ptr<FrameReader> reader, InputKind kind,
                                           const std::string& name) {
  return std::make_unique<PictureSourceAdapter>(std::move(reader), kind, name);
}

std::unique_ptr<MediaSink> PictureSink(std::unique_ptr<FrameWriter> writer,
                                       const FrameLayout& layout) {
  return std::make_unique<PictureSinkAdapter>(std::move(writer), layout);
}
