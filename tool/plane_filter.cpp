#include "plane_filter.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cstdio>

#include "extent_checks.h"
#include "frame_formats.h"
#include "tool_error.h"

namespace {

constexpr int kDefaultExtent = 5;
constexpr const char* kDefaultBlur = "line";

}  // namespace

PlaneFilter::PlaneFilter(const Options& options, AVPixelFormat format, int width, int height)
    : format_(format), width_(width), height_(height) {
  const std::string blur = options.blur.value_or(kDefaultBlur);
  const int x = options.x.value_or(kDefaultExtent), y = options.y.value_or(kDefaultExtent);
  int bound = 0;
  if (const char* refusal = ExtentRefusal(blur.c_str(), x, y, width, height, &bound)) {
    char message[160];
    std::snprintf(message, sizeof message, refusal, bound);
    throw ToolError(message);
  }
  const Shape shape = ShapeOf(blur.c_str());
  const AVPixFmtDescriptor& d = *av_pix_fmt_desc_get(format);
  const SampleFormat samples = PlaneSamples(format);
  plane_count_ = av_pix_fmt_count_planes(format);
  for (int p = 0; p < plane_count_; ++p) {
    // The second and third planes are the subsampled ones, as in VapourSynth's formats.
    const bool chroma = p == 1 || p == 2;
    const int log2_w = chroma ? d.log2_chroma_w : 0, log2_h = chroma ? d.log2_chroma_h : 0;
    PlaneBlur& plane = planes_[p];
    plane = PlaneBlurOf(shape, x, y, log2_w, log2_h);
    plane_widths_[p] = AV_CEIL_RSHIFT(width, log2_w);
    plane_heights_[p] = AV_CEIL_RSHIFT(height, log2_h);
    // Rows start on 64-byte lines, as FFmpeg's own frames do.
    strides_[p] = int(FFALIGN(int64_t(plane_widths_[p]) * samples.SampleBytes(), 64));
    pools_[p].reset(av_buffer_pool_init(size_t(strides_[p]) * size_t(plane_heights_[p]) + 64,
                                        nullptr));
    if (!pools_[p]) throw std::bad_alloc();
    plane.averaged = AveragingChangesPlane(plane, shape, plane_widths_[p], plane_heights_[p]);
    if (!plane.averaged) continue;
    for (int q = 0; q < p && !plane.engine; ++q)
      if (planes_[q].averaged && planes_[q].x == plane.x && planes_[q].y == plane.y)
        plane.engine = planes_[q].engine;
    if (plane.engine) continue;
    // The first plane is the widest, and bounds every row.
    plane.engine =
        BlurEngine::Create(shape, plane.x, plane.y, samples, int64_t(width) * samples.SampleBytes());
    if (!plane.engine) throw std::bad_alloc();
    engines_.push_back(plane.engine);
  }
}

PlaneFilter::~PlaneFilter() {
  for (BlurEngine* engine : engines_) delete engine;
}

AvFramePtr PlaneFilter::Apply(AvFramePtr frame) {
  if (frame->format != format_ || frame->width != width_ || frame->height != height_)
    throw ToolError("a frame changed its format or size on its way to the filter");
  AvFramePtr blurred = NewBlurredFrame();
  if (av_frame_copy_props(blurred.get(), frame.get()) < 0) throw std::bad_alloc();
  const int sample_bytes = PlaneSamples(format_).SampleBytes();
  for (int p = 0; p < plane_count_; ++p) {
    const PlaneBlur& plane = planes_[p];
    if (!plane.averaged) {
      av_image_copy_plane(blurred->data[p], blurred->linesize[p], frame->data[p],
                          frame->linesize[p], plane_widths_[p] * sample_bytes, plane_heights_[p]);
      continue;
    }
    const AverageResult result =
        BlurPlane(plane, frame->data[p], frame->linesize[p], blurred->data[p],
                  blurred->linesize[p], plane_widths_[p], plane_heights_[p]);
    if (result == AverageResult::kOutOfMemory) throw std::bad_alloc();
    if (result != AverageResult::kDone) throw ToolError("Korvel: computing error");
  }
  return blurred;
}

AvFramePtr PlaneFilter::NewBlurredFrame() {
  AvFramePtr frame = NewFrame();
  frame->format = format_;
  frame->width = width_;
  frame->height = height_;
  for (int p = 0; p < plane_count_; ++p) {
    frame->buf[p] = av_buffer_pool_get(pools_[p].get());
    if (!frame->buf[p]) throw std::bad_alloc();
    frame->data[p] = frame->buf[p]->data;
    frame->linesize[p] = strides_[p];
  }
  frame->extended_data = frame->data;
  return frame;
}
