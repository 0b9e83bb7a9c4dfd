#include "blur_frames.h"

#include <string.h>

#include "refusal.h"

namespace {

const BlurFrames& FramesOf(const AVS_FilterInfo* info) {
  return *static_cast<const BlurFrames*>(info->user_data);
}

void CopyPlane(const HostFunctions& host, AVS_ScriptEnvironment* env, const AVS_VideoFrame* src,
               AVS_VideoFrame* dst, int host_plane) {
  host.avs_bit_blt(env, host.avs_get_write_ptr_p(dst, host_plane),
                   host.avs_get_pitch_p(dst, host_plane), host.avs_get_read_ptr_p(src, host_plane),
                   host.avs_get_pitch_p(src, host_plane), host.avs_get_row_size_p(src, host_plane),
                   host.avs_get_height_p(src, host_plane));
}

AverageResult BlurHostPlane(const BlurFrames& frames, int p, const AVS_VideoFrame* src,
                            AVS_VideoFrame* dst, int host_plane) {
  const HostFunctions& host = frames.host;
  return BlurPlane(frames.planes[p], host.avs_get_read_ptr_p(src, host_plane),
                   host.avs_get_pitch_p(src, host_plane), host.avs_get_write_ptr_p(dst, host_plane),
                   host.avs_get_pitch_p(dst, host_plane),
                   host.avs_get_row_size_p(dst, host_plane) / frames.layout.samples.PixelBytes(),
                   host.avs_get_height_p(dst, host_plane), frames.layout.row_order);
}

// Packed RGB is averaged in all its channels at once; the channels left out of `planes` get
// the source's samples back.
void RestoreChannels(const BlurFrames& frames, const AVS_VideoFrame* src, AVS_VideoFrame* dst) {
  const HostFunctions& host = frames.host;
  const int sample_bytes = frames.layout.samples.SampleBytes();
  const int pixel_bytes = frames.layout.samples.PixelBytes();
  const int width = host.avs_get_row_size_p(dst, AVS_DEFAULT_PLANE) / pixel_bytes;
  const int height = host.avs_get_height_p(dst, AVS_DEFAULT_PLANE);
  const uint8_t* src_row = host.avs_get_read_ptr_p(src, AVS_DEFAULT_PLANE);
  uint8_t* dst_row = host.avs_get_write_ptr_p(dst, AVS_DEFAULT_PLANE);
  const int src_pitch = host.avs_get_pitch_p(src, AVS_DEFAULT_PLANE);
  const int dst_pitch = host.avs_get_pitch_p(dst, AVS_DEFAULT_PLANE);
  for (int row = 0; row < height; ++row, src_row += src_pitch, dst_row += dst_pitch)
    for (int channel = 0; channel < frames.layout.plane_count; ++channel) {
      if (frames.channel_listed[channel]) continue;
      for (int pixel = 0; pixel < width; ++pixel) {
        const ptrdiff_t at = ptrdiff_t(pixel) * pixel_bytes + channel * sample_bytes;
        memcpy(dst_row + at, src_row + at, size_t(sample_bytes));
      }
    }
}

// Every plane of the output frame, averaged or copied; the first failure's result.
AverageResult WritePlanes(AVS_ScriptEnvironment* env, const BlurFrames& frames,
                          const AVS_VideoFrame* src, AVS_VideoFrame* dst) {
  const ClipLayout& layout = frames.layout;
  if (layout.packed) {
    if (!frames.planes[0].averaged) {
      CopyPlane(frames.host, env, src, dst, AVS_DEFAULT_PLANE);
      return AverageResult::kDone;
    }
    const AverageResult result = BlurHostPlane(frames, 0, src, dst, AVS_DEFAULT_PLANE);
    if (result == AverageResult::kDone) RestoreChannels(frames, src, dst);
    return result;
  }
  for (int p = 0; p < layout.plane_count; ++p) {
    if (!frames.planes[p].averaged) {
      CopyPlane(frames.host, env, src, dst, layout.host_planes[p]);
      continue;
    }
    const AverageResult result = BlurHostPlane(frames, p, src, dst, layout.host_planes[p]);
    if (result != AverageResult::kDone) return result;
  }
  return AverageResult::kDone;
}

// The frame is made with the source's as its property source, so that every frame property
// passes through.
AVS_VideoFrame* AVSC_CC GetBlurredFrame(AVS_FilterInfo* info, int n) {
  const BlurFrames& frames = FramesOf(info);
  const HostFunctions& host = frames.host;
  AVS_VideoFrame* src = host.avs_get_frame(info->child, n);
  if (!src) return nullptr;  // the child's error, which the host raises
  AVS_VideoFrame* dst = host.avs_new_video_frame_p(info->env, &info->vi, src);
  if (!dst) {
    // The host's reason (short of memory, most often), which the host keeps.
    host.avs_release_video_frame(src);
    const char* reason = host.avs_get_error(info->env);
    info->error = reason ? reason : kOutOfMemory;
    return nullptr;
  }
  const AverageResult result = WritePlanes(info->env, frames, src, dst);
  host.avs_release_video_frame(src);
  if (result == AverageResult::kDone) return dst;
  host.avs_release_video_frame(dst);
  info->error = result == AverageResult::kOutOfMemory ? kOutOfMemory : "computing error";
  return nullptr;
}

// The frame pass is reentrant: one instance serves every thread.
int AVSC_CC AnswerCacheHints(AVS_FilterInfo*, int hint, int) {
  return hint == AVS_CACHE_GET_MTMODE ? AVS_MT_NICE_FILTER : 0;
}

void AVSC_CC FreeBlurFrames(AVS_FilterInfo* info) {
  delete static_cast<BlurFrames*>(info->user_data);
  info->user_data = nullptr;
}

}  // namespace

void AttachBlurFrames(AVS_FilterInfo* info, BlurFrames* frames) {
  info->user_data = frames;
  info->get_frame = GetBlurredFrame;
  info->set_cache_hints = AnswerCacheHints;
  info->free_filter = FreeBlurFrames;
}
