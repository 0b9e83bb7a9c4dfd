// The library's one export: registers the namespace korvel and its function Blur.
#include <VapourSynth4.h>

#include "create_blur.h"
#include "korvel_version.h"

VS_EXTERNAL_API(void) VapourSynthPluginInit2(VSPlugin* plugin, const VSPLUGINAPI* vspapi) {
  vspapi->configPlugin("org.korvel.blur", "korvel", "Korvel blur: line, rect and focus",
                       VS_MAKE_VERSION(KORVEL_VERSION_MAJOR, KORVEL_VERSION_MINOR),
                       VAPOURSYNTH_API_VERSION, 0, plugin);
  vspapi->registerFunction("Blur", "clip:vnode;x:int:opt;y:int:opt;blur:data:opt;planes:int[]:opt;",
                           "clip:vnode;", CreateBlur, nullptr, plugin);
}
