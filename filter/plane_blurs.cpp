#include "plane_blurs.h"

PlaneBlurs::~PlaneBlurs() {
  for (int i = 0; i < engine_count_; ++i) delete engines_[i];
}

bool PlaneBlurs::Make(Shape shape, int x, int y, int width, int height, const PlaneList& listed,
                      const PlaneSubsampling* subsampling, SampleFormat samples, RowOrder order) {
  for (int p = 0; p < listed.PlaneCount(); ++p) {
    const int log2_w = subsampling[p].log2_w, log2_h = subsampling[p].log2_h;
    PlaneBlur& plane = planes_[p];
    plane = PlaneBlurOf(shape, x, y, log2_w, log2_h, order);
    plane.averaged =
        listed.Listed(p) && AveragingChangesPlane(plane, shape, width >> log2_w, height >> log2_h);
    if (!plane.averaged) continue;
    for (int q = 0; q < p && !plane.engine; ++q)
      if (planes_[q].averaged && planes_[q].x == plane.x && planes_[q].y == plane.y)
        plane.engine = planes_[q].engine;
    if (plane.engine) continue;
    // No plane is wider than the clip.
    plane.engine =
        BlurEngine::Create(shape, plane.x, plane.y, samples, int64_t(width) * samples.PixelBytes());
    if (!plane.engine) return false;
    engines_[engine_count_++] = plane.engine;
  }
  return true;
}
