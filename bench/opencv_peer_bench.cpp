// The peers, single-threaded: OpenCV's box filter for "rect", and its general 2-D filter
// with a normalised kernel of the filter's own samples for "focus" and "line".
#include <algorithm>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "filter_table.h"
#include "per_frame.h"

namespace {

cv::Mat RandomPicture(const FrameSize& size, const PixelFormat& format) {
  cv::Mat picture(size.height, size.width, format.bytes_per_pixel == 3 ? CV_8UC3 : CV_8UC4);
  FillRandom(picture.data, FrameBytes(size, format));
  return picture;
}

// Weight 1/N at each sample, centred on the pixel computed; filter2D correlates, so a
// sample u rows down and v pixels right sits at (Y + u, X + v).
cv::Mat SampleKernel(const BlurCase& blur_case) {
  const std::vector<SampleStep> steps = FilterSampleSteps(blur_case);
  int margin_x = 0, margin_y = 0;
  for (const SampleStep& step : steps) {
    margin_x = std::max(margin_x, std::abs(step.column));
    margin_y = std::max(margin_y, std::abs(step.row));
  }
  cv::Mat kernel = cv::Mat::zeros(2 * margin_y + 1, 2 * margin_x + 1, CV_32F);
  for (const SampleStep& step : steps)
    kernel.at<float>(margin_y + step.row, margin_x + step.column) += 1.0f / float(steps.size());
  return kernel;
}

void Peer(benchmark::State& state, FrameSize size, PixelFormat format, BlurCase blur_case) {
  cv::setNumThreads(1);
  const cv::Mat src = RandomPicture(size, format);
  cv::Mat dst = RandomPicture(size, format);  // allocated before timing, so each call reuses it
  const bool box = std::string(blur_case.blur) == "rect";
  const cv::Mat kernel = box ? cv::Mat() : SampleKernel(blur_case);
  const cv::Size box_size(2 * blur_case.x + 1, 2 * blur_case.y + 1);
  for (auto _ : state) {
    if (box)
      cv::blur(src, dst, box_size);
    else
      cv::filter2D(src, dst, -1, kernel);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetLabel(box                   ? "cv::blur"
                 : blur_case.IsFocus() ? "cv::filter2D disc"
                                       : "cv::filter2D line");
  CountFrameBytes(state, size, format);
}

const bool registered = [] {
  for (const FrameSize& size : kSizes)
    for (const PixelFormat& format : kFormats)
      for (const BlurCase& blur_case : kFilterCases)
        PerFrame(benchmark::RegisterBenchmark(RowName("peer", size, format, blur_case).c_str(),
                                              Peer, size, format, blur_case));
  return true;
}();

}  // namespace
