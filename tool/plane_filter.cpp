extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cstdio>

#include "extent_checks.h"
#include "frame_filter.h"
#include "frame_formats.h"
#include "plane_blurs.h"
#include "tool_error.h"

namespace {

constexpr int kDefaultExtent = 5;
constexpr const char* kDefaultBlur = "line";

class PlaneFilter : public FrameFilter {
 public:
  PlaneFilter(const Options& options, AVPixelFormat format, int width, int height)
      : format_(format), width_(width), height_(height) {
    const std::string blur = options.blur.value_or(kDefaultBlur);
    const int x = options.x.value_or(kDefaultExtent), y = options.y.value_or(kDefaultExtent);
    int bound = 0;
    if (const char* refusal = ExtentRefusal(blur.c_str(), x, y, width, height, &bound)) {
      char message[160];
      std::snprintf(message, sizeof message, refusal, bound);
      throw ToolError(message);
    }
    const AVPixFmtDescriptor& d = *av_pix_fmt_desc_get(format);
    const SampleFormat samples = PlaneSamples(format);
    PlaneList planes(av_pix_fmt_count_planes(format));
    planes.ListAll();
    PlaneSubsampling subsampling[kMostPlanes] = {};
    for (int p = 0; p < planes.PlaneCount(); ++p) {
      // The second and third planes are the subsampled ones, as in VapourSynth's formats.
      if (p == 1 || p == 2) subsampling[p] = {d.log2_chroma_w, d.log2_chroma_h};
      plane_widths_[p] = AV_CEIL_RSHIFT(width, subsampling[p].log2_w);
      plane_heights_[p] = AV_CEIL_RSHIFT(height, subsampling[p].log2_h);
      // Rows start on 64-byte lines, as FFmpeg's own frames do.
      strides_[p] = int(FFALIGN(int64_t(plane_widths_[p]) * samples.SampleBytes(), 64));
      pools_[p] = Allocated<Pool>(
          av_buffer_pool_init(size_t(strides_[p]) * size_t(plane_heights_[p]) + 64, nullptr));
    }
    if (!blurs_.Make(ShapeOf(blur.c_str()), x, y, width, height, planes, subsampling, samples))
      throw std::bad_alloc();
    plane_count_ = planes.PlaneCount();
  }

  AvFramePtr Apply(AvFramePtr frame) override {
    if (frame->format != format_ || frame->width != width_ || frame->height != height_)
      throw ToolError("a frame changed its format or size on its way to the filter");
    AvFramePtr blurred = NewBlurredFrame();
    if (av_frame_copy_props(blurred.get(), frame.get()) < 0) throw std::bad_alloc();
    const int sample_bytes = PlaneSamples(format_).SampleBytes();
    for (int p = 0; p < plane_count_; ++p) {
      if (!blurs_[p].averaged) {
        av_image_copy_plane(blurred->data[p], blurred->linesize[p], frame->data[p],
                            frame->linesize[p], plane_widths_[p] * sample_bytes, plane_heights_[p]);
        continue;
      }
      const AverageResult result =
          BlurPlane(blurs_[p], frame->data[p], frame->linesize[p], blurred->data[p],
                    blurred->linesize[p], plane_widths_[p], plane_heights_[p]);
      if (result == AverageResult::kOutOfMemory) throw std::bad_alloc();
      if (result != AverageResult::kDone) throw ToolError("Korvel: computing error");
    }
    return blurred;
  }

 private:
  // A frame for the result, its planes from pools of buffers that frames given back refill:
  // fresh memory for every frame costs the system its pages again each time.
  AvFramePtr NewBlurredFrame() {
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

  AVPixelFormat format_;
  int width_, height_;
  int plane_count_ = 0;
  PlaneBlurs blurs_;
  int plane_widths_[kMostPlanes] = {}, plane_heights_[kMostPlanes] = {};
  int strides_[kMostPlanes] = {};
  using Pool = std::unique_ptr<AVBufferPool, AvFree<av_buffer_pool_uninit>>;
  Pool pools_[kMostPlanes];
};

}  // namespace

std::unique_ptr<FrameFilter> MakePlaneFilter(const Options& options, AVPixelFormat format,
                                             int width, int height) {
  return std::make_unique<PlaneFilter>(options, format, width, height);
}
