#include "frames.h"

#include <random>

VideoInfo FrameInfo(const FrameSize& size, const PixelFormat& format) {
  VideoInfo vi;
  vi.width = size.width;
  vi.height = size.height;
  vi.pixel_type = format.pixel_type;
  vi.num_frames = 1;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  return vi;
}

void FillRandom(uint8_t* bytes, size_t count) {
  std::mt19937 random(20261207);
  for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(random());
}

PVideoFrame RandomFrame(ScriptEnvironment& env, const FrameSize& size, const PixelFormat& format) {
  // Rows of these widths are already multiples of 64 bytes: the pitch is the row size.
  PVideoFrame frame = env.NewFrame(size.width * format.bytes_per_pixel, size.height, 0, 64);
  FillRandom(frame->GetWritePtr(), size_t(frame->GetPitch()) * size_t(size.height));
  return frame;
}
