#include "frames.h"

#include <random>

VideoInfo FrameInfo(const PixelFormat& format) {
  VideoInfo vi;
  vi.width = kFrameWidth;
  vi.height = kFrameHeight;
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

PVideoFrame RandomFrame(ScriptEnvironment& env, const PixelFormat& format) {
  // Rows of 5760 and 7680 bytes are already multiples of 64: the pitch is the row size.
  PVideoFrame frame = env.NewFrame(kFrameWidth * format.bytes_per_pixel, kFrameHeight, 0, 64);
  FillRandom(frame->GetWritePtr(), size_t(frame->GetPitch()) * kFrameHeight);
  return frame;
}
