// The library's entries: avisynth_c_plugin_init2 for hosts of the C interface's version 11
// and later, avisynth_c_plugin_init for older ones; each registers KorvelBlur with the host
// that called it.
#include <avisynth_c.h>

#include "create_korvel_blur.h"
#include "host_functions.h"

// The header's export marker is empty outside Windows, where the library hides every other
// symbol.
#ifdef _WIN32
#define KORVEL_ENTRY AVSC_EXPORT
#else
#define KORVEL_ENTRY extern "C" __attribute__((visibility("default")))
#endif

namespace {

// The host's answer is its description of the library. A host that lacks one of the other
// functions still gets KorvelBlur, whose creation gives the script the message.
const char* Register(AVS_ScriptEnvironment* env, const void* caller) {
  HostFunctions host;
  const char* missing = BindHostFunctions(caller, &host);
  if (!host.avs_add_function) return missing;
  host.avs_add_function(env, "KorvelBlur", kKorvelBlurParameters, CreateKorvelBlur, nullptr);
  return "KorvelBlur: line, rect and focus blurs of every format";
}

}  // namespace

KORVEL_ENTRY const char* AVSC_CC avisynth_c_plugin_init2(AVS_ScriptEnvironment* env) {
  return Register(env, __builtin_return_address(0));
}

KORVEL_ENTRY const char* AVSC_CC avisynth_c_plugin_init(AVS_ScriptEnvironment* env) {
  return Register(env, __builtin_return_address(0));
}
