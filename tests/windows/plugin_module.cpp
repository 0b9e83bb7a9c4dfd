#include "plugin_module.h"

#include <string.h>

#include "check.h"
#include "module_tables.h"

extern "C" __declspec(dllimport) void* __stdcall LoadLibraryA(const char* name);
extern "C" __declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);

namespace {

bool IsSystemLibrary(const char* name) {
  const char* const allowed[] = {"kernel32.dll", "ntdll.dll", "ucrtbase.dll", "vcruntime140.dll"};
  for (const char* library : allowed)
    if (_stricmp(name, library) == 0) return true;
  return false;
}

}  // namespace

void* LoadCheckedPlugin(const char* file, const char* entry_name) {
  void* module = LoadLibraryA(file);
  if (!module) return nullptr;
  const char* names[8];
  int functions = 0;
  const int exported = ExportedNames(module, names, 8, &functions);
  CHECK(exported == 1 && functions == 1 && strcmp(names[0], entry_name) == 0,
        "%s must export %s alone; it exports %d functions, %d by name", file, entry_name, functions,
        exported);
  CHECK(EntryPointAddress(module) == 0, "%s has an entry point: loading it runs code", file);
  const int imported = ImportedLibraries(module, names, 8);
  for (int i = 0; i < imported && i < 8; ++i)
    CHECK(IsSystemLibrary(names[i]), "%s imports %s", file, names[i]);
  return GetProcAddress(module, entry_name);
}
