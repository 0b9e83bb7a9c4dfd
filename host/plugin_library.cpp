#include "plugin_library.h"

#include <dlfcn.h>

namespace {

void* OpenLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void CloseLibrary(void* handle) { dlclose(handle); }
void* FindSymbol(void* handle, const char* name) { return dlsym(handle, name); }
std::string LastError() {
  const char* reason = dlerror();
  return reason ? reason : "unknown error";
}
const char* const kEntryNames[] = {"AvisynthPluginInit2"};

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
