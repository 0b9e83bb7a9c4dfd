// What a call does to each plane of a clip, and the engines that average them: decided once
// at creation, then only read, by every host library whose clips come in planes.
#pragma once

#include <stdint.h>

#include "blur_engine.h"
#include "plane_blur.h"
#include "plane_list.h"
#include "sample_format.h"
#include "shape.h"

// A plane's size against the clip's: its width divided by 2^log2_w, its height by 2^log2_h.
struct PlaneSubsampling {
  int log2_w, log2_h;
};

class PlaneBlurs {
 public:
  PlaneBlurs() = default;
  ~PlaneBlurs();
  PlaneBlurs(const PlaneBlurs&) = delete;
  PlaneBlurs& operator=(const PlaneBlurs&) = delete;

  // For a clip of width by height pixels whose planes are subsampled as `subsampling` says
  // (one entry a plane of `listed`): a plane is averaged where it is listed and the blur
  // changes it, and each averaged plane gets an engine for pixels of `samples`, planes of
  // the same extents one between them. False when memory is short.
  bool Make(Shape shape, int x, int y, int width, int height, const PlaneList& listed,
            const PlaneSubsampling* subsampling, SampleFormat samples,
            RowOrder order = RowOrder::kTopDown);

  const PlaneBlur& operator[](int plane) const { return planes_[plane]; }

 private:
  PlaneBlur planes_[kMostPlanes] = {};
  BlurEngine* engines_[kMostPlanes] = {};  // each owned here once
  int engine_count_ = 0;
};
