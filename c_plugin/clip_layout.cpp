#include "clip_layout.h"

namespace {

SampleFormat SamplesOf(const HostFunctions& host, const AVS_VideoInfo& vi, int channels) {
  const int bits = host.avs_bits_per_component(&vi);
  switch (host.avs_component_size(&vi)) {
    case 1: return {SampleType::kUint8, bits, channels};
    case 2: return {SampleType::kUint16, bits, channels};
    default: return {SampleType::kFloat32, bits, channels};
  }
}

}  // namespace

ClipLayout LayoutOf(const HostFunctions& host, const AVS_VideoInfo& vi) {
  ClipLayout layout;
  if (!avs_has_video(&vi)) {
    layout.refusal = {"Korvel: the clip has no video"};
    return layout;
  }
  if (avs_is_yuy2(&vi)) {
    layout.refusal = {"Korvel: YUY2 is not accepted; convert it with ConvertToYV16() first"};
    return layout;
  }
  if (avs_is_rgb24(&vi) || avs_is_rgb32(&vi) || host.avs_is_rgb48(&vi) || host.avs_is_rgb64(&vi)) {
    // Stored B, G, R (, A) from the picture's bottom row up.
    layout.packed = true;
    layout.plane_count = host.avs_num_components(&vi);
    const int channels[kMostPlanes] = {2, 1, 0, 3};
    for (int p = 0; p < kMostPlanes; ++p) layout.packed_channels[p] = channels[p];
    layout.samples = SamplesOf(host, vi, layout.plane_count);
    layout.row_order = RowOrder::kBottomUp;
  } else if (avs_is_planar(&vi)) {
    const bool rgb = host.avs_is_planar_rgb(&vi) || host.avs_is_planar_rgba(&vi);
    const int rgb_planes[] = {AVS_PLANAR_R, AVS_PLANAR_G, AVS_PLANAR_B, AVS_PLANAR_A};
    const int yuv_planes[] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V, AVS_PLANAR_A};
    layout.plane_count = host.avs_num_components(&vi);
    const int* names = rgb ? rgb_planes : yuv_planes;
    for (int p = 0; p < layout.plane_count; ++p) {
      // Grey is one plane, Y; alpha is the fourth whatever comes before it.
      layout.host_planes[p] = names[p];
      if (rgb || p == 0 || p == 3) continue;
      layout.subsampling[p] = {host.avs_get_plane_width_subsampling(&vi, names[p]),
                               host.avs_get_plane_height_subsampling(&vi, names[p])};
    }
    layout.samples = SamplesOf(host, vi, 1);
  }
  if (layout.plane_count < 1 || layout.plane_count > kMostPlanes || !layout.samples.IsValid())
    layout.refusal = {"Korvel: the clip's format is not one AviSynth+ documents"};
  return layout;
}
