// Linux: the library is linked to no host. A program may load the host with RTLD_LOCAL, as
// FFmpeg and the korvel command do, so that its functions are in no namespace the library
// could bind to; and a process may hold hosts of several versions. So the functions are
// looked up in the object that called, by its own handle.
#include <dlfcn.h>
#include <link.h>
#include <stdint.h>

#include "host_functions.h"

namespace {

constexpr const char* kHostNotFound =
    "Korvel: KorvelBlur cannot find the AviSynth+ library that called it";

// The message for each function, whole at compile time: the host may lack the function that
// would keep a message for the script.
#define KORVEL_HOST_FUNCTION_MISSING(name)                    \
  "Korvel: the AviSynth+ that loaded KorvelBlur lacks " #name \
  ", so it is older than 3.7; KorvelBlur needs AviSynth+ 3.7 or newer"

// A loaded object as the loader lists it: its name ("" for the program itself) and its
// segments, valid for as long as it stays loaded. (dladdr would tell the same, but scans the
// object's symbols, a hundred microseconds for each address in the host's library.)
struct LoadedObject {
  uintptr_t address = 0;  // sought: an address in its code
  const char* name = nullptr;
  ElfW(Addr) base = 0;
  const ElfW(Phdr) * segments = nullptr;
  int segment_count = 0;

  bool Holds(uintptr_t at) const {
    for (int i = 0; i < segment_count; ++i)
      if (segments[i].p_type == PT_LOAD && at - (base + segments[i].p_vaddr) < segments[i].p_memsz)
        return true;
    return false;
  }
};

int TakeObjectHoldingAddress(dl_phdr_info* info, size_t, void* data) {
  LoadedObject& object = *static_cast<LoadedObject*>(data);
  object.name = info->dlpi_name;
  object.base = info->dlpi_addr;
  object.segments = info->dlpi_phdr;
  object.segment_count = info->dlpi_phnum;
  return object.Holds(object.address) ? 1 : 0;
}

// The object's own handle: by its name, or the program's when the host is built into the
// program itself.
void* OpenLoadedObject(const LoadedObject& object) {
  return object.name[0] ? dlopen(object.name, RTLD_LAZY | RTLD_NOLOAD) : dlopen(nullptr, RTLD_LAZY);
}

}  // namespace

const char* BindHostFunctions(const void* caller, HostFunctions* host) {
  *host = {};
  LoadedObject object;
  // The return address may follow a call that ends its function: one byte back is the call.
  object.address = reinterpret_cast<uintptr_t>(caller) - 1;
  if (!dl_iterate_phdr(TakeObjectHoldingAddress, &object)) return kHostNotFound;
  void* handle = OpenLoadedObject(object);
  if (!handle) return kHostNotFound;
  // A handle finds the symbols of the object's dependencies too: only the host's own count.
  const char* missing = nullptr;
#define KORVEL_BIND_HOST_FUNCTION(name)                                         \
  if (void* function = dlsym(handle, #name); object.Holds(uintptr_t(function))) \
    host->name = reinterpret_cast<name##_func>(function);                       \
  else if (!missing)                                                            \
    missing = KORVEL_HOST_FUNCTION_MISSING(name);
  KORVEL_HOST_FUNCTIONS(KORVEL_BIND_HOST_FUNCTION)
#undef KORVEL_BIND_HOST_FUNCTION
  // The functions stay: the host that called is loaded for as long as it can call again.
  dlclose(handle);
  return missing;
}
