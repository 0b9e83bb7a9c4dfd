#include "filter_table.h"

#include <stdexcept>

#include "frames.h"
#include "sample_tables.h"

namespace {

// Wide enough that a step of at most width/8 pixels cannot spill into the next row, so an
// offset taken with one byte per pixel splits back into its row and column steps.
constexpr int kDecodingPitch = 1 << 16;

int RowStep(int32_t offset) {
  return int((int64_t(offset) + kDecodingPitch / 2) >> 16);  // nearest multiple of the pitch
}

}  // namespace

std::vector<int32_t> FilterOffsets(const BlurCase& blur_case, int pitch, int bytes_per_pixel) {
  std::vector<int32_t> table =
      korvel_test::TableOf(blur_case.blur, blur_case.x, blur_case.y, pitch, bytes_per_pixel);
  if (table.empty()) throw std::runtime_error("no table for " + blur_case.Name());
  return table;
}

std::vector<SampleStep> FilterSampleSteps(const BlurCase& blur_case) {
  std::vector<SampleStep> steps;
  for (int32_t offset : FilterOffsets(blur_case, kDecodingPitch, 1)) {
    const int row = RowStep(offset);
    steps.push_back({row, int(offset - int64_t(row) * kDecodingPitch)});
  }
  // The steps must give back the table of a real frame, or a peer would blur other samples.
  const PixelFormat& format = kFormats[1];
  const int pitch = kSizes[1].width * format.bytes_per_pixel;
  const std::vector<int32_t> table = FilterOffsets(blur_case, pitch, format.bytes_per_pixel);
  bool same = table.size() == steps.size();
  for (size_t e = 0; same && e < steps.size(); ++e)
    same = table[e] == steps[e].row * pitch + steps[e].column * format.bytes_per_pixel;
  if (!same) throw std::logic_error("sample steps do not match the table of " + blur_case.Name());
  return steps;
}
