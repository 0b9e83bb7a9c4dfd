// The host's formats as the test host states them, independently of the plugin's reading:
// what KorvelBlur's `planes` numbers in each, and how the host names each plane.
#pragma once

#include <avisynth_c.h>

struct HostFormat {
  const char* name;
  int pixel_type;
  int plane_count;
  int log2_w, log2_h;  // of the second and third planes
  int bits;            // 8 to 16, or 32 for floats
  bool packed;         // interleaved B, G, R (, A), stored bottom-up
  bool rgb;
};

// Every family: grey, YUV of each subsampling, with alpha, planar and packed RGB, at 8 bits,
// deeper and in floats.
extern const HostFormat kHostFormats[];
extern const int kHostFormatCount;
const HostFormat& FormatNamed(const char* name);

// The host's name (AVS_PLANAR_*, or AVS_DEFAULT_PLANE for packed formats) of plane p, as
// `planes` numbers it: Y, U, V, A or R, G, B, A.
int HostPlane(const HostFormat& format, int p);
// A clip of the format, 1000 frames long.
AVS_VideoInfo ClipOf(const HostFormat& format, int width, int height);
