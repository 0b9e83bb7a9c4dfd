// A KorvelBlur filter once made: what each plane gets, and the host's callbacks for its
// frames, its thread mode and its end.
#pragma once

#include <avisynth_c.h>

#include "clip_layout.h"
#include "heap.h"
#include "host_functions.h"
#include "plane_blurs.h"

struct BlurFrames : public HeapAllocated {
  HostFunctions host;  // of the host that made the filter
  ClipLayout layout;
  PlaneBlurs planes;
  // Packed RGB: the channels listed, by their place in memory.
  bool channel_listed[kMostPlanes] = {};
};

// Hands the filter to the host: its frames, thread mode and end are the plugin's from now.
void AttachBlurFrames(AVS_FilterInfo* info, BlurFrames* frames);
