#include "detail_source.h"

#include <cstring>

namespace korvel_vs_test {
namespace {

uint32_t Detail(uint32_t column, uint32_t row, uint32_t plane, uint32_t frame) {
  uint32_t h = column * 0x9E3779B1u ^ (row + 0x7F4A7C15u) * 0x85EBCA77u ^ plane * 0xC2B2AE3Du ^
               frame * 0x27D4EB2Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

// A sample of the format from a hash: the top bits of an integer format's depth, or a float
// between -1 and 1 (chroma's range and beyond).
void PutSample(const VSVideoFormat& format, uint32_t hash, uint8_t* at) {
  if (format.sampleType == stFloat) {
    const float sample = float(hash >> 8) / float(1 << 23) - 1.0f;
    std::memcpy(at, &sample, sizeof sample);
  } else if (format.bytesPerSample == 2) {
    const uint16_t sample = uint16_t(hash >> (32 - format.bitsPerSample));
    std::memcpy(at, &sample, sizeof sample);
  } else {
    *at = uint8_t(hash >> 24);
  }
}

const VSFrame* VS_CC DetailedFrame(int n, int activation_reason, void* instance_data, void**,
                                   VSFrameContext*, VSCore* core, const VSAPI* vsapi) {
  if (activation_reason != arInitial) return nullptr;
  const VSVideoInfo& vi = *static_cast<const VSVideoInfo*>(instance_data);
  VSFrame* frame = vsapi->newVideoFrame(&vi.format, vi.width, vi.height, nullptr, core);
  for (int p = 0; p < vi.format.numPlanes; ++p) {
    uint8_t* data = vsapi->getWritePtr(frame, p);
    const ptrdiff_t stride = vsapi->getStride(frame, p);
    for (int row = 0; row < vsapi->getFrameHeight(frame, p); ++row)
      for (int column = 0; column < vsapi->getFrameWidth(frame, p); ++column)
        PutSample(vi.format, Detail(uint32_t(column), uint32_t(row), uint32_t(p), uint32_t(n)),
                  data + row * stride + column * vi.format.bytesPerSample);
  }
  VSMap* properties = vsapi->getFramePropertiesRW(frame);
  vsapi->mapSetInt(properties, kFrameNumberProperty, n, maReplace);
  vsapi->mapSetInt(properties, "_Matrix", 1, maReplace);
  vsapi->mapSetData(properties, kNoteProperty, kNote, -1, dtUtf8, maReplace);
  return frame;
}

void VS_CC FreeInfo(void* instance_data, VSCore*, const VSAPI*) {
  delete static_cast<VSVideoInfo*>(instance_data);
}

}  // namespace

Node DetailedSource(const Core& core, const VSVideoFormat& format, int width, int height,
                    int frames) {
  auto* vi = new VSVideoInfo{format, 25, 1, width, height, frames};
  VSNode* node = Api()->createVideoFilter2("KorvelTestSource", vi, DetailedFrame, FreeInfo,
                                           fmParallel, nullptr, 0, vi, core.get());
  if (!node) throw std::runtime_error("the core refused the test's source");
  return Node(node);
}

}  // namespace korvel_vs_test
