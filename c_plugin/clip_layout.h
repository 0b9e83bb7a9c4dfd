// How KorvelBlur sees a clip of AviSynth+: its planes in the order `planes` numbers them, the
// host's name of each, how each is subsampled, and its samples; or why the clip is refused.
#pragma once

#include <avisynth_c.h>

#include "host_functions.h"
#include "plane_blurs.h"
#include "refusal.h"
#include "sample_format.h"

struct ClipLayout {
  Refusal refusal;  // a format KorvelBlur refuses, else none
  // Planar formats: Y, U, V, A or R, G, B, A. Packed RGB is one plane in memory whose
  // channels `planes` numbers R, G, B, A.
  int plane_count = 0;
  bool packed = false;
  int host_planes[kMostPlanes] = {};  // AVS_PLANAR_*, for planar formats
  PlaneSubsampling subsampling[kMostPlanes] = {};
  SampleFormat samples;                   // a plane's, or a packed pixel's
  int packed_channels[kMostPlanes] = {};  // memory position of R, G, B, A in a packed pixel
  RowOrder row_order = RowOrder::kTopDown;
};

ClipLayout LayoutOf(const HostFunctions& host, const AVS_VideoInfo& vi);
