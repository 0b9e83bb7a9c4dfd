// Environments: functions registered, strings saved for the environment's lifetime, the
// error of the last call; and the counts of what the host holds.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "stand_in_objects.h"

struct SavedString {
  SavedString* next;
  char text[1];  // as long as the string
};

namespace {

StandInCounts counts = {};

}  // namespace

void Count(Counted what, int change) {
  int* field = what == Counted::kClips     ? &counts.clips
               : what == Counted::kHandles ? &counts.handles
                                           : &counts.frames;
  __atomic_add_fetch(field, change, __ATOMIC_RELAXED);
}

void Misuse(const char* format, ...) {
  __atomic_add_fetch(&counts.misuses, 1, __ATOMIC_RELAXED);
  va_list arguments;
  va_start(arguments, format);
  printf("FAILED: the plugin misused the host: ");
  vprintf(format, arguments);
  printf("\n");
  va_end(arguments);
}

STAND_IN_API StandInCounts stand_in_counts() {
  return {__atomic_load_n(&counts.clips, __ATOMIC_RELAXED),
          __atomic_load_n(&counts.handles, __ATOMIC_RELAXED),
          __atomic_load_n(&counts.frames, __ATOMIC_RELAXED),
          __atomic_load_n(&counts.misuses, __ATOMIC_RELAXED)};
}

STAND_IN_API AVS_ScriptEnvironment* stand_in_new_environment() {
  Registry* registry = static_cast<Registry*>(calloc(1, sizeof(Registry)));
  return new AVS_ScriptEnvironment{registry, nullptr};
}

STAND_IN_API void stand_in_delete_environment(AVS_ScriptEnvironment* env) {
  for (SavedString* s = env->registry->strings; s;) {
    SavedString* next = s->next;
    free(s);
    s = next;
  }
  free(env->registry);
  delete env;
}

STAND_IN_API const StandInFunction* stand_in_function(const AVS_ScriptEnvironment* env, int index) {
  const Registry& registry = *env->registry;
  return index >= 0 && index < registry.function_count ? &registry.functions[index] : nullptr;
}

extern "C" int AVSC_CC avs_add_function(AVS_ScriptEnvironment* env, const char* name,
                                        const char* params, AVS_ApplyFunc apply, void* user_data) {
  env->error = nullptr;
  Registry& registry = *env->registry;
  if (registry.function_count == Registry::kMostFunctions || !name || !params || !apply) {
    env->error = "avs_add_function: no room, or a name, parameters or function missing";
    return -1;
  }
  registry.functions[registry.function_count++] = {name, params, apply, user_data};
  return 0;
}

// Kept until the environment is deleted; a negative length means up to the terminating zero.
extern "C" char* AVSC_CC avs_save_string(AVS_ScriptEnvironment* env, const char* s, int length) {
  env->error = nullptr;
  if (!s) return nullptr;
  const size_t size = length < 0 ? strlen(s) : size_t(length);
  SavedString* saved = static_cast<SavedString*>(malloc(sizeof(SavedString) + size));
  if (!saved) return nullptr;
  memcpy(saved->text, s, size);
  saved->text[size] = '\0';
  // Filters save strings from several threads at once.
  saved->next = __atomic_load_n(&env->registry->strings, __ATOMIC_RELAXED);
  while (!__atomic_compare_exchange_n(&env->registry->strings, &saved->next, saved, true,
                                      __ATOMIC_RELEASE, __ATOMIC_RELAXED)) {
  }
  return saved->text;
}

extern "C" const char* AVSC_CC avs_get_error(AVS_ScriptEnvironment* env) { return env->error; }
