#include "blur_filter.h"

BlurFilter::BlurFilter(const PClip& source, int x_extent, int y_extent, const char* keyword)
    : GenericVideoFilter(source), x(x_extent), y(y_extent), blur(keyword), shape(ShapeOf(blur)) {
  if (shape == Shape::kFocus) y = x;
  engine = BlurEngine::Create(shape, x, y, BytePixels(vi.BitsPerPixel() / 8),
                              int64_t(vi.width) * (vi.BitsPerPixel() / 8));
}

BlurFilter::~BlurFilter() { delete engine; }
