// The library's one export: registers Korvel with the host.
#include "create_blur_filter.h"

extern "C" HOST_EXPORT const char* HOST_STDCALL AvisynthPluginInit2(IScriptEnvironment* env) {
  env->AddFunction("Korvel", "c[x]i[y]i[blur]s", CreateBlurFilter, nullptr);
  return "Korvel  Plugin";
}
