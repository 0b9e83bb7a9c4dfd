#include "frame_shaper.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "frame_formats.h"
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

FrameShaper::FrameShaper(const StreamPlan& plan)
    : turn_(plan.turn),
      unturned_format_(plan.turn ? TurnedFormat(plan.frame_format, plan.turn) : plan.frame_format),
      format_(plan.frame_format),
      width_(plan.input->video.width),
      height_(plan.input->video.height) {}

AvFramePtr FrameShaper::Shape(AvFramePtr frame) {
  if (frame->format != unturned_format_ || frame->width != width_ || frame->height != height_)
    frame = Convert(frame.get());
  if (turn_ != 0) frame = TurnFrame(frame.get(), turn_, format_);
  return frame;
}

AvFramePtr FrameShaper::Convert(const AVFrame* frame) {
  SwsContext* const previous = context_.get();
  context_.reset(sws_getCachedContext(context_.release(), frame->width, frame->height,
                                      AVPixelFormat(frame->format), width_, height_,
                                      unturned_format_, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!context_) throw ToolError("cannot convert the decoded frames for the filter");
  const bool full = FullRange(frame);
  if (context_.get() != previous || frame->colorspace != colorspace_ || full != full_range_) {
    // Into RGB, which is full range; between YUV formats, the matrix and range stay.
    const AVPixFmtDescriptor* target = av_pix_fmt_desc_get(unturned_format_);
    const bool rgb = target->flags & AV_PIX_FMT_FLAG_RGB;
    const int* matrix = MatrixCoefficients(frame->colorspace);
    sws_setColorspaceDetails(context_.get(), matrix, full ? 1 : 0,
                             rgb ? sws_getCoefficients(SWS_CS_DEFAULT) : matrix,
                             rgb || full ? 1 : 0, 0, 1 << 16, 1 << 16);
    colorspace_ = frame->colorspace;
    full_range_ = full;
  }
  AvFramePtr converted = NewVideoFrame(unturned_format_, width_, height_);
  if (av_frame_copy_props(converted.get(), frame) < 0) throw std::bad_alloc();
  sws_scale(context_.get(), frame->data, frame->linesize, 0, frame->height, converted->data,
            converted->linesize);
  return converted;
}
