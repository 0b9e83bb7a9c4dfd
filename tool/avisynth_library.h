// AviSynth+'s library, loaded at run time to render scripts, only when a script is given:
// the command does not link the host. The few parts of its C interface that the command
// uses are declared here from the host's documented C API.
#pragma once

#include <cstdint>
#include <string>

#include "video_info.h"  // the clip description is laid out as in the C++ interface

namespace avisynth_c {

struct ScriptEnvironment;  // opaque, owned by the host
struct Clip;
struct VideoFrame;

// A script value, passed by value across the interface. The union is as wide as a pointer,
// as the host's is on every target.
struct Value {
  short type;  // 'c' clip, 's' string, 'e' error (its text in `string`), 'v' void, ...
  short array_size;
  union {
    void* clip;  // taken with take_clip, never used directly
    char boolean;
    int integer;
    float floating_point;
    const char* string;
    const Value* array;
  } d;
};

enum Plane { kPlaneY = 1, kPlaneU = 2, kPlaneV = 4 };

// The oldest interface version with every function below.
constexpr int kInterfaceVersion = 6;

// The functions, as the library exports them (C calling convention).
struct Functions {
  ScriptEnvironment* (*create_script_environment)(int version);
  void (*delete_script_environment)(ScriptEnvironment* env);
  Value (*invoke)(ScriptEnvironment* env, const char* name, Value arguments,
                  const char** argument_names);
  void (*release_value)(Value value);
  Clip* (*take_clip)(Value value, ScriptEnvironment* env);
  void (*release_clip)(Clip* clip);
  const char* (*clip_get_error)(Clip* clip);  // null when there is none
  const ::VideoInfo* (*get_video_info)(Clip* clip);
  VideoFrame* (*get_frame)(Clip* clip, int n);  // null on failure: see clip_get_error
  void (*release_video_frame)(VideoFrame* frame);
  int (*get_pitch_p)(const VideoFrame* frame, int plane);
  int (*get_row_size_p)(const VideoFrame* frame, int plane);
  int (*get_height_p)(const VideoFrame* frame, int plane);
  const uint8_t* (*get_read_ptr_p)(const VideoFrame* frame, int plane);
  int (*get_audio)(Clip* clip, void* buffer, int64_t start, int64_t count);  // 0 on success
};

// The library's functions. Looks for it in the library folder of the prefix the command is
// installed in (where scripts/install-avisynth puts it beside the command), then where the
// system looks for libraries. Throws ToolError, naming `script` and what to install when the
// library is absent, or what it lacks when it is too old. The library stays loaded.
Functions Load(const std::string& script);

}  // namespace avisynth_c
