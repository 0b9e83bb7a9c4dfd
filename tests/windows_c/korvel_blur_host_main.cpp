// The test host of korvelblur.dll: loads it from its own folder, beside the stand-in
// avisynth.dll whose functions it imports, as AviSynth+ loads a plugin of its C interface,
// and checks it through its entries and the host's C functions alone. Prints every failed
// check; exits with 1 if there was one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../windows/check.h"
#include "../windows/module_tables.h"
#include "instruction_set_of_run.h"
#include "korvel_blur_checks.h"

extern "C" __declspec(dllimport) void* __stdcall LoadLibraryA(const char* name);
extern "C" __declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);

namespace {

// The names the host looks up first, the newer interface's before the older one's.
#if defined(_WIN64)
const char* const kEntryNames[] = {"avisynth_c_plugin_init2", "avisynth_c_plugin_init"};
#else
// stdcall, 4 bytes of arguments
const char* const kEntryNames[] = {"_avisynth_c_plugin_init2@4", "_avisynth_c_plugin_init@4"};
#endif
typedef const char*(AVSC_CC* Entry)(AVS_ScriptEnvironment* env);

bool IsAllowedImport(const char* name) {
  const char* const allowed[] = {"avisynth.dll", "kernel32.dll", "ntdll.dll", "ucrtbase.dll",
                                 "vcruntime140.dll"};
  for (const char* library : allowed)
    if (_stricmp(name, library) == 0) return true;
  return false;
}

// Exports its two entries alone, runs no code when loaded, and imports the host's functions
// from avisynth.dll (every one of which the stand-in must export by the host's name, or the
// loading fails) and otherwise only what the system and a host built by MSVC have.
void* LoadPlugin() {
  void* module = LoadLibraryA("korvelblur.dll");
  if (!module) return nullptr;
  const char* names[8];
  int functions = 0;
  const int exported = ExportedNames(module, names, 8, &functions);
  int entries = 0;
  for (int i = 0; i < exported && i < 8; ++i)
    entries += strcmp(names[i], kEntryNames[0]) == 0 || strcmp(names[i], kEntryNames[1]) == 0;
  CHECK(exported == 2 && functions == 2 && entries == 2,
        "korvelblur.dll must export %s and %s alone; it exports %d functions, %d by name",
        kEntryNames[0], kEntryNames[1], functions, exported);
  CHECK(EntryPointAddress(module) == 0, "korvelblur.dll has an entry point: loading it runs code");
  const int imported = ImportedLibraries(module, names, 8);
  for (int i = 0; i < imported && i < 8; ++i)
    CHECK(IsAllowedImport(names[i]), "korvelblur.dll imports %s", names[i]);
  return module;
}

// Each entry registers KorvelBlur alone, with its parameters, in the environment it is
// given. The environment of the newer entry, which the host calls first, is kept.
AVS_ScriptEnvironment* Register(void* module) {
  AVS_ScriptEnvironment* kept = nullptr;
  for (const char* name : kEntryNames) {
    const Entry entry = reinterpret_cast<Entry>(GetProcAddress(module, name));
    if (!entry) continue;
    AVS_ScriptEnvironment* env = stand_in_new_environment();
    const char* text = entry(env);
    CHECK(text && strncmp(text, "KorvelBlur", 10) == 0, "%s returned \"%s\"", name, text);
    const StandInFunction* f = stand_in_function(env, 0);
    CHECK(f && strcmp(f->name, "KorvelBlur") == 0 &&
              strcmp(f->params, "c[x]i[y]i[blur]s[planes]i*") == 0 && !stand_in_function(env, 1),
          "%s registered %s(%s)%s", name, f ? f->name : "nothing", f ? f->params : "",
          stand_in_function(env, 1) ? " and more" : "");
    if (kept || !f)
      stand_in_delete_environment(env);
    else
      kept = env;
  }
  return kept;
}

}  // namespace

extern "C" int mainCRTStartup() {
  const char* seed_text = getenv("KORVEL_SEED");
  const uint64_t seed = seed_text ? strtoull(seed_text, nullptr, 10) : 20261207;
  printf("korvelblur.dll in a test host (%s), seed %llu, instruction set %s\n",
         sizeof(void*) == 8 ? "x64" : "x86", (unsigned long long)seed,
         korvel_test::InstructionSetOfRun());
  CHECK(korvel_test::CapIsAvailable(),
        KORVEL_INSTRUCTION_SET_VARIABLE " names a set this processor lacks");

  void* module = LoadPlugin();
  AVS_ScriptEnvironment* env = module ? Register(module) : nullptr;
  if (!env) {
    Fail("korvelblur.dll cannot be loaded beside avisynth.dll, or registers no KorvelBlur");
    exit(1);
  }
  CheckMessages(env);
  CheckEveryFormat(env);
  CheckRandomCalls(env, seed, 120);
  CheckErrorsInGetFrame(env);
  stand_in_delete_environment(env);

  const StandInCounts left = stand_in_counts();
  CHECK(left.clips == 0 && left.handles == 0 && left.frames == 0,
        "at the end the host holds %d clips, %d handles and %d frames", left.clips, left.handles,
        left.frames);
  CHECK(left.misuses == 0, "the plugin misused the host %d times", left.misuses);
  printf("%s: %d failed checks\n", FailureCount() ? "FAILED" : "passed", FailureCount());
  fflush(stdout);
  exit(FailureCount() ? 1 : 0);
}
