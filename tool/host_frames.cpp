#include "host_frames.h"

#include <cstring>

#include "tool_error.h"

namespace {

// Planar frames are one block of luma-wide rows holding the three planes back to back,
// exactly as in the raw file. The filter refuses planar clips before asking for frames,
// so this only needs to be a faithful copy.
int HostRows(const FrameLayout& layout) {
  return layout.IsPlanar() ? layout.height + layout.height / 2 : layout.height;
}

int SourceRow(const FrameLayout& layout, int memory_row) {
  return layout.IsRgb() ? layout.height - 1 - memory_row : memory_row;
}

}  // namespace

PVideoFrame HostFrameFromPicture(ScriptEnvironment& env, const FrameLayout& layout,
                                 const Picture& picture) {
  const int row_bytes = int(layout.RowBytes());
  const int rows = HostRows(layout);
  PVideoFrame frame = layout.IsPlanar() ? env.NewFrame(row_bytes, rows, row_bytes, 1)
                                        : env.NewFrame(row_bytes, rows);
  BYTE* data = frame->GetWritePtr();
  const int pitch = frame->GetPitch();
  for (int row = 0; row < rows; ++row)
    std::memcpy(data + ptrdiff_t(row) * pitch,
                picture.data() + ptrdiff_t(SourceRow(layout, row)) * row_bytes, size_t(row_bytes));
  return frame;
}

void PictureFromHostFrame(const PVideoFrame& frame, const FrameLayout& layout, Picture* picture) {
  const int row_bytes = int(layout.RowBytes());
  const int rows = HostRows(layout);
  if (!frame || frame->GetRowSize() < row_bytes || frame->GetHeight() < rows)
    throw ToolError("the filter gave a frame smaller than its clip");
  picture->resize(size_t(layout.FrameBytes()));
  const BYTE* data = frame->GetReadPtr();
  const int pitch = frame->GetPitch();
  for (int row = 0; row < rows; ++row)
    std::memcpy(picture->data() + ptrdiff_t(SourceRow(layout, row)) * row_bytes,
                data + ptrdiff_t(row) * pitch, size_t(row_bytes));
}

namespace {

class PictureSourceAdapter : public FrameSource {
 public:
  explicit PictureSourceAdapter(std::unique_ptr<FrameReader> reader) : reader_(std::move(reader)) {}
  const StreamInfo& Info() const override { return reader_->Info(); }
  bool ReadFrame(ScriptEnvironment& env, PVideoFrame* frame, int64_t* time) override {
    if (!reader_->ReadFrame(&picture_)) return false;
    *frame = HostFrameFromPicture(env, reader_->Info().layout, picture_);
    *time = count_++;
    return true;
  }

 private:
  std::unique_ptr<FrameReader> reader_;
  Picture picture_;
  int64_t count_ = 0;
};

class PictureSinkAdapter : public FrameSink {
 public:
  PictureSinkAdapter(std::unique_ptr<FrameWriter> writer, const FrameLayout& layout)
      : writer_(std::move(writer)), layout_(layout) {}
  void WriteFrame(const PVideoFrame& frame, int64_t) override {
    PictureFromHostFrame(frame, layout_, &picture_);
    writer_->WriteFrame(picture_);
  }
  void Finish() override { writer_->Finish(); }

 private:
  std::unique_ptr<FrameWriter> writer_;
  FrameLayout layout_;
  Picture picture_;
};

}  // namespace

std::unique_ptr<FrameSource> PictureSource(std::unique_ptr<FrameReader> reader) {
  return std::make_unique<PictureSourceAdapter>(std::move(reader));
}

std::unique_ptr<FrameSink> PictureSink(std::unique_ptr<FrameWriter> writer,
                                       const FrameLayout& layout) {
  return std::make_unique<PictureSinkAdapter>(std::move(writer), layout);
}
