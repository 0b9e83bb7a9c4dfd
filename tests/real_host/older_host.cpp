// A stand-in for an AviSynth+ older than KorvelBlur needs: a host library with the C
// interface's avs_add_function and none of the other functions KorvelBlur calls. From its own
// code, as a host does, it calls the library's entry and then KorvelBlur's creation.
#include <avisynth_c.h>
#include <dlfcn.h>

#define OLDER_HOST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

AVS_ApplyFunc registered = nullptr;

}  // namespace

OLDER_HOST_EXPORT int AVSC_CC avs_add_function(AVS_ScriptEnvironment*, const char*, const char*,
                                               AVS_ApplyFunc apply, void*) {
  registered = apply;
  return 0;
}

// The script's error from KorvelBlur() in this host, or a note of what went wrong before.
OLDER_HOST_EXPORT const char* KorvelBlurErrorInOlderHost(const char* plugin_path) {
  void* plugin = dlopen(plugin_path, RTLD_NOW | RTLD_LOCAL);
  if (!plugin) return dlerror();
  using Entry = const char*(AVSC_CC*)(AVS_ScriptEnvironment*);
  const auto entry = reinterpret_cast<Entry>(dlsym(plugin, "avisynth_c_plugin_init2"));
  if (!entry) return "(no entry)";
  entry(nullptr);
  if (!registered) return "(KorvelBlur not registered)";
  const AVS_Value result = registered(nullptr, avs_void, nullptr);
  return avs_is_error(result) ? avs_as_error(result) : "(no error)";
}
