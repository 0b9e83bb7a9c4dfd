#include "create_blur_filter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "blur_filter.h"

namespace {

constexpr int kDefaultExtent = 5;
constexpr const char* kDefaultBlur = "line";

bool Outside(int value, int low, int high) { return value < low || value > high; }

// The checks for one shape, in the order their messages take precedence.
void CheckLine(int x, int y, const VideoInfo& vi, IScriptEnvironment* env) {
  const int x_bound = vi.width / 8, y_bound = vi.height / 8;
  if (Outside(x, -x_bound, x_bound))
    env->ThrowError("Korvel:x must be  between plus minus %d", x_bound);
  if (Outside(y, -y_bound, y_bound))
    env->ThrowError("Korvel:y must be  between plus minus %d", y_bound);
  if (x == 0 && y == 0) env->ThrowError("Korvel:x and y both must not be zero");
}

// The radius is bounded by the width alone, and the message shows that bound.
void CheckFocus(int x, const VideoInfo& vi, IScriptEnvironment* env) {
  const int bound = vi.width / 8;
  if (Outside(x, 2, bound)) env->ThrowError("Korvel:for focus x must be  between 2 %d", bound);
}

void CheckRect(int x, int y, const VideoInfo& vi, IScriptEnvironment* env) {
  const int x_bound = vi.width / 8, y_bound = vi.height / 8;
  if (Outside(x, 1, x_bound)) env->ThrowError("Korvel:x must be  between 1 and %d", x_bound);
  if (Outside(y, 1, y_bound)) env->ThrowError("Korvel:y must be  between 1 and %d", y_bound);
}

}  // namespace

AVSValue HOST_CDECL CreateBlurFilter(AVSValue args, void*, IScriptEnvironment* env) {
  // The argument array holds the clip, so its description outlives this reference.
  const VideoInfo& vi = args[0].AsClip()->GetVideoInfo();
  if (!(vi.pixel_type & CS_BGR)) env->ThrowError("Korvel: RGB32, RGB24 formats only are accepted");

  const char* blur = args[3].AsString(kDefaultBlur);
  const int x = args[1].AsInt(kDefaultExtent);
  const int y = args[2].AsInt(kDefaultExtent);
  if (std::strcmp(blur, "line") == 0)
    CheckLine(x, y, vi, env);
  else if (std::strcmp(blur, "focus") == 0)
    CheckFocus(x, vi, env);
  else if (std::strcmp(blur, "rect") == 0)
    CheckRect(x, y, vi, env);
  else
    env->ThrowError("Korvel: blur can be  line rect or focus only");

  // Even nothrow array allocations throw when their size passes the address space, as it
  // can in a 32-bit process. Such an exception must not leave the plugin: a host built with
  // another compiler could not catch it, so it becomes the host's own error below.
  BlurFilter* filter = nullptr;
  try {
    filter = new (std::nothrow) BlurFilter(args[0].AsClip(), x, y, blur);
  } catch (const std::bad_alloc&) {
  }
  if (filter && !filter->HasTable()) {
    delete filter;  // drops its reference to the clip
    filter = nullptr;
  }
  if (!filter) env->ThrowError("Korvel: out of memory");
  return AVSValue(filter);
}
