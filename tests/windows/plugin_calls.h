// Calling the plugin's creation function as the host does, and checking its frames.
#pragma once

#include "arguments.h"
#include "source_clip.h"
#include "test_environment.h"

// The filter that creation returned, or none and the message it was refused with.
struct Creation {
  PClip filter;
  const char* error = nullptr;
};

Creation Create(TestEnvironment* env, IClip* source, const Arguments& arguments);

// Frame n of the filter, compared byte for byte with the model of the source's frame n.
// `context` names the case in failure messages.
void CheckFrame(TestEnvironment* env, IClip* filter, const SourceClip& source, int n,
                const Arguments& arguments, const char* context);
