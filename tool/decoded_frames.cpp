#include "decoded_frames.h"

#include <cstring>
#include <new>

#include "tool_error.h"

namespace {

bool FullRange(const AVFrame* frame) {
  switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P: return true;
    default: return frame->color_range == AVCOL_RANGE_JPEG;
  }
}

}  // namespace

// The plugin refuses other formats than rgb24 and rgb32 before any frame is asked for.
DecodedFrameConverter::DecodedFrameConverter(int width, int height, PixelFormat format, int turn)
    : width_(width),
      height_(height),
      format_(format == PixelFormat::kRgb24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA),
      turn_(turn),
      pixel_bytes_(format == PixelFormat::kRgb24 ? 3 : 4) {
  if (turn == 0) return;
  turned_ = NewFrame();
  turned_->format = format_;
  turned_->width = width;
  turned_->height = height;
  if (av_frame_get_buffer(turned_.get(), 0) < 0) throw std::bad_alloc();
}

PVideoFrame DecodedFrameConverter::Convert(ScriptEnvironment& env, const AVFrame* frame) {
  Prepare(frame);
  const bool sideways = turn_ == 90 || turn_ == 270;
  PVideoFrame out =
      env.NewFrame((sideways ? height_ : width_) * pixel_bytes_, sideways ? width_ : height_);
  BYTE* base = out->GetWritePtr();
  const int pitch = out->GetPitch();
  if (turn_ != 0) {
    sws_scale(context_.get(), frame->data, frame->linesize, 0, frame->height, turned_->data,
              turned_->linesize);
    Turn(base, pitch);
    return out;
  }
  // The host's rows run bottom-up: the picture's top row goes last in memory.
  uint8_t* rows[4] = {base + ptrdiff_t(height_ - 1) * pitch};
  const int strides[4] = {-pitch};
  sws_scale(context_.get(), frame->data, frame->linesize, 0, frame->height, rows, strides);
  return out;
}

void DecodedFrameConverter::Prepare(const AVFrame* frame) {
  SwsContext* const previous = context_.get();
  context_.reset(sws_getCachedContext(context_.release(), frame->width, frame->height,
                                      AVPixelFormat(frame->format), width_, height_, format_,
                                      SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!context_) throw ToolError("cannot convert the decoded frames to RGB");
  const bool full = FullRange(frame);
  if (context_.get() == previous && frame->colorspace == colorspace_ && full == full_range_) return;
  sws_setColorspaceDetails(context_.get(), MatrixCoefficients(frame->colorspace), full ? 1 : 0,
                           sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
  colorspace_ = frame->colorspace;
  full_range_ = full;
}

// From the converted picture (top-down) into the host frame (bottom-up), turned clockwise
// by turn_ degrees.
void DecodedFrameConverter::Turn(BYTE* base, int pitch) const {
  const int out_width = turn_ == 180 ? width_ : height_;
  const int out_height = turn_ == 180 ? height_ : width_;
  for (int row = 0; row < out_height; ++row) {
    BYTE* out = base + ptrdiff_t(out_height - 1 - row) * pitch;
    for (int column = 0; column < out_width; ++column) {
      const int source_row = turn_ == 270 ? column : height_ - 1 - (turn_ == 90 ? column : row);
      const int source_column = turn_ == 90 ? row : width_ - 1 - (turn_ == 180 ? column : row);
      std::memcpy(out + column * pixel_bytes_,
                  turned_->data[0] + ptrdiff_t(source_row) * turned_->linesize[0] +
                      source_column * pixel_bytes_,
                  size_t(pixel_bytes_));
    }
  }
}
