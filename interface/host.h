// Everything a plugin needs from its host.
#pragma once

#include "calling_convention.h"
#include "clip.h"
#include "environment.h"
#include "generic_video_filter.h"
#include "value.h"
#include "video_frame.h"
#include "video_info.h"

// The one function a plugin library exports. It registers the plugin's script functions
// and returns a short description.
extern "C" typedef const char*(HOST_STDCALL* PluginInit2Func)(IScriptEnvironment* env);

// The binary layout that hosts read directly.
static_assert(sizeof(VideoInfo) == 48, "VideoInfo is 48 bytes on every target");
static_assert(sizeof(AVSValue) == 2 * sizeof(void*),
              "a script value is a tag, a size and one pointer-sized payload");
