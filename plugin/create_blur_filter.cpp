#include "create_blur_filter.h"

#include "blur_filter.h"
#include "extent_checks.h"

namespace {

constexpr int kDefaultExtent = 5;
constexpr const char* kDefaultBlur = "line";

// After a successful creation the frame server releases each clip argument once more than
// it took, where its copy of the arguments is destroyed by the caller (Linux): the source
// clip would die while the filter still holds it. One extra reference per clip argument
// cancels that, only in that host, which its 2.5 face tells by answering this key with 1.
void CancelTheHostsExtraRelease(const AVSValue& args, IScriptEnvironment* env) {
#if !defined(_WIN32)
  if (env->ManageCache(kManageCacheAskForClassicFace, nullptr) != reinterpret_cast<void*>(1))
    return;
  for (int i = 0; i < args.ArraySize(); ++i) {
    const PClip clip = args[i].AsClip();
    if (clip) clip->AddRef();
  }
#else
  // Windows hosts pass the arguments by value to a function that destroys them without
  // releasing the elements; their extra release balances the copy they made.
  (void)args;
  (void)env;
#endif
}

}  // namespace

AVSValue HOST_CDECL CreateBlurFilter(AVSValue args, void*, IScriptEnvironment* env) {
  // The argument array holds the clip, so its description outlives this reference.
  const VideoInfo& vi = args[0].AsClip()->GetVideoInfo();
  // Exact types, not the RGB flag: the host's planar and 16-bit RGB types carry that flag
  // too, and their frames are no interleaved 8-bit pixels.
  if (!vi.IsRGB24() && !vi.IsRGB32())
    env->ThrowError("Korvel: RGB32, RGB24 formats only are accepted");

  const char* blur = args[3].AsString(kDefaultBlur);
  const int x = args[1].AsInt(kDefaultExtent);
  const int y = args[2].AsInt(kDefaultExtent);
  int bound = 0;
  if (const char* refusal = ExtentRefusal(blur, x, y, vi.width, vi.height, &bound))
    env->ThrowError(refusal, bound);

  // The filter and its table come from the plugin's own allocator, which yields null rather
  // than throwing, so no exception of the plugin's own can reach a host.
  BlurFilter* filter = new BlurFilter(args[0].AsClip(), x, y, blur);
  if (filter && !filter->HasTable()) {
    delete filter;  // drops its reference to the clip
    filter = nullptr;
  }
  if (!filter) env->ThrowError("Korvel: out of memory");
  AVSValue result(filter);
  CancelTheHostsExtraRelease(args, env);
  return result;
}
