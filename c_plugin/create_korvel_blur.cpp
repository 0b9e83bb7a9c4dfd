#include "create_korvel_blur.h"

#include <stdint.h>
#include <string.h>

#include "blur_frames.h"
#include "extent_checks.h"
#include "plane_list.h"

namespace {

constexpr int kDefaultExtent = 5;

// The arguments in the order of kKorvelBlurParameters.
enum Argument { kClip, kX, kY, kBlur, kPlanes };

// Beyond the range of int, a value is refused as its nearest int would be.
int ReadExtent(AVS_Value args, Argument argument) {
  const AVS_Value value = avs_array_elt(args, argument);
  if (!avs_defined(value)) return kDefaultExtent;
  const int64_t extent = avs_as_long(value);
  return extent < INT32_MIN ? INT32_MIN : extent > INT32_MAX ? INT32_MAX : int(extent);
}

const char* ReadKeyword(AVS_Value args) {
  const AVS_Value value = avs_array_elt(args, kBlur);
  return avs_defined(value) ? avs_as_string(value) : "line";
}

// Marks the planes listed; all of them when the list is left out.
Refusal ReadPlanes(AVS_Value args, PlaneList& listed) {
  const AVS_Value planes = avs_array_elt(args, kPlanes);
  if (!avs_defined(planes)) {
    listed.ListAll();
    return {};
  }
  for (int i = 0; i < avs_array_size(planes); ++i) {
    const Refusal refusal = listed.Add(avs_as_long(avs_array_elt(planes, i)));
    if (refusal.format) return refusal;
  }
  return {};
}

// What the filter does to each plane, or null when memory is short.
BlurFrames* MakeBlurFrames(const HostFunctions& host, const ClipLayout& layout,
                           const AVS_VideoInfo& vi, const char* keyword, int x, int y,
                           const PlaneList& listed) {
  BlurFrames* frames = new BlurFrames;
  if (!frames) return nullptr;
  frames->host = host;
  frames->layout = layout;
  PlaneList averaged = listed;
  if (layout.packed) {
    // One plane in memory, averaged where any of its channels is listed.
    averaged = PlaneList(1);
    for (int p = 0; p < layout.plane_count; ++p) {
      frames->channel_listed[layout.packed_channels[p]] = listed.Listed(p);
      if (listed.Listed(p) && !averaged.Listed(0)) averaged.Add(0);
    }
  }
  if (!frames->planes.Make(ShapeOf(keyword), x, y, vi.width, vi.height, averaged,
                           layout.subsampling, layout.samples, layout.row_order)) {
    delete frames;
    return nullptr;
  }
  return frames;
}

// The message as the script's error, kept by the host for as long as the script needs it.
AVS_Value Refuse(const HostFunctions& host, AVS_ScriptEnvironment* env, AVS_Clip* filter,
                 const Refusal& refusal) {
  host.avs_release_clip(filter);
  char message[160];
  WriteRefusal(refusal, message, sizeof(message));
  const char* kept = host.avs_save_string(env, message, int(strlen(message)));
  return avs_new_value_error(kept ? kept : refusal.format);
}

}  // namespace

AVS_Value AVSC_CC CreateKorvelBlur(AVS_ScriptEnvironment* env, AVS_Value args, void*) {
  // The filter keeps the functions of the host that makes it, for its frames.
  HostFunctions host;
  if (const char* missing = BindHostFunctions(__builtin_return_address(0), &host))
    return avs_new_value_error(missing);
  // The filter holds the source from here on; released with it on every path.
  AVS_FilterInfo* info = nullptr;
  AVS_Clip* filter = host.avs_new_c_filter(env, &info, avs_array_elt(args, kClip), 1);
  const AVS_VideoInfo& vi = info->vi;
  const ClipLayout layout = LayoutOf(host, vi);
  Refusal refusal = layout.refusal;
  const char* keyword = ReadKeyword(args);
  const int x = ReadExtent(args, kX), y = ReadExtent(args, kY);
  if (!refusal.format)
    refusal.format = ExtentRefusal(keyword, x, y, vi.width, vi.height, &refusal.number);
  PlaneList listed(layout.plane_count);
  if (!refusal.format) refusal = ReadPlanes(args, listed);
  if (refusal.format) return Refuse(host, env, filter, refusal);

  BlurFrames* frames = MakeBlurFrames(host, layout, vi, keyword, x, y, listed);
  if (!frames) return Refuse(host, env, filter, {kOutOfMemory});
  AttachBlurFrames(info, frames);
  AVS_Value result;
  host.avs_set_to_clip(&result, filter);
  host.avs_release_clip(filter);
  return result;
}
