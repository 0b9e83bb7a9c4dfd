#include "raw_pictures.h"

#include <algorithm>
#include <cstddef>
#include <random>

#include "reference_pictures.h"

namespace korvel_test {

using std::ptrdiff_t;

std::vector<uint8_t> RandomFrames(const RawLayout& layout, int frames, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> bytes(layout.FrameBytes() * size_t(frames));
  for (uint8_t& b : bytes) b = uint8_t(byte(random));
  return bytes;
}

std::vector<uint8_t> TurnedOver(const std::vector<uint8_t>& frames, const RawLayout& layout) {
  const size_t row_bytes = size_t(layout.width) * size_t(layout.bytes_per_pixel);
  std::vector<uint8_t> turned(frames.size());
  for (size_t start = 0; start < frames.size(); start += layout.FrameBytes())
    for (int row = 0; row < layout.height; ++row)
      std::copy_n(frames.begin() + ptrdiff_t(start + size_t(row) * row_bytes), row_bytes,
                  turned.begin() + ptrdiff_t(start + size_t(layout.height - 1 - row) * row_bytes));
  return turned;
}

std::vector<uint8_t> ExpectedOutput(const std::vector<uint8_t>& frames, const RawLayout& layout,
                                    int x, int y, const std::string& blur) {
  const std::vector<uint8_t> in_memory = TurnedOver(frames, layout);
  std::vector<uint8_t> blurred;
  for (size_t start = 0; start < in_memory.size(); start += layout.FrameBytes()) {
    const std::vector<uint8_t> frame(in_memory.begin() + ptrdiff_t(start),
                                     in_memory.begin() + ptrdiff_t(start + layout.FrameBytes()));
    const std::vector<uint8_t> result =
        ReferenceBlur(frame, layout.width, layout.height, layout.bytes_per_pixel, x, y, blur);
    blurred.insert(blurred.end(), result.begin(), result.end());
  }
  return TurnedOver(blurred, layout);
}

std::vector<uint8_t> Row(const std::vector<uint8_t>& frames, const RawLayout& layout, int frame,
                         int row) {
  const size_t row_bytes = size_t(layout.width) * size_t(layout.bytes_per_pixel);
  const auto start =
      frames.begin() + ptrdiff_t(size_t(frame) * layout.FrameBytes() + size_t(row) * row_bytes);
  return std::vector<uint8_t>(start, start + ptrdiff_t(row_bytes));
}

}  // namespace korvel_test
