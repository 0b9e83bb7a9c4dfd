#include "plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
void* OpenLibrary(const std::string& path) { return LoadLibraryA(path.c_str()); }
void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
void* FindSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
std::string LastError() { return "error " + std::to_string(GetLastError()); }
// 32-bit libraries list the stdcall entry by its decorated name.
const char* const kEntryNames[] = {"_AvisynthPluginInit2@4", "AvisynthPluginInit2"};
#else
void* OpenLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void CloseLibrary(void* handle) { dlclose(handle); }
void* FindSymbol(void* handle, const char* name) { return dlsym(handle, name); }
std::string LastError() {
  const char* reason = dlerror();
  return reason ? reason : "unknown error";
}
const char* const kEntryNames[] = {"AvisynthPluginInit2"};
#endif

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string* error) {
  void* handle = OpenLibrary(path);
  if (!handle) {
    *error = "cannot load plugin " + path + ": " + LastError();
    return nullptr;
  }
  for (const char* name : kEntryNames) {
    if (void* symbol = FindSymbol(handle, name))
      return std::unique_ptr<PluginLibrary>(
          new PluginLibrary(handle, reinterpret_cast<PluginInit2Func>(symbol)));
  }
  CloseLibrary(handle);
  *error = "plugin " + path + " has no AvisynthPluginInit2 entry";
  return nullptr;
}

PluginLibrary::~PluginLibrary() { CloseLibrary(handle_); }
