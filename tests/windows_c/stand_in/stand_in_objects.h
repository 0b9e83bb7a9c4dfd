// The stand-in's objects behind the host's opaque types: the environment, counted clips
// (sources, and the filters plugins make with avs_new_c_filter), handles to them, frames.
#pragma once

#include "stand_in_host.h"

enum class Counted { kClips, kHandles, kFrames };
void Count(Counted what, int change);
// A call the host would not survive or the plugin had no reason to make: printed, counted.
void Misuse(const char* format, ...) __attribute__((format(printf, 1, 2)));

// What every environment of one host shares: the functions registered, the strings saved.
struct Registry {
  static constexpr int kMostFunctions = 8;
  StandInFunction functions[kMostFunctions];
  int function_count;
  struct SavedString* strings;  // freed with the registry
};

// As the host's: one per environment, one for each call of a function and one for each
// filter, all sharing the registry; `error` tells the plugin why the last call failed.
struct AVS_ScriptEnvironment {
  Registry* registry;
  const char* error;
};

// A counted clip. Its video info belongs to it; a filter's is the plugin's to change.
class Clip {
 public:
  Clip();
  virtual ~Clip();
  Clip(const Clip&) = delete;
  Clip& operator=(const Clip&) = delete;

  // A new reference to frame n, or null and the reason.
  virtual AVS_VideoFrame* GetFrame(int n, const char** error) = 0;
  virtual int CacheHint(int /*hint*/) { return 0; }
  virtual const AVS_VideoInfo& VideoInfo() const = 0;

  void AddReference() { __atomic_add_fetch(&references_, 1, __ATOMIC_RELAXED); }
  // Deletes the clip with its last reference.
  void Release() {
    if (__atomic_sub_fetch(&references_, 1, __ATOMIC_ACQ_REL) == 0) delete this;
  }
  long References() const { return __atomic_load_n(&references_, __ATOMIC_RELAXED); }

 private:
  long references_ = 0;
};

// A handle holds one reference; avs_release_clip drops it with the handle.
struct AVS_Clip {
  Clip* clip;
  AVS_ScriptEnvironment* env;
  const char* error;  // of the last avs_get_frame
};
AVS_Clip* NewHandle(Clip* clip, AVS_ScriptEnvironment* env);

// A script value's clip, with the reference it holds; null for any other value.
inline Clip* ClipOf(const AVS_Value& value) {
  return value.type == 'c' ? static_cast<Clip*>(value.d.clip) : nullptr;
}

// A frame of the format, each row followed by filler up to its pitch, with the given
// properties; counts 1.
AVS_VideoFrame* NewFrame(const AVS_VideoInfo& vi, const void* properties);
// Where plane `plane` (an AVS_PLANAR_* value, or AVS_DEFAULT_PLANE) of the frame is; false,
// and a misuse, for a plane the frame does not have.
struct PlaneView {
  int offset, pitch, row_size, height;
};
bool PlaneOf(const AVS_VideoFrame* frame, int plane, PlaneView* view);
// The host's own reading of a format: planes in memory order, each plane's subsampling.
int PlaneCount(const AVS_VideoInfo& vi);
int PlaneRowSize(const AVS_VideoInfo& vi, int index);
int PlaneHeight(const AVS_VideoInfo& vi, int index);
