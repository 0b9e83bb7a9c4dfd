#include "decoded_frames.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <new>

#include "av_support.h"
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
      pixel_bytes_(format == PixelFormat::kRgb24 ? 3 : 4) {}

DecodedFrameConverter::~DecodedFrameConverter() {
  sws_freeContext(context_);
  av_freep(&turned_[0]);
}

PVideoFrame DecodedFrameConverter::Convert(ScriptEnvironment& env, const AVFrame* frame) {
  Prepare(frame);
  const bool sideways = turn_ == 90 || turn_ == 270;
  const int row_bytes = (sideways ? height_ : width_) * pixel_bytes_;
  PVideoFrame out = env.NewFrame(row_bytes, sideways ? width_ : height_);
  BYTE* base = out->GetWritePtr();
  const int pitch = out->GetPitch();
  if (turn_ == 0) {
    // The host's rows run bottom-up: the picture's top row goes last in memory.
    uint8_t* rows[4] = {base + ptrdiff_t(height_ - 1) * pitch, nullptr, nullptr, nullptr};
    const int strides[4] = {-pitch, 0, 0, 0};
    sws_scale(context_, frame->data, frame->linesize, 0, frame->height, rows, strides);
    return out;
  }
  sws_scale(context_, frame->data, frame->linesize, 0, frame->height, turned_, turned_strides_);
  Turn(base, pitch);
  return out;
}

void DecodedFrameConverter::Prepare(const AVFrame* frame) {
  SwsContext* context =
      sws_getCachedContext(context_, frame->width, frame->height, AVPixelFormat(frame->format),
                           width_, height_, format_, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!context) throw ToolError("cannot convert the decoded frames to RGB");
  const bool full = FullRange(frame);
  if (context != context_ || frame->colorspace != colorspace_ || full != full_range_) {
    sws_setColorspaceDetails(context, MatrixCoefficients(frame->colorspace), full ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    colorspace_ = frame->colorspace;
    full_range_ = full;
  }
  context_ = context;
  if (turn_ != 0 && !turned_[0] &&
      av_image_alloc(turned_, turned_strides_, width_, height_, format_, 64) < 0)
    throw std::bad_alloc();
}

// From the converted picture (top-down) into the host frame (bottom-up), turned clockwise
// by turn_ degrees.
void DecodedFrameConverter::Turn(BYTE* base, int pitch) const {
  const int out_width = turn_ == 180 ? width_ : height_;
  const int out_height = turn_ == 180 ? height_ : width_;
  for (int row = 0; row < out_height; ++row) {
    BYTE* out = base + ptrdiff_t(out_height - 1 - row) * pitch;
    for (int column = 0; column < out_width; ++column) {
      int source_row = 0, source_column = 0;
      if (turn_ == 90) {
        source_row = height_ - 1 - column;
        source_column = row;
      } else if (turn_ == 180) {
        source_row = height_ - 1 - row;
        source_column = width_ - 1 - column;
      } else {
        source_row = column;
        source_column = width_ - 1 - row;
      }
      std::memcpy(
          out + column * pixel_bytes_,
          turned_[0] + ptrdiff_t(source_row) * turned_strides_[0] + source_column * pixel_bytes_,
          size_t(pixel_bytes_));
    }
  }
}
