// Raw frames for the command's tests, and what the command should make of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel_test {

struct RawLayout {
  int width;
  int height;
  int bytes_per_pixel;  // 3 for rgb24, 4 for rgb32

  size_t FrameBytes() const { return size_t(width) * size_t(height) * size_t(bytes_per_pixel); }
};

// `frames` frames of random bytes, back to back.
std::vector<uint8_t> RandomFrames(const RawLayout& layout, int frames, unsigned seed);

// The frames with their rows in the opposite order.
std::vector<uint8_t> TurnedOver(const std::vector<uint8_t>& frames, const RawLayout& layout);

// What the command writes for raw RGB frames: the host holds them bottom-up, so the
// filter's rows in memory order are the picture's rows from the bottom.
std::vector<uint8_t> ExpectedOutput(const std::vector<uint8_t>& frames, const RawLayout& layout,
                                    int x, int y, const std::string& blur);

// Row `row` (top-down) of frame `frame`.
std::vector<uint8_t> Row(const std::vector<uint8_t>& frames, const RawLayout& layout, int frame,
                         int row);

}  // namespace korvel_test
