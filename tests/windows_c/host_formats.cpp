#include "host_formats.h"

#include <string.h>

const HostFormat kHostFormats[] = {
    {"Y8", AVS_CS_Y8, 1, 0, 0, 8, false, false},
    {"Y10", AVS_CS_Y10, 1, 0, 0, 10, false, false},
    {"Y16", AVS_CS_Y16, 1, 0, 0, 16, false, false},
    {"Y32", AVS_CS_Y32, 1, 0, 0, 32, false, false},
    {"YV12", AVS_CS_YV12, 3, 1, 1, 8, false, false},
    {"YUV420P10", AVS_CS_YUV420P10, 3, 1, 1, 10, false, false},
    {"YUV420P16", AVS_CS_YUV420P16, 3, 1, 1, 16, false, false},
    {"YUV420PS", AVS_CS_YUV420PS, 3, 1, 1, 32, false, false},
    {"YV16", AVS_CS_YV16, 3, 1, 0, 8, false, false},
    {"YUV422P12", AVS_CS_YUV422P12, 3, 1, 0, 12, false, false},
    {"YV24", AVS_CS_YV24, 3, 0, 0, 8, false, false},
    {"YUV444P14", AVS_CS_YUV444P14, 3, 0, 0, 14, false, false},
    {"YUV444PS", AVS_CS_YUV444PS, 3, 0, 0, 32, false, false},
    {"YV411", AVS_CS_YV411, 3, 2, 0, 8, false, false},
    {"YUVA420P8", AVS_CS_YUVA420, 4, 1, 1, 8, false, false},
    {"YUVA422P10", AVS_CS_YUVA422P10, 4, 1, 0, 10, false, false},
    {"YUVA444P16", AVS_CS_YUVA444P16, 4, 0, 0, 16, false, false},
    {"YUVA420PS", AVS_CS_YUVA420PS, 4, 1, 1, 32, false, false},
    {"RGBP8", AVS_CS_RGBP, 3, 0, 0, 8, false, true},
    {"RGBP10", AVS_CS_RGBP10, 3, 0, 0, 10, false, true},
    {"RGBAP8", AVS_CS_RGBAP, 4, 0, 0, 8, false, true},
    {"RGBAP16", AVS_CS_RGBAP16, 4, 0, 0, 16, false, true},
    {"RGBPS", AVS_CS_RGBPS, 3, 0, 0, 32, false, true},
    {"RGBAPS", AVS_CS_RGBAPS, 4, 0, 0, 32, false, true},
    {"RGB24", AVS_CS_BGR24, 3, 0, 0, 8, true, true},
    {"RGB32", AVS_CS_BGR32, 4, 0, 0, 8, true, true},
    {"RGB48", AVS_CS_BGR48, 3, 0, 0, 16, true, true},
    {"RGB64", AVS_CS_BGR64, 4, 0, 0, 16, true, true},
};
const int kHostFormatCount = int(sizeof kHostFormats / sizeof kHostFormats[0]);

const HostFormat& FormatNamed(const char* name) {
  for (const HostFormat& format : kHostFormats)
    if (strcmp(format.name, name) == 0) return format;
  __builtin_trap();  // a name missing from the table is a fault of the test itself
}

int HostPlane(const HostFormat& format, int p) {
  if (format.packed) return AVS_DEFAULT_PLANE;
  const int yuv[] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V, AVS_PLANAR_A};
  const int rgb[] = {AVS_PLANAR_R, AVS_PLANAR_G, AVS_PLANAR_B, AVS_PLANAR_A};
  return (format.rgb ? rgb : yuv)[p];
}

AVS_VideoInfo ClipOf(const HostFormat& format, int width, int height) {
  AVS_VideoInfo vi = {};
  vi.width = width, vi.height = height, vi.pixel_type = format.pixel_type;
  vi.fps_numerator = 25, vi.fps_denominator = 1, vi.num_frames = 1000;
  return vi;
}
