// The host's reading of a clip's format, from the bits of its pixel type that the C header
// defines: sample depth, components, subsampling, and where each plane lies in a frame.
#include "stand_in_objects.h"

namespace {

bool Has(const AVS_VideoInfo& vi, int flags) { return (vi.pixel_type & flags) == flags; }
bool IsPlanar(const AVS_VideoInfo& vi) { return Has(vi, AVS_CS_PLANAR); }
bool IsGrey(const AVS_VideoInfo& vi) { return IsPlanar(vi) && Has(vi, AVS_CS_GENERIC_Y); }
bool IsPlanarRgb(const AVS_VideoInfo& vi, int type) {
  return IsPlanar(vi) && Has(vi, AVS_CS_BGR) && Has(vi, type);
}
int SampleBitsCode(const AVS_VideoInfo& vi) {
  return (vi.pixel_type & AVS_CS_SAMPLE_BITS_MASK) >> AVS_CS_SHIFT_SAMPLE_BITS;
}

// Bits of subsampling of chroma, read from the pixel type; 0 for every other plane.
int Subsampling(const AVS_VideoInfo& vi, int plane, int shift) {
  if (plane != AVS_PLANAR_U && plane != AVS_PLANAR_V) return 0;
  if (!IsPlanar(vi) || IsGrey(vi) || Has(vi, AVS_CS_BGR)) {
    Misuse("subsampling of chroma asked of a format without it (pixel type %#x)", vi.pixel_type);
    return -1;
  }
  return ((vi.pixel_type >> shift) + 1) & 3;
}

}  // namespace

extern "C" int AVSC_CC avs_bits_per_component(const AVS_VideoInfo* p) {
  if (p->pixel_type == AVS_CS_YUY2) return 8;
  const int bits[8] = {8, 16, 32, 0, 0, 10, 12, 14};
  return bits[SampleBitsCode(*p)];
}

extern "C" int AVSC_CC avs_component_size(const AVS_VideoInfo* p) {
  const int bytes[8] = {1, 2, 4, 0, 0, 2, 2, 2};
  return bytes[SampleBitsCode(*p)];
}

extern "C" int AVSC_CC avs_num_components(const AVS_VideoInfo* p) {
  if (p->pixel_type == AVS_CS_UNKNOWN) return 0;
  if (IsGrey(*p)) return 1;
  if (p->pixel_type == AVS_CS_BGR32 || p->pixel_type == AVS_CS_BGR64) return 4;
  return Has(*p, AVS_CS_PLANAR | AVS_CS_YUVA) || IsPlanarRgb(*p, AVS_CS_RGBA_TYPE) ? 4 : 3;
}

extern "C" int AVSC_CC avs_is_planar_rgb(const AVS_VideoInfo* p) {
  return IsPlanarRgb(*p, AVS_CS_RGB_TYPE);
}

extern "C" int AVSC_CC avs_is_planar_rgba(const AVS_VideoInfo* p) {
  return IsPlanarRgb(*p, AVS_CS_RGBA_TYPE);
}

extern "C" int AVSC_CC avs_is_rgb48(const AVS_VideoInfo* p) {
  return p->pixel_type == AVS_CS_BGR48;
}

extern "C" int AVSC_CC avs_is_rgb64(const AVS_VideoInfo* p) {
  return p->pixel_type == AVS_CS_BGR64;
}

extern "C" int AVSC_CC avs_get_plane_width_subsampling(const AVS_VideoInfo* p, int plane) {
  return Subsampling(*p, plane, AVS_CS_SHIFT_SUB_WIDTH);
}

extern "C" int AVSC_CC avs_get_plane_height_subsampling(const AVS_VideoInfo* p, int plane) {
  return Subsampling(*p, plane, AVS_CS_SHIFT_SUB_HEIGHT);
}

// Planes in memory: Y (or G), U (or B), V (or R), then alpha; packed formats and YUY2 are
// one plane of interleaved samples.
int PlaneCount(const AVS_VideoInfo& vi) { return IsPlanar(vi) ? avs_num_components(&vi) : 1; }

int PlaneRowSize(const AVS_VideoInfo& vi, int index) {
  if (!IsPlanar(vi)) {
    const int samples = vi.pixel_type == AVS_CS_YUY2 ? 2 : avs_num_components(&vi);
    return vi.width * samples * avs_component_size(&vi);
  }
  const bool chroma = !Has(vi, AVS_CS_BGR) && (index == 1 || index == 2);
  const int shift = chroma ? Subsampling(vi, AVS_PLANAR_U, AVS_CS_SHIFT_SUB_WIDTH) : 0;
  return (vi.width >> shift) * avs_component_size(&vi);
}

int PlaneHeight(const AVS_VideoInfo& vi, int index) {
  const bool chroma = IsPlanar(vi) && !Has(vi, AVS_CS_BGR) && (index == 1 || index == 2);
  return vi.height >> (chroma ? Subsampling(vi, AVS_PLANAR_U, AVS_CS_SHIFT_SUB_HEIGHT) : 0);
}
