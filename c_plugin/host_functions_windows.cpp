// Windows: the host's functions are imported from avisynth.dll, which the host process has
// loaded before any plugin (a host of another name is no AviSynth+ that loads this DLL). The
// table is filled when asked, not at load: the DLL runs no start-up code.
#include "host_functions.h"

const char* BindHostFunctions(const void*, HostFunctions* host) {
#define KORVEL_IMPORTED_HOST_FUNCTION(name) host->name = &::name;
  KORVEL_HOST_FUNCTIONS(KORVEL_IMPORTED_HOST_FUNCTION)
#undef KORVEL_IMPORTED_HOST_FUNCTION
  return nullptr;
}
