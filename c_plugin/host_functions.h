// The host's C functions that KorvelBlur calls, as a table taken from the very host that calls
// the library, whatever its version and however the program loaded it. Every call into the
// host goes through such a table.
#pragma once

#include <avisynth_c.h>

// KORVEL_HOST_FUNCTIONS(X): X(name) for each function of avisynth_imports.def, made by the
// build from that list, so that the table and the Windows imports are one list.
#include "host_function_list.h"

// On Linux the header declares only the functions' pointer types (AVSC_NO_DECLSPEC), so no
// call can bypass the table; on Windows it declares the functions imported from avisynth.dll.
#ifdef AVSC_NO_DECLSPEC
#define KORVEL_HOST_FUNCTION_TYPE(name) name##_func
#else
#define KORVEL_HOST_FUNCTION_TYPE(name) decltype(&::name)
#endif

struct HostFunctions {
#define KORVEL_HOST_FUNCTION_MEMBER(name) KORVEL_HOST_FUNCTION_TYPE(name) name = nullptr;
  KORVEL_HOST_FUNCTIONS(KORVEL_HOST_FUNCTION_MEMBER)
#undef KORVEL_HOST_FUNCTION_MEMBER
};

// Fills `host` with the functions of the host whose code holds `caller`, the return address of
// a call from the host into the library (its entry, or a filter's creation); on Windows, with
// those imported from avisynth.dll. Null when every function is there; else the message for
// the script, and the functions that were found.
const char* BindHostFunctions(const void* caller, HostFunctions* host);
