// The stand-in avisynth.dll as a test program sees it. Beside the host's C functions that
// korvelblur.dll imports (declared by the host's own header, avisynth_c.h, and exported by
// the host's names), a few calls let a test play the script's part: environments and the
// functions registered in them, source clips, calls, and counts of what is still held.
#pragma once

#include <avisynth_c.h>
#include <stdint.h>

#ifdef KORVEL_STAND_IN
#define STAND_IN_API extern "C" __declspec(dllexport)
#else
#define STAND_IN_API extern "C" __declspec(dllimport)
#endif

// Every byte of a frame that lies between a row's end and the next row's start.
constexpr uint8_t kStandInFiller = 0xA5;

// A function registered with avs_add_function.
struct StandInFunction {
  const char* name;
  const char* params;
  AVS_ApplyFunc apply;
  void* user_data;
};

// What the host holds now: clips (sources and filters), handles to them (AVS_Clip), frames;
// and calls that misuse the interface (a plane the frame lacks, a null where the host
// needs an object), each reported on the console as it happens.
struct StandInCounts {
  int clips, handles, frames, misuses;
};

STAND_IN_API AVS_ScriptEnvironment* stand_in_new_environment();
STAND_IN_API void stand_in_delete_environment(AVS_ScriptEnvironment* env);
// The functions registered in the environment, in order; null past the last.
STAND_IN_API const StandInFunction* stand_in_function(const AVS_ScriptEnvironment* env, int index);

// A source clip of the format: frame n's samples are drawn from (seed, n) within the format's
// range, and its frame properties are a token of (seed, n). Asking for `failing_frame`
// fails with "Source: frame N cannot be read".
STAND_IN_API AVS_Clip* stand_in_new_source(AVS_ScriptEnvironment* env, const AVS_VideoInfo* vi,
                                           uint32_t seed, int failing_frame);
// The token of frame n of a source made with `seed`.
STAND_IN_API const void* stand_in_source_properties(uint32_t seed, int n);

// Calls a registered function as a script does, with `count` arguments (a clip among them
// holds a reference, released after the call, as the host's copy of the arguments is). The
// clip the function returns, as a handle of the caller's; or null and the message.
STAND_IN_API AVS_Clip* stand_in_call(AVS_ScriptEnvironment* env, const StandInFunction* function,
                                     const AVS_Value* arguments, int count, const char** error);

STAND_IN_API const AVS_VideoInfo* stand_in_video_info(const AVS_Clip* clip);
// The error of the handle's last avs_get_frame, or null.
STAND_IN_API const char* stand_in_clip_error(const AVS_Clip* clip);
// The clip's answer to a cache hint, as a host's cache asks it (AVS_CACHE_GET_MTMODE).
STAND_IN_API int stand_in_cache_hint(const AVS_Clip* clip, int hint);
// References to the clip: its handles, the values holding it, a filter's hold on its child.
STAND_IN_API long stand_in_references(const AVS_Clip* clip);
// A frame's properties: those of the frame given as the property source when it was made.
STAND_IN_API const void* stand_in_frame_properties(const AVS_VideoFrame* frame);

STAND_IN_API StandInCounts stand_in_counts();
// The next new frame a filter asks for is refused, as a host short of memory refuses it.
STAND_IN_API void stand_in_refuse_next_new_frame();
