#include "source_clip.h"

#include <stdlib.h>
#include <string.h>

#include "random.h"

namespace {
constexpr BYTE kFiller = 0xA5;
}

void SourceClip::Picture(int n, uint8_t* packed) const {
  Random random(seed_ * 1000003u + uint64_t(n));
  const int size = vi_.width * BytesPerPixel() * vi_.height;
  for (int i = 0; i < size; ++i) packed[i] = uint8_t(random.Next() >> 56);
}

PVideoFrame SourceClip::GetFrame(int n, IScriptEnvironment* env) {
  if (n == failing_frame_) env->ThrowError("Source: frame %d cannot be read", n);
  const int row_size = vi_.width * BytesPerPixel();
  const int pitch = (row_size + 63) / 64 * 64 + 64;
  PVideoFrame frame = env_->NewFrame(row_size, vi_.height, pitch);
  BYTE* data = frame->vfb->data + frame->offset;
  memset(data, kFiller, size_t(pitch) * size_t(vi_.height));
  uint8_t* packed = static_cast<uint8_t*>(malloc(size_t(row_size) * size_t(vi_.height)));
  Picture(n, packed);
  for (int row = 0; row < vi_.height; ++row)
    memcpy(data + row * pitch, packed + row * row_size, size_t(row_size));
  free(packed);
  return frame;
}
